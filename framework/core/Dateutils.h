#pragma once
// Dates and times as the framework counts them. Portable: no Win32 here.
//
// A TDateTime is a number of days: the whole part counts days from
// 30 December 1899 (day 0), the fraction is the time of day (0.5 is noon).
// Days before day 0 are negative, and their fraction still counts forward
// from midnight: -1.25 is 29 December 1899, 6:00. Dates run from
// 1 January 0001 to 31 December 9999 of the Gregorian calendar, extended
// backwards.

#include "Sysutils.h"

using TDateTime = double;

// Today at midnight, and the present moment, both in local time.
TDateTime Date();
TDateTime Now();

bool IsLeapYear(int year);
// The number of days of a month (1..12) of a year; ERangeError for another month.
int DaysInMonth(int year, int month);

// Builds the date of a day; EncodeDate raises EConvertError "Invalid argument
// to date encode" for a day that does not exist (month 13, 30 February, year 0
// or above 9999), TryEncodeDate returns false and leaves `date` alone.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);

// Splits the day of a date (its whole part) into year, month and day. A value
// outside the range of dates, or NaN, gives 0 for all three.
void DecodeDate(TDateTime date, int& year, int& month, int& day);

// The weekday of a date: 1 Sunday, 2 Monday ... 7 Saturday; 0 for a value
// outside the range of dates.
int DayOfWeek(TDateTime date);
