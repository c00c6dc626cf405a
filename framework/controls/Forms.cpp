#include "Forms.h"

#include <algorithm>

#include "Filer.h"


TApplication* Application = nullptr;
TScreen* Screen = nullptr;

const std::vector<std::string> BorderIconNames = {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};
const std::vector<std::string> PositionNames = {"poDesigned", "poDefault", "poDefaultPosOnly",
                                                "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
                                                "poMainFormCenter", "poOwnerFormCenter"};

namespace {
const char* const kAppClass = "TApplication";

void ForwardWindowException(TObject* sender) {
  if (Application) Application->HandleException(sender);
}

LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* app = reinterpret_cast<TApplication*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!app) return DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    app->HandleAppMessage(m);
  } catch (...) {
    app->HandleException(app);
  }
  return m.Result;
}
}  // namespace

void InitApplication() {
  if (!Application) {
    HandleWindowProcException = &ForwardWindowException;
    Application = new TApplication(nullptr);
    Screen = new TScreen(nullptr);
  }
}

// ---------------------------------------------------------------------------
// TApplication

const TClassInfo& TApplication::StaticClass() {
  static const TClassInfo info = DefineClass<TApplication>("TApplication");
  return info;
}

TApplication::TApplication(TComponent* owner) : TComponent(owner), icon_(std::make_unique<TIcon>()) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(instance, path, MAX_PATH);
  std::string name = path;
  size_t slash = name.find_last_of('\\');
  size_t dot = name.find_last_of('.');
  title_ = name.substr(slash == std::string::npos ? 0 : slash + 1,
                       dot == std::string::npos || dot < slash ? std::string::npos : dot - slash - 1);
  icon_->LoadFromResourceId(instance, 1);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, kAppClass, &wc)) {
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hIcon = icon_->Handle();
    wc.lpszClassName = kAppClass;
    RegisterClassA(&wc);
  }
  handle_ = CreateWindowExA(0, kAppClass, title_.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                            nullptr, nullptr, instance, nullptr);
  SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AppWindowProc));
}

TApplication::~TApplication() {
  for (int i = ComponentCount() - 1; i >= 0; --i)
    if (auto* f = dynamic_cast<TForm*>(Components(i))) f->BeforeDestruction();
  DestroyComponents();
  if (handle_) {
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
}

void TApplication::SetTitle(const std::string& value) {
  if (title_ == value) return;
  title_ = value;
  if (handle_) SetWindowTextA(handle_, value.c_str());
}

std::string TApplication::ExeName() const {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

std::string TApplication::ExeFolder() const {
  std::string name = ExeName();
  size_t slash = name.find_last_of('\\');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

void TApplication::RegisterForm(TForm* form) {
  Screen->forms_.push_back(form);
  if (!mainForm_) mainForm_ = form;
  form->ReadFormResource();
  form->DoCreate();
}

bool TApplication::HandleMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  while (HandleMessage()) {
  }
}

void TApplication::Run() {
  if (mainForm_ && ShowMainForm) mainForm_->SetVisible(true);
  while (!terminated_) {
    MSG msg;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      terminated_ = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::Minimize() {
  if (minimized_) return;
  minimized_ = true;
  hiddenForMinimize_.clear();
  for (TForm* f : Screen->forms_) {
    if (f->HandleAllocated() && IsWindowVisible(f->Handle())) {
      hiddenForMinimize_.push_back(f->Handle());
      ShowWindow(f->Handle(), SW_HIDE);
    }
  }
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (!minimized_) return;
  minimized_ = false;
  for (HWND h : hiddenForMinimize_) {
    // A form the program hid or closed meanwhile stays hidden.
    if (!IsWindow(h)) continue;
    TWinControl* form = TWinControl::FindControl(h);
    if (!form || form->Visible()) ShowWindow(h, SW_SHOWNORMAL);
  }
  hiddenForMinimize_.clear();
  if (mainForm_ && mainForm_->HandleAllocated() && IsWindowVisible(mainForm_->Handle()))
    SetForegroundWindow(mainForm_->Handle());
  if (OnRestore) OnRestore(this);
}

int TApplication::HookMainWindow(TWindowHook hook) {
  int id = nextHook_++;
  hooks_.emplace_back(id, std::move(hook));
  return id;
}

void TApplication::UnhookMainWindow(int id) {
  hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [id](const auto& h) { return h.first == id; }),
               hooks_.end());
}

void TApplication::HandleAppMessage(TMessage& m) {
  // A hook may remove itself or others while it runs: iterate over a copy, and
  // skip the hooks removed meanwhile, whose owners may already be gone.
  auto hooks = hooks_;
  for (auto& entry : hooks) {
    const int id = entry.first;
    if (std::none_of(hooks_.begin(), hooks_.end(), [id](const auto& h) { return h.first == id; })) continue;
    if (entry.second(m)) return;
  }
  switch (m.Msg) {
    case WM_SYSCOMMAND:
      switch (m.WParam & 0xFFF0) {
        case SC_MINIMIZE: Minimize(); return;
        case SC_RESTORE: Restore(); return;
        case SC_CLOSE:
          if (mainForm_) mainForm_->Close();
          return;
      }
      break;
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return;
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) != WA_INACTIVE && mainForm_ && mainForm_->HandleAllocated() &&
          IsWindowVisible(mainForm_->Handle()))
        SetActiveWindow(mainForm_->Handle());
      return;
  }
  m.Result = DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam);
}

