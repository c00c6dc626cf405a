// ZapnixLists, the lists tool, run as a separate process against the real
// registry: what each import leaves in the store, export and import giving
// back the same list, searching, and the tool meeting a running Zapnix.
#include <algorithm>
#include <memory>

#include "E2e.h"

namespace e2e {
namespace {

const std::string kWhite = std::string(kProgramKey) + "\\WhiteList";
const std::string kBlack = std::string(kProgramKey) + "\\BlackList";
using Names = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

ToolResult Lists(const std::string& arguments) { return RunTool(SuiteFile("ZapnixLists.exe"), arguments); }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string bytes(static_cast<size_t>(std::max(size, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof(buffer), file)) > 0;) bytes.append(buffer, got);
    std::fclose(file);
  }
  return bytes;
}

using ListsToolTest = ZapnixTest;

// One import each into a white list that holds `before`: the exit code, what
// the store holds afterwards and the messages. A refused file leaves the list
// exactly as it was.
TEST_F(ListsToolTest, ImportTakesGoodLinesAndRefusesBadFilesWhole) {
  const std::string longest(16383, 'l'), tooLong(16384, 'm');
  const std::string cafe = ToAnsi(L"http://caf\u00e9.example/");
  const std::string naive = ToAnsi(L"http://na\u00efve.example/");
  struct Case {
    const char* name;
    Names before;
    std::optional<std::string> file;  // nothing: no such file
    const char* options;
    DWORD code;
    Names after;
    std::vector<std::string> messages;  // each in standard output or error
  };
  const Case cases[] = {
      {"comments, blanks, trimming and letter case",
       {"http://old.example/"},
       "# saved lists\r\n\r\n  http://new.example/ \r\nHTTP://OLD.EXAMPLE/\r\nhttp://NEW.example/\n\thttp://third.example/\t",
       "",
       0,
       {"http://new.example/", "http://old.example/", "http://third.example/"},
       {"Added 2 URLs to the white list", "1 repeated in the file.", "1 already in the list."}},
      {"replace", {"http://a.example/", "http://b.example/"}, "http://c.example/\n", "--replace", 0,
       {"http://c.example/"}, {"Replaced the white list by 1 URL", "it holds 1 URL."}},
      {"UTF-8 with byte-order mark", {}, "\xEF\xBB\xBF" + Utf8(L"http://caf\u00e9.example/\r\n"), "", 0, {cafe},
       {"(UTF-8 with byte-order mark)"}},
      {"ANSI text", {}, ToAnsi(L"http://na\u00efve.example/\n"), "", 0, {naive}, {"(ANSI code page"}},
      {"letter case beyond ASCII", {},
       Utf8(L"http://\u00c4rger.example/\nhttp://\u00e4RGER.example/\n"), "", 0,
       {ToAnsi(L"http://\u00c4rger.example/")}, {"1 repeated in the file."}},
      {"characters the ANSI code page lacks", {"http://kept.example/"},
       Utf8(L"http://\u4e2d.example/\nhttp://ok.example/\n"), "", 4, {"http://kept.example/", "http://ok.example/"},
       {"F.txt:1: the URL has characters that the ANSI code page"}},
      {"value-name limit", {}, longest + "\n" + tooLong + "\n", "", 4, {longest},
       {"F.txt:2: the URL is 16384 characters long; the registry takes at most 16383"}},
      {"invalid UTF-8 after a mark", {"http://keep.example/"}, "\xEF\xBB\xBFhttp://ok.example/\nhttp://bad\xC3(/\n",
       "--replace", 3, {"http://keep.example/"}, {"F.txt:2: not valid UTF-8", "the white list was not changed"}},
      {"damaged UTF-8", {"http://keep.example/"}, "http://caf\xC3\xA9.example/\r\n\r\nhttp://x\xFF.example/\r\n", "",
       3, {"http://keep.example/"}, {"F.txt:3: not valid UTF-8"}},
      {"NUL byte", {"http://keep.example/"}, std::string("http://a.example/\nhttp://b\0.example/\n", 37), "", 3,
       {"http://keep.example/"}, {"F.txt:2: a NUL byte: the file is not text"}},
      {"UTF-16", {"http://keep.example/"}, std::string("\xFF\xFEh\0t\0", 6), "", 3, {"http://keep.example/"},
       {"F.txt: the file is UTF-16 text"}},
      {"empty file", {"http://keep.example/"}, "", "--replace", 3, {"http://keep.example/"},
       {"F.txt: the file is empty"}},
      {"comments only", {"http://keep.example/"}, "# nothing\r\n   \r\n", "--replace", 3, {"http://keep.example/"},
       {"F.txt holds no URL to import"}},
      {"only URLs that cannot be value names", {"http://keep.example/"}, tooLong + "\n", "--replace", 3,
       {"http://keep.example/"}, {"F.txt:1: the URL is 16384", "holds no URL to import"}},
      {"missing file", {"http://keep.example/"}, std::nullopt, "", 3, {"http://keep.example/"},
       {"cannot read ", "F.txt: "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteTree(kWhite);
    for (const std::string& name : c.before) WriteText(kWhite, name.c_str(), "");
    TempFolder folder;
    if (c.file) folder.Write("F.txt", *c.file);
    // The messages name the file by its whole path, which ends in F.txt.
    const ToolResult result = Lists("import white " + Quoted(folder.File("F.txt")) + " " + c.options);
    EXPECT_EQ(result.exitCode, c.code) << result.out << result.err;
    EXPECT_EQ(Sorted(ValueNames(kWhite)), Sorted(c.after));
    for (const std::string& message : c.messages)
      EXPECT_TRUE(Contains(result.out + result.err, message)) << message << "\n" << result.out << result.err;
    for (const std::string& name : ValueNames(kWhite)) EXPECT_EQ(ReadText(kWhite, name.c_str()), "") << name;
    EXPECT_FALSE(KeyExists(kBlack)) << "the other list was written";
  }
}

// Export and import --replace give back the very list; export writes UTF-8
// lines with CR LF, to a file or to standard output alike.
TEST_F(ListsToolTest, ExportThenImportGivesTheSameList) {
  const Names stored = {ToAnsi(L"http://caf\u00e9.example/menu"), "http://Mixed.Case.example/", "https://x.example/?a=1#top",
                        "http://y.example/path with blank"};
  for (const std::string& name : stored) WriteText(kBlack, name.c_str(), "");
  const Names order = ValueNames(kBlack);
  TempFolder folder;
  const ToolResult exported = Lists("export black " + Quoted(folder.File("black.txt")));
  ASSERT_EQ(exported.exitCode, 0u) << exported.err;
  EXPECT_TRUE(Contains(exported.out, "Exported 4 URLs of the black list")) << exported.out;
  const std::string bytes = ReadFileBytes(folder.File("black.txt"));
  std::string expected;
  for (const std::string& name : order) {
    std::wstring wide(name.size(), L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), static_cast<int>(wide.size()))));
    expected += Utf8(wide) + "\r\n";
  }
  EXPECT_EQ(bytes, expected);

  WriteText(kBlack, "http://added.later.example/", "");
  const ToolResult imported = Lists("import black " + Quoted(folder.File("black.txt")) + " --replace");
  EXPECT_EQ(imported.exitCode, 0u) << imported.err;
  EXPECT_EQ(ValueNames(kBlack), order);

  const ToolResult toOutput = Lists("export black");
  EXPECT_EQ(toOutput.exitCode, 0u);
  std::string withoutReturns = expected;
  std::erase(withoutReturns, '\r');
  EXPECT_EQ(toOutput.out, withoutReturns);

  const ToolResult again = Lists("import black " + Quoted(folder.File("black.txt")));
  EXPECT_EQ(again.exitCode, 0u);
  EXPECT_TRUE(Contains(again.out, "4 already in the list. Nothing changed.")) << again.out;
  EXPECT_FALSE(KeyExists(kWhite));
}

