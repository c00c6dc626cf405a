#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <bit>
#include <cmath>
#include <limits>

#include "Classes.h"
#include "Colors.h"
#include "Dateutils.h"
#include "Filer.h"
#include "Streams.h"
#include "Strings.h"

namespace {

// What the components of these tests saw, in order.
std::vector<std::string>& Trace() {
  static std::vector<std::string> trace;
  return trace;
}

enum TFilerFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
const std::vector<std::string> kFontStyleNames = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
enum TFilerAlign : int { alNone, alTop, alBottom, alClient };
const std::vector<std::string> kAlignNames = {"alNone", "alTop", "alBottom", "alClient"};

class TFilerShadow : public TPersistent {
  ZX_CLASS(TFilerShadow, TPersistent)
 public:
  int Depth = 0;
  TColor Color = clGray;
};

const TClassInfo& TFilerShadow::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerShadow>("TFilerShadow", [](TClassBuilder<TFilerShadow>& c) {
    c.Int("Depth", &TFilerShadow::Depth, &TFilerShadow::Depth, 0)
        .Color("Color", &TFilerShadow::Color, &TFilerShadow::Color, clGray);
  });
  return info;
}

class TFilerFont : public TPersistent {
  ZX_CLASS(TFilerFont, TPersistent)
 public:
  std::string Name;
  int Height = 0;
  TSet<TFilerFontStyle> Style;
  TColor Color = clWindowText;
  TFilerShadow Shadow;
};

const TClassInfo& TFilerFont::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerFont>("TFilerFont", [](TClassBuilder<TFilerFont>& c) {
    c.Str("Name", &TFilerFont::Name, &TFilerFont::Name)
        .Int("Height", &TFilerFont::Height, &TFilerFont::Height, 0)
        .Set("Style", kFontStyleNames, &TFilerFont::Style, &TFilerFont::Style, TSet<TFilerFontStyle>{})
        .Color("Color", &TFilerFont::Color, &TFilerFont::Color, clWindowText)
        .Obj("Shadow", [](TFilerFont& f) { return &f.Shadow; });
  });
  return info;
}

class TFilerItem : public TComponent {
  ZX_CLASS(TFilerItem, TComponent)
 public:
  explicit TFilerItem(TComponent* owner) : TComponent(owner) {}
  ~TFilerItem() override { Trace().push_back("free " + Name()); }

  int Left() const { return left_; }
  void SetLeft(int value) {
    left_ = value;
    Trace().push_back(Name() + ".Left" + (ComponentState().Contains(csLoading) ? " loading" : "") +
                      (ComponentState().Contains(csReading) ? " reading" : ""));
  }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value) {
    if (value == "boom") throw EInvalidOperation("Caption refused");
    caption_ = value;
  }
  int Handle() const { return 123; }

  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* parent) override {
    parent_ = dynamic_cast<TFilerItem*>(parent);
    Trace().push_back(Name() + ".Parent=" + (parent ? parent->Name() : "nil"));
  }
  void Loaded() override {
    TComponent::Loaded();
    Trace().push_back("loaded " + Name() + (Buddy ? " buddy=" + Buddy->Name() : ""));
    if (Tag == 13) throw EInvalidOperation("Loaded refused");
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == Buddy) Buddy = nullptr;
    if (op == opRemove && c == Link) Link = nullptr;
  }

  int Width = 50;
  bool Visible = true;
  TFilerAlign Align = alNone;
  TColor Color = clBtnFace;
  std::vector<uint8_t> Data;
  TStringList Items;
  TFilerFont Font;
  TFilerItem* Buddy = nullptr;
  TComponent* Link = nullptr;
  TNotifyEvent OnClick;
  TEvent<TObject*, int> OnValue;
  TFilerItem* parent_ = nullptr;

 private:
  int left_ = 0;
  std::string caption_;
};

const TClassInfo& TFilerItem::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerItem>("TFilerItem", [](TClassBuilder<TFilerItem>& c) {
    c.Int("Left", &TFilerItem::Left, &TFilerItem::SetLeft, 0)
        .Int("Width", &TFilerItem::Width, &TFilerItem::Width, 50)
        .Bool("Visible", &TFilerItem::Visible, &TFilerItem::Visible, true)
        .Enum("Align", kAlignNames, &TFilerItem::Align, &TFilerItem::Align, alNone)
        .Color("Color", &TFilerItem::Color, &TFilerItem::Color, clBtnFace)
        .Str("Caption", &TFilerItem::Caption, &TFilerItem::SetCaption)
        .Bin("Data", &TFilerItem::Data, &TFilerItem::Data)
        .Obj("Items", [](TFilerItem& i) { return &i.Items; })
        .Obj("Font", [](TFilerItem& i) { return &i.Font; })
        .Ref<TFilerItem>("Buddy", &TFilerItem::Buddy, &TFilerItem::Buddy)
        .Ref<TComponent>("Link", &TFilerItem::Link, &TFilerItem::Link)
        .Int("Handle", &TFilerItem::Handle, [](TFilerItem&, int) {}, 0)
        .ReadOnly()
        .Event("OnClick", &TFilerItem::OnClick)
        .Event("OnValue", &TFilerItem::OnValue);
  });
  return info;
}

class TFilerItemEx : public TFilerItem {
  ZX_CLASS(TFilerItemEx, TFilerItem)
 public:
  using TFilerItem::TFilerItem;
  int Extra = 0;
};

const TClassInfo& TFilerItemEx::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerItemEx>("TFilerItemEx", [](TClassBuilder<TFilerItemEx>& c) {
    c.Int("Extra", &TFilerItemEx::Extra, &TFilerItemEx::Extra, 0);
  });
  return info;
}

// A class that nothing registers: the reader must not find it.
class TFilerHidden : public TComponent {
  ZX_CLASS(TFilerHidden, TComponent)
 public:
  using TComponent::TComponent;
};

