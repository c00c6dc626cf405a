// Reading list files: encodings, line ends, trimming, comments, letter case,
// the value-name limit and every kind of refusal, each with its line; and
// damaged or random bytes from fixed seeds, which must end in a well-formed
// result (this test also runs under the address and undefined-behaviour
// sanitizers).
#include <gtest/gtest.h>

#include <random>

#include "ListFile.h"

namespace lists {
namespace {

std::string U8(std::u16string_view text) { return EncodeUtf8(text); }

std::vector<std::string> Urls(const ParsedFile& file) {
  std::vector<std::string> urls;
  for (const FileUrl& url : file.urls) urls.push_back(U8(url.text) + "@" + std::to_string(url.line));
  return urls;
}

// The notes as "line:text", each cut to the length of the expected one, so
// that a table names a note by its line and its start.
std::vector<std::string> Notes(const std::vector<LineNote>& notes, const std::vector<std::string>& expected) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < notes.size(); ++i) {
    std::string line = std::to_string(notes[i].line) + ":" + notes[i].text;
    if (i < expected.size()) line = line.substr(0, expected[i].size());
    lines.push_back(line);
  }
  return lines;
}

TEST(ListFile, ReadsEachKindOfFile) {
  const std::string longest = "http://" + std::string(kMaxValueName - 7, 'x');
  // The limit counts characters (UTF-16 units), not the bytes of UTF-8.
  const std::string wideFits = "http://" + std::string(kMaxValueName - 8, 'y') + "\xC3\xA9";
  const std::string wideTooLong = "http://" + std::string(kMaxValueName - 7, 'z') + "\xC3\xA9";
  struct Case {
    const char* name;
    std::string bytes;
    Encoding encoding;
    std::vector<std::string> urls;  // text@line
    std::vector<std::string> errors;
    std::vector<std::string> skipped;
    size_t duplicates;
  };
  const Case cases[] = {
      {"line ends of three kinds", "a\r\nb\nc\rd", Encoding::kUtf8, {"a@1", "b@2", "c@3", "d@4"}, {}, {}, 0},
      {"blank lines, comments, blanks around", "\r\n  # x\r\n\t a b \xC2\xA0\r\n#y\r\n \r\n", Encoding::kUtf8,
       {"a b@3"}, {}, {}, 0},
      {"a '#' inside a URL", "http://a/#top\n", Encoding::kUtf8, {"http://a/#top@1"}, {}, {}, 0},
      {"letter case", "http://A/\nhttp://a/\n\xC3\x84\n\xC3\xA4\n", Encoding::kUtf8, {"http://A/@1", "\xC3\x84@3"},
       {}, {}, 2},
      {"mark", "\xEF\xBB\xBF" "caf\xC3\xA9\n", Encoding::kUtf8WithMark, {"caf\xC3\xA9@1"}, {}, {}, 0},
      {"ANSI", "caf\xE9\nna\xEFve\n", Encoding::kAnsi, {"caf\xC3\xA9@1", "na\xC3\xAFve@2"}, {}, {}, 0},
      {"the longest name", longest + "\n" + wideFits + "\n" + wideTooLong, Encoding::kUtf8,
       {longest + "@1", wideFits + "@2"}, {}, {"3:the URL is 16384 characters long"}, 0},
      {"outside the code page", "\xE4\xB8\xAD\nok\n", Encoding::kUtf8, {"ok@2"}, {}, {"1:the URL has characters that the ANSI code page 28591"}, 0},
      {"damaged UTF-8, each line named", "\xC3\xA9\nx\xFF\nok\n\xC0\x80\n\xED\xA0\x80\n\xF4\x90\x80\x80\n\xE0\x81\x81\n\xE2\x82",
       Encoding::kUtf8, {}, {"2:not valid UTF-8", "4:not valid UTF-8", "5:not valid UTF-8", "6:not valid UTF-8",
                            "7:not valid UTF-8", "8:not valid UTF-8"}, {}, 0},
      {"bad after a mark", "\xEF\xBB\xBF\xFF\n", Encoding::kUtf8WithMark, {}, {"1:not valid UTF-8"}, {}, 0},
      {"NUL on the third line", std::string("a\rb\r\nc\0d", 8), Encoding::kUtf8, {}, {"3:a NUL byte: the file is not text"}, {}, 0},
      {"empty", "", Encoding::kUtf8, {}, {"0:the file is empty"}, {}, 0},
      {"UTF-16", "\xFE\xFF\x00h", Encoding::kUtf8, {}, {"0:the file is UTF-16"}, {}, 0},
      {"comments only", "# a\n\n", Encoding::kUtf8, {}, {}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ParsedFile file = ParseListFile(c.bytes);
    if (c.errors.empty()) {
      EXPECT_EQ(file.encoding, c.encoding);
      EXPECT_EQ(Urls(file), c.urls);
    }
    EXPECT_EQ(Notes(file.errors, c.errors), c.errors);
    EXPECT_EQ(Notes(file.skipped, c.skipped), c.skipped);
    EXPECT_EQ(file.duplicates, c.duplicates);
  }
}

TEST(ListFile, WritesNamesAsLinesAndReportsThoseThatDoNotReadBack) {
  std::vector<LineNote> leftOut, changed;
  const std::string bytes = FormatListFile({u"a", u"b\nc", u" d", u"#e", u"\u00e9\U0001F600", u"f"}, leftOut, changed);
  EXPECT_EQ(bytes, "a\r\n d\r\n#e\r\n\xC3\xA9\xF0\x9F\x98\x80\r\nf\r\n");
  const std::vector<std::string> left = {"2:a URL with a line break in it cannot be a line: left out"};
  EXPECT_EQ(Notes(leftOut, left), left);
  const std::vector<std::string> different = {"2:\" d\" will not be read back as written",
                                              "3:\"#e\" will not be read back as written"};
  EXPECT_EQ(Notes(changed, different), different);
}

// Random and damaged bytes: every result is well formed, and what was read
// is what a file of the URLs alone reads as.
TEST(ListFile, RandomBytesEndInAWellFormedResult) {
  const std::string pieces[] = {"http://a.example/", "\r\n", "\n", "\r", " ", "\t", "#", "\xC3\xA9", "\xC3", "\xA9",
                                "\xF0\x9F\x98\x80", "\xE4\xB8\xAD", "\xEF\xBB\xBF", "\xFF", "A", "a", std::string(1, '\0')};
  std::mt19937 random(20261208);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) {
      if (random() % 5 == 0) bytes.push_back(static_cast<char>(random() % 256));
      else bytes += pieces[random() % std::size(pieces)];
    }
    SCOPED_TRACE(round);
    const ParsedFile file = ParseListFile(bytes);
    if (!file.errors.empty()) continue;
    std::string again;
    size_t lastLine = 0;
    for (const FileUrl& url : file.urls) {
      ASSERT_FALSE(url.text.empty());
      ASSERT_LE(url.text.size(), kMaxValueName);
      ASSERT_NE(url.text.front(), u'#');
      ASSERT_NE(url.text.front(), u' ');
      ASSERT_NE(url.text.back(), u'\t');
      ASSERT_NE(url.text.back(), u' ');
      ASSERT_GT(url.line, lastLine);
      lastLine = url.line;
      again += U8(url.text) + "\r\n";
    }
    if (file.urls.empty()) continue;
    const ParsedFile reread = ParseListFile(again);
    ASSERT_TRUE(reread.errors.empty());
    ASSERT_EQ(reread.urls.size(), file.urls.size());
    for (size_t i = 0; i < file.urls.size(); ++i) ASSERT_EQ(reread.urls[i].text, file.urls[i].text);
    ASSERT_EQ(reread.duplicates, 0u);
  }
}

TEST(ListFile, Utf8RoundTripsEveryCodePoint) {
  std::u16string all;
  for (char32_t c = 1; c <= 0x10FFFF; c += (c < 0x800 ? 1 : 97)) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c < 0x10000) {
      all.push_back(static_cast<char16_t>(c));
    } else {
      all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  std::u16string back;
  ASSERT_TRUE(DecodeUtf8(EncodeUtf8(all), back));
  EXPECT_EQ(back, all);
  EXPECT_EQ(EncodeUtf8(u"\xD800x"), "\xEF\xBF\xBDx") << "an unpaired surrogate";
}

}  // namespace
}  // namespace lists
