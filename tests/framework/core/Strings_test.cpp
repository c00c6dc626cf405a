#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Streams.h"
#include "Strings.h"

namespace {

std::vector<std::string> Lines(const TStrings& s) {
  return s.ToVector();
}

// A list that implements only the primitives, as a list box's item list does,
// so that the defaults of TStrings are what gets exercised.
class TBareStrings : public TStrings {
 public:
  int Count() const override { return static_cast<int>(lines.size()); }
  std::string Get(int i) const override {
    if (i < 0 || i >= Count()) IndexError(i);
    return lines[static_cast<size_t>(i)];
  }
  void Insert(int i, const std::string& s) override {
    if (i < 0 || i > Count()) IndexError(i);
    lines.insert(lines.begin() + i, s);
  }
  void Delete(int i) override {
    if (i < 0 || i >= Count()) IndexError(i);
    lines.erase(lines.begin() + i);
  }
  void Clear() override { lines.clear(); }
  void SetUpdateState(bool updating) override { updates.push_back(updating); }
  std::vector<std::string> lines;
  std::vector<bool> updates;
};

TEST(StringListTest, BasicEditingKeepsObjectsWithTheirLines) {
  TStringList s;
  TStringList a, b;  // any objects will do as markers
  EXPECT_EQ(s.Add("one"), 0);
  EXPECT_EQ(s.AddObject("two", &a), 1);
  s.Insert(0, "zero");
  s.InsertObject(3, "three", &b);
  EXPECT_EQ(Lines(s), (std::vector<std::string>{"zero", "one", "two", "three"}));
  EXPECT_EQ(s.Objects(2), &a);
  s.Exchange(2, 3);
  EXPECT_EQ(s[2], "three");
  EXPECT_EQ(s.Objects(2), &b);
  EXPECT_EQ(s.Objects(3), &a);
  s.Move(3, 0);
  EXPECT_EQ(Lines(s), (std::vector<std::string>{"two", "zero", "one", "three"}));
  EXPECT_EQ(s.Objects(0), &a);
  s.SetString(1, "nil");
  s.Delete(2);
  EXPECT_EQ(Lines(s), (std::vector<std::string>{"two", "nil", "three"}));
  EXPECT_EQ(s.IndexOfObject(&b), 2);
  s.Clear();
  EXPECT_EQ(s.Count(), 0);
}

TEST(StringListTest, IndexOutOfBoundsIsAnError) {
  TStringList s;
  s.Add("a");
  auto expectError = [](auto fn, const char* message) {
    try {
      fn();
      ADD_FAILURE() << message;
    } catch (const EStringListError& e) {
      EXPECT_EQ(e.Message(), message);
    }
  };
  expectError([&] { s.Get(1); }, "List index out of bounds (1)");
  expectError([&] { s.Get(-1); }, "List index out of bounds (-1)");
  expectError([&] { s.Delete(1); }, "List index out of bounds (1)");
  expectError([&] { s.Insert(2, "x"); }, "List index out of bounds (2)");
  expectError([&] { s.Objects(5); }, "List index out of bounds (5)");
  expectError([&] { s.Exchange(0, 1); }, "List index out of bounds (1)");
  s.Insert(1, "b");  // inserting at Count appends
  EXPECT_EQ(s.Count(), 2);
}

TEST(StringListTest, IndexOfIgnoresAsciiCaseOnly) {
  TStringList s;
  s.SetText("http://A.example/\r\n\xC9t\xE9\r\nzzz");
  EXPECT_EQ(s.IndexOf("HTTP://a.EXAMPLE/"), 0);
  EXPECT_EQ(s.IndexOf("\xC9T\xE9"), 1);
  EXPECT_EQ(s.IndexOf("\xE9t\xE9"), -1);  // é and É are different bytes
  EXPECT_EQ(s.IndexOf("zz"), -1);
  s.SetCaseSensitive(true);
  EXPECT_EQ(s.IndexOf("ZZZ"), -1);
  EXPECT_EQ(s.IndexOf("zzz"), 2);
}

TEST(StringListTest, TextSplitsAtEveryKindOfLineBreak) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"\n\r", {"", ""}},  // LF then a lone CR: two breaks
      {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
  };
  for (const Case& c : cases) {
    TStringList s;
    s.SetText(c.text);
    EXPECT_EQ(Lines(s), c.lines) << testing::PrintToString(c.text);
  }
  TStringList s;
  s.SetStrings({"a", "", "b"});
  EXPECT_EQ(s.Text(), "a\r\n\r\nb\r\n");
}

TEST(StringListTest, CommaTextQuotesWhatNeedsIt) {
  TStringList s;
  s.SetStrings({"plain", "two words", "", "say \"hi\"", "a,b", "tab\there"});
  EXPECT_EQ(s.CommaText(), "plain,\"two words\",\"\",\"say \"\"hi\"\"\",\"a,b\",\"tab\there\"");
  TStringList back;
  back.SetCommaText(s.CommaText());
  EXPECT_EQ(Lines(back), Lines(s));

  back.SetCommaText("  a b , c,,\"d e\"  ,f,");
  EXPECT_EQ(Lines(back), (std::vector<std::string>{"a", "b", "c", "", "d e", "f", ""}));
  back.SetCommaText("");
  EXPECT_EQ(back.Count(), 0);
}

