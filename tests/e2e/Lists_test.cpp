// The URL lists of the real program and the blocking switch, driven from
// outside: stopped pop-ups reported by the engine's simulator, the tray icon's
// left button, the list buttons and the input box, checked against the list
// boxes' rows, the registry and the global atoms.
#include <algorithm>

#include "E2eWindow.h"

namespace e2e {
namespace {

const std::string kWhiteKey = std::string(kProgramKey) + "\\WhiteList";
const std::string kBlackKey = std::string(kProgramKey) + "\\BlackList";

using Rows_ = std::vector<std::string>;

class ListsTest : public ZapnixWindowTest {
 protected:
  void Stop(const std::string& arguments) {
    const ToolResult result = RunSim(arguments);
    ASSERT_EQ(result.exitCode, 0u) << arguments << ": " << result.err;
  }

  bool LeftClickOnIcon() const {
    return SendWithTimeout(icon_, kTrayCallbackMessage, 0, WM_LBUTTONDOWN).has_value() &&
           SendWithTimeout(icon_, kTrayCallbackMessage, 0, WM_LBUTTONUP).has_value();
  }

  // Clicks the Add button of a list page and waits for the input box.
  std::optional<InputBoxSeen> OpenAddBox(HWND sheet, HWND group) {
    if (!SelectPage(parts_, sheet)) {
      ADD_FAILURE() << "the page did not change on a click on its tab";
      return std::nullopt;
    }
    PostClick(group, places::kAddButton);
    return WaitForInputBox(zapnix_->Id(), "Add URL");
  }

  void AddThroughBox(HWND sheet, HWND group, const std::string& text, bool ok) {
    const std::optional<InputBoxSeen> box = OpenAddBox(sheet, group);
    ASSERT_TRUE(box.has_value()) << "no input box titled \"Add URL\"";
    ASSERT_TRUE(AnswerInputBox(*box, text, ok)) << "the input box did not close";
  }
};

// One row for each new URL, compared without regard to letter case; a value
// that is no URL of at most 599 characters is ignored without a report.
TEST_F(ListsTest, EachStoppedUrlIsAddedOnceToTheBlockedList) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string longest = "http://" + std::string(599 - 7, 'a');
  const std::string longRow = UnreadableRow(599);
  struct Step {
    const char* arguments;
    Rows_ rows;
  };
  const Step steps[] = {
      {"stop http://pop.example/ad", {"http://pop.example/ad"}},
      {"stop http://pop.example/ad", {"http://pop.example/ad"}},
      {"stop HTTP://POP.EXAMPLE/AD", {"http://pop.example/ad"}},
      {"stop http://pop.example/ad/", {"http://pop.example/ad", "http://pop.example/ad/"}},
      {"stop-raw length 599", {"http://pop.example/ad", "http://pop.example/ad/", longRow}},
      {"stop-raw length 600", {"http://pop.example/ad", "http://pop.example/ad/", longRow}},
      {"stop-raw unterminated 600", {"http://pop.example/ad", "http://pop.example/ad/", longRow}},
      {"stop-raw missing", {"http://pop.example/ad", "http://pop.example/ad/", longRow}},
      {"stop http://Other.example/", {"http://pop.example/ad", "http://pop.example/ad/", longRow,
                                      "http://Other.example/"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.arguments);
    ASSERT_NO_FATAL_FAILURE(Stop(step.arguments));
    EXPECT_EQ(Rows(parts_.blockedList), step.rows);
    EXPECT_TRUE(Rows(parts_.whiteList).empty());
    EXPECT_TRUE(Rows(parts_.blackList).empty());
  }
  EXPECT_TRUE(zapnix_->Running());
  EXPECT_FALSE(IsWindowVisible(parts_.form));
  EXPECT_FALSE(zapnix_->FindMessageBox().has_value()) << zapnix_->FindMessageBox()->text;
  EXPECT_FALSE(KeyExists(kWhiteKey));
  EXPECT_FALSE(KeyExists(kBlackKey));

  // The long row's text, whole, shows where the program writes it: moved to
  // the white list, it becomes the name of the list's value.
  ASSERT_TRUE(SelectRow(parts_.blockedList, 2));
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kAddToWhiteButton));
  EXPECT_EQ(ValueNames(kWhiteKey), Rows_{longest});
  EXPECT_EQ(Rows(parts_.whiteList), Rows_{longRow});
  EXPECT_EQ(Rows(parts_.blockedList),
            (Rows_{"http://pop.example/ad", "http://pop.example/ad/", "http://Other.example/"}));
}

