#include "Accessible.h"

#include <oleacc.h>

#include <atomic>
#include <cctype>
#include <climits>

namespace {

void Collect(const TWinControl* parent, std::vector<TControl*>& out) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (const TWinControl* w = AsWindowed(c))
      Collect(w, out);
    else if (c->AccessibleRole() != 0)
      out.push_back(c);
  }
}

BSTR ToBstr(const std::string& text) {
  if (text.size() > INT_MAX / 2) return nullptr;
  const int length = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
  if (result && wide > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), length, result, wide);
  return result;
}

HRESULT ReturnText(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = ToBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

void SetChildId(VARIANT* v, long id) {
  v->vt = VT_I4;
  v->lVal = id;
}

// The letter after the accelerator mark, or 0.
char AccelChar(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] != '&') return text[i + 1];
    ++i;
  }
  return 0;
}

// The client object of one top-level window. It holds the window's handle,
// not the control, and finds the control again at every call: a screen
// reader may keep the object after the window is gone, and then every call
// fails instead of reaching a freed control. As an enumeration of its
// children it hands out their ids.
class ClientObject final : public IAccessible, public IEnumVARIANT {
 public:
  explicit ClientObject(HWND window, ULONG cursor = 0) : window_(window), cursor_(cursor) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IAccessible)) {
      *out = static_cast<IAccessible*>(this);
    } else if (IsEqualIID(riid, IID_IEnumVARIANT)) {
      *out = static_cast<IEnumVARIANT*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: no type information; clients call the interface directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!Host()) return E_FAIL;
    return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    TWinControl* host = Host();
    if (!host) return E_FAIL;
    *count = static_cast<LONG>(AccessibleControls(host).size());
    return S_OK;
  }

  // The children are simple elements: the parent answers for them by id.
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
    if (!child) return E_POINTER;
    *child = nullptr;
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    return c ? S_FALSE : E_INVALIDARG;
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    if (c) return ReturnText(c->AccessibleName(), name);
    char text[256] = {};
    GetWindowTextA(window_, text, sizeof text);
    return ReturnText(text, name);
  }

  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override {
    if (value) *value = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* text) override {
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    // A hint that says more than the name describes the control.
    if (c && c->Hint() != c->AccessibleName()) return ReturnText(c->Hint(), text);
    return ReturnText({}, text);
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
    if (!role) return E_POINTER;
    VariantInit(role);
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    SetChildId(role, c ? c->AccessibleRole() : ROLE_SYSTEM_CLIENT);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
    if (!state) return E_POINTER;
    VariantInit(state);
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    long bits = STATE_SYSTEM_FOCUSABLE;
    if (!c) {
      if (!IsWindowVisible(window_)) bits |= STATE_SYSTEM_INVISIBLE;
      if (GetFocus() == window_) bits |= STATE_SYSTEM_FOCUSED;
    } else {
      bits = static_cast<long>(c->AccessibleState());
      if (!c->Enabled()) bits |= STATE_SYSTEM_UNAVAILABLE;
      if (!c->Showing()) bits |= STATE_SYSTEM_INVISIBLE;
      if (c->CanFocusWithoutWindow()) bits |= STATE_SYSTEM_FOCUSABLE;
      if (c->Parent()->FocusedChild() == c && c->Parent()->Focused()) bits |= STATE_SYSTEM_FOCUSED;
    }
    SetChildId(state, bits);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override {
    if (help) *help = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* shortcut) override {
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    const char letter = c ? AccelChar(c->Caption()) : 0;
    if (!letter) return ReturnText({}, shortcut);
    return ReturnText(std::string("Alt+") + static_cast<char>(std::toupper(static_cast<unsigned char>(letter))),
                      shortcut);
  }

  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    TWinControl* host = Host();
    if (!host) return E_FAIL;
    HWND focused = GetFocus();
    if (focused == window_) {
      SetChildId(focus, CHILDID_SELF);
      return S_OK;
    }
    if (!focused || !IsChild(window_, focused)) return S_FALSE;
    if (TWinControl* owner = TWinControl::FindControl(focused); owner && owner->FocusedChild()) {
      SetChildId(focus, AccessibleChildId(owner->FocusedChild()));
      return S_OK;
    }
    // A windowed control is described by the system's object of its window.
    IDispatch* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(focused, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(&object))))
      return S_FALSE;
    focus->vt = VT_DISPATCH;
    focus->pdispVal = object;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    VariantInit(selection);
    return S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    return ReturnText(c ? c->AccessibleDefaultAction() : std::string(), action);
  }

  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    if (flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
    if (!c) {
      SetFocus(window_);
      return S_OK;
    }
    if (!c->CanFocusWithoutWindow()) return DISP_E_MEMBERNOTFOUND;
    c->Parent()->FocusChild(c);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT id) override {
    if (!left || !top || !width || !height) return E_POINTER;
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    RECT r{};
    if (c) {
      const POINT origin = c->ClientToScreen(POINT{0, 0});
      r = RECT{origin.x, origin.y, origin.x + c->Width(), origin.y + c->Height()};
    } else {
      GetClientRect(window_, &r);
      MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    }
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    VariantInit(end);
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(start, c); FAILED(hr)) return hr;
    const long count = static_cast<long>(AccessibleControls(Host()).size());
    const long from = c ? start.lVal : CHILDID_SELF;
    long to = 0;
    switch (direction) {
      case NAVDIR_FIRSTCHILD: to = from == CHILDID_SELF && count > 0 ? 1 : 0; break;
      case NAVDIR_LASTCHILD: to = from == CHILDID_SELF ? count : 0; break;
      case NAVDIR_NEXT: to = from != CHILDID_SELF && from < count ? from + 1 : 0; break;
      case NAVDIR_PREVIOUS: to = from > 1 ? from - 1 : 0; break;
      default: return DISP_E_MEMBERNOTFOUND;
    }
    if (to == 0) return S_FALSE;
    SetChildId(end, to);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    VariantInit(hit);
    TWinControl* host = Host();
    if (!host) return E_FAIL;
    const POINT at{x, y};
    const HWND under = WindowFromPoint(at);
    const std::vector<TControl*> children = AccessibleControls(host);
    // Later controls lie on top of earlier ones of the same parent.
    for (size_t i = children.size(); i-- > 0;) {
      TControl* c = children[i];
      if (!c->Showing() || !c->Parent()->HandleAllocated() || c->Parent()->Handle() != under) continue;
      const POINT origin = c->ClientToScreen(POINT{0, 0});
      const RECT r{origin.x, origin.y, origin.x + c->Width(), origin.y + c->Height()};
      if (!PtInRect(&r, at)) continue;
      SetChildId(hit, static_cast<long>(i + 1));
      return S_OK;
    }
    RECT client{};
    GetClientRect(window_, &client);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!PtInRect(&client, at)) return S_FALSE;
    SetChildId(hit, CHILDID_SELF);
    return S_OK;
  }

  // The action runs later from the window's message queue: a press that opens
  // a modal box must not hold the screen reader's call until the box closes.
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
    TControl* c = nullptr;
    if (HRESULT hr = Resolve(id, c); FAILED(hr)) return hr;
    if (!c || c->AccessibleDefaultAction().empty()) return DISP_E_MEMBERNOTFOUND;
    if (!c->Enabled() || !c->Showing()) return E_FAIL;
    return PostMessageA(window_, CM_DODEFAULTACTION, static_cast<WPARAM>(id.lVal), 0) ? S_OK : E_FAIL;
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  // IEnumVARIANT: the child ids in order.
  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* items, ULONG* fetched) override {
    if (!items) return E_POINTER;
    TWinControl* host = Host();
    const ULONG count = host ? static_cast<ULONG>(AccessibleControls(host).size()) : 0;
    ULONG got = 0;
    while (got < wanted && cursor_ < count) {
      VariantInit(&items[got]);
      SetChildId(&items[got], static_cast<long>(++cursor_));
      ++got;
    }
    if (fetched) *fetched = got;
    return got == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG n) override {
    TWinControl* host = Host();
    const ULONG count = host ? static_cast<ULONG>(AccessibleControls(host).size()) : 0;
    if (n > count - cursor_) {
      cursor_ = count;
      return S_FALSE;
    }
    cursor_ += n;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    cursor_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
    if (!copy) return E_POINTER;
    *copy = new ClientObject(window_, cursor_);
    return S_OK;
  }

 private:
  TWinControl* Host() const { return IsWindow(window_) ? TWinControl::FindControl(window_) : nullptr; }

  // The control a child id names: null for the window itself (CHILDID_SELF).
  HRESULT Resolve(const VARIANT& id, TControl*& control) const {
    control = nullptr;
    TWinControl* host = Host();
    if (!host) return E_FAIL;
    if (id.vt != VT_I4) return E_INVALIDARG;
    if (id.lVal == CHILDID_SELF) return S_OK;
    const std::vector<TControl*> children = AccessibleControls(host);
    if (id.lVal < 1 || static_cast<size_t>(id.lVal) > children.size()) return E_INVALIDARG;
    control = children[static_cast<size_t>(id.lVal) - 1];
    return S_OK;
  }

  HWND window_;
  ULONG cursor_;
  std::atomic<ULONG> refs_{1};
};

