#pragma once
// The object model of the framework: run-time class information, published
// properties, events, components with owners, and the class registry that the
// form-description reader creates components from. Portable: no Win32 here.

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Sysutils.h"

class TObject;
class TPersistent;
class TComponent;
class TFiler;
struct TClassInfo;

// ---------------------------------------------------------------------------
// Small set type over an enumeration with at most 32 members.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  static constexpr TSet FromBits(uint32_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet& operator<<(E e) { bits_ |= Bit(e); return *this; }
  constexpr TSet& operator>>(E e) { bits_ &= ~Bit(e); return *this; }
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr TSet operator+(E e) const { return FromBits(bits_ | Bit(e)); }
  constexpr TSet operator-(E e) const { return FromBits(bits_ & ~Bit(e)); }
  constexpr bool operator==(const TSet&) const = default;

 private:
  static constexpr uint32_t Bit(E e) { return uint32_t{1} << static_cast<unsigned>(e); }
  uint32_t bits_ = 0;
};

enum TShiftStateElem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateElem>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// ---------------------------------------------------------------------------
// Events: a method pointer, that is an object and one of its methods. The name
// of the method is kept when the event was bound from a form description, so
// that the writer can write it back.
template <class... A>
class TEvent {
 public:
  TEvent() = default;
  TEvent(std::nullptr_t) {}
  template <class T>
  TEvent(T* object, void (T::*method)(A...), std::string name = {})
      : fn_([object, method](A... args) { (object->*method)(std::forward<A>(args)...); }),
        target_(object), name_(std::move(name)) {}
  // A free callable, for code that is not a component (tests, glue).
  template <class F, class = std::enable_if_t<std::is_invocable_v<F&, A...> &&
                                               !std::is_same_v<std::decay_t<F>, TEvent>>>
  TEvent(F fn) : fn_(std::move(fn)) {}

  explicit operator bool() const noexcept { return static_cast<bool>(fn_); }
  void operator()(A... args) const {
    if (fn_) fn_(std::forward<A>(args)...);
  }
  const void* Target() const noexcept { return target_; }
  const std::string& Name() const noexcept { return name_; }

 private:
  std::function<void(A...)> fn_;
  const void* target_ = nullptr;
  std::string name_;
};

using TNotifyEvent = TEvent<TObject*>;

// ---------------------------------------------------------------------------
// Published properties.
enum class TPropKind {
  Integer,      // signed 32-bit, written as a number
  Boolean,      // False / True
  Enumeration,  // written by member name
  Set,          // [a, b], bit i set for member name i
  Color,        // a colour: written by name where it has one, else as a number
  String,       // 'quoted text'
  Binary,       // {hex}
  Strings,      // ( 'line' 'line' ) — a list of texts
  Component,    // reference to another component, written by name, fixed up after reading
  Persistent,   // a nested object whose own properties are written as Name.Sub = value
  Method,       // event, written by the handler's name
  Float,        // a double (dates and times too), written so that it reads back identical
};

struct TPropInfo {
  std::string name;
  TPropKind kind = TPropKind::Integer;
  const std::vector<std::string>* names = nullptr;  // members of an enumeration or a set
  // Component: the class the referred component must be of. A function, because
  // a class may refer to its own kind while its information is being built.
  const TClassInfo& (*refClass)() = nullptr;
  bool hasDefault = false;                          // ordinal and float properties: default value exists
  int64_t defaultValue = 0;
  double floatDefault = 0;
  bool readOnly = false;

