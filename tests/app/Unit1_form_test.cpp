// The main window as its form description builds it: every control where the
// user sees it, the switches that change how it behaves, and every event bound
// to the handler of its own button. The real form is loaded from the program's
// resources, so a wrong value in the description fails here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "Unit1.h"

namespace {
const char* const kStore = "Vantrel Software\\Popup Zapnix";

// The object a dotted property path ("Font.Height") ends on, and the last name.
TObject* Walk(TObject* object, std::string_view& path) {
  for (size_t dot; object && (dot = path.find('.')) != std::string_view::npos;) {
    const TPropInfo* prop = object->ClassType().FindProp(path.substr(0, dot));
    if (!prop || !prop->getObj) return nullptr;
    object = prop->getObj(*object);
    path.remove_prefix(dot + 1);
  }
  return object;
}

// A published property's value as the form description would write it.
std::string PropText(TObject* object, std::string_view path) {
  object = Walk(object, path);
  if (!object) return "<no object>";
  const TPropInfo* prop = object->ClassType().FindProp(path);
  if (!prop) return "<no property " + std::string(path) + ">";
  switch (prop->kind) {
    case TPropKind::Integer: {
      const int64_t value = prop->getOrd(*object);
      std::string ident;
      if (prop->toIdent && prop->toIdent(value, ident)) return ident;
      return std::to_string(value);
    }
    case TPropKind::Boolean:
      return prop->getOrd(*object) ? "True" : "False";
    case TPropKind::Enumeration: {
      const auto value = static_cast<size_t>(prop->getOrd(*object));
      return value < prop->names->size() ? (*prop->names)[value] : "<out of range>";
    }
    case TPropKind::Set: {
      const auto bits = static_cast<uint32_t>(prop->getOrd(*object));
      std::string text = "[";
      for (size_t i = 0; i < prop->names->size(); ++i) {
        if (!(bits & (uint32_t{1} << i))) continue;
        if (text.size() > 1) text += ", ";
        text += (*prop->names)[i];
      }
      return text + "]";
    }
    case TPropKind::Color: {
      const auto value = static_cast<TColor>(prop->getOrd(*object));
      std::string ident;
      return ColorToIdent(value, ident) ? ident : std::to_string(static_cast<uint32_t>(value));
    }
    case TPropKind::String:
      return prop->getStr(*object);
    case TPropKind::Component: {
      auto* component = dynamic_cast<TComponent*>(prop->getObj(*object));
      return component ? component->Name() : "<none>";
    }
    case TPropKind::Method:
      return prop->getMethodName(*object);
    default:
      return "<kind not compared>";
  }
}

// Width x height of a picture or graphic property.
std::string PictureSize(TObject* object, std::string_view path) {
  object = Walk(object, path);
  const TPropInfo* prop = object ? object->ClassType().FindProp(path) : nullptr;
  TObject* value = prop && prop->getObj ? prop->getObj(*object) : nullptr;
  if (auto* picture = dynamic_cast<TPicture*>(value))
    return std::to_string(picture->Width()) + "x" + std::to_string(picture->Height());
  if (auto* graphic = dynamic_cast<TGraphic*>(value))
    return std::to_string(graphic->Width()) + "x" + std::to_string(graphic->Height());
  return "<no picture>";
}

class MainWindowForm : public ::testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
    Application->CreateForm(form);
    ASSERT_NE(form, nullptr);
  }
  void TearDown() override {
    delete form;
    Form1 = nullptr;
    PurgeAtom("PopupZapnixRunning");
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  }
  TComponent* Find(const char* name) {
    if (std::string_view(name) == "Form1") return form;
    TComponent* component = form->FindComponent(name);
    EXPECT_NE(component, nullptr) << name;
    return component;
  }
  TForm1* form = nullptr;
};
}  // namespace

