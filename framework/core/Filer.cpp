#include "Filer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <set>
#include <vector>

#include "Colors.h"
#include "Streams.h"

namespace {

// Deeper nesting than this is taken for damaged input rather than recursed into.
constexpr int kMaxObjectDepth = 64;
constexpr int kMaxPersistentDepth = 16;
// Source bytes per quoted piece and hex digits per line in the written text.
constexpr size_t kStringPiece = 64;
constexpr size_t kHexPerLine = 64;

[[noreturn]] void Fail(int line, const std::string& message) {
  throw EReadError(Format("Line %d: %s", line, message.c_str()));
}

bool IsIdentStart(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '_';
}

bool IsIdentChar(char ch) {
  return IsIdentStart(ch) || (ch >= '0' && ch <= '9');
}

bool IsDigit(char ch) {
  return ch >= '0' && ch <= '9';
}

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

// ---------------------------------------------------------------------------
// Tokens of the text.

enum class Tok { End, Ident, Integer, Float, String, Binary, Symbol };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier, or the decoded bytes of a string
  int64_t number = 0;
  double real = 0;
  std::vector<uint8_t> bytes;
  char symbol = 0;
  int line = 1;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : s_(text) {
    // A byte-order mark left by an editor carries no meaning here.
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  Token Next() {
    SkipBlanks();
    Token t;
    t.line = line_;
    if (pos_ >= s_.size()) return t;
    char ch = s_[pos_];
    if (IsIdentStart(ch)) return ReadIdent(t);
    if ((ch >= '0' && ch <= '9') || ch == '$' ||
        (ch == '-' && pos_ + 1 < s_.size() && ((s_[pos_ + 1] >= '0' && s_[pos_ + 1] <= '9') || s_[pos_ + 1] == '$')))
      return ReadNumber(t);
    if (ch == '\'' || ch == '#') return ReadString(t);
    if (ch == '{') return ReadBinary(t);
    if (std::string_view("=:[](),+").find(ch) != std::string_view::npos) {
      ++pos_;
      t.kind = Tok::Symbol;
      t.symbol = ch;
      return t;
    }
    unsigned char c = static_cast<unsigned char>(ch);
    Fail(line_, c > 32 && c < 127 ? Format("Invalid character '%c'", ch) : Format("Invalid character #%u", c));
  }

 private:
  void SkipBlanks() {
    while (pos_ < s_.size()) {
      char ch = s_[pos_];
      if (ch == '\n')
        ++line_;
      else if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\f' && ch != '\v')
        break;
      ++pos_;
    }
  }

  Token& ReadIdent(Token& t) {
    size_t start = pos_;
    while (pos_ < s_.size()) {
      if (IsIdentChar(s_[pos_]))
        ++pos_;
      else if (s_[pos_] == '.' && pos_ + 1 < s_.size() && IsIdentStart(s_[pos_ + 1]))
        pos_ += 2;  // a dotted property name such as Font.Name
      else
        break;
    }
    t.kind = Tok::Ident;
    t.text = std::string(s_.substr(start, pos_ - start));
    return t;
  }

  // An integer (decimal or $hex, 32 bits at most) or a decimal floating-point
  // number with a fraction or an exponent.
  Token& ReadNumber(Token& t) {
    const size_t start = pos_;
    const bool negative = s_[pos_] == '-';
    if (negative) ++pos_;
    const bool hex = pos_ < s_.size() && s_[pos_] == '$';
    if (hex) ++pos_;
    const size_t digitsStart = pos_;
    while (pos_ < s_.size() && (hex ? HexValue(s_[pos_]) >= 0 : IsDigit(s_[pos_]))) ++pos_;
    const size_t digitsEnd = pos_;
    bool real = false;
    if (!hex && pos_ + 1 < s_.size() && s_[pos_] == '.' && IsDigit(s_[pos_ + 1])) {
      real = true;
      ++pos_;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (!hex && pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      size_t e = pos_ + 1;
      if (e < s_.size() && (s_[e] == '+' || s_[e] == '-')) ++e;
      if (e < s_.size() && IsDigit(s_[e])) {
        real = true;
        pos_ = e;
        while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
      }
    }
    if (digitsEnd == digitsStart || (pos_ < s_.size() && (IsIdentChar(s_[pos_]) || s_[pos_] == '.')))
      Fail(line_, "Invalid number");
    if (real) {
      if (!TryTextToFloat(s_.substr(start, pos_ - start), t.real))
        Fail(line_, "Floating-point value out of range");
      t.kind = Tok::Float;
      return t;
    }
    int64_t magnitude = 0;
    for (size_t i = digitsStart; i < digitsEnd; ++i) {
      magnitude = magnitude * (hex ? 16 : 10) + (hex ? HexValue(s_[i]) : s_[i] - '0');
      // Nothing of 32 bits is larger; stopping here keeps the arithmetic in range.
      if (magnitude > int64_t{0xFFFFFFFF}) Fail(line_, "Integer value out of range");
    }
    t.kind = Tok::Integer;
    t.number = negative ? -magnitude : magnitude;
    return t;
  }

  Token& ReadString(Token& t) {
    t.kind = Tok::String;
    while (pos_ < s_.size() && (s_[pos_] == '\'' || s_[pos_] == '#')) {
      if (s_[pos_] == '#') {
        ++pos_;
        bool hex = pos_ < s_.size() && s_[pos_] == '$';
        if (hex) ++pos_;
        int value = 0;
        size_t digits = 0;
        while (pos_ < s_.size()) {
          int d = hex ? HexValue(s_[pos_]) : (s_[pos_] >= '0' && s_[pos_] <= '9' ? s_[pos_] - '0' : -1);
          if (d < 0) break;
          value = value * (hex ? 16 : 10) + d;
          if (value > 255) Fail(line_, "Invalid character code");
          ++digits;
          ++pos_;
        }
        if (digits == 0) Fail(line_, "Invalid character code");
        t.text += static_cast<char>(static_cast<unsigned char>(value));
        continue;
      }
      ++pos_;
      for (;;) {
        if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r') Fail(line_, "Unterminated string");
        char ch = s_[pos_++];
        if (ch == '\'') {
          if (pos_ < s_.size() && s_[pos_] == '\'') {
            t.text += '\'';
            ++pos_;
            continue;
          }
          break;
        }
        t.text += ch;
      }
    }
    return t;
  }

  Token& ReadBinary(Token& t) {
    t.kind = Tok::Binary;
    ++pos_;
    int high = -1;
    for (;;) {
      if (pos_ >= s_.size()) Fail(t.line, "Unterminated binary value");
      char ch = s_[pos_++];
      if (ch == '}') break;
      if (ch == '\n') {
        ++line_;
        continue;
      }
      if (ch == ' ' || ch == '\t' || ch == '\r') continue;
      int d = HexValue(ch);
      if (d < 0) Fail(line_, "Invalid binary value");
      if (high < 0) {
        high = d;
      } else {
        t.bytes.push_back(static_cast<uint8_t>(high * 16 + d));
        high = -1;
      }
    }
    if (high >= 0) Fail(line_, "Invalid binary value: odd number of hex digits");
    return t;
  }

  std::string_view s_;
  size_t pos_ = 0;
  int line_ = 1;
};


// A property value as written, before it is matched against the property's kind.
struct Value {
  enum Kind { Integer, Float, Ident, String, Set, List, Binary } kind = Integer;
  int64_t number = 0;
  double real = 0;
  std::string text;
  std::vector<std::string> items;  // set members or list lines
  std::vector<uint8_t> bytes;
};

}  // namespace

// ---------------------------------------------------------------------------
// Reader

class TReader::Impl {
 public:
  Impl(TComponent* root, std::string_view text) : root_(root), lexer_(text) {}

