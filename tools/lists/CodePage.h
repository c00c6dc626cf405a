#pragma once
// The system's side of the lists tool's text handling: the ANSI code page in
// which the program names its registry values, and the upper-casing with
// which the registry compares value names. Everything else about list files
// is portable code that calls these.

#include <string>
#include <string_view>

namespace lists {

// The number of the system's ANSI code page.
unsigned AnsiCodePage();
// The bytes read as text of the ANSI code page; false when they are not valid there.
bool AnsiToUtf16(std::string_view ansi, std::u16string& text);
// The text in the ANSI code page; false unless every character has an exact
// form there, that is unless converting back gives the same text.
bool Utf16ToAnsi(std::u16string_view text, std::string& ansi);
// Upper-cases the text in place as the registry does when it compares value names.
void UpperCase(std::u16string& text);

}  // namespace lists
