#include "Sysutils.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <system_error>
#include <vector>

std::string Format(const char* fmt, ...) {
  std::vector<char> buffer(256);
  for (;;) {
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
    va_end(args);
    if (n < 0) return std::string();  // an encoding error: nothing sensible to show
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(static_cast<size_t>(n) + 1);
  }
}

std::string IntToStr(int64_t value) {
  return std::to_string(value);
}

namespace {

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

}  // namespace

bool TryStrToInt(std::string_view text, int& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  }
  if (i >= text.size()) return false;
  // Hexadecimal is a bit pattern of up to 32 bits ($FFFFFFFF is -1); decimal
  // must fit the signed range.
  const int64_t limit = hex ? (negative ? int64_t{0x80000000} : int64_t{0xFFFFFFFF})
                            : (negative ? int64_t{0x80000000} : int64_t{0x7FFFFFFF});
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    int d = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (d < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + d;
    if (magnitude > limit) return false;
  }
  int64_t result = negative ? -magnitude : magnitude;
  value = static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(result))));
  return true;
}

int StrToInt(std::string_view text) {
  int value = 0;
  if (!TryStrToInt(text, value)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return value;
}

std::string Trim(std::string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return std::string(text.substr(first, last - first));
}

namespace {

unsigned char AsciiUpper(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareStr(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

bool IsValidIdent(std::string_view s) {
  if (s.empty()) return false;
  auto alpha = [](char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '_'; };
  if (!alpha(s[0])) return false;
  for (char ch : s)
    if (!alpha(ch) && !(ch >= '0' && ch <= '9')) return false;
  return true;
}

std::string UpperCase(std::string_view text) {
  std::string s(text);
  for (char& ch : s) ch = static_cast<char>(AsciiUpper(ch));
  return s;
}

std::string FloatToText(double value) {
  if (!std::isfinite(value)) throw EConvertError("Infinity and NaN have no text");
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

bool TryTextToFloat(std::string_view text, double& value) {
  // from_chars alone would also take "inf", "nan" and hexadecimal forms and
  // leading blanks of no kind; check the shape first.
  size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  auto digits = [&] {
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > start;
  };
  if (!digits()) return false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return false;
  }
  if (i != text.size()) return false;
  double result = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = result;
  return true;
}
