// The form-description reader under many random and damaged texts: every
// input ends either in components or in the reader's error, which names a line
// of the text. Nothing crashes, nothing leaks (the native build runs this under
// the address and undefined-behaviour sanitizers), and a text that was read
// writes back to a text that reads again and writes the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Classes.h"
#include "Colors.h"
#include "Dateutils.h"
#include "Filer.h"
#include "Streams.h"
#include "Strings.h"

namespace {

enum TFuzzKind { fkNone, fkOne, fkTwo };
const std::vector<std::string> kFuzzKindNames = {"fkNone", "fkOne", "fkTwo"};
enum TFuzzFlag { ffA, ffB, ffC };
const std::vector<std::string> kFuzzFlagNames = {"ffA", "ffB", "ffC"};

class TFuzzFont : public TPersistent {
  ZX_CLASS(TFuzzFont, TPersistent)
 public:
  std::string Name;
  int Size = 8;
  TSet<TFuzzFlag> Style;
};

const TClassInfo& TFuzzFont::StaticClass() {
  static const TClassInfo info = DefineClass<TFuzzFont>("TFuzzFont", [](TClassBuilder<TFuzzFont>& c) {
    c.Str("Name", &TFuzzFont::Name, &TFuzzFont::Name)
        .Int("Size", &TFuzzFont::Size, &TFuzzFont::Size, 8)
        .Set("Style", kFuzzFlagNames, &TFuzzFont::Style, &TFuzzFont::Style, TSet<TFuzzFlag>{});
  });
  return info;
}

// One of every kind of property, and data of its own in a list of texts,
// nested lists of numbers and a binary block.
class TFuzzItem : public TComponent {
  ZX_CLASS(TFuzzItem, TComponent)
 public:
  explicit TFuzzItem(TComponent* owner) : TComponent(owner) {}

  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* parent) override { parent_ = dynamic_cast<TFuzzItem*>(parent); }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == Buddy) Buddy = nullptr;
    if (op == opRemove && c == parent_) parent_ = nullptr;
  }
  void DefineProperties(TFiler* filer) override {
    TComponent::DefineProperties(filer);
    filer->DefineProperty(
        "Lines",
        [this](TReader& r) {
          Lines.clear();
          r.ReadListBegin();
          while (!r.EndOfList()) Lines.push_back(r.ReadString());
          r.ReadListEnd();
        },
        [this](TWriter& w) {
          w.WriteListBegin();
          for (const std::string& line : Lines) w.WriteString(line);
          w.WriteListEnd();
        },
        !Lines.empty());
    filer->DefineProperty(
        "Points",
        [this](TReader& r) {
          Points.clear();
          r.ReadListBegin();
          while (!r.EndOfList()) {
            r.ReadListBegin();
            int x = r.ReadInteger();
            Points.push_back({x, r.ReadFloat()});
            r.ReadListEnd();
          }
          r.ReadListEnd();
        },
        [this](TWriter& w) {
          w.WriteListBegin();
          for (const auto& [x, y] : Points) {
            w.WriteListBegin();
            w.WriteInteger(x);
            w.WriteFloat(y);
            w.WriteListEnd();
          }
          w.WriteListEnd();
        },
        !Points.empty());
    filer->DefineBinaryProperty(
        "Blob",
        [this](TStream& s) {
          Blob.assign(static_cast<size_t>(s.Size()), 0);
          s.ReadBuffer(Blob.data(), s.Size());
        },
        [this](TStream& s) { s.WriteBuffer(Blob.data(), static_cast<int64_t>(Blob.size())); }, !Blob.empty());
  }

  int Left = 0;
  bool Visible = true;
  TFuzzKind Kind = fkNone;
  TColor Color = clBtnFace;
  std::string Caption;
  std::vector<uint8_t> Data;
  double Ratio = 0;
  TDateTime When = 0;
  TStringList Items;
  TFuzzFont Font;
  TFuzzItem* Buddy = nullptr;
  TNotifyEvent OnClick;
  std::vector<std::string> Lines;
  std::vector<std::pair<int, double>> Points;
  std::vector<uint8_t> Blob;
  TFuzzItem* parent_ = nullptr;
};

