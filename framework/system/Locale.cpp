#include "Locale.h"

#include <windows.h>

#include "Sysutils.h"

namespace {

std::string LocaleText(LCTYPE item, const char* fallback) {
  char buffer[128] = {};
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, static_cast<int>(sizeof buffer));
  // n counts the closing zero; 0 is a failure and 1 an empty text.
  if (n <= 1) return fallback;
  return std::string(buffer, static_cast<size_t>(n - 1));
}

// The system numbers its day names from Monday (1) to Sunday (7); ours run
// from Sunday.
TDayNames DayNames(LCTYPE mondayItem, const char* const (&fallback)[7]) {
  std::array<std::string, 7> names;
  for (int day = 0; day < 7; ++day) {
    const int systemIndex = (day + 6) % 7;  // Sunday is the system's seventh
    names[static_cast<size_t>(day)] = LocaleText(mondayItem + static_cast<LCTYPE>(systemIndex), fallback[day]);
  }
  return TDayNames(std::move(names));
}

}  // namespace

const std::string& TDayNames::operator[](int day) const {
  if (day < 1 || day > 7) throw ERangeError(Format("Day %d is not between 1 and 7", day));
  return names_[static_cast<size_t>(day - 1)];
}

TDayNames ShortDayNames() {
  static const char* const kEnglish[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return DayNames(LOCALE_SABBREVDAYNAME1, kEnglish);
}

TDayNames LongDayNames() {
  static const char* const kEnglish[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                          "Saturday"};
  return DayNames(LOCALE_SDAYNAME1, kEnglish);
}

char DecimalSeparator() {
  return LocaleText(LOCALE_SDECIMAL, ".")[0];
}