void TApplication::HandleException(TObject* sender) {
  std::exception_ptr ep = std::current_exception();
  if (!ep) return;
  if (OnException) {
    OnException(sender, ep);
    return;
  }
  try {
    std::rethrow_exception(ep);
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(Exception("Unknown exception"));
  }
}

void TApplication::ShowException(const std::exception& e) {
  HWND owner = nullptr;
  if (TForm* f = Screen ? Screen->ActiveForm() : nullptr; f && f->HandleAllocated()) owner = f->Handle();
  MessageBoxA(owner, e.what(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

// ---------------------------------------------------------------------------
// TScreen

const TClassInfo& TScreen::StaticClass() {
  static const TClassInfo info = DefineClass<TScreen>("TScreen");
  return info;
}

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

TForm* TScreen::ActiveForm() const {
  HWND active = GetActiveWindow();
  for (TForm* f : forms_)
    if (f->HandleAllocated() && f->Handle() == active) return f;
  return nullptr;
}

// ---------------------------------------------------------------------------
// TForm

const TClassInfo& TForm::StaticClass() {
  static const TClassInfo info = DefineClass<TForm>("TForm", [](TClassBuilder<TForm>& c) {
    c.Enum("BorderStyle", BorderStyleNames, &TForm::BorderStyle, &TForm::SetBorderStyle, bsSizeable)
        .Set("BorderIcons", BorderIconNames, &TForm::BorderIcons, &TForm::SetBorderIcons,
             TBorderIcons{biSystemMenu, biMinimize, biMaximize})
        .Int("ClientWidth", &TForm::FormClientWidth, &TForm::SetClientWidth, 0, false)
        .Int("ClientHeight", &TForm::FormClientHeight, &TForm::SetClientHeight, 0, false)
        .Bool("KeyPreview", &TForm::KeyPreview, &TForm::SetKeyPreview, false)
        .Enum("Position", PositionNames, &TForm::Position, &TForm::SetPosition, poDesigned)
        .Event("OnActivate", &TForm::OnActivate)
        .Event("OnClose", &TForm::OnClose)
        .Event("OnCloseQuery", &TForm::OnCloseQuery)
        .Event("OnCreate", &TForm::OnCreate)
        .Event("OnDeactivate", &TForm::OnDeactivate)
        .Event("OnDestroy", &TForm::OnDestroy)
        .Event("OnHide", &TForm::OnHide)
        .Event("OnPaint", &TForm::OnPaint)
        .Event("OnShow", &TForm::OnShow);
  });
  return info;
}

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
  ControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  SetColor(clBtnFace);
  SetParentFont(false);
  SetVisible(false);
  SetBounds(0, 0, 320, 240);
}

TForm::~TForm() {
  if (Screen) {
    auto& forms = Screen->forms_;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  }
  if (Application && Application->mainForm_ == this) Application->mainForm_ = nullptr;
}

void TForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE: return WMClose(m);
    case WM_SYSCOMMAND: return WMSysCommand(m);
    case WM_ACTIVATE: return WMActivate(m);
    case CM_VISIBLECHANGED: return CMVisibleChanged(m);
    case CM_RELEASE: return CMRelease(m);
    case CM_CHILDKEY: return CMChildKey(m);
    case CM_DIALOGKEY: return CMDialogKey(m);
    default: return inherited::Dispatch(m);
  }
}

void TForm::ReadFormResource() {
  const std::string name = UpperCase(ClassName());
  if (!FindResourceA(GetModuleHandleA(nullptr), name.c_str(), MAKEINTRESOURCEA(10))) return;
  ReadComponentRes(this, name);
}

void TForm::BeforeDestruction() {
  if (OnDestroy) OnDestroy(this);
  Destroying();
  DestroyHandle();
}

void TForm::DoCreate() {
  try {
    if (OnCreate) OnCreate(this);
  } catch (...) {
    Application->HandleException(this);
  }
}

static DWORD FormStyle(TFormBorderStyle border, TBorderIcons icons, DWORD& exStyle) {
  DWORD style = WS_CLIPCHILDREN;
  exStyle = 0;
  switch (border) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
      exStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      style |= WS_CAPTION;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      style |= WS_CAPTION | WS_THICKFRAME;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (icons.Contains(biSystemMenu)) style |= WS_SYSMENU;
  if (border != bsDialog && icons.Contains(biMinimize)) style |= WS_MINIMIZEBOX;
  if (border != bsDialog && icons.Contains(biMaximize)) style |= WS_MAXIMIZEBOX;
  return style;
}

