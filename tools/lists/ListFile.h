#pragma once
// List files: one URL per line. Reading checks a whole file before anything
// is taken from it; writing gives UTF-8 with CR LF line ends.
//
// A file is UTF-8 when it starts with the UTF-8 byte-order mark or is valid
// UTF-8 throughout. Otherwise it is text of the ANSI code page, unless it
// also holds valid multi-byte UTF-8 sequences: then it is UTF-8 damaged on
// the lines that are not valid, and refused.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lists {

// The registry's longest value name, in UTF-16 code units.
inline constexpr size_t kMaxValueName = 16383;

enum class Encoding { kUtf8, kUtf8WithMark, kAnsi };

// A message about a line of a file; line 0 is the file as a whole. The text is UTF-8.
struct LineNote {
  size_t line = 0;
  std::string text;
};

struct FileUrl {
  size_t line = 0;
  std::u16string text;  // the URL as the registry keeps it
  std::string ansi;     // the URL in the ANSI code page, as the program names its values
};

struct ParsedFile {
  Encoding encoding = Encoding::kUtf8;
  // The URLs in file order, each only at its first line among those that
  // differ in letter case alone.
  std::vector<FileUrl> urls;
  // Faults that refuse the whole file.
  std::vector<LineNote> errors;
  // URLs that cannot be value names: reported and left out.
  std::vector<LineNote> skipped;
  size_t duplicates = 0;
};

ParsedFile ParseListFile(std::string_view bytes);

// The text as the registry compares value names: letter case folded.
std::u16string FoldedKey(std::u16string_view text);

// Strict UTF-8: no overlong forms, surrogates or values above U+10FFFF.
bool DecodeUtf8(std::string_view bytes, std::u16string& text);
// An unpaired surrogate becomes U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

// The names as a list file, one per line with CR LF. A name with a line break
// in it cannot be a line: it is left out and reported under the number its
// line would have had. A name that would not be read back as written (empty,
// surrounded by blanks, or starting with '#') is written and reported.
std::string FormatListFile(const std::vector<std::u16string>& names, std::vector<LineNote>& leftOut,
                           std::vector<LineNote>& changed);

}  // namespace lists
