#include "ListFile.h"

#include <algorithm>
#include <unordered_set>

#include "CodePage.h"

namespace lists {

namespace {

bool IsAscii(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0xA0 || c == 0xFEFF; }

std::u16string_view Trimmed(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The length of the valid UTF-8 sequence at the start of the bytes, 0 when there is none.
size_t Utf8Sequence(std::string_view bytes, char32_t& code) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  size_t length = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F, min = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F, min = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07, min = 0x10000;
  else return 0;
  if (bytes.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

struct Utf8Scan {
  bool valid = true;
  bool multiByte = false;
};

Utf8Scan ScanUtf8(std::string_view bytes) {
  Utf8Scan scan;
  for (size_t i = 0; i < bytes.size();) {
    char32_t code = 0;
    const size_t length = Utf8Sequence(bytes.substr(i), code);
    if (length == 0) {
      scan.valid = false;
      ++i;
      continue;
    }
    if (length > 1) scan.multiByte = true;
    i += length;
  }
  return scan;
}

// The number of the line on which the byte stands; CR LF, LF and a lone CR end lines.
size_t LineOf(std::string_view bytes, size_t position) {
  size_t line = 1;
  for (size_t i = 0; i < position && i < bytes.size(); ++i) {
    if (bytes[i] == '\n') ++line;
    else if (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')) ++line;
  }
  return line;
}

std::string Number(size_t value) { return std::to_string(value); }

}  // namespace

bool DecodeUtf8(std::string_view bytes, std::u16string& text) {
  text.clear();
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t code = 0;
    const size_t length = Utf8Sequence(bytes.substr(i), code);
    if (length == 0) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return true;
}

std::string EncodeUtf8(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      bytes.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      bytes.push_back(static_cast<char>(0xC0 | (code >> 6)));
      bytes.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      bytes.push_back(static_cast<char>(0xE0 | (code >> 12)));
      bytes.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      bytes.push_back(static_cast<char>(0xF0 | (code >> 18)));
      bytes.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return bytes;
}

std::u16string FoldedKey(std::u16string_view text) {
  std::u16string key(text);
  if (IsAscii(text)) {
    for (char16_t& c : key)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  } else {
    UpperCase(key);
  }
  return key;
}

ParsedFile ParseListFile(std::string_view bytes) {
  ParsedFile file;
  if (bytes.empty()) {
    file.errors.push_back({0, "the file is empty"});
    return file;
  }
  if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    file.errors.push_back({0, "the file is UTF-16 text, which is not read: save it as UTF-8"});
    return file;
  }
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) {
    file.errors.push_back({LineOf(bytes, nul), "a NUL byte: the file is not text"});
    return file;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    file.encoding = Encoding::kUtf8WithMark;
    bytes.remove_prefix(3);
  } else {
    const Utf8Scan scan = ScanUtf8(bytes);
    file.encoding = scan.valid || scan.multiByte ? Encoding::kUtf8 : Encoding::kAnsi;
  }

  std::unordered_set<std::u16string> seen;
  std::u16string decoded;
  size_t lineNumber = 0;
  for (size_t start = 0; start < bytes.size();) {
    ++lineNumber;
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(start, end - start);
    start = end;
    if (start < bytes.size()) start += bytes.substr(start, 2) == "\r\n" ? 2 : 1;

    const bool ok = file.encoding == Encoding::kAnsi ? AnsiToUtf16(line, decoded) : DecodeUtf8(line, decoded);
    if (!ok) {
      file.errors.push_back({lineNumber, file.encoding == Encoding::kAnsi
                                             ? "not valid text of the ANSI code page " + Number(AnsiCodePage())
                                             : std::string("not valid UTF-8")});
      continue;
    }
    const std::u16string_view url = Trimmed(decoded);
    if (url.empty() || url.front() == u'#' || !file.errors.empty()) continue;
    if (url.size() > kMaxValueName) {
      file.skipped.push_back({lineNumber, "the URL is " + Number(url.size()) +
                                              " characters long; the registry takes at most " +
                                              Number(kMaxValueName)});
      continue;
    }
    FileUrl entry{lineNumber, std::u16string(url), {}};
    if (IsAscii(url)) {
      entry.ansi.assign(url.begin(), url.end());
    } else if (!Utf16ToAnsi(url, entry.ansi)) {
      file.skipped.push_back(
          {lineNumber, "the URL has characters that the ANSI code page " + Number(AnsiCodePage()) +
                           " of the program cannot hold"});
      continue;
    }
    if (!seen.insert(FoldedKey(url)).second) {
      ++file.duplicates;
      continue;
    }
    file.urls.push_back(std::move(entry));
  }
  return file;
}

std::string FormatListFile(const std::vector<std::u16string>& names, std::vector<LineNote>& leftOut,
                           std::vector<LineNote>& changed) {
  std::string bytes;
  size_t lineNumber = 0;
  for (const std::u16string& name : names) {
    ++lineNumber;
    if (name.find_first_of(u"\r\n") != std::u16string::npos) {
      leftOut.push_back({lineNumber, "a URL with a line break in it cannot be a line: left out"});
      --lineNumber;
      continue;
    }
    const std::u16string_view trimmed = Trimmed(name);
    if (trimmed.empty() || trimmed.size() != name.size() || trimmed.front() == u'#') {
      std::string text(1, '"');
      text += EncodeUtf8(name);
      text += "\" will not be read back as written";
      changed.push_back({lineNumber, std::move(text)});
    }
    bytes += EncodeUtf8(name);
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace lists