// The object is handed over through COM marshalling, which needs COM on the
// thread. The program may not have started it (or may have ended it after its
// own use); the apartment started here stays for the thread's life, since a
// screen reader can hold our objects as long as the window lives.
bool ComReady() {
  static thread_local bool started = false;
  if (started) return true;
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // RPC_E_CHANGED_MODE: a multithreaded apartment is there already, which serves as well.
  started = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
  return started;
}
}  // namespace

std::vector<TControl*> AccessibleControls(const TWinControl* top) {
  std::vector<TControl*> out;
  if (top) Collect(top, out);
  return out;
}

long AccessibleChildId(const TControl* control) {
  if (!control || control->Windowed()) return 0;
  const std::vector<TControl*> children = AccessibleControls(TopLevelControl(control));
  for (size_t i = 0; i < children.size(); ++i)
    if (children[i] == control) return static_cast<long>(i + 1);
  return 0;
}

void NotifyAccessibleEvent(DWORD event, const TControl* control) {
  TWinControl* top = TopLevelControl(control);
  if (!top || !top->HandleAllocated()) return;
  if (const long id = AccessibleChildId(control)) NotifyWinEvent(event, top->Handle(), OBJID_CLIENT, id);
}

LRESULT AccessibleClientObject(TWinControl* top, WPARAM wParam) {
  if (!top || !top->HandleAllocated() || AccessibleControls(top).empty() || !ComReady()) return 0;
  ClientObject* object = new ClientObject(top->Handle());
  LRESULT answer = LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object));
  // Where the system has no marshalling code registered for IAccessible
  // (Wine), the object goes out as IDispatch, from which a client in this
  // process gets IAccessible by QueryInterface.
  if (answer <= 0) answer = LresultFromObject(IID_IDispatch, wParam, static_cast<IAccessible*>(object));
  object->Release();
  // A failure comes back as a negative HRESULT, which must not go back as an answer.
  return answer > 0 ? answer : 0;
}

std::string StripAccelChars(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '&') {
      out += '&';
      ++i;
    }
  }
  return out;
}
