// The object count that the soak relies on: the watch inside the program
// counts its live GDI and user objects, and sees objects that are leaked;
// and a short soak of the program, which must leave no object behind.
#include "E2e.h"

#include <cstdio>

#include "../../bench/SoakDriver.h"

namespace e2e {
namespace {

using ObjectCountTest = ZapnixTest;

TEST_F(ObjectCountTest, PlantedLeakIsSeenInEveryCount) {
  ZapnixProcess zapnix;
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint());
  const std::optional<WatchCounts> before = zapnix.CountObjects();
  ASSERT_TRUE(before.has_value()) << "the watch did not answer";
  EXPECT_GT(before->gdiObjects, 10);
  EXPECT_GT(before->windows, 10);
  EXPECT_GE(before->menus, 1);
  EXPECT_GE(before->icons, 1);
  const std::optional<WatchCounts> again = zapnix.CountObjects();
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->gdiObjects, before->gdiObjects) << "counting alone changed the count";
  EXPECT_EQ(again->windows, before->windows);
  EXPECT_EQ(again->menus, before->menus);
  EXPECT_EQ(again->icons, before->icons);

  const std::optional<WatchCounts> leaked = zapnix.CountObjects(/*plantLeak=*/true);
  ASSERT_TRUE(leaked.has_value());
  // The brush, and the bitmap that may hold the icon's picture.
  EXPECT_GE(leaked->gdiObjects, before->gdiObjects + 1);
  EXPECT_LE(leaked->gdiObjects, before->gdiObjects + 3);
  EXPECT_EQ(leaked->windows, before->windows + 1);
  EXPECT_EQ(leaked->menus, before->menus + 1);
  EXPECT_EQ(leaked->icons, before->icons + 1);
  EXPECT_GT(zapnix.WorkingSet(), size_t{1} << 20);
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

using SoakTest = ZapnixTest;

// A tenth of the soak: reports, switches, input-box edits, restores and hides
// leave no object behind and no error box.
TEST_F(SoakTest, ShortSoakLeavesNoObjectBehind) {
  soak::Driver driver(DistFolder(), SuiteFile("ZapnixWatch.dll"));
  const soak::Result result = driver.Run(soak::kShortSoak);
  soak::Print(result, stdout);
  ASSERT_EQ(result.failure, "");
  EXPECT_FALSE(result.errorBox);
  // Fewer is fine (a cached device context let go); more is a leak.
  EXPECT_LE(result.after.counts.gdiObjects, result.before.counts.gdiObjects);
  EXPECT_LE(result.after.counts.windows, result.before.counts.windows);
  EXPECT_LE(result.after.counts.menus, result.before.counts.menus);
  EXPECT_LE(result.after.counts.icons, result.before.counts.icons);
  EXPECT_LT(static_cast<long long>(result.after.workingSet) - static_cast<long long>(result.before.workingSet),
            1LL << 20);
}

}  // namespace
}  // namespace e2e