  void Read() {
    const TClassInfo& rootClass = root_->ClassType();
    try {
      Advance();
      ReadObject(nullptr, 0);
      if (token_.kind != Tok::End) Fail(token_.line, "Text after the end of the root object");
      ResolveReferences();
      BindEvents();
      SetFields(rootClass);
    } catch (...) {
      Abandon(rootClass);
      throw;
    }
    for (const Created& c : created_) c.component->EndReading();
    root_->EndReading();
    // One failing Loaded must not leave the others in the loading state: all
    // run, and the first failure is raised afterwards.
    std::exception_ptr failure;
    auto load = [&failure](TComponent* c) {
      try {
        c->Loaded();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    };
    for (const Created& c : created_) load(c.component);
    load(root_);
    if (failure) std::rethrow_exception(failure);
  }

 private:
  friend class TReader;

  struct Created {
    TComponent* component;
    int line;
  };
  struct Fixup {
    TObject* target;
    const TPropInfo* prop;
    std::string path;  // the property as written, for messages
    std::string name;  // the component or method named
    int line;
  };

  void Advance() { token_ = lexer_.Next(); }

  bool IsSymbol(char symbol) const { return token_.kind == Tok::Symbol && token_.symbol == symbol; }
  bool IsKeyword(std::string_view word) const { return token_.kind == Tok::Ident && SameText(token_.text, word); }

  void Expect(char symbol) {
    if (!IsSymbol(symbol)) Fail(token_.line, Format("'%c' expected", symbol));
    Advance();
  }

  std::string ExpectName(const char* what) {
    if (token_.kind != Tok::Ident || token_.text.find('.') != std::string::npos)
      Fail(token_.line, std::string(what) + " expected");
    std::string name = token_.text;
    Advance();
    return name;
  }

  // Runs a call into component code; its failure is reported with the line.
  template <class F>
  void Guard(int line, const std::string& what, F fn) {
    try {
      fn();
    } catch (const EReadError&) {
      throw;
    } catch (const Exception& e) {
      Fail(line, what + ": " + e.Message());
    }
  }

  void ReadObject(TComponent* enclosing, int depth) {
    int line = token_.line;
    if (!IsKeyword("object")) Fail(line, "'object' expected");
    Advance();
    std::string name = ExpectName("Component name");
    std::string className;
    if (IsSymbol(':')) {
      Advance();
      className = ExpectName("Class name");
    } else {
      className.swap(name);  // an unnamed component: "object TClass"
    }

    TComponent* component;
    if (depth == 0) {
      if (!SameText(className, root_->ClassName()))
        Fail(line, "Class " + className + " does not match " + root_->ClassName());
      root_->BeginLoading();
      rootName_ = name;
      if (root_->Name().empty() && !name.empty()) NameRoot(name, line);
      component = root_;
    } else {
      if (depth > kMaxObjectDepth) Fail(line, "Objects nested too deeply");
      component = Create(className, line);
      if (!name.empty()) Guard(line, "Cannot name " + className, [&] { component->SetName(name); });
      Guard(line, "Cannot place " + name, [&] { component->SetParentComponent(enclosing); });
    }

    for (;;) {
      if (IsKeyword("end")) {
        Advance();
        return;
      }
      if (IsKeyword("object")) {
        ReadObject(component, depth + 1);
        continue;
      }
      if (token_.kind == Tok::Ident) {
        ReadProperty(component);
        continue;
      }
      Fail(token_.line, token_.kind == Tok::End ? "Unexpected end of text: 'end' expected"
                                                : "Property name expected");
    }
  }

  // A second instance of a form takes Form1_1 when its owner already has a Form1.
  void NameRoot(const std::string& name, int line) {
    for (int i = 0; i < 1000; ++i) {
      try {
        root_->SetName(i == 0 ? name : name + "_" + IntToStr(i));
        return;
      } catch (const EComponentError&) {
      }
    }
    Fail(line, "Cannot name the root " + name);
  }

  TComponent* Create(const std::string& className, int line) {
    const TClassInfo* cls = FindClass(className);
    if (!cls) {
      // A class named by a field of the root is known even if nothing registered it.
      for (const TClassInfo* c = &root_->ClassType(); c && !cls; c = c->parent)
        for (const TFieldInfo& f : c->fields)
          if (f.fieldClass && SameText(f.fieldClass->name, className)) cls = f.fieldClass;
    }
    if (!cls) throw EClassNotFound(Format("Line %d: Class %s not found", line, className.c_str()));
    if (!cls->create) Fail(line, "Class " + className + " cannot be created");
    TComponent* component = nullptr;
    Guard(line, "Cannot create " + className, [&] { component = cls->create(root_); });
    created_.push_back({component, line});
    component->BeginLoading();
    return component;
  }

  void ReadProperty(TComponent* component) {
    int line = token_.line;
    std::string path = token_.text;
    Advance();
    Expect('=');

    // Walk the dotted name through nested persistents.
    TObject* target = component;
    size_t start = 0;
    for (;;) {
      size_t dot = path.find('.', start);
      std::string_view part = std::string_view(path).substr(start, dot == std::string::npos ? dot : dot - start);
      const TPropInfo* prop = target->ClassType().FindProp(part);
      if (dot == std::string::npos) {
        if (prop)
          Assign(*target, *prop, path, ReadValue(), line);
        else
          ReadDefinedProperty(*target, std::string(part), path, line);
        return;
      }
      if (!prop || prop->kind != TPropKind::Persistent || !prop->getObj)
        Fail(line, "Property " + path + " does not exist");
      TObject* inner = prop->getObj(*target);
      if (!inner) Fail(line, "Property " + path.substr(0, dot) + " is not assigned");
      target = inner;
      start = dot + 1;
    }
  }

  // A property that the object declares in DefineProperties rather than in
  // its class's table.
  void ReadDefinedProperty(TObject& target, const std::string& name, const std::string& path, int line) {
    auto* persistent = dynamic_cast<TPersistent*>(&target);
    if (!persistent) Fail(line, "Property " + path + " does not exist");
    const std::string what = "Error reading " + path;
    TReader filer(*this, name);
    Guard(line, what, [&] { persistent->DefineProperties(&filer); });
    if (filer.read_) {
      Guard(line, what, [&] { filer.read_(filer); });
      return;
    }
    if (filer.readBinary_) {
      if (token_.kind != Tok::Binary) BadValue(path, line);
      TMemoryStream stream;
      stream.WriteBuffer(token_.bytes.data(), static_cast<int64_t>(token_.bytes.size()));
      stream.SetPosition(0);
      Advance();
      Guard(line, what, [&] { filer.readBinary_(stream); });
      return;
    }
    Fail(line, filer.found_ ? "Property " + path + " cannot be read" : "Property " + path + " does not exist");
  }

  Value ReadValue() {
    Value v;
    int line = token_.line;
    switch (token_.kind) {
      case Tok::Integer:
        v.kind = Value::Integer;
        v.number = token_.number;
        Advance();
        return v;
      case Tok::Float:
        v.kind = Value::Float;
        v.real = token_.real;
        Advance();
        return v;
      case Tok::Ident:
        v.kind = Value::Ident;
        v.text = token_.text;
        Advance();
        return v;
      case Tok::String:
        v.kind = Value::String;
        v.text = ReadStringExpression();
        return v;
      case Tok::Binary:
        v.kind = Value::Binary;
        v.bytes = std::move(token_.bytes);
        Advance();
        return v;
      case Tok::Symbol:
        if (IsSymbol('[')) {
          v.kind = Value::Set;
          Advance();
          if (IsSymbol(']')) {
            Advance();
            return v;
          }
          for (;;) {
            v.items.push_back(ExpectName("Set member"));
            if (IsSymbol(']')) break;
            Expect(',');
          }
          Advance();
          return v;
        }
        if (IsSymbol('(')) {
          v.kind = Value::List;
          Advance();
          while (!IsSymbol(')')) {
            if (token_.kind != Tok::String)
              Fail(token_.line, token_.kind == Tok::End ? "Unexpected end of text: ')' expected" : "String expected");
            v.items.push_back(ReadStringExpression());
          }
          Advance();
          return v;
        }
        break;
      case Tok::End:
        Fail(line, "Unexpected end of text: property value expected");
    }
    Fail(line, "Invalid property value");
  }

  // 'piece' + 'piece' + ... : long texts are written as several pieces.
  std::string ReadStringExpression() {
    std::string text = token_.text;
    Advance();
    while (IsSymbol('+')) {
      Advance();
      if (token_.kind != Tok::String) Fail(token_.line, "String expected after '+'");
      text += token_.text;
      Advance();
    }
    return text;
  }

  [[noreturn]] static void BadValue(const std::string& path, int line) {
    Fail(line, "Invalid property value for " + path);
  }

  static int MemberIndex(const TPropInfo& prop, const std::string& member, const std::string& path, int line) {
    if (prop.names)
      for (size_t i = 0; i < prop.names->size() && i < 32; ++i)
        if (SameText((*prop.names)[i], member)) return static_cast<int>(i);
    Fail(line, "Invalid property value for " + path + ": " + member);
  }

  void Assign(TObject& target, const TPropInfo& prop, const std::string& path, const Value& v, int line) {
    if (prop.readOnly) Fail(line, "Property " + path + " is read-only");
    const std::string what = "Error reading " + path;
    switch (prop.kind) {
      case TPropKind::Integer: {
        if (!prop.setOrd) BadValue(path, line);
        int64_t number = v.number;
        if (v.kind == Value::Ident && prop.fromIdent) {
          if (!prop.fromIdent(v.text, number)) Fail(line, "Invalid property value for " + path + ": " + v.text);
        } else if (v.kind != Value::Integer) {
          BadValue(path, line);
        }
        if (number < INT32_MIN || number > INT32_MAX) Fail(line, "Integer value out of range for " + path);
        Guard(line, what, [&] { prop.setOrd(target, number); });
        return;
      }
      case TPropKind::Boolean: {
        if (v.kind != Value::Ident || !prop.setOrd) BadValue(path, line);
        bool b = SameText(v.text, "True");
        if (!b && !SameText(v.text, "False")) BadValue(path, line);
        Guard(line, what, [&] { prop.setOrd(target, b ? 1 : 0); });
        return;
      }
      case TPropKind::Enumeration: {
        if (v.kind != Value::Ident || !prop.setOrd) BadValue(path, line);
        int index = MemberIndex(prop, v.text, path, line);
        Guard(line, what, [&] { prop.setOrd(target, index); });
        return;
      }
      case TPropKind::Set: {
        if (v.kind != Value::Set || !prop.setOrd) BadValue(path, line);
        uint32_t bits = 0;
        for (const std::string& member : v.items) bits |= uint32_t{1} << MemberIndex(prop, member, path, line);
        Guard(line, what, [&] { prop.setOrd(target, static_cast<int64_t>(bits)); });
        return;
      }
      case TPropKind::Color: {
        if (!prop.setOrd) BadValue(path, line);
        TColor color = 0;
        if (v.kind == Value::Ident) {
          if (!IdentToColor(v.text, color)) Fail(line, "Invalid property value for " + path + ": " + v.text);
        } else if (v.kind == Value::Integer) {
          // Colours are 32-bit patterns: system colours may be written as negative numbers.
          if (v.number < INT32_MIN || v.number > int64_t{0xFFFFFFFF})
            Fail(line, "Integer value out of range for " + path);
          color = static_cast<TColor>(static_cast<uint64_t>(v.number) & 0xFFFFFFFFu);
        } else {
          BadValue(path, line);
        }
        Guard(line, what, [&] { prop.setOrd(target, static_cast<int64_t>(color)); });
        return;
      }
      case TPropKind::Float: {
        if (!prop.setFloat || (v.kind != Value::Float && v.kind != Value::Integer)) BadValue(path, line);
        double real = v.kind == Value::Float ? v.real : static_cast<double>(v.number);
        Guard(line, what, [&] { prop.setFloat(target, real); });
        return;
      }
      case TPropKind::String:
        if (v.kind != Value::String || !prop.setStr) BadValue(path, line);
        Guard(line, what, [&] { prop.setStr(target, v.text); });
        return;
      case TPropKind::Binary:
        if (v.kind != Value::Binary || !prop.setBin) BadValue(path, line);
        Guard(line, what, [&] { prop.setBin(target, v.bytes); });
        return;
      case TPropKind::Strings:
        if (v.kind != Value::List || !prop.setList) BadValue(path, line);
        Guard(line, what, [&] { prop.setList(target, v.items); });
        return;
      case TPropKind::Component:
        if (v.kind != Value::Ident || !prop.setRef || v.text.find('.') != std::string::npos) BadValue(path, line);
        if (SameText(v.text, "nil")) {
          Guard(line, what, [&] { prop.setRef(target, nullptr); });
          return;
        }
        references_.push_back({&target, &prop, path, v.text, line});
        return;
      case TPropKind::Method:
        if (v.kind != Value::Ident || !prop.setMethod || v.text.find('.') != std::string::npos) BadValue(path, line);
        events_.push_back({&target, &prop, path, v.text, line});
        return;
      case TPropKind::Persistent:
        break;
    }
    BadValue(path, line);
  }

  void ResolveReferences() {
    for (const Fixup& f : references_) {
      TComponent* found = nullptr;
      if (SameText(f.name, rootName_) || SameText(f.name, root_->Name()))
        found = root_;
      else
        found = root_->FindComponent(f.name);
      if (!found) Fail(f.line, "Invalid reference " + f.name + " in " + f.path);
      if (f.prop->refClass && !found->InheritsFrom(f.prop->refClass()))
        Fail(f.line, "Invalid reference " + f.name + " in " + f.path + ": " + found->ClassName() + " is not a " +
                         f.prop->refClass().name);
      Guard(f.line, "Error reading " + f.path, [&] { f.prop->setRef(*f.target, found); });
    }
  }

  void BindEvents() {
    const TClassInfo& rootClass = root_->ClassType();
    for (const Fixup& f : events_) {
      const TMethodInfo* method = rootClass.FindMethod(f.name);
      if (!method) Fail(f.line, "Method " + f.name + " not found");
      std::any bound = method->bind(root_);
      try {
        f.prop->setMethod(*f.target, bound);
      } catch (const Exception&) {
        Fail(f.line, "Method " + f.name + " does not match the event " + f.path);
      }
    }
  }

  void SetFields(const TClassInfo& rootClass) {
    for (const Created& c : created_) {
      if (c.component->Name().empty()) continue;
      const TFieldInfo* field = rootClass.FindField(c.component->Name());
      if (!field) continue;
      if (field->fieldClass && !c.component->InheritsFrom(*field->fieldClass))
        Fail(c.line, "Field " + field->name + " is a " + field->fieldClass->name + ", not a " +
                         c.component->ClassName());
      field->set(*root_, c.component);
    }
  }

  // Undoes what a failed read created, so that the root keeps no half-read
  // components and no field points at a freed one.
  void Abandon(const TClassInfo& rootClass) {
    for (const Created& c : created_) {
      if (c.component->Name().empty()) continue;
      if (const TFieldInfo* field = rootClass.FindField(c.component->Name())) field->set(*root_, nullptr);
    }
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) delete it->component;
    created_.clear();
    TReader::ClearLoading(root_);
  }