const TClassInfo& TFuzzItem::StaticClass() {
  static const TClassInfo info = DefineClass<TFuzzItem>("TFuzzItem", [](TClassBuilder<TFuzzItem>& c) {
    c.Int("Left", &TFuzzItem::Left, &TFuzzItem::Left, 0)
        .Bool("Visible", &TFuzzItem::Visible, &TFuzzItem::Visible, true)
        .Enum("Kind", kFuzzKindNames, &TFuzzItem::Kind, &TFuzzItem::Kind, fkNone)
        .Color("Color", &TFuzzItem::Color, &TFuzzItem::Color, clBtnFace)
        .Str("Caption", &TFuzzItem::Caption, &TFuzzItem::Caption)
        .Bin("Data", &TFuzzItem::Data, &TFuzzItem::Data)
        .Float("Ratio", &TFuzzItem::Ratio, &TFuzzItem::Ratio)
        .DateTime("When", &TFuzzItem::When, &TFuzzItem::When)
        .Obj("Items", [](TFuzzItem& i) { return &i.Items; })
        .Obj("Font", [](TFuzzItem& i) { return &i.Font; })
        .Ref<TFuzzItem>("Buddy", &TFuzzItem::Buddy, &TFuzzItem::Buddy)
        .Event("OnClick", &TFuzzItem::OnClick);
  });
  return info;
}

class TFuzzForm : public TComponent {
  ZX_CLASS(TFuzzForm, TComponent)
 public:
  explicit TFuzzForm(TComponent* owner = nullptr) : TComponent(owner) {}
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == Focus) Focus = nullptr;
  }
  void Clicked(TObject*) {}

  std::string Caption;
  TFuzzItem* Focus = nullptr;
  TFuzzItem* Item1 = nullptr;
  TFuzzItem* Item2 = nullptr;
};

const TClassInfo& TFuzzForm::StaticClass() {
  static const TClassInfo info = DefineClass<TFuzzForm>("TFuzzForm", [](TClassBuilder<TFuzzForm>& c) {
    c.Str("Caption", &TFuzzForm::Caption, &TFuzzForm::Caption)
        .Ref<TFuzzItem>("Focus", &TFuzzForm::Focus, &TFuzzForm::Focus)
        .Method("Clicked", &TFuzzForm::Clicked)
        .Field("Item1", &TFuzzForm::Item1)
        .Field("Item2", &TFuzzForm::Item2);
  });
  return info;
}

// Valid texts that the mutations start from.
std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  seeds.push_back(
      "object Form1: TFuzzForm\n"
      "  Caption = 'Fuzz'#13#10'it''s' +\n"
      "    ' more'\n"
      "  Focus = Item2\n"
      "  object Item1: TFuzzItem\n"
      "    Left = -12\n"
      "    Visible = False\n"
      "    Kind = fkTwo\n"
      "    Color = clRed\n"
      "    Data = {\n"
      "      00FF7F0A}\n"
      "    Ratio = 0.1\n"
      "    When = 45351.25\n"
      "    Items.Strings = (\n"
      "      'one'\n"
      "      #9'two')\n"
      "    Font.Name = 'Sans'\n"
      "    Font.Style = [ffA, ffC]\n"
      "    OnClick = Clicked\n"
      "    Lines = (\n"
      "      'a'\n"
      "      'b')\n"
      "    Points = (\n"
      "      (\n"
      "        1\n"
      "        -2.5e-3))\n"
      "    Blob = {\n"
      "      DEADBEEF}\n"
      "    object Item2: TFuzzItem\n"
      "      Left = $7FFFFFFF\n"
      "      Color = -2147483643\n"
      "      Buddy = Item1\n"
      "    end\n"
      "  end\n"
      "  object TFuzzItem\n"
      "    Caption = #255#0'x'\n"
      "  end\n"
      "end\n");
  // One written by the writer itself.
  TFuzzForm form;
  form.SetName("Written");
  form.Caption = std::string(150, 'c');
  auto* a = new TFuzzItem(&form);
  a->SetName("Item1");
  a->Ratio = -0.0;
  a->When = EncodeDate(9999, 12, 31) + 0.999;
  a->Items.SetStrings({"", "x'y", std::string(100, 'z')});
  a->Data.assign(200, 0xA5);
  a->Lines = {"l1", std::string(70, 'l')};
  a->Points = {{2147483647, 1e300}, {-1, 5e-324}};
  auto* b = new TFuzzItem(&form);
  b->SetName("Deep");
  b->SetParentComponent(a);
  b->Buddy = a;
  form.Focus = b;
  seeds.push_back(WriteComponentText(&form));
  return seeds;
}