const TClassInfo& TFilerHidden::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerHidden>("TFilerHidden");
  return info;
}

class TFilerForm : public TComponent {
  ZX_CLASS(TFilerForm, TComponent)
 public:
  explicit TFilerForm(TComponent* owner = nullptr) : TComponent(owner) {}
  void Loaded() override {
    TComponent::Loaded();
    Trace().push_back("loaded form" + std::string(Item1 ? " Item1" : ""));
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == Focus) Focus = nullptr;
  }
  void FormCreate(TObject* sender) { calls.push_back("FormCreate " + static_cast<TComponent*>(sender)->Name()); }
  void ItemClick(TObject* sender) { calls.push_back("ItemClick " + static_cast<TComponent*>(sender)->Name()); }
  void ValueChanged(TObject*, int value) { calls.push_back("ValueChanged " + std::to_string(value)); }

  std::string Caption;
  TColor Color = clBtnFace;
  TFilerItem* Focus = nullptr;
  TNotifyEvent OnCreate;
  TFilerItem* Item1 = nullptr;
  TFilerItem* Item2 = nullptr;
  TFilerItemEx* Special = nullptr;
  std::vector<std::string> calls;
};

const TClassInfo& TFilerForm::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerForm>("TFilerForm", [](TClassBuilder<TFilerForm>& c) {
    c.Str("Caption", &TFilerForm::Caption, &TFilerForm::Caption)
        .Color("Color", &TFilerForm::Color, &TFilerForm::Color, clBtnFace)
        .Ref<TFilerItem>("Focus", &TFilerForm::Focus, &TFilerForm::Focus)
        .Event("OnCreate", &TFilerForm::OnCreate)
        .Method("FormCreate", &TFilerForm::FormCreate)
        .Method("ItemClick", &TFilerForm::ItemClick)
        .Method("ValueChanged", &TFilerForm::ValueChanged)
        .Field("Item1", &TFilerForm::Item1)
        .Field("Item2", &TFilerForm::Item2)
        .Field("Special", &TFilerForm::Special);
  });
  return info;
}

class FilerTest : public testing::Test {
 protected:
  void SetUp() override { Trace().clear(); }
  TFilerItem* Item(const char* name) { return dynamic_cast<TFilerItem*>(form.FindComponent(name)); }
  TFilerForm form;
};

// --- Reading ------------------------------------------------------------------

TEST_F(FilerTest, ReadsEveryKindOfValue) {
  ReadComponentText(&form,
                    "object Form1: TFilerForm\n"
                    "  Caption = 'Vantrel' + ' Zapnix'\n"
                    "  Color = 14999525\n"
                    "  Focus = Item1\n"
                    "  OnCreate = FormCreate\n"
                    "  object Item1: TFilerItem\n"
                    "    Left = -192\n"
                    "    Width = 2147483647\n"
                    "    Visible = False\n"
                    "    Align = alClient\n"
                    "    Color = clInfoBk\n"
                    "    Caption = 'it''s'#13#10'#9'#$41\n"
                    "    Data = {\n"
                    "      00FF7f\n"
                    "      0A}\n"
                    "    Items.Strings = (\n"
                    "      'one'\n"
                    "      ''\n"
                    "      'long' +\n"
                    "      'er')\n"
                    "    Font.Name = 'Tahoma'\n"
                    "    Font.Style = [fsBold, fsUnderline]\n"
                    "    Font.Color = -2147483623\n"
                    "    Font.Shadow.Depth = 3\n"
                    "    Buddy = Item1\n"
                    "    Link = Form1\n"
                    "    OnClick = ItemClick\n"
                    "    OnValue = ValueChanged\n"
                    "  end\n"
                    "end\n");
  EXPECT_EQ(form.Name(), "Form1");
  EXPECT_EQ(form.Caption, "Vantrel Zapnix");
  EXPECT_EQ(form.Color, 0xE4DFE5u);
  ASSERT_NE(form.Item1, nullptr);
  TFilerItem& item = *form.Item1;
  EXPECT_EQ(form.Focus, &item);
  EXPECT_EQ(item.Left(), -192);
  EXPECT_EQ(item.Width, 2147483647);
  EXPECT_FALSE(item.Visible);
  EXPECT_EQ(item.Align, alClient);
  EXPECT_EQ(item.Color, clInfoBk);
  EXPECT_EQ(item.Caption(), "it's\r\n#9A");
  EXPECT_EQ(item.Data, (std::vector<uint8_t>{0x00, 0xFF, 0x7F, 0x0A}));
  EXPECT_EQ(item.Items.ToVector(), (std::vector<std::string>{"one", "", "longer"}));
  EXPECT_EQ(item.Font.Name, "Tahoma");
  EXPECT_EQ(item.Font.Style, (TSet<TFilerFontStyle>{fsBold, fsUnderline}));
  EXPECT_EQ(item.Font.Color, 0x80000019u);
  EXPECT_EQ(item.Font.Shadow.Depth, 3);
  EXPECT_EQ(item.Buddy, &item);
  EXPECT_EQ(item.Link, &form);
  form.OnCreate(&form);
  item.OnClick(&item);
  item.OnValue(&item, 42);
  EXPECT_EQ(form.calls, (std::vector<std::string>{"FormCreate Form1", "ItemClick Item1", "ValueChanged 42"}));
  EXPECT_EQ(item.OnClick.Name(), "ItemClick");
}

TEST_F(FilerTest, IndentationLineBreaksAndCaseDoNotMatter) {
  ReadComponentText(&form,
                    "\xEF\xBB\xBF"
                    "OBJECT Form1 : tfilerform\r\n"
                    "\tcaption='x'   color=clred\r\n"
                    "object Item1:TFilerItem visible = TRUE align=ALTOP END\r\n"
                    "End");
  EXPECT_EQ(form.Caption, "x");
  EXPECT_EQ(form.Color, clRed);
  ASSERT_NE(form.Item1, nullptr);
  EXPECT_EQ(form.Item1->Align, alTop);
}