  TComponent* root_;
  Lexer lexer_;
  Token token_;
  std::string rootName_;
  std::vector<Created> created_;
  std::vector<Fixup> references_;
  std::vector<Fixup> events_;
};

void TReader::ClearLoading(TComponent* component) {
  component->state_ = component->state_ - TComponentState{csLoading, csReading};
}

void TReader::DefineProperty(const std::string& name, TReaderProc readData, TWriterProc, bool) {
  if (found_ || !SameText(name, wanted_)) return;
  found_ = true;
  read_ = std::move(readData);
}

void TReader::DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc, bool) {
  if (found_ || !SameText(name, wanted_)) return;
  found_ = true;
  readBinary_ = std::move(readData);
}

int TReader::ReadInteger() {
  const Token& t = impl_.token_;
  if (t.kind != Tok::Integer) Fail(t.line, "Integer expected");
  if (t.number < INT32_MIN || t.number > INT32_MAX) Fail(t.line, "Integer value out of range");
  int value = static_cast<int>(t.number);
  impl_.Advance();
  return value;
}

double TReader::ReadFloat() {
  const Token& t = impl_.token_;
  double value = 0;
  if (t.kind == Tok::Float)
    value = t.real;
  else if (t.kind == Tok::Integer)
    value = static_cast<double>(t.number);
  else
    Fail(t.line, "Floating-point value expected");
  impl_.Advance();
  return value;
}