  std::function<int64_t(TObject&)> getOrd;
  std::function<void(TObject&, int64_t)> setOrd;
  std::function<double(TObject&)> getFloat;
  std::function<void(TObject&, double)> setFloat;
  std::function<std::string(TObject&)> getStr;
  std::function<void(TObject&, const std::string&)> setStr;
  std::function<std::vector<uint8_t>(TObject&)> getBin;
  std::function<void(TObject&, const std::vector<uint8_t>&)> setBin;
  std::function<std::vector<std::string>(TObject&)> getList;
  std::function<void(TObject&, const std::vector<std::string>&)> setList;
  std::function<TObject*(TObject&)> getObj;              // Component and Persistent
  std::function<void(TObject&, TComponent*)> setRef;     // Component
  std::function<std::string(TObject&)> getMethodName;    // Method: "" when unassigned or not a form's method
  std::function<void(TObject&, const std::any&)> setMethod;  // Method: takes a bound TEvent<...>
  std::function<bool(TObject&)> stored;                  // optional stored-predicate
  // Integer: names of some values (crHandPoint), written in place of the number
  // and read back as it.
  bool (*toIdent)(int64_t value, std::string& ident) = nullptr;
  bool (*fromIdent)(std::string_view ident, int64_t& value) = nullptr;

  bool IsStored(TObject& object) const;  // applies stored-predicate and default rules
};

// A published method of a form class: binding it to an instance gives the
// TEvent<...> that an event property of the matching signature accepts.
struct TMethodInfo {
  std::string name;
  std::function<std::any(TObject*)> bind;
};

// A published field of a form class: the reader stores the component of the
// same name there after creating it.
struct TFieldInfo {
  std::string name;
  const TClassInfo* fieldClass = nullptr;
  std::function<void(TObject&, TComponent*)> set;
};

struct TClassInfo {
  std::string name;
  const TClassInfo* parent = nullptr;
  TComponent* (*create)(TComponent* owner) = nullptr;  // null for abstract classes
  std::vector<TPropInfo> props;
  std::vector<TMethodInfo> methods;
  std::vector<TFieldInfo> fields;
  std::function<bool(const TObject*)> isInstance;  // dynamic type test

  bool InheritsFrom(const TClassInfo& other) const;
  // Searches this class and then its bases.
  const TPropInfo* FindProp(std::string_view propName) const;
  const TMethodInfo* FindMethod(std::string_view methodName) const;
  const TFieldInfo* FindField(std::string_view fieldName) const;
  // Every property, the base class's first, in declaration order.
  std::vector<const TPropInfo*> AllProps() const;
};

// The root of every framework class.
class TObject {
 public:
  using inherited = void;
  virtual ~TObject() = default;
  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassType() const { return StaticClass(); }
  const std::string& ClassName() const { return ClassType().name; }
  bool InheritsFrom(const TClassInfo& cls) const { return ClassType().InheritsFrom(cls); }
};

// Every class that takes part in streaming declares itself with this macro and
// defines StaticClass() in its unit with DefineClass<...>.
#define ZX_CLASS(T, Base)                                                   \
 public:                                                                    \
  using inherited = Base;                                                   \
  static const TClassInfo& StaticClass();                                   \
  const TClassInfo& ClassType() const override { return StaticClass(); }    \
                                                                            \
 private:

// ---------------------------------------------------------------------------
// Class registry: class name → class information, for the reader.
void RegisterClassInfo(const TClassInfo& cls);
const TClassInfo* FindClass(std::string_view name);
// Component palette: page name → classes, in registration order.
void RegisterComponents(const std::string& page, std::initializer_list<const TClassInfo*> classes);
std::vector<const TClassInfo*> PaletteClasses(const std::string& page);
std::vector<std::string> PalettePages();

// ---------------------------------------------------------------------------
// Builder used inside StaticClass() to declare the published interface.
namespace zx_detail {
template <class T, class G>
decltype(auto) Get(G g, T& o) {
  if constexpr (std::is_member_object_pointer_v<G>)
    return (o.*g);
  else
    return std::invoke(g, o);
}
template <class T, class S, class V>
void Set(S s, T& o, V&& v) {
  if constexpr (std::is_member_object_pointer_v<S>)
    o.*s = std::forward<V>(v);
  else
    std::invoke(s, o, std::forward<V>(v));
}
template <class T>
TComponent* CreateAs(TComponent* owner) {
  return new T(owner);
}
// TComponent is still incomplete here; the conversion is defined after it.
inline TObject* ToObject(TComponent* component);
}  // namespace zx_detail

template <class T>
class TClassBuilder {
 public:
  explicit TClassBuilder(TClassInfo& info) : info_(info) {}

