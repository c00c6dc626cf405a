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
// Values are integers, floating-point numbers (1.5, -0.0, 1e+300), True/False,
// identifiers (enumeration members, colour names, component references,
// handler names), quoted strings with #nn codes (long ones continued with + at
// the end of a line), sets [a, b], lists ( 'a' 'b' ) and binary data
// { 0A1B... }. Lines are indented by two blanks per
// level; the reader ignores indentation and line breaks between tokens.

#include <functional>
#include <string>
#include <string_view>

#include "Classes.h"

class TStream;
class TReader;
class TWriter;

// What TPersistent::DefineProperties receives: the reader or the writer of
// the form description. A defined property is written as "Name = value" after
// the published properties of its object; its value is whatever its write
// procedure wrote (one value, or a list in parentheses), or a binary block
// { hex } for a binary property. The reader finds it by name and calls its
// read procedure, which must read back exactly what the write procedure wrote.
class TFiler {
 public:
  using TReaderProc = std::function<void(TReader&)>;
  using TWriterProc = std::function<void(TWriter&)>;
  using TStreamProc = std::function<void(TStream&)>;

  virtual ~TFiler() = default;
  // The object's counterpart in a form that the one being streamed inherits
  // from. Forms here inherit no stored form, so it is always null; a hasData
  // rule that compares with an ancestor takes null as "no ancestor".
  TPersistent* Ancestor() const { return nullptr; }

  // The writer calls `writeData` when `hasData` is true; the reader calls
  // `readData` when the text holds the property.
  virtual void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                              bool hasData) = 0;
  // The same for a block of bytes: the write procedure writes them into a
  // stream, the read procedure gets a stream over them, at its start.
  virtual void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                                    bool hasData) = 0;
};

// The form-description reader as a defined property's read procedure sees it.
// Each Read... takes the next value and raises EReadError ("Line n: ...") when
// the text holds something else there.
class TReader final : public TFiler {
 public:
  void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                            bool hasData) override;

  int ReadInteger();
  double ReadFloat();  // an integer is taken too
  bool ReadBoolean();
  std::string ReadString();
  std::string ReadIdent();
  // A list: ReadListBegin, then values while !EndOfList(), then ReadListEnd.
  void ReadListBegin();
  bool EndOfList();
  void ReadListEnd();

  class Impl;

 private:
  TReader(Impl& impl, std::string wanted) : impl_(impl), wanted_(std::move(wanted)) {}
  // Takes a component that the reader abandons out of the loading state.
  static void ClearLoading(TComponent* component);
  Impl& impl_;
  std::string wanted_;
  TReaderProc read_;
  TStreamProc readBinary_;
  bool found_ = false;
};

// The form-description writer as a defined property's write procedure sees
// it. The values written make up the property's value; more than one value
// outside a list, an unclosed list or no value at all raise EWriteError.
class TWriter final : public TFiler {
 public:
  void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                            bool hasData) override;

  void WriteInteger(int value);
  // Shortest text that reads back to the identical double; an infinity or a
  // NaN raises EWriteError.
  void WriteFloat(double value);
  void WriteBoolean(bool value);
  void WriteString(const std::string& value);
  // An identifier (letters, digits, '_'; not starting with a digit).
  void WriteIdent(const std::string& value);
  void WriteListBegin();
  void WriteListEnd();

  class Impl;

 private:
  TWriter(Impl& impl, std::string prefix, int level) : impl_(impl), prefix_(std::move(prefix)), level_(level) {}
  Impl& impl_;
  std::string prefix_;
  int level_;
};

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
