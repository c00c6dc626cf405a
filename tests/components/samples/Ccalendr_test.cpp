// The calendar grid: where the days fall for every first weekday, stepping by
// month and year with its OnChange counts, refused dates, and the grid driven
// by the mouse on a real window.

#include "Ccalendr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Locale.h"
#include "SamplesTesting.h"

namespace {

struct Ymd {
  int y, m, d;
};

std::string Str(const Ymd& v) { return std::to_string(v.y) + "-" + std::to_string(v.m) + "-" + std::to_string(v.d); }
Ymd DateOf(const TCCalendar& c) { return {c.Year(), c.Month(), c.Day()}; }

TEST(Ccalendr, TheFirstOfTheMonthLandsUnderItsWeekdayForEveryFirstColumn) {
  TCCalendar c(nullptr);
  // The 1sts of these months of 2024 fall on every weekday.
  const int months[] = {1, 2, 3, 5, 6, 9, 10};
  for (int start = 1; start <= 7; ++start) {
    c.SetStartOfWeek(start);
    for (int month : months) {
      c.SeTCCalendarDate(EncodeDate(2024, month, 1));
      const int weekday = DayOfWeek(EncodeDate(2024, month, 1));
      int column = -1;
      for (int col = 0; col < 7; ++col)
        if (c.GetCellText(col, 1) == "1") column = col;
      ASSERT_GE(column, 0) << "start " << start << " month " << month;
      EXPECT_EQ(c.GetCellText(column, 0), ShortDayNames()[weekday]) << "start " << start << " month " << month;
      EXPECT_EQ(c.MonthOffset(), 1 - column);
      EXPECT_EQ(c.GetCellText(0, 0), ShortDayNames()[start % 7 + 1]);
      EXPECT_EQ(c.Col(), column);
      EXPECT_EQ(c.Row(), 1);
    }
  }
  // A month starting in the last column: offset -5, the 31st in row 6, column 1.
  c.SetStartOfWeek(1);
  c.SeTCCalendarDate(EncodeDate(2024, 3, 31));  // 1 March 2024 is a Friday
  c.SetStartOfWeek(6);                           // Saturday first: Friday is last
  EXPECT_EQ(c.MonthOffset(), -5);
  EXPECT_EQ(c.GetCellText(1, 6), "31");
  EXPECT_EQ(c.Col(), 1);
  EXPECT_EQ(c.Row(), 6);
  EXPECT_EQ(c.GetCellText(0, 1), "");
  EXPECT_EQ(c.GetCellText(2, 6), "");
  for (int bad : {0, 8, -3}) {
    c.SetStartOfWeek(bad);
    EXPECT_EQ(c.StartOfWeek(), 1);
  }
}

TEST(Ccalendr, SteppingKeepsOrClampsTheDayAndCountsItsChanges) {
  enum Op { Next, Prev, NextY, PrevY, Same, SetDay, SetMonth, SetYear };
  struct Case {
    Ymd from;
    Op op;
    int arg;
    Ymd to;
    int changes;
    bool refused;
  };
  const Case cases[] = {
      {{2023, 1, 31}, Next, 0, {2023, 2, 28}, 1, false},
      {{2024, 1, 31}, Next, 0, {2024, 2, 29}, 1, false},
      {{2024, 3, 31}, Prev, 0, {2024, 2, 29}, 1, false},
      {{2023, 12, 31}, Next, 0, {2024, 1, 31}, 1, false},
      {{2024, 1, 15}, Prev, 0, {2023, 12, 15}, 1, false},
      {{2024, 2, 29}, NextY, 0, {2025, 2, 28}, 2, false},
      {{2000, 2, 29}, PrevY, 0, {1999, 2, 28}, 2, false},
      {{2023, 12, 31}, NextY, 0, {2024, 12, 31}, 1, false},
      {{2024, 1, 31}, Same, 0, {2024, 1, 31}, 1, false},
      {{2024, 4, 12}, SetDay, 12, {2024, 4, 12}, 0, false},
      {{2024, 4, 12}, SetDay, 31, {2024, 4, 12}, 0, false},
      {{2024, 4, 12}, SetDay, 0, {2024, 4, 12}, 0, false},
      {{2024, 4, 12}, SetMonth, 13, {2024, 4, 12}, 0, false},
      {{2024, 4, 12}, SetMonth, 7, {2024, 7, 12}, 1, false},
      {{1900, 2, 28}, SetDay, 29, {1900, 2, 28}, 0, false},
      {{2024, 3, 31}, SetMonth, 4, {2024, 3, 31}, 0, true},
      {{2024, 2, 29}, SetYear, 2023, {2024, 2, 29}, 0, true},
      {{2024, 2, 29}, SetYear, 10000, {2024, 2, 29}, 0, true},
      {{9999, 12, 5}, Next, 0, {9999, 12, 5}, 0, true},
  };
  for (const Case& k : cases) {
    TCCalendar c(nullptr);
    c.SeTCCalendarDate(EncodeDate(k.from.y, k.from.m, k.from.d));
    int changes = 0;
    c.OnChange = [&](TObject* sender) {
      EXPECT_EQ(sender, &c);
      ++changes;
    };
    bool refused = false;
    try {
      switch (k.op) {
        case Next: c.NextMonth(); break;
        case Prev: c.PrevMonth(); break;
        case NextY: c.NextYear(); break;
        case PrevY: c.PrevYear(); break;
        case Same: c.ChangeMonth(0); break;
        case SetDay: c.SetDay(k.arg); break;
        case SetMonth: c.SetMonth(k.arg); break;
        case SetYear: c.SetYear(k.arg); break;
      }
    } catch (const EConvertError& e) {
      refused = true;
      EXPECT_EQ(e.Message(), "Invalid argument to date encode");
    }
    const std::string label = Str(k.from) + " op " + std::to_string(k.op) + " " + std::to_string(k.arg);
    EXPECT_EQ(Str(DateOf(c)), Str(k.to)) << label;
    EXPECT_EQ(changes, k.changes) << label;
    EXPECT_EQ(refused, k.refused) << label;
    // The current cell follows the date.
    EXPECT_EQ(c.GetCellText(c.Col(), c.Row()), std::to_string(k.to.d)) << label;
  }
}

TEST(Ccalendr, CurrentDateSwitchAndLeapYears) {
  TCCalendar c(nullptr);
  EXPECT_TRUE(c.UseCurrentDate());
  EXPECT_EQ(c.CalendarDate(), Date());
  c.SetDay(c.Day() == 1 ? 2 : 1);
  EXPECT_FALSE(c.UseCurrentDate());
  int changes = 0;
  c.OnChange = [&](TObject*) { ++changes; };
  c.SeTCCalendarDate(EncodeDate(2001, 5, 5));
  c.SetUseCurrentDate(true);
  EXPECT_EQ(c.CalendarDate(), Date());
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(c.IsLeapYear(2000));
  EXPECT_FALSE(c.IsLeapYear(1900));
  EXPECT_EQ(c.DaysPerMonth(1900, 2), 28);
  EXPECT_EQ(c.DaysPerMonth(2000, 2), 29);
}

struct CalendarOnForm {
  std::unique_ptr<TForm> form;
  TCCalendar* calendar = nullptr;
  int changes = 0;

