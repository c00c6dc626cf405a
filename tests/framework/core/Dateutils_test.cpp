#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Dateutils.h"

namespace {

struct DateCase {
  int year, month, day;
  double serial;  // the day number, 0 = 30 December 1899
  int weekday;    // 1 Sunday ... 7 Saturday
};

// Known days, their numbers and their weekdays.
const DateCase kDates[] = {
    {1899, 12, 30, 0, 7},
    {1899, 12, 31, 1, 1},
    {1900, 1, 1, 2, 2},
    {1900, 2, 28, 60, 4},
    {1900, 3, 1, 61, 5},  // 1900 has no 29 February
    {1970, 1, 1, 25569, 5},
    {2000, 2, 29, 36585, 3},
    {2000, 3, 1, 36586, 4},
    {2023, 1, 31, 44957, 3},
    {2024, 2, 29, 45351, 5},
    {2024, 12, 31, 45657, 3},
    {2026, 12, 8, 46364, 3},
    {1, 1, 1, -693593, 2},
    {1600, 2, 29, -109512, 3},
    {1899, 12, 29, -1, 6},
    {9999, 12, 31, 2958465, 6},
};

TEST(DateutilsTest, KnownDaysEncodeDecodeAndFallOnTheirWeekdays) {
  for (const DateCase& c : kDates) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.serial);
    int y = 0, m = 0, d = 0;
    DecodeDate(c.serial, y, m, d);
    EXPECT_EQ(y, c.year);
    EXPECT_EQ(m, c.month);
    EXPECT_EQ(d, c.day);
    EXPECT_EQ(DayOfWeek(c.serial), c.weekday);
    // The time of day does not change the day: forward from midnight, also before day 0.
    DecodeDate(c.serial + (c.serial < 0 ? -0.75 : 0.75), y, m, d);
    EXPECT_EQ(d, c.day);
    EXPECT_EQ(DayOfWeek(c.serial + (c.serial < 0 ? -0.75 : 0.75)), c.weekday);
  }
}

TEST(DateutilsTest, EveryDayOfTheRangeRoundTripsInOrder) {
  // Each day follows the one before it, over leap years, centuries and the 400-year rule.
  int py = 0, pm = 0, pd = 0;
  DecodeDate(EncodeDate(1, 1, 1) - 1, py, pm, pd);
  EXPECT_EQ(py, 0);  // the day before the first is no date
  for (double day = EncodeDate(1, 1, 1); day <= EncodeDate(9999, 12, 31); day += 1) {
    int y, m, d;
    DecodeDate(day, y, m, d);
    bool next = (y == py && m == pm && d == pd + 1) || (y == py && m == pm + 1 && d == 1) ||
                (y == py + 1 && m == 1 && d == 1 && pm == 12) || py == 0;
    ASSERT_TRUE(next) << y << "-" << m << "-" << d << " after " << py << "-" << pm << "-" << pd;
    ASSERT_EQ(EncodeDate(y, m, d), day);
    py = y, pm = m, pd = d;
  }
  EXPECT_EQ(py, 9999);
}

TEST(DateutilsTest, ImpossibleDaysAreRefused) {
  const int bad[][3] = {{2023, 2, 29}, {1900, 2, 29}, {2100, 2, 29}, {2024, 0, 1},   {2024, 13, 1},
                        {2024, 1, 0},  {2024, 1, 32}, {2024, 4, 31}, {0, 12, 31},    {10000, 1, 1},
                        {-1, 1, 1},    {2024, -1, 1}, {2024, 1, -5}, {2147483647, 1, 1}};
  for (const auto& b : bad) {
    SCOPED_TRACE(testing::Message() << b[0] << "-" << b[1] << "-" << b[2]);
    TDateTime date = 123.5;
    EXPECT_FALSE(TryEncodeDate(b[0], b[1], b[2], date));
    EXPECT_EQ(date, 123.5);
    try {
      EncodeDate(b[0], b[1], b[2]);
      ADD_FAILURE();
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "Invalid argument to date encode");
    }
  }
}

TEST(DateutilsTest, LeapYearsAndMonthLengths) {
  for (int y : {1600, 2000, 2004, 2024, 4}) EXPECT_TRUE(IsLeapYear(y)) << y;
  for (int y : {1700, 1800, 1900, 2100, 2023, 1}) EXPECT_FALSE(IsLeapYear(y)) << y;
  const int days2023[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(DaysInMonth(2023, m), days2023[m - 1]) << m;
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_THROW(DaysInMonth(2024, 0), ERangeError);
  EXPECT_THROW(DaysInMonth(2024, 13), ERangeError);
}

TEST(DateutilsTest, ValuesOutsideTheRangeOfDatesDecodeToZero) {
  for (double v : {-693594.0, 2958466.0, 1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                   std::numeric_limits<double>::infinity()}) {
    int y = 5, m = 5, d = 5;
    DecodeDate(v, y, m, d);
    EXPECT_EQ(y + m + d, 0) << v;
    EXPECT_EQ(DayOfWeek(v), 0) << v;
  }
}

TEST(DateutilsTest, TodayIsAMidnightAndNowLiesWithinIt) {
  TDateTime today = Date();
  TDateTime now = Now();
  EXPECT_EQ(today, std::floor(today));
  EXPECT_GE(today, EncodeDate(2020, 1, 1));
  // Unless midnight passed between the two calls, now is later the same day.
  TDateTime again = Date();
  if (again == today) {
    EXPECT_GE(now, today);
    EXPECT_LT(now, today + 1);
  }
}

}  // namespace
