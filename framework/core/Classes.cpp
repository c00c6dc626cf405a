#include "Classes.h"

#include <algorithm>
#include <bit>

// ---------------------------------------------------------------------------
// Run-time class information.

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->parent)
    if (c == &other) return true;
  return false;
}

const TPropInfo* TClassInfo::FindProp(std::string_view propName) const {
  for (const TClassInfo* c = this; c; c = c->parent)
    for (const TPropInfo& p : c->props)
      if (SameText(p.name, propName)) return &p;
  return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(std::string_view methodName) const {
  for (const TClassInfo* c = this; c; c = c->parent)
    for (const TMethodInfo& m : c->methods)
      if (SameText(m.name, methodName)) return &m;
  return nullptr;
}

const TFieldInfo* TClassInfo::FindField(std::string_view fieldName) const {
  for (const TClassInfo* c = this; c; c = c->parent)
    for (const TFieldInfo& f : c->fields)
      if (SameText(f.name, fieldName)) return &f;
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProps() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->parent) chain.push_back(c);
  std::vector<const TPropInfo*> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const TPropInfo& p : (*it)->props) {
      // A class that declares a property of its base again (to change its
      // default or its stored rule) replaces it in the base's position.
      auto same = std::find_if(result.begin(), result.end(),
                               [&](const TPropInfo* q) { return SameText(q->name, p.name); });
      if (same != result.end())
        *same = &p;
      else
        result.push_back(&p);
    }
  }
  return result;
}

bool TPropInfo::IsStored(TObject& object) const {
  if (stored && !stored(object)) return false;
  switch (kind) {
    case TPropKind::Integer:
    case TPropKind::Boolean:
    case TPropKind::Enumeration:
    case TPropKind::Set:
    case TPropKind::Color:
      // A property that cannot be set back is not worth writing.
      if (readOnly || !getOrd || !setOrd) return false;
      return !hasDefault || getOrd(object) != defaultValue;
    case TPropKind::Float:
      if (readOnly || !getFloat || !setFloat) return false;
      return !hasDefault || std::bit_cast<uint64_t>(getFloat(object)) != std::bit_cast<uint64_t>(floatDefault);
    case TPropKind::String:
      if (readOnly || !getStr || !setStr) return false;
      return !getStr(object).empty();
    case TPropKind::Binary:
      if (readOnly || !getBin || !setBin) return false;
      return !getBin(object).empty();
    case TPropKind::Strings:
      if (readOnly || !getList || !setList) return false;
      return !getList(object).empty();
    case TPropKind::Component:
      if (readOnly || !getObj || !setRef) return false;
      return getObj(object) != nullptr;
    case TPropKind::Method:
      if (readOnly || !getMethodName || !setMethod) return false;
      return !getMethodName(object).empty();
    case TPropKind::Persistent:
      return static_cast<bool>(getObj);
  }
  return false;
}

// ---------------------------------------------------------------------------
// Class registry and component palette.