bool TReader::ReadBoolean() {
  const Token& t = impl_.token_;
  bool value = impl_.IsKeyword("True");
  if (!value && !impl_.IsKeyword("False")) Fail(t.line, "True or False expected");
  impl_.Advance();
  return value;
}

std::string TReader::ReadString() {
  if (impl_.token_.kind != Tok::String) Fail(impl_.token_.line, "String expected");
  return impl_.ReadStringExpression();
}

std::string TReader::ReadIdent() {
  if (impl_.token_.kind != Tok::Ident) Fail(impl_.token_.line, "Identifier expected");
  std::string value = impl_.token_.text;
  impl_.Advance();
  return value;
}

void TReader::ReadListBegin() {
  impl_.Expect('(');
}

bool TReader::EndOfList() {
  return impl_.IsSymbol(')');
}

void TReader::ReadListEnd() {
  impl_.Expect(')');
}

void ReadComponentText(TComponent* root, std::string_view text) {
  if (!root) throw EReadError("No component to read into");
  TReader::Impl reader(root, text);
  reader.Read();
}

// ---------------------------------------------------------------------------
// Writer

namespace {

std::string QuotePiece(std::string_view s) {
  std::string out;
  bool quoted = false;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 32 && c < 127) {
      if (!quoted) out += '\'';
      quoted = true;
      out += ch;
      if (ch == '\'') out += '\'';
    } else {
      if (quoted) out += '\'';
      quoted = false;
      out += '#';
      out += std::to_string(c);
    }
  }
  if (quoted) out += '\'';
  return out.empty() ? "''" : out;
}

