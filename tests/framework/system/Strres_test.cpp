// Texts of the program's string table read into a buffer of a fixed size.

#include <gtest/gtest.h>

#include "Strres.h"

TEST(Strres, ReadsEntriesOfTheProgramModule) {
  EXPECT_EQ(LoadStringBuffer(8012), "&Enable");
  EXPECT_EQ(LoadStringBuffer(8015), "Zapnix - Disabled");
  EXPECT_EQ(LoadStringBuffer(8001), "");  // no such entry
}

TEST(Strres, CutsAtTheBufferSize) {
  // "Zapnix - Enabled" in seven bytes: six characters and the terminator.
  EXPECT_EQ(LoadStringBuffer(8014, 7), "Zapnix");
  EXPECT_EQ(LoadStringBuffer(8014, 1), "");
  EXPECT_EQ(LoadStringBuffer(8014, 0), "");
}