  // Integer property; hasDefault = false stores it whatever its value.
  template <class G, class S>
  TClassBuilder& Int(const std::string& name, G get, S set, int64_t def = 0, bool hasDefault = true) {
    auto& p = Add(name, TPropKind::Integer);
    p.getOrd = [get](TObject& o) { return static_cast<int64_t>(zx_detail::Get(get, Self(o))); };
    p.setOrd = [set](TObject& o, int64_t v) { zx_detail::Set(set, Self(o), static_cast<int>(v)); };
    p.defaultValue = def;
    p.hasDefault = hasDefault;
    return *this;
  }
  template <class G, class S>
  TClassBuilder& Bool(const std::string& name, G get, S set, bool def = false, bool hasDefault = true) {
    auto& p = Add(name, TPropKind::Boolean);
    p.getOrd = [get](TObject& o) { return static_cast<int64_t>(static_cast<bool>(zx_detail::Get(get, Self(o)))); };
    p.setOrd = [set](TObject& o, int64_t v) { zx_detail::Set(set, Self(o), v != 0); };
    p.defaultValue = def;
    p.hasDefault = hasDefault;
    return *this;
  }
  template <class E, class G, class S>
  TClassBuilder& Enum(const std::string& name, const std::vector<std::string>& names, G get, S set,
                      E def, bool hasDefault = true) {
    auto& p = Add(name, TPropKind::Enumeration);
    p.names = &names;
    p.getOrd = [get](TObject& o) { return static_cast<int64_t>(zx_detail::Get(get, Self(o))); };
    p.setOrd = [set](TObject& o, int64_t v) { zx_detail::Set(set, Self(o), static_cast<E>(v)); };
    p.defaultValue = static_cast<int64_t>(def);
    p.hasDefault = hasDefault;
    return *this;
  }
  template <class E, class G, class S>
  TClassBuilder& Set(const std::string& name, const std::vector<std::string>& names, G get, S set,
                     TSet<E> def) {
    auto& p = Add(name, TPropKind::Set);
    p.names = &names;
    p.getOrd = [get](TObject& o) { return static_cast<int64_t>(TSet<E>(zx_detail::Get(get, Self(o))).Bits()); };
    p.setOrd = [set](TObject& o, int64_t v) {
      zx_detail::Set(set, Self(o), TSet<E>::FromBits(static_cast<uint32_t>(v)));
    };
    p.defaultValue = def.Bits();
    p.hasDefault = true;
    return *this;
  }
  template <class G, class S>
  TClassBuilder& Color(const std::string& name, G get, S set, int64_t def, bool hasDefault = true) {
    auto& p = Add(name, TPropKind::Color);
    p.getOrd = [get](TObject& o) { return static_cast<int64_t>(static_cast<uint32_t>(zx_detail::Get(get, Self(o)))); };
    p.setOrd = [set](TObject& o, int64_t v) { zx_detail::Set(set, Self(o), static_cast<uint32_t>(v)); };
    p.defaultValue = def;
    p.hasDefault = hasDefault;
    return *this;
  }
  // Floating-point property. It is stored unless it equals the default bit for
  // bit, so that -0.0 survives against a default of 0.
  template <class G, class S>
  TClassBuilder& Float(const std::string& name, G get, S set, double def = 0, bool hasDefault = true) {
    auto& p = Add(name, TPropKind::Float);
    p.getFloat = [get](TObject& o) { return static_cast<double>(zx_detail::Get(get, Self(o))); };
    p.setFloat = [set](TObject& o, double v) { zx_detail::Set(set, Self(o), v); };
    p.floatDefault = def;
    p.hasDefault = hasDefault;
    return *this;
  }
  // A date and time (TDateTime, days since 30 December 1899) streams as its number.
  template <class G, class S>
  TClassBuilder& DateTime(const std::string& name, G get, S set, double def = 0, bool hasDefault = true) {
    return Float(name, get, set, def, hasDefault);
  }
  template <class G, class S>
  TClassBuilder& Str(const std::string& name, G get, S set) {
    auto& p = Add(name, TPropKind::String);
    p.getStr = [get](TObject& o) { return std::string(zx_detail::Get(get, Self(o))); };
    p.setStr = [set](TObject& o, const std::string& v) { zx_detail::Set(set, Self(o), v); };
    return *this;
  }
  template <class G, class S>
  TClassBuilder& Bin(const std::string& name, G get, S set) {
    auto& p = Add(name, TPropKind::Binary);
    p.getBin = [get](TObject& o) { return std::vector<uint8_t>(zx_detail::Get(get, Self(o))); };
    p.setBin = [set](TObject& o, const std::vector<uint8_t>& v) { zx_detail::Set(set, Self(o), v); };
    return *this;
  }
  template <class G, class S>
  TClassBuilder& List(const std::string& name, G get, S set) {
    auto& p = Add(name, TPropKind::Strings);
    p.getList = [get](TObject& o) { return std::vector<std::string>(zx_detail::Get(get, Self(o))); };
    p.setList = [set](TObject& o, const std::vector<std::string>& v) { zx_detail::Set(set, Self(o), v); };
    return *this;
  }
  // Reference to another component of class C (or derived).
  template <class C, class G, class S>
  TClassBuilder& Ref(const std::string& name, G get, S set) {
    auto& p = Add(name, TPropKind::Component);
    p.refClass = &C::StaticClass;
    p.getObj = [get](TObject& o) -> TObject* { return static_cast<TObject*>(zx_detail::Get(get, Self(o))); };
    p.setRef = [set](TObject& o, TComponent* c) {
      zx_detail::Set(set, Self(o), c ? dynamic_cast<C*>(zx_detail::ToObject(c)) : static_cast<C*>(nullptr));
    };
    return *this;
  }
  // A nested object owned by the component (font, picture, string list).
  template <class G>
  TClassBuilder& Obj(const std::string& name, G get) {
    auto& p = Add(name, TPropKind::Persistent);
    p.getObj = [get](TObject& o) -> TObject* { return static_cast<TObject*>(zx_detail::Get(get, Self(o))); };
    return *this;
  }
  // Event property held in a TEvent field of the class.
  template <class... A>
  TClassBuilder& Event(const std::string& name, TEvent<A...> T::*field) {
    auto& p = Add(name, TPropKind::Method);
    p.getMethodName = [field](TObject& o) { return (Self(o).*field).Name(); };
    p.setMethod = [field, name](TObject& o, const std::any& value) {
      const auto* ev = std::any_cast<TEvent<A...>>(&value);
      if (!ev) throw EReadError("Invalid property value: " + name);
      Self(o).*field = *ev;
    };
    return *this;
  }
  // The same with accessor functions.
  template <class... A, class G, class S>
  TClassBuilder& EventAcc(const std::string& name, G get, S set, TEvent<A...>* /*signature*/ = nullptr) {
    auto& p = Add(name, TPropKind::Method);
    p.getMethodName = [get](TObject& o) { return zx_detail::Get(get, Self(o)).Name(); };
    p.setMethod = [set, name](TObject& o, const std::any& value) {
      const auto* ev = std::any_cast<TEvent<A...>>(&value);
      if (!ev) throw EReadError("Invalid property value: " + name);
      zx_detail::Set(set, Self(o), *ev);
    };
    return *this;
  }
  // Marks the last declared property as not streamed when the predicate says so.
  template <class P>
  TClassBuilder& Stored(P pred) {
    info_.props.back().stored = [pred](TObject& o) { return static_cast<bool>(std::invoke(pred, Self(o))); };
    return *this;
  }
  // Gives the last declared integer property names for some of its values.
  TClassBuilder& Idents(bool (*toIdent)(int64_t, std::string&), bool (*fromIdent)(std::string_view, int64_t&)) {
    info_.props.back().toIdent = toIdent;
    info_.props.back().fromIdent = fromIdent;
    return *this;
  }
  TClassBuilder& ReadOnly() {
    info_.props.back().readOnly = true;
    return *this;
  }
  // Published handler method of a form class.
  template <class... A>
  TClassBuilder& Method(const std::string& name, void (T::*method)(A...)) {
    info_.methods.push_back({name, [method, name](TObject* o) -> std::any {
                               return TEvent<A...>(static_cast<T*>(o), method, name);
                             }});
    return *this;
  }
  // Published component field of a form class.
  template <class C>
  TClassBuilder& Field(const std::string& name, C* T::*field) {
    RegisterClassInfo(C::StaticClass());
    info_.fields.push_back({name, &C::StaticClass(), [field](TObject& o, TComponent* c) {
                              Self(o).*field = c ? dynamic_cast<C*>(zx_detail::ToObject(c)) : nullptr;
                            }});
    return *this;
  }