// Pieces that the mutations insert: the tokens of the language and things that
// test its limits.
const char* const kPieces[] = {"object ", "end\n", "(", ")", "{", "}", "[", "]", "'", "''", "#", "#$", "#256",
                               "$", "-", "+", "=", ":", ".", ",", "1e999", "1e-999", "4294967296", "99999999999",
                               "-2147483649", "1.5", "-0.0", "0.", "nil", "True", "Item1", "TFuzzItem", "Font.",
                               "Items.Strings", "Lines", "Points", "Blob", "\n", "\r", "\t", std::string(1, '\0').c_str(),
                               "\xEF\xBB\xBF", "\xFF", "Name = 'x'\n", "Buddy = Form1\n", "OnClick = Nothing\n"};

class Fuzzer {
 public:
  explicit Fuzzer(uint32_t seed) : rng_(seed) {}

  uint32_t Below(uint32_t n) { return n == 0 ? 0 : rng_() % n; }

  std::string Mutate(std::string text) {
    int steps = 1 + static_cast<int>(Below(4));
    for (int i = 0; i < steps; ++i) {
      size_t at = Below(static_cast<uint32_t>(text.size() + 1));
      switch (Below(6)) {
        case 0:  // cut anywhere
          text.resize(at);
          break;
        case 1:  // flip a byte
          if (!text.empty()) text[at % text.size()] = static_cast<char>(Below(256));
          break;
        case 2: {  // insert a token
          std::string piece = kPieces[Below(sizeof kPieces / sizeof kPieces[0])];
          if (piece.empty()) piece.assign(1, '\0');
          text.insert(at, piece);
          break;
        }
        case 3: {  // repeat a stretch
          size_t length = Below(64);
          text.insert(at, text.substr(at, length));
          break;
        }
        case 4:  // drop a stretch
          text.erase(at, Below(16));
          break;
        case 5:  // swap two bytes
          if (text.size() > 1) std::swap(text[at % text.size()], text[Below(static_cast<uint32_t>(text.size()))]);
          break;
      }
    }
    return text;
  }

 private:
  std::mt19937 rng_;
};

// Texts at the limits: deep nesting, huge numbers and blobs, unterminated values.
std::vector<std::string> Extremes() {
  std::vector<std::string> texts;
  for (int depth : {63, 64, 65, 66, 500}) {
    std::string text = "object Form1: TFuzzForm\n";
    for (int i = 0; i < depth; ++i) text += "object TFuzzItem\n";
    for (int i = 0; i < depth; ++i) text += "end\n";
    texts.push_back(text + "end\n");
  }
  const std::string head = "object Form1: TFuzzForm\nobject Item1: TFuzzItem\n";
  const std::string tail = "\nend\nend\n";
  texts.push_back(head + "Data = {" + std::string(200000, 'F') + "}" + tail);
  texts.push_back(head + "Blob = {" + std::string(200001, 'F') + "}" + tail);
  texts.push_back(head + "Data = {" + std::string(1000, 'F'));
  texts.push_back(head + "Left = " + std::string(5000, '9') + tail);
  texts.push_back(head + "Ratio = " + std::string(5000, '9') + ".5" + tail);
  texts.push_back(head + "Ratio = 0." + std::string(5000, '0') + "1" + tail);
  texts.push_back(head + "Ratio = 1e" + std::string(400, '9') + tail);
  texts.push_back(head + "Caption = '" + std::string(100000, 'x'));
  texts.push_back(head + "Caption = " + std::string(20000, '#') + tail);
  texts.push_back(head + "Lines = (" + std::string(20000, '(') + tail);
  texts.push_back(head + "Points = (" + std::string(5000, '(') + tail);
  texts.push_back(head + "Items.Strings = (" + tail);
  texts.push_back(head + "Font" + std::string(1000, '.') + "Name = 'x'" + tail);
  std::string plus = head + "Caption = 'a'";
  for (int i = 0; i < 20000; ++i) plus += " + 'a'";
  texts.push_back(plus + tail);
  texts.push_back(std::string(100000, '\n') + "object");
  texts.push_back("");
  return texts;
}

