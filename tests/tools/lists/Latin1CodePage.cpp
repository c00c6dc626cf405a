// The system's side of list-file reading for the native build: ISO 8859-1
// stands in for the ANSI code page, so that the portable parser runs under
// the sanitizers. Bytes are the first 256 code points; upper case is ASCII's
// and Latin-1's.
#include "CodePage.h"

namespace lists {

unsigned AnsiCodePage() { return 28591; }

bool AnsiToUtf16(std::string_view ansi, std::u16string& text) {
  text.clear();
  for (const char c : ansi) text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return true;
}

bool Utf16ToAnsi(std::u16string_view text, std::string& ansi) {
  ansi.clear();
  for (const char16_t c : text) {
    if (c > 0xFF) return false;
    ansi.push_back(static_cast<char>(static_cast<unsigned char>(c)));
  }
  return true;
}

void UpperCase(std::u16string& text) {
  for (char16_t& c : text)
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<char16_t>(c - 0x20);
}

}  // namespace lists