 private:
  static T& Self(TObject& o) { return static_cast<T&>(o); }
  TPropInfo& Add(const std::string& name, TPropKind kind) {
    info_.props.push_back({});
    info_.props.back().name = name;
    info_.props.back().kind = kind;
    return info_.props.back();
  }
  TClassInfo& info_;
};

// Builds the class information of T, whose base is T::inherited.
template <class T, class Declare>
TClassInfo DefineClass(const char* name, Declare declare) {
  TClassInfo info;
  info.name = name;
  info.parent = &T::inherited::StaticClass();
  if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, TComponent*> &&
                std::is_base_of_v<TComponent, T>)
    info.create = &zx_detail::CreateAs<T>;
  info.isInstance = [](const TObject* o) { return dynamic_cast<const T*>(o) != nullptr; };
  TClassBuilder<T> builder(info);
  declare(builder);
  return info;
}
template <class T>
TClassInfo DefineClass(const char* name) {
  return DefineClass<T>(name, [](TClassBuilder<T>&) {});
}

// ---------------------------------------------------------------------------
class TPersistent : public TObject {
  ZX_CLASS(TPersistent, TObject)
 public:
  // Copies the state of another object; the default raises EConvertError
  // ("Cannot assign a X to a Y") unless the source knows how to AssignTo us.
  virtual void Assign(const TPersistent* source);