TEST_F(FilerTest, NestedObjectsAreOwnedByTheRootAndPlacedUnderTheirEnclosingObject) {
  ReadComponentText(&form,
                    "object Form1: TFilerForm\n"
                    "  object Item1: TFilerItem\n"
                    "    Left = 1\n"
                    "    object Item2: TFilerItem\n"
                    "      Left = 2\n"
                    "      object Deep: TFilerItem\n"
                    "        Left = 3\n"
                    "      end\n"
                    "    end\n"
                    "  end\n"
                    "  object Special: TFilerItemEx\n"
                    "    Extra = 7\n"
                    "  end\n"
                    "end\n");
  ASSERT_EQ(form.ComponentCount(), 4);
  TFilerItem* deep = Item("Deep");
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->Owner(), &form);
  EXPECT_EQ(deep->parent_, form.Item2);
  EXPECT_EQ(form.Item2->parent_, form.Item1);
  EXPECT_EQ(form.Item1->parent_, nullptr);  // the root is no TFilerItem
  ASSERT_NE(form.Special, nullptr);
  EXPECT_EQ(form.Special->Extra, 7);
  // Name first, then the parent, then the properties, loading all the while.
  std::vector<std::string> expected = {"Item1.Parent=Form1", "Item1.Left loading reading",
                                       "Item2.Parent=Item1", "Item2.Left loading reading",
                                       "Deep.Parent=Item2",  "Deep.Left loading reading",
                                       "Special.Parent=Form1"};
  std::vector<std::string> head(Trace().begin(), Trace().begin() + static_cast<long>(expected.size()));
  EXPECT_EQ(head, expected);
}

TEST_F(FilerTest, LoadedRunsAfterTheFixupsInCreationOrderAndLastOnTheRoot) {
  ReadComponentText(&form,
                    "object Form1: TFilerForm\n"
                    "  object Item1: TFilerItem\n"
                    "    Buddy = Item2\n"  // refers forward
                    "  end\n"
                    "  object Item2: TFilerItem\n"
                    "    Buddy = Item1\n"
                    "  end\n"
                    "end\n");
  std::vector<std::string> loaded;
  for (const auto& line : Trace())
    if (line.rfind("loaded", 0) == 0) loaded.push_back(line);
  EXPECT_EQ(loaded, (std::vector<std::string>{"loaded Item1 buddy=Item2", "loaded Item2 buddy=Item1",
                                              "loaded form Item1"}));
  for (TComponent* c : {static_cast<TComponent*>(&form), static_cast<TComponent*>(form.Item1)}) {
    EXPECT_FALSE(c->ComponentState().Contains(csLoading));
    EXPECT_FALSE(c->ComponentState().Contains(csReading));
  }
}

TEST_F(FilerTest, AFailingLoadedStillLetsEveryOtherComponentFinishLoading) {
  try {
    ReadComponentText(&form,
                      "object Form1: TFilerForm\n"
                      "  object Item1: TFilerItem\n"
                      "    Tag = 13\n"
                      "  end\n"
                      "  object Item2: TFilerItem\n"
                      "  end\n"
                      "end\n");
    ADD_FAILURE();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Loaded refused");
  }
  // The components are complete and stay with the root; none is left loading.
  ASSERT_EQ(form.ComponentCount(), 2);
  ASSERT_NE(form.Item2, nullptr);
  EXPECT_FALSE(form.Item2->ComponentState().Contains(csLoading));
  EXPECT_FALSE(form.ComponentState().Contains(csLoading));
  EXPECT_EQ(Trace().back(), "loaded form Item1");
}

TEST_F(FilerTest, RootNameComesFromTheTextOnlyWhenItHasNone) {
  TFilerForm owner;
  auto* first = new TFilerForm(&owner);
  ReadComponentText(first, "object Form1: TFilerForm end");
  EXPECT_EQ(first->Name(), "Form1");
  // A second instance under the same owner cannot take the same name.
  auto* second = new TFilerForm(&owner);
  ReadComponentText(second, "object Form1: TFilerForm\n  object I: TFilerItem\n    Link = Form1\n  end\nend");
  EXPECT_EQ(second->Name(), "Form1_1");
  // The text's own name for the root still refers to it.
  EXPECT_EQ(dynamic_cast<TFilerItem*>(second->FindComponent("I"))->Link, second);
  auto* named = new TFilerForm(&owner);
  named->SetName("Mine");
  ReadComponentText(named, "object Form1: TFilerForm end");
  EXPECT_EQ(named->Name(), "Mine");
}

TEST_F(FilerTest, UnnamedComponentsAreCreatedAndWrittenBack) {
  const std::string text =
      "object Form1: TFilerForm\n"
      "  object TFilerItem\n"
      "    Left = 4\n"
      "  end\n"
      "end\n";
  ReadComponentText(&form, text);
  ASSERT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.Components(0)->Name(), "");
  EXPECT_EQ(WriteComponentText(&form), text);
}

// --- Errors --------------------------------------------------------------------

struct ErrorCase {
  const char* text;
  const char* message;
};

