#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Classes.h"
#include "Colors.h"
#include "Strings.h"

namespace {

// Every component of these tests writes what happens to it into one log.
std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

class TLogged : public TComponent {
  ZX_CLASS(TLogged, TComponent)
 public:
  explicit TLogged(TComponent* owner, const std::string& name = {}) : TComponent(owner) {
    if (!name.empty()) SetName(name);
  }
  ~TLogged() override { Log().push_back("free " + Name()); }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    Log().push_back(Name() + (op == opInsert ? " +" : " -") + c->Name());
    if (op == opRemove && c == buddy) buddy = nullptr;
  }
  TComponent* buddy = nullptr;
};

const TClassInfo& TLogged::StaticClass() {
  static const TClassInfo info = DefineClass<TLogged>("TClassesTestLogged");
  return info;
}

enum TShade { shLight, shDark };
const std::vector<std::string> kShadeNames = {"shLight", "shDark"};
enum TMark { mkA, mkB, mkC };
const std::vector<std::string> kMarkNames = {"mkA", "mkB", "mkC"};

class TKinds : public TComponent {
  ZX_CLASS(TKinds, TComponent)
 public:
  using TComponent::TComponent;
  int Count = 5;
  int Always = 0;
  bool Flag = true;
  TShade Shade = shLight;
  TSet<TMark> Marks;
  TColor Paint = clBtnFace;
  std::string Text;
  std::vector<uint8_t> Data;
  std::vector<std::string> Lines;
  TComponent* Ref = nullptr;
  TNotifyEvent OnPing;
  bool StoreText = true;
  TStringList Items;
  int Hidden() const { return 7; }
  void Ping(TObject*) {}
};

const TClassInfo& TKinds::StaticClass() {
  static const TClassInfo info = DefineClass<TKinds>("TClassesTestKinds", [](TClassBuilder<TKinds>& c) {
    c.Int("Count", &TKinds::Count, &TKinds::Count, 5)
        .Int("Always", &TKinds::Always, &TKinds::Always, 0, false)
        .Bool("Flag", &TKinds::Flag, &TKinds::Flag, true)
        .Enum("Shade", kShadeNames, &TKinds::Shade, &TKinds::Shade, shLight)
        .Set("Marks", kMarkNames, &TKinds::Marks, &TKinds::Marks, TSet<TMark>{mkB})
        .Color("Paint", &TKinds::Paint, &TKinds::Paint, clBtnFace)
        .Str("Text", &TKinds::Text, &TKinds::Text)
        .Stored(&TKinds::StoreText)
        .Bin("Data", &TKinds::Data, &TKinds::Data)
        .List("Lines", &TKinds::Lines, &TKinds::Lines)
        .Ref<TComponent>("Ref", &TKinds::Ref, &TKinds::Ref)
        .Event("OnPing", &TKinds::OnPing)
        .Obj("Items", [](TKinds& k) { return &k.Items; })
        .Int("Hidden", &TKinds::Hidden, [](TKinds&, int) {}, 0)
        .ReadOnly();
  });
  return info;
}

class TKindsEx : public TKinds {
  ZX_CLASS(TKindsEx, TKinds)
 public:
  using TKinds::TKinds;
  int Extra = 0;
};

const TClassInfo& TKindsEx::StaticClass() {
  static const TClassInfo info = DefineClass<TKindsEx>("TClassesTestKindsEx", [](TClassBuilder<TKindsEx>& c) {
    c.Int("Extra", &TKindsEx::Extra, &TKindsEx::Extra, 0);
    // Declared again with another default: takes the base's place in the order.
    c.Int("Count", &TKindsEx::Count, &TKindsEx::Count, 9);
  });
  return info;
}

class ClassesTest : public testing::Test {
 protected:
  void SetUp() override { Log().clear(); }
};

// --- Ownership and notifications ------------------------------------------

