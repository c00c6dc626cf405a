#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "Sysutils.h"

namespace {

TEST(SysutilsTest, StrToIntAcceptsDecimalAndHexWithinThirtyTwoBits) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {"+7", 7},
      {"-0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$FF", 255},
      {"$ff", 255},
      {"$7FFFFFFF", 2147483647},
      {"$FFFFFFFF", -1},  // hex is a bit pattern
      {"-$10", -16},
      {"-$80000000", -2147483647 - 1},
      {"0000000000012", 12},
  };
  for (const Case& c : cases) {
    int value = 12345;
    EXPECT_TRUE(TryStrToInt(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
  }
}

TEST(SysutilsTest, StrToIntRefusesEverythingElse) {
  for (const char* text : {"", "-", "+", "$", "-$", "2147483648", "-2147483649", "99999999999999999999999",
                           "$100000000", "-$80000001", " 5", "5 ", "1e3", "0x10", "12a", "--1", "$G"}) {
    int value = 77;
    EXPECT_FALSE(TryStrToInt(text, value)) << text;
    EXPECT_EQ(value, 77) << text;
    try {
      StrToInt(text);
      ADD_FAILURE() << text;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(SysutilsTest, FormatGrowsItsBufferForLongResults) {
  std::string big(5000, 'x');
  EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
  EXPECT_EQ(Format("%d-%s", -5, "a"), "-5-a");
  EXPECT_EQ(Format("%s", ""), "");
  EXPECT_EQ(IntToStr(-9007199254740993LL), "-9007199254740993");
}

TEST(SysutilsTest, TrimAndTextComparisons) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // only control bytes and blanks go

  EXPECT_TRUE(SameText("Form1", "FORM1"));
  EXPECT_FALSE(SameText("Form1", "Form"));
  // Letters beyond ASCII are not folded: the comparison is of bytes.
  EXPECT_FALSE(SameText("\xE9", "\xC9"));
  EXPECT_LT(CompareText("Zebra", "\xE9t\xE9"), 0);
  EXPECT_EQ(CompareText("abc", "ABC"), 0);
  EXPECT_LT(CompareText("ab", "ABC"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  // '_' lies between the upper- and lower-case letters: folding decides.
  EXPECT_LT(CompareText("a", "_"), 0);
  EXPECT_GT(CompareStr("a", "_"), 0);
  EXPECT_GT(CompareStr("\x80", "z"), 0);  // bytes compare unsigned
  EXPECT_EQ(UpperCase("abc\xE9z"), "ABC\xE9Z");
}

TEST(SysutilsTest, FloatTextIsShortestWithAPointAndReadsBackIdentical) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0.0"},       {-0.0, "-0.0"},  {1.0, "1.0"},         {0.1, "0.1"},         {-2.5, "-2.5"},
      {1e300, "1e+300"},  {5e-324, "5e-324"}, {1e21, "1e+21"}, {123456.0, "123456.0"}, {45351.5, "45351.5"},
      {1.0 / 3.0, "0.3333333333333333"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToText(c.value), c.text);
    double back = 99;
    ASSERT_TRUE(TryTextToFloat(c.text, back)) << c.text;
    EXPECT_EQ(std::signbit(back), std::signbit(c.value)) << c.text;
    EXPECT_EQ(back, c.value) << c.text;
  }
  EXPECT_THROW(FloatToText(std::numeric_limits<double>::infinity()), EConvertError);
  EXPECT_THROW(FloatToText(std::numeric_limits<double>::quiet_NaN()), EConvertError);
}

TEST(SysutilsTest, TextToFloatTakesOnlyPlainDecimalNumbersInRange) {
  double value = 0;
  for (const char* text : {"7", "-7", "0.5", "1e5", "1E-5", "2.5e+3", "-0"})
    EXPECT_TRUE(TryTextToFloat(text, value)) << text;
  for (const char* text : {"", "-", "+1", ".5", "1.", "1e", "1e+", " 1", "1 ", "1,5", "inf", "nan", "0x1p3",
                           "1e999", "1e-999", "--1", "1.5.5", "$10"}) {
    value = 42;
    EXPECT_FALSE(TryTextToFloat(text, value)) << text;
    EXPECT_EQ(value, 42) << text;
  }
}

}  // namespace