// Every failure names its line.
const ErrorCase kErrors[] = {
    {"object Form1: TFilerForm\n  Nope = 1\nend", "Line 2: Property Nope does not exist"},
    {"object Form1: TFilerForm\n  Caption.Size = 1\nend", "Line 2: Property Caption.Size does not exist"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Font.Shadow.Nope = 1\n end\nend",
     "Line 3: Property Font.Shadow.Nope does not exist"},
    {"object Form1: TFilerItem\nend", "Line 1: Class TFilerItem does not match TFilerForm"},
    {"object Form1: TFilerForm\n\n  object X: TFilerNowhere\n  end\nend", "Line 3: Class TFilerNowhere not found"},
    {"object Form1: TFilerForm\n  object X: TFilerHidden\n  end\nend", "Line 2: Class TFilerHidden not found"},
    {"object Form1: TFilerForm\n  Focus = Ghost\nend", "Line 2: Invalid reference Ghost in Focus"},
    {"object Form1: TFilerForm\n  Focus = Form1\nend",
     "Line 2: Invalid reference Form1 in Focus: TFilerForm is not a TFilerItem"},
    {"object Form1: TFilerForm\n  OnCreate = Missing\nend", "Line 2: Method Missing not found"},
    {"object Form1: TFilerForm\n  OnCreate = ValueChanged\nend",
     "Line 2: Method ValueChanged does not match the event OnCreate"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Left = 2147483648\n end\nend",
     "Line 3: Integer value out of range for Left"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Left = -2147483649\n end\nend",
     "Line 3: Integer value out of range for Left"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Left = 99999999999999999999\n end\nend",
     "Line 3: Integer value out of range"},
    {"object Form1: TFilerForm\n  Color = 4294967296\nend", "Line 2: Integer value out of range"},
    {"object Form1: TFilerForm\n  Color = clMauve\nend", "Line 2: Invalid property value for Color: clMauve"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Align = alLeft\n end\nend",
     "Line 3: Invalid property value for Align: alLeft"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Font.Style = [fsBold, fsWide]\n end\nend",
     "Line 3: Invalid property value for Font.Style: fsWide"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Visible = Yes\n end\nend",
     "Line 3: Invalid property value for Visible"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Left = '1'\n end\nend",
     "Line 3: Invalid property value for Left"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Font = 1\n end\nend",
     "Line 3: Invalid property value for Font"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Handle = 5\n end\nend",
     "Line 3: Property Handle is read-only"},
    {"object Form1: TFilerForm\n  Caption = 'open\nend", "Line 2: Unterminated string"},
    {"object Form1: TFilerForm\n  Caption = 'a'#256\nend", "Line 2: Invalid character code"},
    {"object Form1: TFilerForm\n  Caption = 'a' +\n  5\nend", "Line 3: String expected after '+'"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Data = {\n  0A1\n  }\n end\nend",
     "Line 5: Invalid binary value: odd number of hex digits"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Data = {0G}\n end\nend", "Line 3: Invalid binary value"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Data = {00\n", "Line 3: Unterminated binary value"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Items.Strings = (\n  'a'\n  1)\n end\nend",
     "Line 5: String expected"},
    {"object Form1: TFilerForm\n  Caption = 'x'\n", "Line 3: Unexpected end of text: 'end' expected"},
    {"object Form1: TFilerForm\n  Caption =\n", "Line 3: Unexpected end of text: property value expected"},
    {"object Form1: TFilerForm\nend\nend", "Line 3: Text after the end of the root object"},
    {"object Form1: TFilerForm\n  Caption = ?\nend", "Line 2: Invalid character '?'"},
    {"object Form1: TFilerForm\n  Caption = 1.5x\nend", "Line 2: Invalid number"},
    {"object Form1: TFilerForm\n  Caption = 1.5\nend", "Line 2: Invalid property value for Caption"},
    {"object Form1: TFilerForm\n  Caption 'x'\nend", "Line 2: '=' expected"},
    {"Form1: TFilerForm\nend", "Line 1: 'object' expected"},
    {"object Form1: TFilerForm\n object A: TFilerItem\n end\n object a: TFilerItem\n end\nend",
     "Line 4: Cannot name TFilerItem: A component named a already exists"},
    {"object Form1: TFilerForm\n object I: TFilerItem\n  Caption = 'boom'\n end\nend",
     "Line 3: Error reading Caption: Caption refused"},
    {"object Form1: TFilerForm\n  object Special: TFilerItem\n  end\nend",
     "Line 2: Field Special is a TFilerItemEx, not a TFilerItem"},
};

TEST_F(FilerTest, EveryErrorCarriesItsLineNumber) {
  for (const ErrorCase& c : kErrors) {
    TFilerForm root;
    try {
      ReadComponentText(&root, c.text);
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const EFilerError& e) {
      EXPECT_EQ(e.Message(), c.message) << c.text;
    }
  }
}

TEST_F(FilerTest, UnknownClassesRaiseClassNotFound) {
  EXPECT_THROW(ReadComponentText(&form, "object F: TFilerForm\n object X: TFilerNowhere\n end\nend"), EClassNotFound);
  EXPECT_THROW(ReadComponentText(&form, "object F: TFilerForm\n Nope = 1\nend"), EReadError);
}

TEST_F(FilerTest, NestingTooDeepIsRefusedRatherThanRecursedInto) {
  std::string text = "object Form1: TFilerForm\n";
  for (int i = 0; i < 100; ++i) text += "object I" + std::to_string(i) + ": TFilerItem\n";
  for (int i = 0; i < 100; ++i) text += "end\n";
  text += "end\n";
  try {
    ReadComponentText(&form, text);
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Line 66: Objects nested too deeply");
  }
  EXPECT_EQ(form.ComponentCount(), 0);
}