// The announcement of a new stopped URL: the tray icon changes its picture
// for about two seconds and then stands still; a URL seen before is not announced.
TEST_F(ListsTest, NewStoppedUrlMakesTheTrayIconBlinkForAWhile) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const size_t atStart = ModifyCount();
  ASSERT_NO_FATAL_FAILURE(Stop("stop http://blink.example/"));
  EXPECT_TRUE(WaitFor([&] { return ModifyCount() >= atStart + 5; }, 10000))
      << "the icon changed " << ModifyCount() - atStart << " times";

  // The blinking ends by itself: a quiet second within a generous bound (the
  // animation changes the picture every 100 ms while it runs).
  size_t seen = ModifyCount();
  ULONGLONG lastChange = GetTickCount64();
  const bool quiet = WaitFor(
      [&] {
        const size_t now = ModifyCount();
        if (now != seen) {
          seen = now;
          lastChange = GetTickCount64();
        }
        return GetTickCount64() - lastChange >= 1000;
      },
      15000, 20);
  ASSERT_TRUE(quiet) << "the icon still changes after 15 s";

  const size_t afterAnnouncement = ModifyCount();
  ASSERT_NO_FATAL_FAILURE(Stop("stop HTTP://BLINK.EXAMPLE/"));
  EXPECT_FALSE(WaitFor([&] { return ModifyCount() != afterAnnouncement; }, 500))
      << "a URL already in the list was announced";
  EXPECT_EQ(Rows(parts_.blockedList), Rows_{"http://blink.example/"});
}

// The atom "PopupZapnixRunning" follows the switch: every reference goes on
// off, whoever added it; exactly one is added on on. "ZapnixCanClose" ends the
// program while its window is hidden.
TEST_F(ListsTest, LeftClicksOnTheTrayIconSwitchTheRunningAtom) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);

  AddAtomReferences(kRunningAtom, 2);
  ASSERT_TRUE(LeftClickOnIcon());
  EXPECT_FALSE(AtomPresent(kRunningAtom)) << "off: references are left";

  AddAtomReferences(kRunningAtom, 2);
  ASSERT_TRUE(LeftClickOnIcon());
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 3) << "on adds one reference to those of others";

  ASSERT_TRUE(LeftClickOnIcon());
  EXPECT_FALSE(AtomPresent(kRunningAtom));
  ASSERT_TRUE(LeftClickOnIcon());
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);

  // Switching changes neither the window nor the lists and reports nothing.
  EXPECT_FALSE(IsWindowVisible(parts_.form));
  EXPECT_FALSE(zapnix_->FindMessageBox().has_value());
  EXPECT_FALSE(KeyExists(kWhiteKey));
  EXPECT_FALSE(KeyExists(kBlackKey));
  EXPECT_TRUE(AtomPresent(kInstanceAtom));

  const ToolResult closed = RunSim("close");
  EXPECT_EQ(closed.exitCode, 0u) << closed.err;
  EXPECT_EQ(zapnix_->WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kRunningAtom));
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
}