// Positions and sizes after the form is laid out (aligned controls included),
// and the container each control lies in. A width of -1: the label sizes
// itself to its text, whose width depends on the font the system finds.
TEST_F(MainWindowForm, EveryControlLiesWhereTheUserSeesIt) {
  struct Row {
    const char* name;
    const char* parent;
    int left, top, width, height;
  };
  const Row rows[] = {
      {"MyImage1", "Form1", 0, 0, 408, 25},
      {"Image2", "Form1", 385, 5, 19, 19},
      {"Image3", "Form1", 363, 5, 19, 19},
      {"Image1", "Form1", 4, 3, 19, 19},
      {"Shape1", "Form1", 0, 25, 408, 348},
      {"MyBarLabel1", "Form1", 27, 6, -1, 14},
      {"PageControl1", "Form1", 2, 27, 404, 201},
      {"Panel1", "Form1", 2, 226, 404, 145},
      {"GroupBox3", "TabSheet1", 0, 0, 396, 169},
      {"ListBox3", "GroupBox3", 7, 16, 384, 121},
      {"SpeedButton8", "GroupBox3", 7, 139, 108, 25},
      {"SpeedButton9", "GroupBox3", 124, 140, 108, 25},
      {"SpeedButton11", "GroupBox3", 240, 140, 68, 25},
      {"SpeedButton10", "GroupBox3", 316, 140, 72, 25},
      {"GroupBox2", "TabSheet2", 0, 0, 396, 169},
      {"ListBox1", "GroupBox2", 7, 16, 306, 121},
      {"SpeedButton1", "GroupBox2", 317, 17, 68, 22},
      {"SpeedButton2", "GroupBox2", 317, 51, 68, 22},
      {"SpeedButton13", "GroupBox2", 317, 86, 68, 22},
      {"Label6", "GroupBox2", 4, 137, 372, 29},
      {"GroupBox4", "TabSheet3", 0, 0, 396, 169},
      {"ListBox2", "GroupBox4", 7, 16, 306, 121},
      {"SpeedButton3", "GroupBox4", 317, 17, 68, 22},
      {"SpeedButton4", "GroupBox4", 317, 51, 68, 22},
      {"SpeedButton14", "GroupBox4", 317, 86, 68, 22},
      {"Label8", "GroupBox4", 7, 137, 377, 28},
      {"SpeedButton5", "Panel1", 308, 19, 90, 30},
      {"SpeedButton6", "Panel1", 308, 60, 90, 29},
      {"SpeedButton7", "Panel1", 308, 102, 90, 29},
      {"Label9", "Panel1", 4, 110, -1, 13},
      {"Label4", "Panel1", 4, 127, -1, 13},
  };
  EXPECT_EQ(form->ClientWidth(), 408);
  EXPECT_EQ(form->ClientHeight(), 373);
  for (const Row& row : rows) {
    auto* control = dynamic_cast<TControl*>(Find(row.name));
    ASSERT_NE(control, nullptr) << row.name;
    ASSERT_NE(control->Parent(), nullptr) << row.name;
    EXPECT_EQ(control->Parent()->Name(), row.parent) << row.name;
    const int width = row.width < 0 && control->Width() > 0 ? -1 : control->Width();
    EXPECT_EQ((std::vector<int>{control->Left(), control->Top(), width, control->Height()}),
              (std::vector<int>{row.left, row.top, row.width, row.height}))
        << row.name;
  }

  // Later controls lie on top: the window's own controls in creation order.
  std::vector<std::string> order;
  for (int i = 0; i < form->ControlCount(); ++i) order.push_back(form->Controls(i)->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"MyImage1", "Image2", "Image3", "Image1", "Shape1", "MyBarLabel1",
                                             "PageControl1", "Panel1"}));
}