namespace {

struct Registry {
  std::vector<const TClassInfo*> classes;
  std::vector<std::pair<std::string, std::vector<const TClassInfo*>>> pages;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterClassInfo(const TClassInfo& cls) {
  Registry& r = TheRegistry();
  for (const TClassInfo* c : r.classes) {
    if (c == &cls) return;
    // Two classes under one name would make the reader create the wrong one.
    if (SameText(c->name, cls.name))
      throw EFilerError("A class named " + cls.name + " already exists");
  }
  r.classes.push_back(&cls);
}

const TClassInfo* FindClass(std::string_view name) {
  for (const TClassInfo* c : TheRegistry().classes)
    if (SameText(c->name, name)) return c;
  return nullptr;
}

void RegisterComponents(const std::string& page, std::initializer_list<const TClassInfo*> classes) {
  Registry& r = TheRegistry();
  auto it = std::find_if(r.pages.begin(), r.pages.end(), [&](const auto& p) { return p.first == page; });
  if (it == r.pages.end()) {
    r.pages.emplace_back(page, std::vector<const TClassInfo*>{});
    it = std::prev(r.pages.end());
  }
  for (const TClassInfo* c : classes) {
    RegisterClassInfo(*c);
    if (std::find(it->second.begin(), it->second.end(), c) == it->second.end()) it->second.push_back(c);
  }
}

std::vector<const TClassInfo*> PaletteClasses(const std::string& page) {
  for (const auto& p : TheRegistry().pages)
    if (p.first == page) return p.second;
  return {};
}

std::vector<std::string> PalettePages() {
  std::vector<std::string> names;
  for (const auto& p : TheRegistry().pages) names.push_back(p.first);
  return names;
}

// ---------------------------------------------------------------------------
// TObject, TPersistent.

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo info = [] {
    TClassInfo i;
    i.name = "TObject";
    i.isInstance = [](const TObject* o) { return o != nullptr; };
    return i;
  }();
  return info;
}

const TClassInfo& TPersistent::StaticClass() {
  static const TClassInfo info = DefineClass<TPersistent>("TPersistent");
  return info;
}

void TPersistent::Assign(const TPersistent* source) {
  if (source == this) return;
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + (dest ? dest->ClassName() : "nil"));
}

// ---------------------------------------------------------------------------
// TComponent.

const TClassInfo& TComponent::StaticClass() {
  static const TClassInfo info = DefineClass<TComponent>("TComponent", [](TClassBuilder<TComponent>& c) {
    // The name is written in the object's header line, never as a property.
    c.Str("Name", &TComponent::Name, &TComponent::SetName).Stored([](TComponent&) { return false; });
    c.Int("Tag", &TComponent::Tag, &TComponent::Tag, 0);
  });
  return info;
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Partners linked by FreeNotification hear of the end first, while this
  // object is still in its owner's list and can be compared against.
  while (!freeNotifies_.empty()) {
    TComponent* partner = freeNotifies_.back();
    freeNotifies_.pop_back();
    partner->RemoveNotification(this);
    partner->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_ << csDestroying;
  for (TComponent* c : components_) c->Destroying();
}


void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError("'" + name + "' is not a valid component name");
  if (owner_) owner_->ValidateRename(this, name);
  name_ = name;
}

void TComponent::ValidateRename(TComponent* component, const std::string& newName) const {
  if (newName.empty()) return;
  for (TComponent* c : components_)
    if (c != component && SameText(c->name_, newName))
      throw EComponentError("A component named " + newName + " already exists");
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  const auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component == this || component->owner_ == this) return;
  // Owning one's own owner would free each other twice.
  for (const TComponent* o = this; o; o = o->owner_)
    if (o == component) throw EComponentError("A component cannot own its own owner");
  ValidateRename(component, component->name_);
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  if (state_.Contains(csDesigning)) component->SetDesigning(true);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->owner_ != this) return;
  Notification(component, opRemove);
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  // Each destructor takes its component out of the list and tells the
  // remaining siblings, so none of them keeps a reference to a freed one.
  while (!components_.empty()) {
    TComponent* last = components_.back();
    delete last;
    if (!components_.empty() && components_.back() == last) components_.pop_back();
  }
}

void TComponent::SetDesigning(bool value) {
  if (value)
    state_ << csDesigning;
  else
    state_ >> csDesigning;
  for (TComponent* c : components_) c->SetDesigning(value);
}

void TComponent::Loaded() {
  state_ >> csLoading;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end())
    component->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  RemoveNotification(component);
  component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) {
  auto it = std::find(freeNotifies_.begin(), freeNotifies_.end(), component);
  if (it != freeNotifies_.end()) freeNotifies_.erase(it);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveNotification(component);
  // Forward to everything owned, so that siblings hear of each other. A
  // handler may free components, so the index is checked on every step.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i >= components_.size()) continue;
    components_[i]->Notification(component, operation);
  }
}