// The lists are read once at start, in the registry's enumeration order; the
// registry keeps one value for names that differ only in letter case.
TEST_F(ListsTest, ListsAreReadFromTheRegistryInItsEnumerationOrder) {
  for (const char* url : {"http://b.example/", "http://a.example/path", "HTTP://B.EXAMPLE/", "http://c.example/"})
    WriteText(kWhiteKey, url, "");
  WriteText(kBlackKey, "http://black.example/", "");
  const Rows_ white = ValueNames(kWhiteKey);
  ASSERT_EQ(white.size(), 3u) << "the registry kept both letter cases";

  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Rows(parts_.whiteList), white);
  EXPECT_EQ(Rows(parts_.blackList), Rows_{"http://black.example/"});
  EXPECT_TRUE(Rows(parts_.blockedList).empty()) << "the blocked list is not stored";
  EXPECT_EQ(ValueNames(kWhiteKey), white) << "the start rewrote the white list";
}

// A value of another type under BlackList is a URL by its name; the next save
// of the black list writes it back as an empty text.
TEST_F(ListsTest, NumberUnderTheBlackListIsShownByItsNameAndSavedAsEmptyText) {
  WriteNumber(kBlackKey, "http://number.example/", 7);
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Rows(parts_.blackList), Rows_{"http://number.example/"});
  ASSERT_EQ(ShapeOf(kBlackKey, "http://number.example/").value_or(ValueShape{}).type, DWORD{REG_DWORD});

  ASSERT_NO_FATAL_FAILURE(Stop("stop http://moved.example/"));
  ASSERT_EQ(Rows(parts_.blockedList), Rows_{"http://moved.example/"});
  ASSERT_TRUE(SelectRow(parts_.blockedList, 0));
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kAddToBlackButton));

  EXPECT_TRUE(Rows(parts_.blockedList).empty());
  EXPECT_EQ(Rows(parts_.blackList), (Rows_{"http://number.example/", "http://moved.example/"}));
  Rows_ stored = ValueNames(kBlackKey);
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (Rows_{"http://moved.example/", "http://number.example/"}));
  for (const char* url : {"http://number.example/", "http://moved.example/"}) {
    SCOPED_TRACE(url);
    const std::optional<ValueShape> shape = ShapeOf(kBlackKey, url);
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->type, DWORD{REG_SZ});
    EXPECT_EQ(ReadText(kBlackKey, url), "");
  }
  EXPECT_FALSE(KeyExists(kWhiteKey)) << "the white list was saved too";
}

TEST_F(ListsTest, DeletingTheLastWhiteEntryRemovesTheSubkey) {
  WriteText(kWhiteKey, "http://only.example/", "");
  WriteText(kBlackKey, "http://black.example/", "");
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_EQ(Rows(parts_.whiteList), Rows_{"http://only.example/"});
  ASSERT_TRUE(SelectPage(parts_, parts_.whiteSheet));
  EXPECT_FALSE(HasVisibleStyle(parts_.mainSheet));

  ASSERT_TRUE(SelectRow(parts_.whiteList, 0));
  ASSERT_TRUE(SendClick(parts_.whiteGroup, places::kDeleteButton));
  EXPECT_TRUE(Rows(parts_.whiteList).empty());
  EXPECT_FALSE(KeyExists(kWhiteKey)) << "an empty list keeps its subkey";
  EXPECT_TRUE(KeyExists(kProgramKey));
  EXPECT_EQ(ValueNames(kBlackKey), Rows_{"http://black.example/"});

  // Delete on the empty list does nothing.
  ASSERT_TRUE(SendClick(parts_.whiteGroup, places::kDeleteButton));
  EXPECT_FALSE(KeyExists(kWhiteKey));
  EXPECT_FALSE(zapnix_->FindMessageBox().has_value());
}