int LineCount(const std::string& text) {
  int lines = 1;
  for (char ch : text) lines += ch == '\n';
  return lines;
}

// Reads one text and checks how it ended; returns whether it was read.
bool ReadChecked(const std::string& text) {
  TFuzzForm form;
  // A buffer of exactly the text's size, unlike a std::string's, has no zero
  // after its end: a read past the end shows under the address sanitizer.
  std::unique_ptr<char[]> exact(new char[text.size()]);
  std::copy(text.begin(), text.end(), exact.get());
  try {
    ReadComponentText(&form, std::string_view(exact.get(), text.size()));
  } catch (const EFilerError& e) {
    // "Line n: ..." with a line of the text.
    const std::string& m = e.Message();
    EXPECT_EQ(m.rfind("Line ", 0), 0u) << m;
    int line = 0;
    size_t i = 5;
    for (; i < m.size() && m[i] >= '0' && m[i] <= '9' && line < 100000000; ++i) line = line * 10 + (m[i] - '0');
    EXPECT_TRUE(line >= 1 && line <= LineCount(text)) << m;
    EXPECT_EQ(m.compare(i, 2, ": "), 0) << m;
    // A failed read leaves nothing behind.
    EXPECT_EQ(form.ComponentCount(), 0) << m;
    EXPECT_EQ(form.Item1, nullptr);
    EXPECT_EQ(form.Focus, nullptr);
    EXPECT_FALSE(form.ComponentState().Contains(csLoading));
    return false;
  }
  // What was read writes back, and that text reads again to the same.
  std::string written;
  try {
    written = WriteComponentText(&form);
  } catch (const EWriteError& e) {
    ADD_FAILURE() << "read but not written back: " << e.Message();
    return true;
  }
  TFuzzForm again;
  try {
    ReadComponentText(&again, written);
  } catch (const Exception& e) {
    ADD_FAILURE() << "written text does not read: " << e.Message() << "\n" << written;
    return true;
  }
  EXPECT_EQ(WriteComponentText(&again), written);
  return true;
}

TEST(FilerFuzzTest, RandomAndDamagedTextsEndInComponentsOrALineNumberedError) {
  Fuzzer fuzzer(20261208);
  const std::vector<std::string> seeds = Seeds();
  for (const std::string& seed : seeds) ASSERT_TRUE(ReadChecked(seed)) << seed;
  int read = 0, refused = 0;
  for (int i = 0; i < 4000 && !HasFailure(); ++i) {
    std::string text = fuzzer.Mutate(seeds[static_cast<size_t>(i) % seeds.size()]);
    SCOPED_TRACE(testing::Message() << "input " << i << ":\n" << text);
    (ReadChecked(text) ? read : refused)++;
  }
  // The mutations reach both ends: some inputs survive them, most do not.
  EXPECT_GT(read, 40);
  EXPECT_GT(refused, 2000);
}

TEST(FilerFuzzTest, RandomBytesAndTokenSoupAreRefused) {
  Fuzzer fuzzer(7);
  for (int i = 0; i < 1000 && !HasFailure(); ++i) {
    std::string text;
    size_t length = fuzzer.Below(200);
    if (i % 2 == 0) {
      for (size_t j = 0; j < length; ++j) text += static_cast<char>(fuzzer.Below(256));
    } else {
      text = "object Form1: TFuzzForm\n";
      for (size_t j = 0; j < length / 4; ++j) text += kPieces[fuzzer.Below(sizeof kPieces / sizeof kPieces[0])];
    }
    SCOPED_TRACE(testing::Message() << "input " << i << ":\n" << text);
    ReadChecked(text);
  }
}

TEST(FilerFuzzTest, TextsAtTheLimitsAreReadOrRefusedWithoutHarm) {
  for (const std::string& text : Extremes()) {
    SCOPED_TRACE(text.substr(0, 120));
    ReadChecked(text);
  }
}

}  // namespace