// The text as quoted pieces of at most kStringPiece source bytes each.
std::vector<std::string> QuotePieces(std::string_view s) {
  std::vector<std::string> pieces;
  do {
    pieces.push_back(QuotePiece(s.substr(0, kStringPiece)));
    s.remove_prefix(std::min(s.size(), kStringPiece));
  } while (!s.empty());
  return pieces;
}

// A value as a defined property's write procedure gives it: a single
// token, a text (written in quoted pieces) or a list of values.
struct WrittenValue {
  enum Kind { Atom, Text, List } kind = Atom;
  std::string text;
  std::vector<WrittenValue> items;
};

}  // namespace

class TWriter::Impl {
 public:
  explicit Impl(TComponent* root) : root_(root) {}

  std::string Write() {
    WriteObject(root_, 0);
    return std::move(out_);
  }

 private:
  friend class TWriter;

  void Line(int level, const std::string& text) {
    out_.append(static_cast<size_t>(level) * 2, ' ');
    out_ += text;
    out_ += '\n';
  }

  bool IsChildOf(TComponent* c, TComponent* parent) const {
    TComponent* p = c->GetParentComponent();
    if (parent == root_) return p == nullptr || p == root_;
    return p == parent;
  }

  void WriteObject(TComponent* component, int level) {
    written_.insert(component);
    const std::string& name = component->Name();
    Line(level, "object " + (name.empty() ? component->ClassName() : name + ": " + component->ClassName()));
    WriteProperties(*component, "", level + 1, 0);
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      TComponent* c = root_->Components(i);
      if (!written_.count(c) && IsChildOf(c, component)) WriteObject(c, level + 1);
    }
    Line(level, "end");
  }

  void WriteProperties(TObject& object, const std::string& prefix, int level, int depth) {
    for (const TPropInfo* prop : object.ClassType().AllProps()) {
      if (!prop->IsStored(object)) continue;
      std::string path = prefix + prop->name;
      switch (prop->kind) {
        case TPropKind::Persistent:
          if (TObject* inner = prop->getObj(object)) {
            if (depth >= kMaxPersistentDepth) throw EWriteError("Properties nested too deeply at " + path);
            WriteProperties(*inner, path + ".", level, depth + 1);
          }
          break;
        case TPropKind::Integer: {
          const int32_t number = static_cast<int32_t>(prop->getOrd(object));
          std::string ident;
          if (!prop->toIdent || !prop->toIdent(number, ident)) ident = IntToStr(number);
          Line(level, path + " = " + ident);
          break;
        }
        case TPropKind::Boolean:
          Line(level, path + " = " + (prop->getOrd(object) ? "True" : "False"));
          break;
        case TPropKind::Enumeration: {
          int64_t v = prop->getOrd(object);
          if (!prop->names || v < 0 || v >= static_cast<int64_t>(prop->names->size()))
            throw EWriteError(Format("Invalid value %lld for %s", static_cast<long long>(v), path.c_str()));
          Line(level, path + " = " + (*prop->names)[static_cast<size_t>(v)]);
          break;
        }
        case TPropKind::Set:
          Line(level, path + " = " + SetText(*prop, prop->getOrd(object), path));
          break;
        case TPropKind::Color: {
          TColor color = static_cast<TColor>(static_cast<uint64_t>(prop->getOrd(object)) & 0xFFFFFFFFu);
          std::string ident;
          if (!ColorToIdent(color, ident)) ident = IntToStr(static_cast<int32_t>(color));
          Line(level, path + " = " + ident);
          break;
        }
        case TPropKind::String:
          WriteString(level, path, prop->getStr(object));
          break;
        case TPropKind::Binary:
          WriteBinary(level, path, prop->getBin(object));
          break;
        case TPropKind::Strings:
          WriteList(level, path, prop->getList(object));
          break;
        case TPropKind::Component:
          Line(level, path + " = " + ReferenceName(prop->getObj(object), path));
          break;
        case TPropKind::Method:
          Line(level, path + " = " + prop->getMethodName(object));
          break;
        case TPropKind::Float:
          Line(level, path + " = " + FloatText(prop->getFloat(object), path));
          break;
      }
    }
    if (auto* persistent = dynamic_cast<TPersistent*>(&object)) {
      TWriter filer(*this, prefix, level);
      persistent->DefineProperties(&filer);
    }
  }

  static std::string FloatText(double value, const std::string& path) {
    if (!std::isfinite(value)) throw EWriteError("Cannot write " + path + ": an infinity or NaN has no text");
    return FloatToText(value);
  }

  // A defined property: what its procedure writes is collected first, so that
  // it can be laid out like a published property of the same shape.
  void WriteDefined(const std::string& path, int level, TWriter& filer, const TFiler::TWriterProc& writeData) {
    if (capturing_) throw EWriteError("Cannot write " + path + " while another property is being written");
    capturing_ = true;
    capturePath_ = path;
    captured_.clear();
    open_.assign(1, &captured_);
    try {
      writeData(filer);
    } catch (...) {
      capturing_ = false;
      throw;
    }
    capturing_ = false;
    if (open_.size() != 1) throw EWriteError("Cannot write " + path + ": a list is not closed");
    if (captured_.size() != 1)
      throw EWriteError("Cannot write " + path + (captured_.empty() ? ": no value" : ": more than one value"));
    WriteValue(level, path, captured_[0]);
  }

  void WriteDefinedBinary(const std::string& path, int level, const TFiler::TStreamProc& writeData) {
    TMemoryStream stream;
    writeData(stream);
    const uint8_t* bytes = stream.Memory();
    WriteBinary(level, path, std::vector<uint8_t>(bytes, bytes + stream.Size()));
  }

  void Capture(WrittenValue value) {
    if (!capturing_) throw EWriteError("No property is being written");
    open_.back()->push_back(std::move(value));
  }

  void CaptureListBegin() {
    Capture({WrittenValue::List, {}, {}});
    open_.push_back(&open_.back()->back().items);
  }

  void CaptureListEnd() {
    if (!capturing_ || open_.size() < 2) throw EWriteError("Cannot write " + capturePath_ + ": no list to close");
    open_.pop_back();
  }

  static std::string SetText(const TPropInfo& prop, int64_t value, const std::string& path) {
    uint32_t bits = static_cast<uint32_t>(static_cast<uint64_t>(value));
    size_t count = prop.names ? std::min<size_t>(prop.names->size(), 32) : 0;
    std::string text = "[";
    for (size_t i = 0; i < 32; ++i) {
      if (!(bits & (uint32_t{1} << i))) continue;
      if (i >= count) throw EWriteError("Invalid set value for " + path);
      if (text.size() > 1) text += ", ";
      text += (*prop.names)[i];
    }
    return text + "]";
  }

  std::string ReferenceName(TObject* object, const std::string& path) const {
    auto* c = dynamic_cast<TComponent*>(object);
    if (c && !c->Name().empty() && (c == root_ || c->Owner() == root_)) return c->Name();
    throw EWriteError("Cannot write " + path + ": it refers to a component that " + root_->Name() +
                      " does not own");
  }

  void WriteString(int level, const std::string& path, const std::string& value) {
    std::vector<std::string> pieces = QuotePieces(value);
    if (pieces.size() == 1) {
      Line(level, path + " = " + pieces[0]);
      return;
    }
    Line(level, path + " =");
    for (size_t i = 0; i < pieces.size(); ++i) Line(level + 1, pieces[i] + (i + 1 < pieces.size() ? " +" : ""));
  }

  void WriteList(int level, const std::string& path, const std::vector<std::string>& lines) {
    WrittenValue list{WrittenValue::List, {}, {}};
    for (const std::string& line : lines) list.items.push_back({WrittenValue::Text, line, {}});
    WriteValue(level, path, list);
  }

  void WriteValue(int level, const std::string& path, const WrittenValue& value) {
    switch (value.kind) {
      case WrittenValue::Atom:
        Line(level, path + " = " + value.text);
        return;
      case WrittenValue::Text:
        WriteString(level, path, value.text);
        return;
      case WrittenValue::List:
        if (value.items.empty()) {
          Line(level, path + " = ()");
          return;
        }
        Line(level, path + " = (");
        WriteItems(level + 1, value.items, ")");
        return;
    }
  }

  // The items of a list, one per line (a long text over several); the last
  // line gets `close`, the closing parentheses of every list that ends there.
  void WriteItems(int level, const std::vector<WrittenValue>& items, const std::string& close) {
    for (size_t i = 0; i < items.size(); ++i) {
      const WrittenValue& item = items[i];
      const std::string end = i + 1 == items.size() ? close : "";
      switch (item.kind) {
        case WrittenValue::Atom:
          Line(level, item.text + end);
          break;
        case WrittenValue::Text: {
          std::vector<std::string> pieces = QuotePieces(item.text);
          for (size_t j = 0; j < pieces.size(); ++j) Line(level, pieces[j] + (j + 1 < pieces.size() ? " +" : end));
          break;
        }
        case WrittenValue::List:
          if (item.items.empty()) {
            Line(level, "()" + end);
          } else {
            Line(level, "(");
            WriteItems(level + 1, item.items, ")" + end);
          }
          break;
      }
    }
  }

  void WriteBinary(int level, const std::string& path, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) {
      Line(level, path + " = {}");
      return;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
      hex += kHex[b >> 4];
      hex += kHex[b & 15];
    }
    Line(level, path + " = {");
    for (size_t i = 0; i < hex.size(); i += kHexPerLine) {
      bool last = i + kHexPerLine >= hex.size();
      Line(level + 1, hex.substr(i, kHexPerLine) + (last ? "}" : ""));
    }
  }

  TComponent* root_;
  std::string out_;
  std::set<const TComponent*> written_;
  bool capturing_ = false;
  std::string capturePath_;
  std::vector<WrittenValue> captured_;
  std::vector<std::vector<WrittenValue>*> open_;  // the lists being written, outermost first
};

