#include "Dateutils.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>

namespace {

// Day numbers of the first and the last day that a date can name.
constexpr int64_t kFirstDay = -693593;  // 1 January 0001
constexpr int64_t kLastDay = 2958465;   // 31 December 9999
// Day 0 (30 December 1899) counted from 1 January 1970.
constexpr int64_t kUnixEpochOffset = 25569;

// Days from 1 January 1970 to a day of the proleptic Gregorian calendar. The
// year is shifted to start in March, so that the leap day ends a year, and
// split into 400-year eras of 146097 days.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;                                 // 0..399
  const int64_t dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // 0..365
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

// The day number of a date, or false when it lies outside the range of dates.
// The range test comes first: converting a double that does not fit to an
// integer is not defined.
bool DayNumber(TDateTime date, int64_t& dayNumber) {
  if (!(date > static_cast<double>(kFirstDay - 1) && date < static_cast<double>(kLastDay + 1))) return false;
  dayNumber = static_cast<int64_t>(date);  // toward zero: the time of day of negative dates counts forward
  return true;
}

std::tm LocalTime(std::time_t t) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  return local;
}

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) throw ERangeError(Format("Invalid month %d", month));
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  date = static_cast<double>(DaysFromCivil(year, month, day) + kUnixEpochOffset);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) throw EConvertError("Invalid argument to date encode");
  return date;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  int64_t dayNumber = 0;
  if (!DayNumber(date, dayNumber)) {
    year = month = day = 0;
    return;
  }
  CivilFromDays(dayNumber - kUnixEpochOffset, year, month, day);
}

int DayOfWeek(TDateTime date) {
  int64_t dayNumber = 0;
  if (!DayNumber(date, dayNumber)) return 0;
  // Day 0 was a Saturday (7); the remainder is made non-negative for the days before it.
  return static_cast<int>(((dayNumber % 7) + 7 + 6) % 7) + 1;
}

TDateTime Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const std::tm local = LocalTime(seconds);
  // to_time_t may round; the milliseconds are taken relative to the second it chose.
  const auto ms = duration_cast<milliseconds>(now - system_clock::from_time_t(seconds)).count();
  const double sinceMidnight = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                               static_cast<double>(ms < 0 ? 0 : ms > 999 ? 999 : ms) / 1000.0;
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + sinceMidnight / 86400.0;
}

TDateTime Date() {
  const std::tm local = LocalTime(std::time(nullptr));
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}
