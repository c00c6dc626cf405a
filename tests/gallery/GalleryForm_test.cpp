// The gallery's form description as the program reads it from its resources:
// it places every component of the set in every kind the gallery shows, and it
// survives the form-description writer: written out and read back it gives
// the same components with the same property values, and writing that again
// gives the identical text.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Filer.h"
#include "Galleryform.h"

namespace {

struct FormDeleter {
  void operator()(TGalleryForm* form) const { delete form; }
};
using FormPtr = std::unique_ptr<TGalleryForm, FormDeleter>;

FormPtr ReadFromResources() {
  InitApplication();
  FormPtr form(new TGalleryForm(nullptr));
  ReadComponentRes(form.get(), "TGALLERYFORM");
  return form;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

// Every published property of an object as "Path = value" lines, nested
// objects by their dotted path.
void DescribeProps(TObject& object, const std::string& prefix, std::vector<std::string>& lines) {
  for (const TPropInfo* prop : object.ClassType().AllProps()) {
    const std::string name = prefix + prop->name;
    std::string value;
    switch (prop->kind) {
      case TPropKind::Integer:
      case TPropKind::Boolean:
      case TPropKind::Enumeration:
      case TPropKind::Set:
      case TPropKind::Color:
        value = std::to_string(prop->getOrd(object));
        break;
      case TPropKind::Float:
        value = std::to_string(prop->getFloat(object));
        break;
      case TPropKind::String:
        value = "'" + prop->getStr(object) + "'";
        break;
      case TPropKind::Binary:
        value = Hex(prop->getBin(object));
        break;
      case TPropKind::Strings:
        for (const std::string& line : prop->getList(object)) value += "'" + line + "' ";
        break;
      case TPropKind::Component: {
        auto* component = dynamic_cast<TComponent*>(prop->getObj(object));
        value = component ? component->Name() : "nil";
        break;
      }
      case TPropKind::Persistent:
        if (TObject* nested = prop->getObj(object)) DescribeProps(*nested, name + ".", lines);
        continue;
      case TPropKind::Method:
        value = prop->getMethodName(object);
        break;
    }
    lines.push_back(name + " = " + value);
  }
}

// The root and every component it owns: name, class, parent and properties.
std::vector<std::string> Describe(TGalleryForm& form) {
  std::vector<std::string> lines;
  DescribeProps(form, form.Name() + ".", lines);
  for (int i = 0; i < form.ComponentCount(); ++i) {
    TComponent* component = form.Components(i);
    TComponent* parent = component->GetParentComponent();
    lines.push_back(component->Name() + ": " + component->ClassName() + " in " + (parent ? parent->Name() : "-"));
    DescribeProps(*component, component->Name() + ".", lines);
  }
  return lines;
}

std::string EnumName(TObject& object, const char* property) {
  const TPropInfo* prop = object.ClassType().FindProp(property);
  if (!prop || !prop->names) return "?";
  const auto value = static_cast<size_t>(prop->getOrd(object));
  return value < prop->names->size() ? (*prop->names)[value] : "?";
}

}  // namespace

TEST(GalleryForm, PlacesEveryComponentInEveryKindShown) {
  FormPtr form = ReadFromResources();
  // Class -> the kinds (or blink modes, or draw styles) placed, in order.
  std::map<std::string, std::vector<std::string>> placed;
  for (int i = 0; i < form->ComponentCount(); ++i) {
    TComponent* c = form->Components(i);
    std::string kind;
    if (c->ClassType().FindProp("DrawStyle")) kind = EnumName(*c, "DrawStyle");
    else if (c->ClassType().FindProp("Blink")) kind = EnumName(*c, "Blink");
    else if (c->ClassType().FindProp("Kind")) kind = EnumName(*c, "Kind");
    placed[c->ClassName()].push_back(kind);
  }
  const std::map<std::string, std::vector<std::string>> wanted{
      {"TTrayIcon", {""}},
      {"TMyImage", {""}},
      {"MyBarLabel", {""}},
      {"TMyProgressBar", {""}},
      {"THyperLabel", {"", ""}},
      {"TVexloLabel", {"blNone", "blBlink", "blHiLo", "blNone", "blNone"}},
      {"TCGauge", {"gkText", "gkHorizontalBar", "gkVerticalBar", "gkPie", "gkNeedle"}},
      {"TCSpinButton", {""}},
      {"TCSpinEdit", {""}},
      {"TCCalendar", {""}},
      {"TPerformanceGraph", {"pgBar", "pgLine"}},
      {"TGalleryOutline",
       {"dsText", "dsPlusMinusText", "dsPictureText", "dsPlusMinusPictureText", "dsTreeText", "dsTreePictureText"}},
      {"TCDirectoryOutline", {""}},
  };
  for (const auto& [cls, kinds] : wanted) EXPECT_EQ(placed[cls], kinds) << cls;

  // One page per palette page, then the outlines' and tray icon's.
  std::vector<std::string> pages;
  for (int i = 0; i < form->PageControl1->PageCount(); ++i) pages.push_back(form->PageControl1->Pages(i)->Caption());
  EXPECT_EQ(pages, (std::vector<std::string>{"Palette", "Samples", "Quorb Hyper Controls", "Vexlo",
                                             "Outline and tray icon"}));
  // Every handler is bound: the gauges follow the spin edit, the calendar
  // reports its month, the graphs have their timer.
  EXPECT_EQ(form->SpinEdit1->OnChange.Name(), "SpinEdit1Change");
  EXPECT_EQ(form->Calendar1->OnChange.Name(), "Calendar1Change");
  EXPECT_EQ(form->GraphTimer->OnTimer().Name(), "GraphTimerTimer");
  EXPECT_EQ(form->TrayIcon1->Icons(), form->TrayImages);
  EXPECT_EQ(form->TrayIcon1->PopupMenu(), form->TrayMenu);
}

TEST(GalleryForm, DescriptionSurvivesTheWriter) {
  FormPtr first = ReadFromResources();
  const std::string text = WriteComponentText(first.get());
  FormPtr second(new TGalleryForm(nullptr));
  ReadComponentText(second.get(), text);
  const std::vector<std::string> before = Describe(*first), after = Describe(*second);
  EXPECT_GT(before.size(), 500u);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]);
  EXPECT_EQ(WriteComponentText(second.get()), text);
}

TEST(GalleryForm, PaletteListsWhatTheUnitsRegistered) {
  RegisterGalleryComponents();
  RegisterGalleryComponents();  // again: each class still listed once
  EXPECT_EQ(PaletteLines(), (std::vector<std::string>{"Samples: TMyImage, MyBarLabel, TMyProgressBar",
                                                      "Quorb Hyper Controls: THyperLabel", "Vexlo: TVexloLabel"}));
}