// The settings a user notices: look, behaviour switches and the handler bound
// to each event. One row per property, in the form description's own words.
TEST_F(MainWindowForm, SwitchesAndEventsAreThoseOfEachControl) {
  struct Row {
    const char* name;
    const char* prop;
    const char* value;
  };
  const Row rows[] = {
      {"Form1", "Caption", "Vantrel Zapnix"},
      {"Form1", "BorderStyle", "bsNone"},
      {"Form1", "BorderIcons", "[biSystemMenu, biMinimize]"},
      {"Form1", "Position", "poDesktopCenter"},
      {"Form1", "Color", "14999525"},
      {"Form1", "Font.Name", "Tahoma"},
      {"Form1", "Font.Height", "-12"},
      {"Form1", "Font.Style", "[]"},
      {"Form1", "OnCreate", "FormCreate"},
      {"Form1", "OnPaint", "FormPaint"},
      {"Form1", "OnClose", "FormClose"},

      {"MyImage1", "Align", "alTop"},
      {"MyImage1", "Stretch", "True"},
      {"MyImage1", "Transparent", "True"},
      {"MyImage1", "EnableDrop", "True"},
      {"Image2", "Hint", "Close"},
      {"Image2", "ShowHint", "True"},
      {"Image2", "OnClick", "MyImage2Click"},
      {"Image3", "Hint", "Minimize"},
      {"Image3", "ShowHint", "True"},
      {"Image3", "OnClick", "MyImage3Click"},
      {"Image1", "Stretch", "True"},
      {"Image1", "Transparent", "True"},
      {"Image1", "OnClick", "MyImage3Click"},
      {"Shape1", "Align", "alClient"},
      {"Shape1", "Brush.Style", "bsClear"},
      {"Shape1", "Pen.Width", "2"},
      {"Shape1", "Pen.Color", "6118749"},
      {"MyBarLabel1", "Caption", "Zapnix 7.1"},
      {"MyBarLabel1", "Font.Name", "Verdana"},
      {"MyBarLabel1", "Font.Height", "-12"},
      {"MyBarLabel1", "Font.Style", "[fsBold]"},
      {"MyBarLabel1", "Transparent", "True"},
      {"MyBarLabel1", "AutoSize", "True"},

      {"PageControl1", "MultiLine", "True"},
      {"PageControl1", "ActivePage", "TabSheet1"},
      {"PageControl1", "Font.Name", "Verdana"},
      {"PageControl1", "Font.Style", "[fsBold]"},
      {"TabSheet1", "Caption", "   Main    "},
      {"TabSheet2", "Caption", "White List"},
      {"TabSheet3", "Caption", "Black List"},
      {"TabSheet1", "Font.Name", "Tahoma"},
      {"TabSheet1", "Font.Style", "[]"},
      {"TabSheet2", "Font.Style", "[]"},
      {"TabSheet3", "Font.Style", "[]"},
      {"GroupBox3", "Caption", "Blocked popups"},
      {"GroupBox2", "Caption", "White Page List"},
      {"GroupBox4", "Caption", "Black Page List"},

      {"SpeedButton8", "Caption", "Add to Black List"},
      {"SpeedButton8", "OnClick", "SpeedButton8Click"},
      {"SpeedButton9", "Caption", "Add to White List"},
      {"SpeedButton9", "OnClick", "SpeedButton9Click"},
      {"SpeedButton11", "Caption", "Delete"},
      {"SpeedButton11", "OnClick", "SpeedButton11Click"},
      {"SpeedButton10", "Caption", "Clear"},
      {"SpeedButton10", "OnClick", "SpeedButton10Click"},
      {"SpeedButton1", "Caption", "Add"},
      {"SpeedButton1", "OnClick", "SpeedButton1Click"},
      {"SpeedButton2", "Caption", "Delete"},
      {"SpeedButton2", "OnClick", "SpeedButton2Click"},
      {"SpeedButton13", "Caption", "Edit"},
      {"SpeedButton13", "NumGlyphs", "2"},
      {"SpeedButton13", "OnClick", "SpeedButton13Click"},
      {"SpeedButton3", "Caption", "Add"},
      {"SpeedButton3", "OnClick", "SpeedButton3Click"},
      {"SpeedButton4", "Caption", "Delete"},
      {"SpeedButton4", "OnClick", "SpeedButton4Click"},
      {"SpeedButton14", "Caption", "Edit"},
      {"SpeedButton14", "NumGlyphs", "2"},
      {"SpeedButton14", "OnClick", "SpeedButton14Click"},
      {"SpeedButton5", "Caption", "Disable"},
      {"SpeedButton5", "OnClick", "SpeedButton5Click"},
      {"SpeedButton6", "Caption", "Help    "},
      {"SpeedButton6", "OnClick", "SpeedButton6Click"},
      {"SpeedButton7", "Caption", "Exit      "},
      {"SpeedButton7", "OnClick", "SpeedButton7Click"},

      {"Label6", "AutoSize", "False"},
      {"Label6", "Transparent", "True"},
      {"Label6", "WordWrap", "True"},
      {"Label6", "Caption",
       "The URL listed in White Page will be forcibly showed, even the URL is realy a popup ad."},
      {"Label8", "AutoSize", "False"},
      {"Label8", "Transparent", "True"},
      {"Label8", "WordWrap", "True"},
      {"Label8", "Caption",
       "The URL listed in the Black page will be forcibly stopped, whether it is a popup ad or is a common page. "},
      {"Panel1", "BevelOuter", "bvNone"},
      {"Panel1", "Color", "14999525"},
      {"Label9", "Font.Height", "-11"},
      {"Label9", "Font.Name", "Tahoma"},
      {"Label4", "Font.Height", "-11"},
      {"Label4", "Font.Color", "clBlue"},
      {"Label4", "Font.Style", "[fsUnderline]"},
      {"Label4", "Cursor", "crHandPoint"},
      {"Label4", "OnClick", "Label4Click"},

      {"TrayIcon1", "Hint", "Zapnix - Enabled"},
      {"TrayIcon1", "PopupMenu", "PopupMenu1"},
      {"TrayIcon1", "Hide", "True"},
      {"TrayIcon1", "RestoreOn", "imNone"},
      {"TrayIcon1", "PopupMenuOn", "imRightClickUp"},
      {"TrayIcon1", "Icons", "ImageList1"},
      {"TrayIcon1", "AnimateInterval", "100"},
      {"TrayIcon1", "OnClick", "TrayIcon1Click"},
      {"PopupMenu1", "Images", "ImageList2"},
      {"Timer1", "Interval", "100"},
      {"Timer1", "Enabled", "True"},
      {"Timer1", "OnTimer", "Timer1Timer"},
  };
  for (const Row& row : rows) {
    TComponent* component = Find(row.name);
    if (!component) continue;
    EXPECT_EQ(PropText(component, row.prop), row.value) << row.name << "." << row.prop;
  }

  // The three list boxes: a flat bevel instead of a border, 14-pixel rows,
  // several rows selectable, their own double-click and the shared focus pair.
  const char* const lists[][2] = {
      {"ListBox3", "ListBox3DblClick"}, {"ListBox1", "ListBox1DblClick"}, {"ListBox2", "ListBox2DblClick"}};
  for (const auto& list : lists) {
    TComponent* box = Find(list[0]);
    if (!box) continue;
    EXPECT_EQ(PropText(box, "BorderStyle"), "bsNone") << list[0];
    EXPECT_EQ(PropText(box, "BevelKind"), "bkFlat") << list[0];
    EXPECT_EQ(PropText(box, "ItemHeight"), "14") << list[0];
    EXPECT_EQ(PropText(box, "MultiSelect"), "True") << list[0];
    EXPECT_EQ(PropText(box, "OnDblClick"), list[1]) << list[0];
    EXPECT_EQ(PropText(box, "OnEnter"), "ListBox3Enter") << list[0];
    EXPECT_EQ(PropText(box, "OnExit"), "ListBox3Exit") << list[0];
  }

  // The web address is the string table's, not a copy that could drift.
  char address[500] = {};
  LoadStringA(GetModuleHandleA(nullptr), 8003, address, sizeof address);
  EXPECT_NE(address[0], '\0');
  EXPECT_EQ(form->Label4->Caption(), address);

  // Every bound event calls a method of the window itself.
  EXPECT_EQ(form->SpeedButton7->OnClick.Target(), form);
  EXPECT_EQ(form->ListBox1->OnEnter.Target(), form);
}

