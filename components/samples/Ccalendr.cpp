#include "Ccalendr.h"

#include <cmath>

#include "Locale.h"

namespace {
constexpr int kDaysPerMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}  // namespace

const TClassInfo& TCCalendar::StaticClass() {
  static const TClassInfo info = DefineClass<TCCalendar>("TCCalendar", [](TClassBuilder<TCCalendar>& c) {
    auto never = [](TCCalendar&) { return false; };
    c.Bool("TabStop", &TCCalendar::TabStop, &TCCalendar::SetTabStop, true)
        .Int("Day", &TCCalendar::Day, &TCCalendar::SetDay, 0, false)
        .Stored(never)
        .Int("GridLineWidth", &TCCalendar::GridLineWidth, &TCCalendar::SetGridLineWidth, 1)
        .Int("Month", &TCCalendar::Month, &TCCalendar::SetMonth, 0, false)
        .Stored(never)
        .Bool("ReadOnly", &TCCalendar::ReadOnly, &TCCalendar::SetReadOnly, false)
        .Int("StartOfWeek", &TCCalendar::StartOfWeek, &TCCalendar::SetStartOfWeek, 1)
        .Bool("UseCurrentDate", &TCCalendar::UseCurrentDate, &TCCalendar::SetUseCurrentDate, true)
        .Int("Year", &TCCalendar::Year, &TCCalendar::SetYear, 0, false)
        .Stored(never)
        .Event("OnChange", &TCCalendar::OnChange);
  });
  return info;
}

TCCalendar::TCCalendar(TComponent* owner) : TCustomGrid(owner) {
  date_ = 0;
  useCurrentDate_ = true;
  SetFixedCols(0);
  SetFixedRows(1);
  SetColCount(7);
  SetRowCount(7);
  SetStartOfWeek(1);
  SetScrollBars(ssNone);
  date_ = Date();
  SetOptions(TCustomGrid::Options() - goRangeSelect + goDrawFocusSelected);
  UpdateCalendar();
}

void TCCalendar::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SIZE: return WMSize(m);
    default: return inherited::Dispatch(m);
  }
}

bool TCCalendar::IsLeapYear(int year) const { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int TCCalendar::DaysPerMonth(int year, int month) const {
  // Only a date outside the calendar's range decodes to month 0.
  if (month < 1 || month > 12) throw EConvertError("Invalid argument to date encode");
  int days = kDaysPerMonth[month - 1];
  if (month == 2 && IsLeapYear(year)) ++days;
  return days;
}

int TCCalendar::DaysThisMonth() const { return DaysPerMonth(Year(), Month()); }

int TCCalendar::GetDateElement(int index) const {
  int y = 0, m = 0, d = 0;
  DecodeDate(date_, y, m, d);
  switch (index) {
    case 1: return y;
    case 2: return m;
    case 3: return d;
    default: return -1;
  }
}

void TCCalendar::SetDateElement(int index, int value) {
  if (value <= 0) return;
  int y = 0, m = 0, d = 0;
  DecodeDate(date_, y, m, d);
  bool changed = false;
  switch (index) {
    case 1:
      if (value != y) y = value, changed = true;
      break;
    case 2:
      if (value <= 12 && value != m) m = value, changed = true;
      break;
    case 3:
      if (value <= DaysThisMonth() && value != d) d = value, changed = true;
      break;
    default: break;
  }
  if (!changed) return;
  // An impossible date raises here and leaves the calendar as it was.
  date_ = EncodeDate(y, m, d);
  useCurrentDate_ = false;
  UpdateCalendar();
  Change();
}

void TCCalendar::SeTCCalendarDate(TDateTime value) {
  date_ = value;
  UpdateCalendar();
  Change();
}

void TCCalendar::SetStartOfWeek(int value) {
  if (value > 7 || value < 1) value = 1;
  if (value == startOfWeek_) return;
  startOfWeek_ = value;
  UpdateCalendar();
}

void TCCalendar::SetUseCurrentDate(bool value) {
  if (value == useCurrentDate_) return;
  useCurrentDate_ = value;
  if (value) {
    date_ = Date();
    UpdateCalendar();
  }
}

void TCCalendar::UpdateCalendar() {
  updating_ = true;
  int y = 0, m = 0, d = 0;
  DecodeDate(date_, y, m, d);
  if (y > 0) {
    const int first = DayOfWeek(EncodeDate(y, m, 1));
    monthOffset_ = 2 - ((first - startOfWeek_ + 7) % 7);
    if (monthOffset_ == 2) monthOffset_ = -5;
    MoveColRow((d - monthOffset_) % 7, (d - monthOffset_) / 7 + 1, false, false);
  }
  Invalidate();
  updating_ = false;
}

std::string TCCalendar::GetCellText(int col, int row) const {
  if (row == 0) return ShortDayNames()[(startOfWeek_ + col) % 7 + 1];
  const int day = monthOffset_ + col + (row - 1) * 7;
  if (day < 1 || day > DaysThisMonth()) return std::string();
  return IntToStr(day);
}

void TCCalendar::DrawCell(int col, int row, const RECT& rect, TGridDrawState) {
  const std::string text = GetCellText(col, row);
  TCanvas* canvas = Canvas();
  const int x = rect.left + (rect.right - rect.left - canvas->TextWidth(text)) / 2;
  const int y = rect.top + (rect.bottom - rect.top - canvas->TextHeight(text)) / 2;
  canvas->TextRect(rect, x, y, text);
}

bool TCCalendar::SelectCell(int col, int row) {
  if (!updating_ && readOnly_) return false;
  if (GetCellText(col, row).empty()) return false;
  return inherited::SelectCell(col, row);
}

void TCCalendar::Click() {
  const std::string text = GetCellText(Col(), Row());
  if (!text.empty()) SetDateElement(3, StrToInt(text));
  inherited::Click();
}

void TCCalendar::ChangeMonth(int delta) {
  int y = 0, m = 0, d = 0;
  DecodeDate(date_, y, m, d);
  const int wanted = d;
  // From the month's edge, delta days land in the neighbouring month.
  TDateTime edge = delta > 0 ? EncodeDate(y, m, DaysPerMonth(y, m)) : EncodeDate(y, m, 1);
  DecodeDate(edge + delta, y, m, d);
  d = std::min(wanted, DaysPerMonth(y, m));
  SeTCCalendarDate(EncodeDate(y, m, d));
}

void TCCalendar::StepYear(int delta) {
  if (IsLeapYear(Year()) && Month() == 2 && Day() == 29) SetDateElement(3, 28);
  SetDateElement(1, Year() + delta);
}

void TCCalendar::NextYear() { StepYear(1); }
void TCCalendar::PrevYear() { StepYear(-1); }

void TCCalendar::Change() {
  if (OnChange) OnChange(this);
}

void TCCalendar::WMSize(TMessage& m) {
  inherited::WMSize(m);
  const int lines = 6 * GridLineWidth();
  SetDefaultColWidth((LOWORD(m.LParam) - lines) / 7);
  SetDefaultRowHeight((HIWORD(m.LParam) - lines) / 7);
}