TEST_F(ClassesTest, OwnerFreesOwnedComponentsLastCreatedFirst) {
  auto* owner = new TLogged(nullptr, "Owner");
  new TLogged(owner, "A");
  new TLogged(owner, "B");
  new TLogged(owner, "C");
  Log().clear();
  delete owner;
  std::vector<std::string> frees;
  for (const auto& line : Log())
    if (line.rfind("free ", 0) == 0) frees.push_back(line);
  EXPECT_EQ(frees, (std::vector<std::string>{"free Owner", "free C", "free B", "free A"}));
}

TEST_F(ClassesTest, InsertionIsAnnouncedToOwnerAndEverySibling) {
  TLogged owner(nullptr, "Owner");
  new TLogged(&owner, "A");
  Log().clear();
  auto* b = new TLogged(&owner);
  b->SetName("B");
  // The newcomer is announced while its name is still empty: the owner
  // forwards the news to A before its own override sees it.
  EXPECT_EQ(Log(), (std::vector<std::string>{"A +", "Owner +"}));
  EXPECT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(b->Owner(), &owner);
  EXPECT_EQ(b->ComponentIndex(), 1);
}

TEST_F(ClassesTest, SiblingsHearOfRemovalAndDropTheirReferences) {
  TLogged owner(nullptr, "Owner");
  auto* a = new TLogged(&owner, "A");
  auto* b = new TLogged(&owner, "B");
  auto* c = new TLogged(&owner, "C");
  a->buddy = b;
  c->buddy = b;
  Log().clear();
  delete b;
  EXPECT_EQ(a->buddy, nullptr);
  EXPECT_EQ(c->buddy, nullptr);
  // Every remaining sibling heard of B before B's own destructor finished.
  EXPECT_NE(std::find(Log().begin(), Log().end(), "A -B"), Log().end());
  EXPECT_NE(std::find(Log().begin(), Log().end(), "C -B"), Log().end());
  EXPECT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(owner.FindComponent("B"), nullptr);
}

TEST_F(ClassesTest, SiblingsFreedByTheOwnerLeaveNoDanglingReferences) {
  // C refers to A; A is freed after C, B after C: whichever goes first, the
  // others must not be told about a component they no longer hold.
  auto* owner = new TLogged(nullptr, "Owner");
  auto* a = new TLogged(owner, "A");
  auto* b = new TLogged(owner, "B");
  auto* c = new TLogged(owner, "C");
  a->buddy = c;
  b->buddy = c;
  c->buddy = a;
  delete owner;
  SUCCEED();
}

TEST_F(ClassesTest, FreeNotificationLinksBothWays) {
  TLogged left(nullptr, "Left");
  TLogged right(nullptr, "Right");
  auto* x = new TLogged(&left, "X");
  auto* y = new TLogged(&right, "Y");
  x->buddy = y;
  x->FreeNotification(y);
  Log().clear();
  delete y;
  EXPECT_EQ(x->buddy, nullptr);
  EXPECT_NE(std::find(Log().begin(), Log().end(), "X -Y"), Log().end());

  auto* z = new TLogged(&right, "Z");
  z->buddy = x;
  z->FreeNotification(x);
  delete x;  // the link made from Z's side tells Z too
  EXPECT_EQ(z->buddy, nullptr);
}

TEST_F(ClassesTest, RemovedFreeNotificationIsSilent) {
  TLogged left(nullptr, "Left");
  TLogged right(nullptr, "Right");
  auto* x = new TLogged(&left, "X");
  auto* y = new TLogged(&right, "Y");
  x->FreeNotification(y);
  y->RemoveFreeNotification(x);  // removing from either end removes the link
  Log().clear();
  delete y;
  EXPECT_EQ(std::find(Log().begin(), Log().end(), "X -Y"), Log().end());
}