// The input box driven for real: OK adds a row and saves the whole list,
// which also drops what another program wrote meanwhile; Cancel and an empty
// text change and write nothing.
TEST_F(ListsTest, AddButtonAsksForTheUrlAndSavesTheList) {
  ASSERT_NO_FATAL_FAILURE(Start());
  {
    const std::optional<InputBoxSeen> box = OpenAddBox(parts_.whiteSheet, parts_.whiteGroup);
    ASSERT_TRUE(box.has_value()) << "no input box titled \"Add URL\"";
    EXPECT_EQ(box->prompt, "Add a URL to white list:");
    EXPECT_EQ(TextOf(box->edit), "");
    ASSERT_TRUE(AnswerInputBox(*box, "http://typed.example/", true));
  }
  EXPECT_EQ(Rows(parts_.whiteList), Rows_{"http://typed.example/"});
  EXPECT_EQ(ValueNames(kWhiteKey), Rows_{"http://typed.example/"});
  EXPECT_EQ(ReadText(kWhiteKey, "http://typed.example/"), "");

  // A value written by someone else shows whether the program wrote the list again.
  WriteText(kWhiteKey, "http://outside.example/", "");
  ASSERT_NO_FATAL_FAILURE(AddThroughBox(parts_.whiteSheet, parts_.whiteGroup, "http://cancelled.example/", false));
  ASSERT_NO_FATAL_FAILURE(AddThroughBox(parts_.whiteSheet, parts_.whiteGroup, "", true));
  EXPECT_EQ(Rows(parts_.whiteList), Rows_{"http://typed.example/"});
  Rows_ stored = ValueNames(kWhiteKey);
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (Rows_{"http://outside.example/", "http://typed.example/"}));

  // Blanks are a text like any other.
  ASSERT_NO_FATAL_FAILURE(AddThroughBox(parts_.whiteSheet, parts_.whiteGroup, "  ", true));
  EXPECT_EQ(Rows(parts_.whiteList), (Rows_{"http://typed.example/", "  "}));
  stored = ValueNames(kWhiteKey);
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (Rows_{"  ", "http://typed.example/"}));
  EXPECT_FALSE(KeyExists(kBlackKey));

  // The black list's box asks for its own list.
  const std::optional<InputBoxSeen> black = OpenAddBox(parts_.blackSheet, parts_.blackGroup);
  ASSERT_TRUE(black.has_value());
  EXPECT_EQ(black->prompt, "Add a URL to black list:");
  ASSERT_TRUE(AnswerInputBox(*black, "http://black.example/", true));
  EXPECT_EQ(Rows(parts_.blackList), Rows_{"http://black.example/"});
  EXPECT_EQ(ValueNames(kBlackKey), Rows_{"http://black.example/"});
  EXPECT_EQ(Rows(parts_.whiteList).size(), 2u);
}

// The same URL added in two letter cases shows twice during the run; the
// registry keeps one value, so the next start shows it once.
TEST_F(ListsTest, AddedUrlsSurviveARestartAsTheRegistryKeepsThem) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(AddThroughBox(parts_.whiteSheet, parts_.whiteGroup, "http://dup.example/", true));
  ASSERT_NO_FATAL_FAILURE(AddThroughBox(parts_.whiteSheet, parts_.whiteGroup, "HTTP://DUP.EXAMPLE/", true));
  ASSERT_NO_FATAL_FAILURE(AddThroughBox(parts_.whiteSheet, parts_.whiteGroup, "http://other.example/", true));
  EXPECT_EQ(Rows(parts_.whiteList), (Rows_{"http://dup.example/", "HTTP://DUP.EXAMPLE/", "http://other.example/"}));
  const Rows_ stored = ValueNames(kWhiteKey);
  EXPECT_EQ(stored.size(), 2u);

  ASSERT_TRUE(zapnix_->AskToClose());
  ASSERT_EQ(zapnix_->WaitForExit(), 0u);
  zapnix_.reset();
  shell_.reset();
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Rows(parts_.whiteList), stored);
  EXPECT_EQ(Rows(parts_.whiteList).size(), 2u);
  EXPECT_TRUE(Rows(parts_.blockedList).empty());
}