void TWriter::DefineProperty(const std::string& name, TReaderProc, TWriterProc writeData, bool hasData) {
  if (hasData && writeData) impl_.WriteDefined(prefix_ + name, level_, *this, writeData);
}

void TWriter::DefineBinaryProperty(const std::string& name, TStreamProc, TStreamProc writeData, bool hasData) {
  if (hasData && writeData) impl_.WriteDefinedBinary(prefix_ + name, level_, writeData);
}

void TWriter::WriteInteger(int value) {
  impl_.Capture({WrittenValue::Atom, IntToStr(value), {}});
}

void TWriter::WriteFloat(double value) {
  impl_.Capture({WrittenValue::Atom, Impl::FloatText(value, impl_.capturePath_), {}});
}

void TWriter::WriteBoolean(bool value) {
  impl_.Capture({WrittenValue::Atom, value ? "True" : "False", {}});
}

void TWriter::WriteString(const std::string& value) {
  impl_.Capture({WrittenValue::Text, value, {}});
}

void TWriter::WriteIdent(const std::string& value) {
  if (!IsValidIdent(value))
    throw EWriteError("Cannot write " + impl_.capturePath_ + ": '" + value + "' is not an identifier");
  impl_.Capture({WrittenValue::Atom, value, {}});
}

void TWriter::WriteListBegin() {
  impl_.CaptureListBegin();
}

void TWriter::WriteListEnd() {
  impl_.CaptureListEnd();
}

std::string WriteComponentText(TComponent* root) {
  if (!root) throw EWriteError("No component to write");
  TWriter::Impl writer(root);
  return writer.Write();
}