TEST_F(FilerTest, AFailedReadFreesWhatItCreatedAndClearsTheFields) {
  try {
    ReadComponentText(&form,
                      "object Form1: TFilerForm\n"
                      "  object Item1: TFilerItem\n"
                      "  end\n"
                      "  object Item2: TFilerItem\n"
                      "    Buddy = Item1\n"
                      "    OnClick = NoSuchHandler\n"
                      "  end\n"
                      "end\n");
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Line 6: Method NoSuchHandler not found");
  }
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_EQ(form.Item1, nullptr);
  EXPECT_EQ(form.Item2, nullptr);
  EXPECT_FALSE(form.ComponentState().Contains(csLoading));
  EXPECT_FALSE(form.ComponentState().Contains(csReading));
  // Freed last created first, and none of them was told it had loaded.
  std::vector<std::string> rest;
  for (const auto& line : Trace())
    if (line.find(".Parent") == std::string::npos) rest.push_back(line);
  EXPECT_EQ(rest, (std::vector<std::string>{"free Item2", "free Item1"}));

  // The field check comes after the fields before it were set: those are undone too.
  try {
    ReadComponentText(&form,
                      "object Form1: TFilerForm\n"
                      "  object Item1: TFilerItem\n"
                      "  end\n"
                      "  object Special: TFilerItem\n"
                      "  end\n"
                      "end\n");
    ADD_FAILURE();
  } catch (const EReadError&) {
  }
  EXPECT_EQ(form.Item1, nullptr);
  EXPECT_EQ(form.ComponentCount(), 0);
}

// --- Writing -------------------------------------------------------------------

TEST_F(FilerTest, WritesStoredPropertiesInTableOrderWithNestedObjects) {
  form.SetName("Form1");
  form.Caption = "Zapnix";
  auto* panel = new TFilerItem(&form);
  panel->SetName("Item1");
  panel->SetLeft(192);
  panel->Visible = false;
  panel->Font.Name = "Tahoma";
  panel->Font.Style = {fsBold, fsUnderline};
  panel->Font.Shadow.Color = clWhite;
  panel->Items.SetStrings({"one", "it's"});
  auto* label = new TFilerItem(&form);
  label->SetName("Label1");
  label->SetParentComponent(panel);
  label->SetCaption("Help    ");
  label->Buddy = panel;
  label->Link = &form;
  label->OnValue = TEvent<TObject*, int>(&form, &TFilerForm::ValueChanged, "ValueChanged");
  auto* last = new TFilerItem(&form);
  last->SetName("Last");
  last->Color = 0xE4DFE5;
  last->Data = {0x0A, 0xFF};
  form.Focus = label;
  form.OnCreate = TNotifyEvent(&form, &TFilerForm::FormCreate, "FormCreate");

  EXPECT_EQ(WriteComponentText(&form),
            "object Form1: TFilerForm\n"
            "  Caption = 'Zapnix'\n"
            "  Focus = Label1\n"
            "  OnCreate = FormCreate\n"
            "  object Item1: TFilerItem\n"
            "    Left = 192\n"
            "    Visible = False\n"
            "    Items.Strings = (\n"
            "      'one'\n"
            "      'it''s')\n"
            "    Font.Name = 'Tahoma'\n"
            "    Font.Style = [fsBold, fsUnderline]\n"
            "    Font.Shadow.Color = clWhite\n"
            "    object Label1: TFilerItem\n"
            "      Caption = 'Help    '\n"
            "      Buddy = Item1\n"
            "      Link = Form1\n"
            "      OnValue = ValueChanged\n"
            "    end\n"
            "  end\n"
            "  object Last: TFilerItem\n"
            "    Color = 14999525\n"
            "    Data = {\n"
            "      0AFF}\n"
            "  end\n"
            "end\n");
}

TEST_F(FilerTest, QuotesTextWithCharacterCodes) {
  struct Case {
    std::string value;
    const char* written;
  } cases[] = {
      {"it's", "'it''s'"},
      {"'", "''''"},
      {"a\r\nb", "'a'#13#10'b'"},
      {"#1", "'#1'"},
      {"\t", "#9"},
      {"\xE9t\xE9", "#233't'#233"},
      {"\x7F~", "#127'~'"},
      {std::string("\0", 1), "#0"},
  };
  for (const Case& c : cases) {
    TFilerForm root;
    root.SetName("F");
    root.Caption = c.value;
    std::string text = WriteComponentText(&root);
    EXPECT_EQ(text, "object F: TFilerForm\n  Caption = " + std::string(c.written) + "\nend\n");
    TFilerForm back;
    ReadComponentText(&back, text);
    EXPECT_EQ(back.Caption, c.value) << c.written;
  }
}

TEST_F(FilerTest, LongTextsAreContinuedOverSeveralLines) {
  std::string value;
  for (int i = 0; i < 150; ++i) value += static_cast<char>('a' + i % 26);
  value[64] = '\'';
  form.SetName("F");
  form.Caption = value;
  std::string text = WriteComponentText(&form);
  std::string expected = "object F: TFilerForm\n  Caption =\n    '" + value.substr(0, 64) + "' +\n    '''" +
                         value.substr(65, 63) + "' +\n    '" + value.substr(128) + "'\nend\n";
  EXPECT_EQ(text, expected);
  TFilerForm back;
  ReadComponentText(&back, text);
  EXPECT_EQ(back.Caption, value);
}