// The pictures each control shows, the image lists behind the tray icon and
// the menu, and the tray menu's items in their order.
TEST_F(MainWindowForm, PicturesImageListsAndTheTrayMenu) {
  const char* const pictures[][3] = {
      {"MyImage1", "Picture", "406x26"},  {"Image2", "Picture", "16x16"},       {"Image3", "Picture", "16x16"},
      {"Image1", "Picture", "32x32"},     {"SpeedButton1", "Glyph", "14x14"},   {"SpeedButton2", "Glyph", "14x14"},
      {"SpeedButton3", "Glyph", "14x14"}, {"SpeedButton4", "Glyph", "14x14"},   {"SpeedButton13", "Glyph", "32x16"},
      {"SpeedButton14", "Glyph", "32x16"}, {"SpeedButton5", "Glyph", "20x20"},  {"SpeedButton6", "Glyph", "20x20"},
      {"SpeedButton7", "Glyph", "20x20"},
  };
  for (const auto& row : pictures) {
    TComponent* component = Find(row[0]);
    if (!component) continue;
    EXPECT_EQ(PictureSize(component, row[1]), row[2]) << row[0];
  }
  // The buttons without a picture stay without one.
  for (const char* name : {"SpeedButton8", "SpeedButton9", "SpeedButton10", "SpeedButton11"})
    EXPECT_EQ(PictureSize(Find(name), "Glyph"), "0x0") << name;

  EXPECT_EQ((std::vector<int>{form->ImageList1->Width(), form->ImageList1->Height(), form->ImageList1->Count()}),
            (std::vector<int>{16, 16, 4}));
  EXPECT_EQ((std::vector<int>{form->ImageList2->Width(), form->ImageList2->Height(), form->ImageList2->Count()}),
            (std::vector<int>{20, 20, 4}));

  struct Item {
    const char* name;
    const char* caption;
    bool isDefault;
    int image;
    const char* handler;
  };
  const Item items[] = {
      {"Disable1", "&Disable", true, 0, "Disable1Click"},
      {"Restore1", "Restore &main window", false, -1, "Restore1Click"},
      {"N1", "-", false, -1, ""},
      {"Help1", "&Help", false, 2, "Help1Click"},
      {"Exit1", "&Exit", false, 3, "Exit1Click"},
  };
  TMenuItem* menu = form->PopupMenu1->Items();
  ASSERT_EQ(menu->Count(), static_cast<int>(std::size(items)));
  for (int i = 0; i < menu->Count(); ++i) {
    TMenuItem* item = menu->Items(i);
    const Item& want = items[i];
    EXPECT_EQ(item->Name(), want.name) << i;
    EXPECT_EQ(PropText(item, "Caption"), want.caption) << want.name;
    EXPECT_EQ(PropText(item, "Default"), want.isDefault ? "True" : "False") << want.name;
    EXPECT_EQ(PropText(item, "ImageIndex"), std::to_string(want.image)) << want.name;
    EXPECT_EQ(PropText(item, "OnClick"), want.handler) << want.name;
  }
}