TEST_F(ClassesTest, MovingAComponentToAnotherOwner) {
  TLogged first(nullptr, "First");
  TLogged second(nullptr, "Second");
  auto* a = new TLogged(&first, "A");
  second.InsertComponent(a);
  EXPECT_EQ(a->Owner(), &second);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(second.FindComponent("a"), a);
  second.RemoveComponent(a);
  EXPECT_EQ(a->Owner(), nullptr);
  delete a;
}

TEST_F(ClassesTest, OwnershipCannotFormACycle) {
  TLogged top(nullptr, "Top");
  auto* mid = new TLogged(&top, "Mid");
  EXPECT_THROW(mid->InsertComponent(&top), EComponentError);
  EXPECT_EQ(top.Owner(), nullptr);
}

// --- Names -------------------------------------------------------------------

TEST_F(ClassesTest, NamesMustBeIdentifiers) {
  TLogged c(nullptr);
  for (const char* bad : {"1abc", "a b", "a-b", "a.b", "é"}) {
    try {
      c.SetName(bad);
      ADD_FAILURE() << bad;
    } catch (const EComponentError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(bad) + "' is not a valid component name");
    }
  }
  c.SetName("_Ok9");
  EXPECT_EQ(c.Name(), "_Ok9");
  c.SetName("");
  EXPECT_EQ(c.Name(), "");
}

TEST_F(ClassesTest, NamesAreUniqueAmongTheOwnersComponentsIgnoringCase) {
  TLogged owner(nullptr, "Owner");
  new TLogged(&owner, "Button1");
  auto* other = new TLogged(&owner, "Other");
  try {
    other->SetName("BUTTON1");
    ADD_FAILURE();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "A component named BUTTON1 already exists");
  }
  EXPECT_EQ(other->Name(), "Other");
  other->SetName("OTHER");  // a new spelling of its own name is no clash
  EXPECT_EQ(other->Name(), "OTHER");
  // Unnamed components do not clash with each other.
  new TLogged(&owner);
  new TLogged(&owner);
  EXPECT_EQ(owner.ComponentCount(), 4);
}

TEST_F(ClassesTest, InsertingAClashingNameLeavesTheComponentWhereItWas) {
  TLogged first(nullptr, "First");
  TLogged second(nullptr, "Second");
  new TLogged(&second, "A");
  auto* a = new TLogged(&first, "A");
  EXPECT_THROW(second.InsertComponent(a), EComponentError);
  EXPECT_EQ(a->Owner(), &first);
  EXPECT_EQ(second.ComponentCount(), 1);
}

TEST_F(ClassesTest, DesigningFlagReachesOwnedComponents) {
  TLogged owner(nullptr, "Owner");
  auto* a = new TLogged(&owner, "A");
  owner.SetDesigning(true);
  EXPECT_TRUE(a->ComponentState().Contains(csDesigning));
  auto* b = new TLogged(&owner, "B");
  EXPECT_TRUE(b->ComponentState().Contains(csDesigning));
  owner.SetDesigning(false);
  EXPECT_FALSE(a->ComponentState().Contains(csDesigning));
}

TEST_F(ClassesTest, LoadedClearsTheLoadingFlag) {
  TLogged c(nullptr);
  c.BeginLoading();
  EXPECT_TRUE(c.ComponentState().Contains(csLoading));
  EXPECT_TRUE(c.ComponentState().Contains(csReading));
  c.EndReading();
  EXPECT_FALSE(c.ComponentState().Contains(csReading));
  c.Loaded();
  EXPECT_FALSE(c.ComponentState().Contains(csLoading));
}

// --- Assign --------------------------------------------------------------------

TEST_F(ClassesTest, AssignBetweenUnrelatedClassesRaisesConvertError) {
  TStringList lines;
  TLogged c(nullptr);
  try {
    c.Assign(&lines);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TStringList to a TClassesTestLogged");
  }
  try {
    lines.Assign(&c);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TClassesTestLogged to a TStringList");
  }
  try {
    c.Assign(nullptr);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TClassesTestLogged");
  }
}

// --- Class information ----------------------------------------------------------

