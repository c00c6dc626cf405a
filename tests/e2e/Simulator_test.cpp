// The engine simulator on its own, and the program answering it.
#include "E2e.h"

namespace e2e {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

using SimulatorTest = ZapnixTest;

TEST_F(SimulatorTest, ReportsThatZapnixIsNotRunning) {
  for (const char* arguments : {"stop http://pop.example/", "stop-raw length 599", "stop-raw unterminated 600",
                                "stop-raw dword 7", "stop-raw missing", "close", "status"}) {
    SCOPED_TRACE(arguments);
    const ToolResult result = RunSim(arguments);
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_TRUE(Contains(result.err, "Zapnix is not running")) << result.err;
  }
  EXPECT_FALSE(KeyExists(kStoppedKey)) << "nothing is reported when nobody listens";
}

TEST_F(SimulatorTest, BadArgumentsGiveTheUsageAndExitCodeOne) {
  for (const char* arguments : {"", "frobnicate", "stop", "stop a b", "stop-raw", "stop-raw length",
                                "stop-raw length x", "stop-raw length -1", "stop-raw length 1000001",
                                "stop-raw length 12abc", "stop-raw weird 5", "stop-raw missing 1", "close now",
                                "status x"}) {
    SCOPED_TRACE(arguments);
    const ToolResult result = RunSim(arguments);
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(Contains(result.err, "usage: ZapnixSim")) << result.err;
  }
}

TEST_F(SimulatorTest, StatusShowsTheAtomsTheListsAndTheStoppedUrl) {
  AddAtomReferences(kRunningAtom, 1);
  WriteText(std::string(kProgramKey) + "\\WhiteList", "http://white.example/", "");
  WriteText(kStoppedKey, nullptr, "http://stopped.example/pop");

  const ToolResult result = RunSim("status");
  EXPECT_EQ(result.exitCode, 2u) << "no program runs";
  EXPECT_TRUE(Contains(result.out, "atom PopupZapnix          absent")) << result.out;
  EXPECT_TRUE(Contains(result.out, "atom PopupZapnixRunning   present")) << result.out;
  EXPECT_TRUE(Contains(result.out, "atom IEStillExisted       absent")) << result.out;
  EXPECT_TRUE(Contains(result.out, "WhiteList: 1 value(s)\n  http://white.example/\n")) << result.out;
  EXPECT_TRUE(Contains(result.out, "BlackList: no subkey")) << result.out;
  EXPECT_TRUE(Contains(result.out, "Stoped: \"http://stopped.example/pop\"")) << result.out;
}

class SimulatorWithProgramTest : public ZapnixTest {
 protected:
  void SetUp() override {
    ZapnixTest::SetUp();
    if (HasFatalFailure()) return;
    zapnix_ = std::make_unique<ZapnixProcess>();
    ASSERT_NE(zapnix_->WaitForMainWindow(), nullptr);
    ASSERT_TRUE(zapnix_->WaitUntilHiddenAfterFirstPaint());
  }
  void TearDown() override {
    zapnix_.reset();
    ZapnixTest::TearDown();
  }

  // The list box that holds the given row, if exactly one does.
  HWND ListHolding(const std::string& row) const {
    HWND found = nullptr;
    for (HWND box : ListBoxes(zapnix_->MainWindow())) {
      if (FindListBoxRow(box, row) < 0) continue;
      if (found) return nullptr;
      found = box;
    }
    return found;
  }

  std::unique_ptr<ZapnixProcess> zapnix_;
};

TEST_F(SimulatorWithProgramTest, StopIsServedAndTheProgramGoesOn) {
  const ToolResult result = RunSim("stop http://pop.example/ad?id=1");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(ReadText(kStoppedKey, nullptr), "http://pop.example/ad?id=1");
  EXPECT_TRUE(zapnix_->Running());
  EXPECT_FALSE(IsWindowVisible(zapnix_->MainWindow()));
  EXPECT_FALSE(zapnix_->FindMessageBox().has_value());
  EXPECT_TRUE(AtomPresent(kRunningAtom));

  const ToolResult status = RunSim("status");
  EXPECT_EQ(status.exitCode, 0u) << status.err;
  EXPECT_TRUE(Contains(status.out, "Zapnix: running, process " + std::to_string(zapnix_->Id()) +
                                       ", main window hidden"))
      << status.out;
}

// A Stoped value that cannot be read as a URL of at most 599 characters is
// ignored without a report.
TEST_F(SimulatorWithProgramTest, MalformedStopReportsAreIgnoredQuietly) {
  for (const char* arguments : {"stop-raw length 600", "stop-raw length 5000", "stop-raw unterminated 600",
                                "stop-raw dword 12345", "stop-raw missing"}) {
    SCOPED_TRACE(arguments);
    const ToolResult result = RunSim(arguments);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_TRUE(zapnix_->Running());
    EXPECT_FALSE(zapnix_->FindMessageBox().has_value());
  }
  EXPECT_NE(zapnix_->MainWindow(), nullptr);
}

TEST_F(SimulatorWithProgramTest, EachStoppedUrlAppearsOnceInTheBlockedList) {
  ASSERT_FALSE(ListBoxes(zapnix_->MainWindow()).empty()) << "the main window has no list boxes";
  ASSERT_EQ(RunSim("stop http://pop.example/ad").exitCode, 0u);
  ASSERT_EQ(RunSim("stop HTTP://POP.EXAMPLE/AD").exitCode, 0u);
  ASSERT_EQ(RunSim("stop http://pop.example/ad").exitCode, 0u);
  ASSERT_EQ(RunSim("stop http://pop.example/ad/").exitCode, 0u);
  ASSERT_EQ(RunSim("stop-raw length 599").exitCode, 0u);
  ASSERT_EQ(RunSim("stop-raw length 600").exitCode, 0u);
  ASSERT_EQ(RunSim("stop \"\"").exitCode, 0u);

  const HWND blocked = ListHolding("http://pop.example/ad");
  ASSERT_NE(blocked, nullptr) << "no single list box shows the stopped URL";
  EXPECT_EQ(ListBoxRows(blocked),
            (std::vector<std::string>{"http://pop.example/ad", "http://pop.example/ad/", "<599 characters>"}))
      << "an empty stopped URL made a row";
  EXPECT_EQ(FindListBoxRow(blocked, "http://" + std::string(599 - 7, 'a')), 2);
}

TEST_F(SimulatorWithProgramTest, CloseEndsTheProgramAndWithdrawsTheAtoms) {
  const ToolResult result = RunSim("close");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_TRUE(Contains(result.out, "exit code 0")) << result.out;
  EXPECT_EQ(zapnix_->WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
  EXPECT_EQ(RunSim("close").exitCode, 2u);
}

}  // namespace
}  // namespace e2e