  // Declares data streamed with the object beside its published properties
  // (a list of texts, a binary block): an override calls the inherited one and
  // then filer->DefineProperty or filer->DefineBinaryProperty for each item.
  // The form-description reader and writer call it; the writer writes these
  // after the published properties.
  virtual void DefineProperties(TFiler* filer) {}

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

enum TOperation { opInsert, opRemove };
enum TComponentStateElem { csLoading, csReading, csWriting, csDestroying, csDesigning, csUpdating };
using TComponentState = TSet<TComponentStateElem>;

class TComponent : public TPersistent {
  ZX_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name);
  int Tag = 0;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  int ComponentIndex() const;
  TComponent* FindComponent(std::string_view name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, last created first.
  void DestroyComponents();

  TComponentState ComponentState() const { return state_; }
  // Sets or clears the designing flag of this component and of every component it owns.
  void SetDesigning(bool value);
  // Loading state bracket used by the reader.
  void BeginLoading() { state_ << csLoading << csReading; }
  void EndReading() { state_ >> csReading; }
  virtual void Loaded();

  // Asks to be told when `component` goes away although it is not a sibling.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  // Called on insertion and removal of components that belong to the same
  // owner, and for free-notification links. Overrides call the inherited one.
  virtual void Notification(TComponent* component, TOperation operation);

  // Streaming: the component under which this one is written (its parent control,
  // its parent menu item), or null when it stands directly under its owner.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* /*parent*/) {}
  // Raises EComponentError when another component owned by this one already
  // carries `newName` (names compare without regard to ASCII case).
  virtual void ValidateRename(TComponent* component, const std::string& newName) const;

 protected:
  // Marks this component and everything it owns as being destroyed.
  void Destroying();
  void SetState(TComponentState s) { state_ = s; }

 private:
  // The form-description reader clears the loading flags of the components it
  // created when it has to give up half-way.
  friend class TReader;
  void RemoveNotification(TComponent* component);
  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  TComponentState state_;
};

inline TObject* zx_detail::ToObject(TComponent* component) {
  return component;
}

// Run-time cast between framework classes; null when the object is of another class.
template <class T>
T* As(TObject* object) {
  return dynamic_cast<T*>(object);
}
