#pragma once
// The form-description text: a root component, its published properties and
// the components it owns, nested by parent component:
//
//   object Form1: TForm1
//     Caption = 'Vantrel Zapnix'
//     Font.Style = [fsBold]
//     OnCreate = FormCreate
//     object Label1: TLabel
//       Caption = 'it''s'#13#10'two lines'
//     end
//   end
//
// Values are integers, True/False, identifiers (enumeration members, colour
// names, component references, handler names), quoted strings with #nn codes
// (long ones continued with + at the end of a line), sets [a, b], string lists
// ( 'a' 'b' ) and binary data { 0A1B... }. Lines are indented by two blanks per
// level; the reader ignores indentation and line breaks between tokens.

#include <string>
#include <string_view>

#include "Classes.h"

// Reads a description into an existing root, whose class name must equal the
// one in the text. Components are created by class name with the root as their
// owner; references, events and the root's fields are fixed up after the whole
// text is read, then Loaded runs on every created component in creation order
// and last on the root. Errors raise EReadError (EClassNotFound for an unknown
// class) with "Line n: " in front of the message; the components created so
// far are freed again.
void ReadComponentText(TComponent* root, std::string_view text);

// The same from an RCDATA resource of the program module (Win32); a missing
// resource raises EResNotFound.
void ReadComponentRes(TComponent* root, const std::string& resName);

// Writes the root, its stored properties and, nested under each component, the
// components owned by the root whose parent component it is (the root takes
// those with none), in creation order. Raises EWriteError for what the reader
// could not read back (a reference to a component the root does not own, an
// enumeration value without a name).
std::string WriteComponentText(TComponent* root);