TEST_F(ClassesTest, ClassInformationChainsToTheBase) {
  const TClassInfo& ex = TKindsEx::StaticClass();
  EXPECT_TRUE(ex.InheritsFrom(TKinds::StaticClass()));
  EXPECT_TRUE(ex.InheritsFrom(TComponent::StaticClass()));
  EXPECT_TRUE(ex.InheritsFrom(TObject::StaticClass()));
  EXPECT_FALSE(TKinds::StaticClass().InheritsFrom(ex));
  TKindsEx object(nullptr);
  EXPECT_EQ(object.ClassName(), "TClassesTestKindsEx");
  EXPECT_EQ(ex.FindProp("tag")->name, "Tag");
  EXPECT_EQ(ex.FindProp("Count")->defaultValue, 9);
  EXPECT_EQ(TKinds::StaticClass().FindProp("Count")->defaultValue, 5);
  EXPECT_EQ(ex.FindProp("Nope"), nullptr);
  EXPECT_EQ(TComponent::StaticClass().create != nullptr, true);
  EXPECT_EQ(TStrings::StaticClass().create, nullptr);
}

TEST_F(ClassesTest, AllPropsListsTheBaseFirstAndKeepsARedeclaredPropertyInPlace) {
  std::vector<std::string> names;
  for (const TPropInfo* p : TKindsEx::StaticClass().AllProps()) names.push_back(p->name);
  std::vector<std::string> expected = {"Name", "Tag",  "Count", "Always", "Flag", "Shade", "Marks", "Paint",
                                       "Text", "Data", "Lines", "Ref",    "OnPing", "Items", "Hidden", "Extra"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(TKindsEx::StaticClass().AllProps()[2]->defaultValue, 9);
}

TEST_F(ClassesTest, StoredRulesPerKind) {
  TKinds k(nullptr);
  const TClassInfo& cls = TKinds::StaticClass();
  auto stored = [&](const char* name) { return cls.FindProp(name)->IsStored(k); };
  // Everything at its default: only the property without a default and the
  // nested object are written.
  EXPECT_FALSE(stored("Name"));
  EXPECT_FALSE(stored("Tag"));
  EXPECT_FALSE(stored("Count"));
  EXPECT_TRUE(stored("Always"));
  EXPECT_FALSE(stored("Flag"));
  EXPECT_FALSE(stored("Shade"));
  EXPECT_TRUE(stored("Marks"));  // the default set is [mkB], the value is []
  EXPECT_FALSE(stored("Paint"));
  EXPECT_FALSE(stored("Text"));
  EXPECT_FALSE(stored("Data"));
  EXPECT_FALSE(stored("Lines"));
  EXPECT_FALSE(stored("Ref"));
  EXPECT_FALSE(stored("OnPing"));
  EXPECT_TRUE(stored("Items"));
  EXPECT_FALSE(stored("Hidden"));  // read-only: cannot be read back

  k.SetName("K");
  k.Count = 6;
  k.Flag = false;
  k.Shade = shDark;
  k.Marks = {mkB};
  k.Paint = clWhite;
  k.Text = "x";
  k.Data = {0};
  k.Lines = {""};
  k.Ref = &k;
  k.OnPing = TNotifyEvent(&k, &TKinds::Ping, "Ping");
  EXPECT_FALSE(stored("Name"));
  EXPECT_TRUE(stored("Count"));
  EXPECT_TRUE(stored("Flag"));
  EXPECT_TRUE(stored("Shade"));
  EXPECT_FALSE(stored("Marks"));
  EXPECT_TRUE(stored("Paint"));
  EXPECT_TRUE(stored("Text"));
  EXPECT_TRUE(stored("Data"));
  EXPECT_TRUE(stored("Lines"));  // one empty line is still a line
  EXPECT_TRUE(stored("Ref"));
  EXPECT_TRUE(stored("OnPing"));
  // The predicate is asked first and wins over a non-default value.
  k.StoreText = false;
  EXPECT_FALSE(stored("Text"));
  // An event assigned in code, without a handler name, cannot be written.
  k.OnPing = TNotifyEvent([](TObject*) {});
  EXPECT_FALSE(stored("OnPing"));
}

// --- Registry ------------------------------------------------------------------

TEST_F(ClassesTest, RegistryFindsClassesByNameIgnoringCase) {
  RegisterClassInfo(TKinds::StaticClass());
  RegisterClassInfo(TKinds::StaticClass());  // twice is harmless
  EXPECT_EQ(FindClass("TClassesTestKinds"), &TKinds::StaticClass());
  EXPECT_EQ(FindClass("tclassestestkinds"), &TKinds::StaticClass());
  EXPECT_EQ(FindClass("TClassesTestNothing"), nullptr);
}

TEST_F(ClassesTest, RegistryRefusesASecondClassOfTheSameName) {
  static const TClassInfo impostor = [] {
    TClassInfo i;
    i.name = "TClassesTestKinds";
    i.parent = &TComponent::StaticClass();
    return i;
  }();
  RegisterClassInfo(TKinds::StaticClass());
  EXPECT_THROW(RegisterClassInfo(impostor), EFilerError);
  EXPECT_EQ(FindClass("TClassesTestKinds"), &TKinds::StaticClass());
}

TEST_F(ClassesTest, PaletteKeepsPagesAndClassesInRegistrationOrder) {
  RegisterComponents("Classes Test B", {&TKindsEx::StaticClass()});
  RegisterComponents("Classes Test A", {&TLogged::StaticClass(), &TKinds::StaticClass()});
  RegisterComponents("Classes Test B", {&TKindsEx::StaticClass(), &TLogged::StaticClass()});
  std::vector<std::string> pages;
  for (const auto& p : PalettePages())
    if (p.rfind("Classes Test", 0) == 0) pages.push_back(p);
  EXPECT_EQ(pages, (std::vector<std::string>{"Classes Test B", "Classes Test A"}));
  EXPECT_EQ(PaletteClasses("Classes Test B"),
            (std::vector<const TClassInfo*>{&TKindsEx::StaticClass(), &TLogged::StaticClass()}));
  EXPECT_EQ(FindClass("TClassesTestLogged"), &TLogged::StaticClass());
  EXPECT_TRUE(PaletteClasses("No Such Page").empty());
}

// --- Colours ---------------------------------------------------------------------

TEST(ColorsTest, NamesAndValuesMapBothWays) {
  struct Case {
    const char* name;
    TColor color;
  } cases[] = {{"clBlack", 0x000000},        {"clMaroon", 0x000080},     {"clNavy", 0x800000},
               {"clRed", 0x0000FF},          {"clBlue", 0xFF0000},       {"clWhite", 0xFFFFFF},
               {"clNone", 0x1FFFFFFF},       {"clDefault", 0x20000000},  {"clScrollBar", 0x80000000},
               {"clWindow", 0x80000005},     {"clBtnFace", 0x8000000F},  {"clBtnHighlight", 0x80000014},
               {"clGrayText", 0x80000011},   {"clInfoBk", 0x80000018},   {"cl3DDkShadow", 0x80000015}};
  for (const Case& c : cases) {
    std::string ident;
    EXPECT_TRUE(ColorToIdent(c.color, ident)) << c.name;
    EXPECT_EQ(ident, c.name);
    TColor color = 0;
    EXPECT_TRUE(IdentToColor(UpperCase(c.name), color)) << c.name;
    EXPECT_EQ(color, c.color) << c.name;
  }
  std::string ident;
  EXPECT_FALSE(ColorToIdent(0xE4DFE5, ident));
  EXPECT_FALSE(ColorToIdent(0x80000019, ident));
  TColor color = 0;
  EXPECT_FALSE(IdentToColor("clMauve", color));
}

}  // namespace
