#pragma once
// The modal one-line input box.

#include <string>

// Shows a dialog box titled `caption`, centred on the screen, with `prompt`
// above an edit field that holds `value` all selected (at most 255 characters
// can be typed), and the buttons OK (Enter) and Cancel (Escape). On OK it
// returns true and stores the field's text, even an empty one, in `value`;
// otherwise it returns false and leaves `value` as it was.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// The same, returning the text on OK and `defaultValue` otherwise.
std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue);