TEST_F(ListsToolTest, FindStatusAndBadArguments) {
  WriteText(kWhite, "http://Shop.example/a", "");
  WriteText(kWhite, "http://other.example/", "");
  WriteText(kBlack, "http://ads.shop.example/b", "");
  ToolResult result = Lists("find SHOP.EX");
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.out, "white\thttp://Shop.example/a\nblack\thttp://ads.shop.example/b\n");
  result = Lists("find nowhere");
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_EQ(result.out, "");
  result = Lists("status");
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.out, "White list: 2 URLs\nBlack list: 1 URL\nZapnix: not running\n");

  for (const char* arguments : {"", "frobnicate", "export", "export grey", "export white a b", "import white",
                                "import white f --force", "find", "find a b", "status now"}) {
    SCOPED_TRACE(arguments);
    result = Lists(arguments);
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_TRUE(Contains(result.err, "usage: ZapnixLists") || Contains(result.err, "\"white\" or \"black\""))
        << result.err;
  }
  EXPECT_EQ(ValueNames(kWhite).size(), 2u);
}

// A list that cannot be written: the tool says so and leaves no partial list.
TEST_F(ListsToolTest, FailedWriteIsReportedAndLeavesNoPartialList) {
  ASSERT_TRUE(MakeListsUnwritable());
  TempFolder folder;
  folder.Write("w.txt", "http://one.example/\nhttp://two.example/\n");
  const ToolResult result = Lists("import white " + Quoted(folder.File("w.txt")));
  EXPECT_EQ(result.exitCode, 6u);
  EXPECT_TRUE(Contains(result.err, "cannot write the white list: Failed to set data for 'http://one.example/'"))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "put back as it was")) << result.err;
  EXPECT_FALSE(KeyExists(kWhite));
  DeleteTree("Vantrel Software");
}