TEST_F(FilerTest, BinaryIsWrittenSixtyFourDigitsALine) {
  form.SetName("F");
  auto* item = new TFilerItem(&form);
  item->SetName("I");
  for (int i = 0; i < 70; ++i) item->Data.push_back(static_cast<uint8_t>(i * 37));
  std::string text = WriteComponentText(&form);
  size_t open = text.find("Data = {\n");
  ASSERT_NE(open, std::string::npos);
  size_t first = open + 9;
  EXPECT_EQ(text.substr(first, 6), "      ");
  EXPECT_EQ(text.substr(first + 6, 64).find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(text[first + 70], '\n');
  TFilerForm back;
  ReadComponentText(&back, text);
  EXPECT_EQ(dynamic_cast<TFilerItem*>(back.FindComponent("I"))->Data, item->Data);
}

TEST_F(FilerTest, ColoursAreWrittenByNameOrAsSignedNumbers) {
  struct Case {
    TColor color;
    const char* written;
  } cases[] = {{clBlack, "clBlack"},         {clNone, "clNone"},        {clWindowText, "clWindowText"},
               {0x80000019, "-2147483623"},  {0xE4DFE5, "14999525"},    {0xFFFFFFFF, "-1"}};
  for (const Case& c : cases) {
    TFilerForm root;
    root.SetName("F");
    root.Color = c.color;
    std::string text = WriteComponentText(&root);
    EXPECT_EQ(text, "object F: TFilerForm\n  Color = " + std::string(c.written) + "\nend\n");
    TFilerForm back;
    ReadComponentText(&back, text);
    EXPECT_EQ(back.Color, c.color) << c.written;
  }
}

TEST_F(FilerTest, WriteReadWriteIsByteIdentical) {
  form.SetName("Form1");
  form.Caption = std::string(300, 'x') + "'\r\n\xFF";
  form.Color = 0x80000019;
  auto* a = new TFilerItem(&form);
  a->SetName("Item1");
  a->Align = alBottom;
  a->Width = -7;
  a->Font.Height = -12;
  a->Font.Shadow.Depth = 2;
  a->Items.SetStrings({"", "a'b", std::string(200, 'q'), "#x", "\x01"});
  a->OnClick = TNotifyEvent(&form, &TFilerForm::ItemClick, "ItemClick");
  auto* b = new TFilerItemEx(&form);
  b->SetName("Special");
  b->SetParentComponent(a);
  b->Extra = 3;
  for (int i = 0; i < 1000; ++i) b->Data.push_back(static_cast<uint8_t>(i));
  auto* c = new TFilerItem(&form);
  c->SetName("Item2");
  c->SetParentComponent(b);
  c->Buddy = a;
  auto* d = new TFilerItem(&form);
  d->SetParentComponent(c);  // unnamed, three deep
  d->SetLeft(9);
  form.Focus = c;

  std::string first = WriteComponentText(&form);
  TFilerForm copy;
  ReadComponentText(&copy, first);
  std::string second = WriteComponentText(&copy);
  EXPECT_EQ(second, first);
  EXPECT_EQ(copy.Special->parent_, copy.Item1);
  EXPECT_EQ(copy.Item2->parent_, copy.Special);
  EXPECT_EQ(copy.Item2->Buddy, copy.Item1);
  EXPECT_EQ(copy.Focus, copy.Item2);
  EXPECT_EQ(copy.ComponentCount(), 4);
}

TEST_F(FilerTest, ReferencesAcrossRootsAndNamelessValuesCannotBeWritten) {
  form.SetName("Form1");
  TFilerForm other;
  auto* stranger = new TFilerItem(&other);
  stranger->SetName("Stranger");
  auto* item = new TFilerItem(&form);
  item->SetName("Item1");
  item->Buddy = stranger;
  EXPECT_THROW(WriteComponentText(&form), EWriteError);
  item->Buddy = nullptr;
  item->Align = static_cast<TFilerAlign>(9);
  EXPECT_THROW(WriteComponentText(&form), EWriteError);
  item->Align = alNone;
  item->Font.Style = TSet<TFilerFontStyle>::FromBits(1u << 5);
  EXPECT_THROW(WriteComponentText(&form), EWriteError);
}

TEST_F(FilerTest, EmptyListsAndNilReferencesRead) {
  ReadComponentText(&form,
                    "object Form1: TFilerForm\n"
                    "  Focus = nil\n"
                    "  object Item1: TFilerItem\n"
                    "    Items.Strings = ()\n"
                    "    Font.Style = []\n"
                    "    Data = {}\n"
                    "  end\n"
                    "end\n");
  EXPECT_EQ(form.Focus, nullptr);
  EXPECT_EQ(form.Item1->Items.Count(), 0);
  EXPECT_TRUE(form.Item1->Font.Style.Empty());
  EXPECT_TRUE(form.Item1->Data.empty());
}

// --- Floating-point properties and data an object defines for itself ----------

// Marks kept by a nested object as a list of numbers it defines itself.
class TFilerMarks : public TPersistent {
  ZX_CLASS(TFilerMarks, TPersistent)
 public:
  int Count = 0;
  std::vector<double> Marks;
  void DefineProperties(TFiler* filer) override {
    TPersistent::DefineProperties(filer);
    filer->DefineProperty(
        "Marks",
        [this](TReader& r) {
          Marks.clear();
          r.ReadListBegin();
          while (!r.EndOfList()) Marks.push_back(r.ReadFloat());
          r.ReadListEnd();
        },
        [this](TWriter& w) {
          w.WriteListBegin();
          for (double m : Marks) w.WriteFloat(m);
          w.WriteListEnd();
        },
        !Marks.empty());
  }
};

const TClassInfo& TFilerMarks::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerMarks>("TFilerMarks", [](TClassBuilder<TFilerMarks>& c) {
    c.Int("Count", &TFilerMarks::Count, &TFilerMarks::Count, 0);
  });
  return info;
}

// A component with float and date properties and three kinds of defined data:
// a list of texts, a binary block and nested lists of numbers.
class TFilerTree : public TComponent {
  ZX_CLASS(TFilerTree, TComponent)
 public:
  using TComponent::TComponent;
  double Ratio = 0;
  double Scale = 1.5;
  TDateTime Stamp = 0;
  TFilerMarks Extra;
  std::vector<std::string> Nodes;
  std::vector<uint8_t> Blob;
  std::vector<std::vector<int>> Grid;
  std::vector<std::string> legacy;
  // What the write procedure of Nodes should do wrong, for the error cases.
  enum Wrong { wrNone, wrNothing, wrTwo, wrUnclosed, wrOverClosed, wrBadIdent, wrNaN } wrongWrite = wrNone;