  CalendarOnForm() {
    InitApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 400, 300);
    calendar = new TCCalendar(form.get());
    calendar->SetParent(form.get());
    calendar->SetBounds(0, 0, 280, 210);
    calendar->SeTCCalendarDate(EncodeDate(2024, 3, 15));  // Friday 1 March: offset -3 Monday first
    calendar->OnChange = [this](TObject*) { ++changes; };
    calendar->HandleNeeded();
  }
  void Click(int col, int row) {
    RECT r = calendar->CellRect(col, row);
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(calendar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(calendar->Handle(), WM_LBUTTONUP, 0, at);
  }
};

TEST(Ccalendr, ClicksSelectDaysButNotBlankCellsNorOnAReadOnlyCalendar) {
  CalendarOnForm f;
  // The size message shares the client area among seven columns and rows.
  const RECT client = f.calendar->ClientRect();
  EXPECT_EQ(f.calendar->DefaultColWidth(), (client.right - 6) / 7);
  EXPECT_EQ(f.calendar->DefaultRowHeight(), (client.bottom - 6) / 7);
  ASSERT_EQ(f.calendar->GetCellText(4, 1), "1");
  f.Click(1, 1);  // blank, before the 1st
  EXPECT_EQ(f.calendar->Day(), 15);
  EXPECT_EQ(f.changes, 0);
  f.Click(2, 3);  // day 2 - 3 + 14 = 13
  EXPECT_EQ(f.calendar->Day(), 13);
  EXPECT_EQ(f.changes, 1);
  EXPECT_FALSE(f.calendar->UseCurrentDate());
  f.calendar->SetReadOnly(true);
  f.Click(3, 3);
  EXPECT_EQ(f.calendar->Day(), 13);
  // The program still moves the date and the selection follows.
  f.calendar->SetDay(20);
  EXPECT_EQ(f.calendar->GetCellText(f.calendar->Col(), f.calendar->Row()), "20");
}

TEST(Ccalendr, DrawsEachDayNumberCentredInItsCell) {
  CalendarOnForm f;
  f.calendar->SetReadOnly(false);
  painting::Surface s(280, 210, clWhite);
  s.PaintWindowed(*f.calendar);
  const TColor window = ColorToRGB(clWindow) & 0xFFFFFF;
  // With offset -3, day 10 = -3 + 6 + 7 sits in column 6 of row 2.
  const RECT cell = f.calendar->CellRect(6, 2);
  ASSERT_EQ(f.calendar->GetCellText(6, 2), "10");
  const RECT ink = s.Ink(window, RECT{cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1});
  ASSERT_NE(ink.right, 0);
  // Centred: the margins left and right of the text differ by at most a pixel or two.
  EXPECT_LE(std::abs((ink.left - cell.left) - (cell.right - ink.right)), 2);
  EXPECT_LE(std::abs((ink.top - cell.top) - (cell.bottom - ink.bottom)), 3);
  // A blank cell carries no text.
  const RECT blank = f.calendar->CellRect(0, 1);
  EXPECT_EQ(s.Ink(window, RECT{blank.left + 1, blank.top + 1, blank.right - 1, blank.bottom - 1}).right, 0);
}

TEST(Ccalendr, StoresOnlyTheWeekStartAndTheCurrentDateSwitch) {
  RegisterClassInfo(TCCalendar::StaticClass());
  samples_testing::TSamplesForm form(nullptr);
  form.SetName("CalendarForm");
  auto* c = new TCCalendar(&form);
  c->SetName("Calendar1");
  c->SetParent(&form);
  c->SetStartOfWeek(7);
  c->SeTCCalendarDate(EncodeDate(2001, 1, 1));
  c->SetUseCurrentDate(false);
  std::string text;
  auto copy = samples_testing::RoundTrip(form, &text);
  for (const char* name : {"Day", "Month", "Year"}) EXPECT_FALSE(samples_testing::Written(text, name)) << text;
  auto* r = dynamic_cast<TCCalendar*>(copy->FindComponent("Calendar1"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->StartOfWeek(), 7);
  EXPECT_FALSE(r->UseCurrentDate());
  EXPECT_EQ(r->CalendarDate(), Date());
}

}  // namespace