// While Zapnix runs, its next save would overwrite an import: the tool
// refuses, or with --close has the program close first and says so.
TEST_F(ListsToolTest, ImportWaitsForZapnixToCloseOrRefuses) {
  WriteText(kWhite, "http://before.example/", "");
  auto zapnix = std::make_unique<ZapnixProcess>();
  ASSERT_NE(zapnix->WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix->WaitUntilHiddenAfterFirstPaint());
  TempFolder folder;
  folder.Write("w.txt", "http://imported.example/\n");

  ToolResult result = Lists("status");
  EXPECT_TRUE(Contains(result.out, "Zapnix: running")) << result.out;
  result = Lists("import white " + Quoted(folder.File("w.txt")) + " --replace");
  EXPECT_EQ(result.exitCode, 5u);
  EXPECT_TRUE(Contains(result.err, "Zapnix is running")) << result.err;
  EXPECT_TRUE(Contains(result.err, "--close")) << result.err;
  EXPECT_EQ(ValueNames(kWhite), Names{"http://before.example/"});
  EXPECT_TRUE(zapnix->Running());

  result = Lists("import white " + Quoted(folder.File("w.txt")) + " --replace --close");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_TRUE(Contains(result.out, "Zapnix was closed for the import: start it again.")) << result.out;
  EXPECT_EQ(zapnix->WaitForExit(), 0u);
  EXPECT_EQ(ValueNames(kWhite), Names{"http://imported.example/"});
  EXPECT_FALSE(AtomPresent(kInstanceAtom));

  // Started again, the program shows the imported list.
  zapnix = std::make_unique<ZapnixProcess>();
  ASSERT_NE(zapnix->WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix->WaitUntilHiddenAfterFirstPaint());
  int rows = -1;
  for (HWND box : ListBoxes(zapnix->MainWindow()))
    if (FindListBoxRow(box, "http://imported.example/") >= 0) rows = static_cast<int>(ListBoxRows(box).size());
  EXPECT_EQ(rows, 1);
}

}  // namespace
}  // namespace e2e
