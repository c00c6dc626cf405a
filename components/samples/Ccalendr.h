#pragma once
// A month as a grid of seven columns and seven rows: the abbreviated day names
// over six week rows of day numbers, the current cell on the calendar's day.
// Clicking a day selects that date; the date also steps by month and by year.

#include <string>

#include "Dateutils.h"
#include "Grids.h"

class TCCalendar : public TCustomGrid {
  ZX_CLASS(TCCalendar, TCustomGrid)
 public:
  explicit TCCalendar(TComponent* owner);

  void Dispatch(TMessage& message) override;

  TDateTime CalendarDate() const { return date_; }
  // Stores the date and raises OnChange, even for the same date.
  void SeTCCalendarDate(TDateTime value);
  bool StoreCalendarDate() const { return !useCurrentDate_; }
  // 1 year, 2 month, 3 day; -1 for any other index.
  int GetDateElement(int index) const;
  void SetDateElement(int index, int value);
  int Year() const { return GetDateElement(1); }
  void SetYear(int value) { SetDateElement(1, value); }
  int Month() const { return GetDateElement(2); }
  void SetMonth(int value) { SetDateElement(2, value); }
  int Day() const { return GetDateElement(3); }
  void SetDay(int value) { SetDateElement(3, value); }

  // Weekday of the first column: 1 Monday ... 7 Sunday.
  int StartOfWeek() const { return startOfWeek_; }
  void SetStartOfWeek(int value);
  bool UseCurrentDate() const { return useCurrentDate_; }
  void SetUseCurrentDate(bool value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  // Day number that cell (0, 1) would show, -5..1.
  int MonthOffset() const { return monthOffset_; }

  virtual bool IsLeapYear(int year) const;
  virtual int DaysPerMonth(int year, int month) const;
  virtual int DaysThisMonth() const;
  std::string GetCellText(int col, int row) const;

  void NextMonth() { ChangeMonth(1); }
  void PrevMonth() { ChangeMonth(-1); }
  void NextYear();
  void PrevYear();
  void ChangeMonth(int delta);
  virtual void UpdateCalendar();

  TNotifyEvent OnChange;

 protected:
  virtual void Change();
  void DrawCell(int col, int row, const RECT& rect, TGridDrawState state) override;
  bool SelectCell(int col, int row) override;
  void Click() override;
  void WMSize(TMessage& m);

 private:
  void StepYear(int delta);

  TDateTime date_ = 0;
  int monthOffset_ = 0;
  bool readOnly_ = false;
  int startOfWeek_ = 0;
  bool updating_ = false;
  bool useCurrentDate_ = true;
};
