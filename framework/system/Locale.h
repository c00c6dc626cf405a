#pragma once
// What the user's locale settings say about dates and numbers, read from the
// system each time they are asked for, so that a change of the settings shows
// at the next call.

#include <array>
#include <string>

// The seven abbreviated day names, Sunday first: [1] is Sunday, [7] Saturday.
// Any other index raises ERangeError.
class TDayNames {
 public:
  explicit TDayNames(std::array<std::string, 7> names) : names_(std::move(names)) {}
  const std::string& operator[](int day) const;

 private:
  std::array<std::string, 7> names_;
};

TDayNames ShortDayNames();
TDayNames LongDayNames();

// The decimal separator of numbers ('.' when the system has none to give).
char DecimalSeparator();