RECT TForm::ClientRect() const {
  if (HandleAllocated()) return TWinControl::ClientRect();
  DWORD ex = 0;
  DWORD style = FormStyle(borderStyle_, borderIcons_, ex);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, ex);
  return RECT{0, 0, std::max<LONG>(0, width_ - (frame.right - frame.left)),
              std::max<LONG>(0, height_ - (frame.bottom - frame.top))};
}

void TForm::SetClientWidth(int v) { SetWidth(Width() - ClientWidth() + v); }
void TForm::SetClientHeight(int v) { SetHeight(Height() - ClientHeight() + v); }

void TForm::SetBorderStyle(TFormBorderStyle value) {
  if (borderStyle_ == value) return;
  int cw = ClientWidth(), ch = ClientHeight();
  borderStyle_ = value;
  if (!HandleAllocated()) SetBounds(Left(), Top(), Width() - ClientWidth() + cw, Height() - ClientHeight() + ch);
  RecreateWnd();
}

void TForm::SetBorderIcons(TBorderIcons value) {
  if (borderIcons_ == value) return;
  borderIcons_ = value;
  RecreateWnd();
}

void TForm::SetActiveControl(TWinControl* value) {
  activeControl_ = value;
  if (value && HandleAllocated() && IsWindowVisible(Handle()) && value->CanFocus()) value->SetFocus();
}

void TForm::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = FormStyle(borderStyle_, borderIcons_, p.ExStyle);
  p.WndParent = Application ? Application->Handle() : nullptr;
  if (position_ == poScreenCenter || position_ == poDesktopCenter || position_ == poMainFormCenter ||
      position_ == poOwnerFormCenter) {
    p.X = (GetSystemMetrics(SM_CXSCREEN) - p.Width) / 2;
    p.Y = (GetSystemMetrics(SM_CYSCREEN) - p.Height) / 2;
  }
}

void TForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TForm::VisibleChanging() {}

void TForm::CMVisibleChanged(TMessage&) {
  if (ComponentState().Contains(csLoading)) return;
  if (Visible()) {
    HWND h = Handle();
    if (position_ == poScreenCenter || position_ == poDesktopCenter) {
      RECT r{};
      GetWindowRect(h, &r);
      int w = r.right - r.left, hgt = r.bottom - r.top;
      SetBounds((GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - hgt) / 2, w, hgt);
    }
    ShowWindow(h, SW_SHOWNORMAL);
    if (OnShow) OnShow(this);
  } else if (HandleAllocated()) {
    if (OnHide) OnHide(this);
    ShowWindow(Handle(), SW_HIDE);
  }
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  // A modal form ends its loop with the cancel result; ShowModal hides it.
  if (modal_) {
    ModalResult = IDCANCEL;
    return;
  }
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: if (HandleAllocated()) ShowWindow(Handle(), SW_MINIMIZE); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TForm::Release() {
  if (HandleAllocated()) PostMessageA(Handle(), CM_RELEASE, 0, 0);
  else delete this;
}

void TForm::CMRelease(TMessage&) { delete this; }

void TForm::CMChildKey(TMessage& m) {
  m.Result = 0;
  if (!keyPreview_) return;
  WORD key = static_cast<WORD>(m.WParam);
  KeyDown(key, KeyDataToShiftState(m.LParam));
  m.Result = key == 0 ? 1 : 0;
}

void TForm::CMDialogKey(TMessage& m) {
  inherited::Dispatch(m);
  if (m.Result != 0 || m.WParam != VK_TAB) return;
  if (GetKeyState(VK_CONTROL) < 0 || (m.LParam & 0x20000000)) return;
  m.Result = SelectNext(GetKeyState(VK_SHIFT) >= 0) ? 1 : 0;
}

int TForm::ShowModal() {
  modal_ = true;
  ModalResult = 0;
  HWND owner = nullptr;
  if (Application && Application->MainForm() && Application->MainForm() != this &&
      Application->MainForm()->HandleAllocated())
    owner = Application->MainForm()->Handle();
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  Show();
  SetForegroundWindow(Handle());
  while (ModalResult == 0 && !Application->Terminated()) {
    if (!Application->HandleMessage()) WaitMessage();
  }
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  Hide();
  modal_ = false;
  return ModalResult;
}

void TForm::WMClose(TMessage&) { Close(); }

void TForm::WMSysCommand(TMessage& m) {
  // The main form's minimize and restore commands belong to the application:
  // they reach its window, where its hooks see them first.
  UINT cmd = static_cast<UINT>(m.WParam & 0xFFF0);
  if (Application && Application->MainForm() == this && (cmd == SC_MINIMIZE || cmd == SC_RESTORE)) {
    m.Result = SendMessageA(Application->Handle(), WM_SYSCOMMAND, m.WParam, m.LParam);
    return;
  }
  DefaultHandler(m);
}

void TForm::WMActivate(TMessage& m) {
  DefaultHandler(m);
  if (LOWORD(m.WParam) == WA_INACTIVE) {
    if (OnDeactivate) OnDeactivate(this);
  } else {
    if (activeControl_ && activeControl_->CanFocus()) activeControl_->SetFocus();
    if (OnActivate) OnActivate(this);
  }
}

void TForm::WMDestroy(TMessage& m) { DefaultHandler(m); }