// The buttons of the Main page act on the entry with the focus rectangle only.
TEST_F(ListsTest, BlockedEntriesMoveToTheListsOrGoWithoutBeingStored) {
  WriteText(kBlackKey, "http://three.example/", "");
  ASSERT_NO_FATAL_FAILURE(Start());
  for (const char* url : {"http://one.example/", "http://two.example/", "http://three.example/",
                          "http://four.example/"})
    ASSERT_NO_FATAL_FAILURE(Stop(std::string("stop ") + url));

  // Three rows selected, the focus rectangle on the second: Delete removes that one.
  ASSERT_TRUE(SelectRow(parts_.blockedList, 0));
  ASSERT_TRUE(SelectRow(parts_.blockedList, 2));
  ASSERT_TRUE(SelectRow(parts_.blockedList, 1));
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kDeleteBlockedButton));
  EXPECT_EQ(Rows(parts_.blockedList), (Rows_{"http://one.example/", "http://three.example/", "http://four.example/"}));
  EXPECT_FALSE(KeyExists(kWhiteKey));

  // Moving to the white list stores the white list only, even when the black
  // list holds the same URL.
  ASSERT_TRUE(SendWithTimeout(parts_.blockedList, LB_SETCARETINDEX, 1, FALSE).has_value());
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kAddToWhiteButton));
  EXPECT_EQ(Rows(parts_.blockedList), (Rows_{"http://one.example/", "http://four.example/"}));
  EXPECT_EQ(Rows(parts_.whiteList), Rows_{"http://three.example/"});
  EXPECT_EQ(ValueNames(kWhiteKey), Rows_{"http://three.example/"});
  EXPECT_EQ(Rows(parts_.blackList), Rows_{"http://three.example/"});
  EXPECT_EQ(ValueNames(kBlackKey), Rows_{"http://three.example/"});

  // Clear empties the blocked list and leaves the registry alone.
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kClearButton));
  EXPECT_TRUE(Rows(parts_.blockedList).empty());
  EXPECT_EQ(ValueNames(kWhiteKey), Rows_{"http://three.example/"});
  EXPECT_EQ(ValueNames(kBlackKey), Rows_{"http://three.example/"});

  // A URL cleared from the blocked list is new again when it is stopped again.
  ASSERT_NO_FATAL_FAILURE(Stop("stop http://one.example/"));
  EXPECT_EQ(Rows(parts_.blockedList), Rows_{"http://one.example/"});
}

// Add, Edit and Delete on both stored lists, through the real buttons and
// input box: each writes its own subkey whole and never the other list's.
TEST_F(ListsTest, AddEditAndDeleteOfEachListWriteOnlyThatList) {
  WriteText(kWhiteKey, "http://white.example/", "");
  WriteText(kBlackKey, "http://black.example/", "");
  ASSERT_NO_FATAL_FAILURE(Start());
  struct Page {
    const char* name;
    HWND sheet, group, list;
    const std::string& key;
    const std::string& otherKey;
    const char* kept;
    const char* otherKept;
  };
  const Page pages[] = {
      {"white", parts_.whiteSheet, parts_.whiteGroup, parts_.whiteList, kWhiteKey, kBlackKey, "http://white.example/",
       "http://black.example/"},
      {"black", parts_.blackSheet, parts_.blackGroup, parts_.blackList, kBlackKey, kWhiteKey, "http://black.example/",
       "http://white.example/"},
  };
  auto sorted = [](Rows_ rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
  };
  for (const Page& page : pages) {
    SCOPED_TRACE(page.name);
    ASSERT_NO_FATAL_FAILURE(AddThroughBox(page.sheet, page.group, "http://added.example/", true));
    EXPECT_EQ(Rows(page.list), (Rows_{page.kept, "http://added.example/"}));
    EXPECT_EQ(sorted(ValueNames(page.key)), sorted(Rows_{page.kept, "http://added.example/"}));

    // Edit: the Edit button opens the box on the chosen row.
    ASSERT_TRUE(SelectRow(page.list, 1));
    PostClick(page.group, places::kEditButton);
    const std::optional<InputBoxSeen> box = WaitForInputBox(zapnix_->Id(), "Edit");
    ASSERT_TRUE(box.has_value()) << "no input box titled \"Edit\"";
    EXPECT_EQ(box->prompt, "Edit URL:");
    EXPECT_EQ(TextOf(box->edit), "http://added.example/");
    ASSERT_TRUE(AnswerInputBox(*box, "http://edited.example/", true));
    EXPECT_EQ(Rows(page.list), (Rows_{page.kept, "http://edited.example/"}));
    EXPECT_EQ(sorted(ValueNames(page.key)), sorted(Rows_{page.kept, "http://edited.example/"}));

    // Delete removes the chosen row and writes the rest.
    ASSERT_TRUE(SelectRow(page.list, 1));
    ASSERT_TRUE(SendClick(page.group, places::kDeleteButton));
    EXPECT_EQ(Rows(page.list), Rows_{page.kept});
    EXPECT_EQ(ValueNames(page.key), Rows_{page.kept});
    EXPECT_EQ(ValueNames(page.otherKey), Rows_{page.otherKept}) << "the other list was written";
  }
  EXPECT_FALSE(zapnix_->FindMessageBox().has_value());
}