  void DefineProperties(TFiler* filer) override {
    TComponent::DefineProperties(filer);
    filer->DefineProperty(
        "Nodes",
        [this](TReader& r) {
          Nodes.clear();
          r.ReadListBegin();
          while (!r.EndOfList()) Nodes.push_back(r.ReadString());
          r.ReadListEnd();
        },
        [this](TWriter& w) { WriteNodes(w); }, !Nodes.empty() || wrongWrite != wrNone);
    filer->DefineBinaryProperty(
        "Data",
        [this](TStream& s) {
          Blob.assign(static_cast<size_t>(s.Size()), 0);
          s.ReadBuffer(Blob.data(), s.Size());
        },
        [this](TStream& s) { s.WriteBuffer(Blob.data(), static_cast<int64_t>(Blob.size())); }, !Blob.empty());
    filer->DefineProperty(
        "Grid",
        [this](TReader& r) {
          Grid.clear();
          r.ReadListBegin();
          while (!r.EndOfList()) {
            Grid.emplace_back();
            r.ReadListBegin();
            while (!r.EndOfList()) Grid.back().push_back(r.ReadInteger());
            r.ReadListEnd();
          }
          r.ReadListEnd();
        },
        [this](TWriter& w) {
          w.WriteListBegin();
          for (const auto& row : Grid) {
            w.WriteListBegin();
            for (int v : row) w.WriteInteger(v);
            w.WriteListEnd();
          }
          w.WriteListEnd();
        },
        !Grid.empty());
    // Declared but never written: the reader still knows it.
    filer->DefineProperty(
        "Legacy",
        [this](TReader& r) {
          std::string ident = r.ReadIdent();
          legacy = {ident, r.ReadBoolean() ? "yes" : "no"};
        },
        nullptr, false);
  }

 private:
  void WriteNodes(TWriter& w) {
    switch (wrongWrite) {
      case wrNothing:
        return;
      case wrTwo:
        w.WriteString("a");
        w.WriteString("b");
        return;
      case wrUnclosed:
        w.WriteListBegin();
        return;
      case wrOverClosed:
        w.WriteListEnd();
        return;
      case wrBadIdent:
        w.WriteIdent("9lives");
        return;
      case wrNaN:
        w.WriteFloat(std::numeric_limits<double>::quiet_NaN());
        return;
      case wrNone:
        break;
    }
    w.WriteListBegin();
    for (const std::string& n : Nodes) w.WriteString(n);
    w.WriteListEnd();
  }
};

const TClassInfo& TFilerTree::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerTree>("TFilerTree", [](TClassBuilder<TFilerTree>& c) {
    c.Float("Ratio", &TFilerTree::Ratio, &TFilerTree::Ratio)
        .Float("Scale", &TFilerTree::Scale, &TFilerTree::Scale, 1.5)
        .DateTime("Stamp", &TFilerTree::Stamp, &TFilerTree::Stamp)
        .Obj("Extra", [](TFilerTree& t) { return &t.Extra; });
  });
  return info;
}

class TFilerTreeForm : public TComponent {
  ZX_CLASS(TFilerTreeForm, TComponent)
 public:
  explicit TFilerTreeForm(TComponent* owner = nullptr) : TComponent(owner) {}
  TFilerTree* Tree = nullptr;
};

const TClassInfo& TFilerTreeForm::StaticClass() {
  static const TClassInfo info = DefineClass<TFilerTreeForm>(
      "TFilerTreeForm", [](TClassBuilder<TFilerTreeForm>& c) { c.Field("Tree", &TFilerTreeForm::Tree); });
  return info;
}

// The text of a form holding one tree with the given properties.
std::string TreeText(const std::string& body) {
  return "object Form1: TFilerTreeForm\n  object Tree: TFilerTree\n" + body + "  end\nend\n";
}

TFilerTree* NewTree(TFilerTreeForm& form) {
  form.SetName("Form1");
  form.Tree = new TFilerTree(&form);
  form.Tree->SetName("Tree");
  return form.Tree;
}

void ExpectReadErrors(std::initializer_list<ErrorCase> errors) {
  for (const ErrorCase& c : errors) {
    TFilerTreeForm root;
    try {
      ReadComponentText(&root, TreeText(c.text));
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), c.message) << c.text;
    }
    EXPECT_EQ(root.ComponentCount(), 0) << c.text;
  }
}

TEST(FilerFloatTest, DoublesReadBackBitForBit) {
  const double cases[] = {0.1,
                          1e300,
                          -0.0,
                          0.0,
                          1.0,
                          -2.5,
                          1.0 / 3.0,
                          5e-324,                   // the smallest denormal
                          2.2250738585072009e-308,  // the largest denormal
                          2.2250738585072014e-308,  // the smallest normal
                          1.7976931348623157e308,
                          -1.7976931348623157e308,
                          123456789012345680000.0,
                          4294967296.0,
                          45000.999988425923};  // a date with a time
  for (double value : cases) {
    TFilerTreeForm form;
    TFilerTree* tree = NewTree(form);
    tree->Ratio = value;
    tree->Stamp = value;
    std::string text = WriteComponentText(&form);
    TFilerTreeForm back;
    ReadComponentText(&back, text);
    ASSERT_NE(back.Tree, nullptr) << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(back.Tree->Ratio), std::bit_cast<uint64_t>(value)) << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(back.Tree->Stamp), std::bit_cast<uint64_t>(value)) << text;
    EXPECT_EQ(WriteComponentText(&back), text);
  }
}

TEST(FilerFloatTest, WrittenShortestWithAPointOrAnExponentAndOnlyWhenNotTheDefault) {
  TFilerTreeForm form;
  TFilerTree* tree = NewTree(form);
  tree->Ratio = -0.0;  // differs from the default 0 in its sign
  tree->Scale = 1e300;
  tree->Stamp = EncodeDate(2024, 2, 29) + 0.5;
  EXPECT_EQ(WriteComponentText(&form), TreeText("    Ratio = -0.0\n    Scale = 1e+300\n    Stamp = 45351.5\n"));
  tree->Ratio = 0;
  tree->Scale = 1.5;
  tree->Stamp = 2;
  EXPECT_EQ(WriteComponentText(&form), TreeText("    Stamp = 2.0\n"));
}

