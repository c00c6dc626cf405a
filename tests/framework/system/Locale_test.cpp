#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Locale.h"
#include "Sysutils.h"

namespace {

std::string SystemText(LCTYPE item) {
  char buffer[128] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer);
  return buffer;
}

TEST(LocaleTest, DayNamesRunFromSundayWhileTheSystemCountsFromMonday) {
  const TDayNames shortNames = ShortDayNames();
  const TDayNames longNames = LongDayNames();
  // Sunday is the system's seventh name, Monday its first.
  const LCTYPE abbreviated[8] = {0, LOCALE_SABBREVDAYNAME7, LOCALE_SABBREVDAYNAME1, LOCALE_SABBREVDAYNAME2,
                                 LOCALE_SABBREVDAYNAME3, LOCALE_SABBREVDAYNAME4, LOCALE_SABBREVDAYNAME5,
                                 LOCALE_SABBREVDAYNAME6};
  for (int day = 1; day <= 7; ++day) {
    EXPECT_EQ(shortNames[day], SystemText(abbreviated[day])) << day;
    EXPECT_FALSE(longNames[day].empty()) << day;
  }
  // An English locale, which the test machines have, names them plainly.
  if (PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) == LANG_ENGLISH) {
    EXPECT_EQ(shortNames[1], "Sun");
    EXPECT_EQ(shortNames[2], "Mon");
    EXPECT_EQ(shortNames[7], "Sat");
    EXPECT_EQ(longNames[1], "Sunday");
    EXPECT_EQ(longNames[7], "Saturday");
  }
  EXPECT_THROW(shortNames[0], ERangeError);
  EXPECT_THROW(shortNames[8], ERangeError);
}

TEST(LocaleTest, DecimalSeparatorIsTheSystemOne) {
  EXPECT_EQ(std::string(1, DecimalSeparator()), SystemText(LOCALE_SDECIMAL).substr(0, 1));
}

}  // namespace
