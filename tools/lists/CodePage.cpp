#include "CodePage.h"

#include <windows.h>

#include <climits>

namespace lists {

namespace {

// char16_t and wchar_t are both 16 bits here but distinct types: copy rather
// than reinterpret one as the other.
std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

bool WideToAnsi(const std::wstring& wide, std::string& ansi) {
  ansi.clear();
  if (wide.empty()) return true;
  if (wide.size() > INT_MAX / 4) return false;
  const int length = static_cast<int>(wide.size());
  // The UTF-8 code page refuses the default-character query; it flags
  // what it cannot encode (unpaired surrogates) with WC_ERR_INVALID_CHARS.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, usedDefaultPtr);
  if (size <= 0 || usedDefault) return false;
  ansi.resize(static_cast<size_t>(size));
  if (WideCharToMultiByte(CP_ACP, flags, wide.data(), length, ansi.data(), size, nullptr, usedDefaultPtr) != size ||
      usedDefault)
    return false;
  return true;
}

}  // namespace

unsigned AnsiCodePage() { return GetACP(); }

bool AnsiToUtf16(std::string_view ansi, std::u16string& text) {
  text.clear();
  if (ansi.empty()) return true;
  if (ansi.size() > INT_MAX) return false;
  const int length = static_cast<int>(ansi.size());
  const int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), length, nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), length, wide.data(), size) != size) return false;
  text.assign(wide.begin(), wide.end());
  return true;
}

bool Utf16ToAnsi(std::u16string_view text, std::string& ansi) {
  if (!WideToAnsi(Wide(text), ansi)) return false;
  // Some code pages map several characters to one byte sequence without
  // calling it a default character: only a text that comes back the same is exact.
  std::u16string back;
  return AnsiToUtf16(ansi, back) && back == text;
}

void UpperCase(std::u16string& text) {
  if (text.empty() || text.size() > UINT_MAX) return;
  std::wstring wide = Wide(text);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  text.assign(wide.begin(), wide.end());
}

}  // namespace lists