// With nothing selected the caret still stands on the first row: Delete,
// Edit and the moves of the Main page do nothing then.
TEST_F(ListsTest, ButtonsDoNothingWhileNoRowIsSelected) {
  WriteText(kBlackKey, "http://first.example/", "");
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Stop("stop http://blocked.example/"));
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kDeleteBlockedButton));
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kAddToWhiteButton));
  ASSERT_TRUE(SendClick(parts_.blockedGroup, places::kAddToBlackButton));
  EXPECT_EQ(Rows(parts_.blockedList), Rows_{"http://blocked.example/"});

  ASSERT_TRUE(SelectPage(parts_, parts_.blackSheet));
  ASSERT_TRUE(SendClick(parts_.blackGroup, places::kDeleteButton));
  PostClick(parts_.blackGroup, places::kEditButton);
  EXPECT_FALSE(WaitForInputBox(zapnix_->Id(), "Edit", 500).has_value()) << "an edit box for a row nobody chose";
  EXPECT_EQ(Rows(parts_.blackList), Rows_{"http://first.example/"});
  EXPECT_EQ(ValueNames(kBlackKey), Rows_{"http://first.example/"});
  EXPECT_FALSE(KeyExists(kWhiteKey));
}

// A list that cannot be written: the registry's error box names the URL, and
// the list box keeps the new row.
TEST_F(ListsTest, FailedListWriteShowsTheErrorAndKeepsTheRow) {
  ASSERT_TRUE(MakeListsUnwritable());
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_FALSE(zapnix_->FindMessageBox().has_value()) << "the start reported a list it could not read";

  const std::optional<InputBoxSeen> box = OpenAddBox(parts_.whiteSheet, parts_.whiteGroup);
  ASSERT_TRUE(box.has_value());
  ASSERT_TRUE(AnswerInputBox(*box, "http://unsaved.example/", true));
  const std::optional<MessageBoxSeen> error = zapnix_->WaitForMessageBox(kAnswerTimeoutMs);
  ASSERT_TRUE(error.has_value()) << "no error box";
  EXPECT_EQ(error->text, "Failed to set data for 'http://unsaved.example/'");
  ASSERT_TRUE(zapnix_->PressOk(*error));
  EXPECT_EQ(Rows(parts_.whiteList), Rows_{"http://unsaved.example/"});
  EXPECT_FALSE(KeyExists(kWhiteKey));
  EXPECT_TRUE(zapnix_->Running());
  DeleteTree("Vantrel Software");
}

}  // namespace
}  // namespace e2e