TEST(FilerFloatTest, ReadingTakesIntegersAndRefusesWhatADoubleCannotHold) {
  TFilerTreeForm form;
  ReadComponentText(&form, TreeText("    Ratio = -7\n    Scale = 2.5E-3\n    Stamp = $10\n"));
  EXPECT_EQ(form.Tree->Ratio, -7.0);
  EXPECT_EQ(form.Tree->Scale, 0.0025);
  EXPECT_EQ(form.Tree->Stamp, 16.0);

  ExpectReadErrors({
      {"    Ratio = 1e999\n", "Line 3: Floating-point value out of range"},
      {"    Ratio = -1e-999\n", "Line 3: Floating-point value out of range"},
      {"    Ratio = 1e\n", "Line 3: Invalid number"},
      {"    Ratio = 1.\n", "Line 3: Invalid number"},
      {"    Ratio = 1.5.5\n", "Line 3: Invalid number"},
      {"    Ratio = INF\n", "Line 3: Invalid property value for Ratio"},
      {"    Ratio = 'NaN'\n", "Line 3: Invalid property value for Ratio"},
      {"    Tag = 1.0\n", "Line 3: Invalid property value for Tag"},
  });

  // What the reader could not read back is not written.
  TFilerTreeForm other;
  TFilerTree* tree = NewTree(other);
  for (double bad : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
    tree->Ratio = bad;
    EXPECT_THROW(WriteComponentText(&other), EWriteError);
  }
}

TEST(FilerDefinedTest, DefinedDataFollowsThePublishedPropertiesAndReadsBackByteIdentical) {
  TFilerTreeForm form;
  TFilerTree* tree = NewTree(form);
  tree->Tag = 4;
  tree->Extra.Count = 2;
  tree->Extra.Marks = {1.5, -0.0};
  tree->Nodes = {"Root", "\tChild 'one'", "\t\t" + std::string(70, 'x'), ""};
  tree->Blob = {0x00, 0xFF, 0x7F};
  tree->Grid = {{1, -2}, {}, {2147483647}};
  const std::string text = WriteComponentText(&form);
  EXPECT_EQ(text, TreeText("    Tag = 4\n"
                           "    Extra.Count = 2\n"
                           "    Extra.Marks = (\n"
                           "      1.5\n"
                           "      -0.0)\n"
                           "    Nodes = (\n"
                           "      'Root'\n"
                           "      #9'Child ''one'''\n"
                           "      #9#9'" + std::string(62, 'x') + "' +\n"
                           "      'xxxxxxxx'\n"
                           "      '')\n"
                           "    Data = {\n"
                           "      00FF7F}\n"
                           "    Grid = (\n"
                           "      (\n"
                           "        1\n"
                           "        -2)\n"
                           "      ()\n"
                           "      (\n"
                           "        2147483647))\n"));

  TFilerTreeForm back;
  ReadComponentText(&back, text);
  ASSERT_NE(back.Tree, nullptr);
  EXPECT_EQ(back.Tree->Nodes, tree->Nodes);
  EXPECT_EQ(back.Tree->Blob, tree->Blob);
  EXPECT_EQ(back.Tree->Grid, tree->Grid);
  ASSERT_EQ(back.Tree->Extra.Marks.size(), 2u);
  EXPECT_TRUE(std::signbit(back.Tree->Extra.Marks[1]));
  EXPECT_EQ(WriteComponentText(&back), text);

  // Without data nothing is written; a property that is only read is still read.
  TFilerTreeForm empty;
  NewTree(empty);
  EXPECT_EQ(WriteComponentText(&empty), TreeText(""));
  TFilerTreeForm old;
  ReadComponentText(&old, TreeText("    legacy = Old True\n    Nodes = ()\n    Grid = (())\n"));
  EXPECT_EQ(old.Tree->legacy, (std::vector<std::string>{"Old", "yes"}));
  EXPECT_TRUE(old.Tree->Nodes.empty());
  EXPECT_EQ(old.Tree->Grid, (std::vector<std::vector<int>>{{}}));
}

TEST(FilerDefinedTest, DefinedDataThatDoesNotFitIsAReadErrorWithItsLine) {
  ExpectReadErrors({
      {"    Nodes = 'one'\n", "Line 3: '(' expected"},
      {"    Nodes = (\n      'a'\n      5)\n", "Line 5: String expected"},
      {"    Nodes = (\n      'a'\n", "Line 5: String expected"},
      {"    Data = ('a')\n", "Line 3: Invalid property value for Data"},
      {"    Grid = (\n      (1 2.5))\n", "Line 4: Integer expected"},
      {"    Grid = ((4294967295))\n", "Line 3: Integer value out of range"},
      {"    Legacy = Old Maybe\n", "Line 3: True or False expected"},
      {"    Legacy = 'Old'\n", "Line 3: Identifier expected"},
      {"    Extra.Marks = ('x')\n", "Line 3: Floating-point value expected"},
      {"    Extra.Nodes = ()\n", "Line 3: Property Extra.Nodes does not exist"},
      {"    Nodes = ('a') 'b'\n", "Line 3: Property name expected"},
  });
}

TEST(FilerDefinedTest, AWriteProcedureMustWriteExactlyOneWholeValue) {
  for (auto wrong : {TFilerTree::wrNothing, TFilerTree::wrTwo, TFilerTree::wrUnclosed, TFilerTree::wrOverClosed,
                     TFilerTree::wrBadIdent, TFilerTree::wrNaN}) {
    TFilerTreeForm form;
    NewTree(form)->wrongWrite = wrong;
    EXPECT_THROW(WriteComponentText(&form), EWriteError) << wrong;
  }
}

}  // namespace