TEST(StringListTest, SortedListPlacesAndFindsLines) {
  TStringList s;
  s.SetStrings({"pear", "Apple", "fig", "apple"});
  s.SetSorted(true);
  EXPECT_EQ(Lines(s), (std::vector<std::string>{"Apple", "apple", "fig", "pear"}));  // stable
  EXPECT_EQ(s.Add("banana"), 2);
  int index = -1;
  EXPECT_TRUE(s.Find("APPLE", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(s.Find("cherry", index));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(s.IndexOf("FIG"), 3);
  // Bytes beyond ASCII sort after every ASCII letter.
  s.Add("\xE9" "clair");
  EXPECT_EQ(s[s.Count() - 1], "\xE9" "clair");

  EXPECT_THROW(s.Insert(0, "x"), EStringListError);
  EXPECT_THROW(s.SetString(0, "x"), EStringListError);
  EXPECT_THROW(s.Exchange(0, 1), EStringListError);
}

TEST(StringListTest, DuplicatesOfASortedList) {
  TStringList s;
  s.SetSorted(true);
  s.Add("b");
  s.Add("a");
  EXPECT_EQ(s.Add("B"), 1);  // dupIgnore: the existing index, nothing added
  EXPECT_EQ(s.Count(), 2);
  s.SetDuplicates(dupError);
  try {
    s.Add("A");
    ADD_FAILURE();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "String list does not allow duplicates");
  }
  s.SetDuplicates(dupAccept);
  EXPECT_EQ(s.Add("A"), 0);  // before the equal line already there
  EXPECT_EQ(Lines(s), (std::vector<std::string>{"A", "a", "b"}));
  // Unsorted lists take duplicates whatever the setting.
  TStringList u;
  u.SetDuplicates(dupError);
  u.Add("x");
  u.Add("x");
  EXPECT_EQ(u.Count(), 2);
}

TEST(StringListTest, CaseSensitivityChangesTheOrder) {
  TStringList s;
  s.SetStrings({"b", "B", "a", "A"});
  s.SetSorted(true);
  EXPECT_EQ(Lines(s), (std::vector<std::string>{"a", "A", "b", "B"}));
  s.SetCaseSensitive(true);
  EXPECT_EQ(Lines(s), (std::vector<std::string>{"A", "B", "a", "b"}));
  int index = 0;
  EXPECT_FALSE(s.Find("c", index));
  EXPECT_EQ(index, 4);
}

TEST(StringListTest, ChangeEventsComeOncePerUpdateBracket) {
  TStringList s;
  std::vector<std::string> events;
  s.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &s);
    events.push_back("changing " + std::to_string(s.Count()));
  };
  s.OnChange = [&](TObject*) { events.push_back("change " + std::to_string(s.Count())); };
  s.Add("a");
  EXPECT_EQ(events, (std::vector<std::string>{"changing 0", "change 1"}));
  events.clear();
  s.BeginUpdate();
  s.BeginUpdate();
  s.Add("b");
  s.Add("c");
  s.EndUpdate();
  EXPECT_EQ(events, (std::vector<std::string>{"changing 1"}));
  s.EndUpdate();
  EXPECT_EQ(events, (std::vector<std::string>{"changing 1", "change 3"}));
  events.clear();
  s.SetText("x\ny");  // one bracket for the whole replacement
  EXPECT_EQ(events, (std::vector<std::string>{"changing 3", "change 2"}));
  events.clear();
  s.EndUpdate();  // unbalanced: ignored
  EXPECT_TRUE(events.empty());
}

TEST(StringsTest, DefaultsOfTheAbstractListWorkThroughThePrimitives) {
  TBareStrings s;
  s.SetStrings({"a", "b", "c"});
  EXPECT_EQ(s.updates, (std::vector<bool>{true, false}));
  s.Put(1, "B");
  s.Exchange(0, 2);
  EXPECT_EQ(s.lines, (std::vector<std::string>{"c", "B", "a"}));
  s.Move(0, 2);
  EXPECT_EQ(s.lines, (std::vector<std::string>{"B", "a", "c"}));
  EXPECT_EQ(s.IndexOf("A"), 1);
  EXPECT_EQ(s.Objects(0), nullptr);
  EXPECT_THROW(s.Objects(3), EStringListError);
  s.AddStrings(s);  // from itself: a snapshot is appended
  EXPECT_EQ(s.lines, (std::vector<std::string>{"B", "a", "c", "B", "a", "c"}));
  EXPECT_EQ(s.Text(), "B\r\na\r\nc\r\nB\r\na\r\nc\r\n");
}

TEST(StringsTest, AssignCopiesLinesAndObjectsBetweenKindsOfLists) {
  TStringList marker;
  TStringList from;
  from.AddObject("one", &marker);
  from.Add("two");
  TBareStrings bare;
  bare.lines = {"old"};
  bare.Assign(&from);
  EXPECT_EQ(bare.lines, (std::vector<std::string>{"one", "two"}));
  TStringList to;
  to.Add("old");
  to.Assign(&bare);
  EXPECT_EQ(Lines(to), (std::vector<std::string>{"one", "two"}));
  to.Assign(&from);
  EXPECT_EQ(to.Objects(0), &marker);
  EXPECT_TRUE(to.Equals(from));
  to.Assign(&to);
  EXPECT_EQ(to.Count(), 2);
}

TEST(StringsTest, StreamsCarryTheTextWithLineBreaks) {
  TStringList s;
  s.SetStrings({"first", "", "l\xE4st"});
  TMemoryStream stream;
  s.SaveToStream(stream);
  EXPECT_EQ(stream.Size(), 15);
  stream.SetPosition(0);
  TStringList back;
  back.LoadFromStream(stream);
  EXPECT_TRUE(back.Equals(s));
}

}  // namespace
