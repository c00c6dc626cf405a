#include "Trayicon.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "Forms.h"
#include "Icons.h"
#include "Imglist.h"
#include "Menus.h"
#include "Strres.h"
#include "Timer.h"

namespace {
// String resources of the shell's two refusals that are reported.
constexpr unsigned kCannotCreateIcon = 0;
constexpr unsigned kCannotRemoveIcon = 5;

// A boolean written and read as the form text writes booleans.
const std::vector<std::string> kBooleanNames = {"False", "True"};

// The shell broadcasts this message to every top-level window when its
// taskbar is created again (after the shell restarted); the icons it held
// are gone then and have to be added anew.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}
}  // namespace

const std::vector<std::string> TrayIconMessageNames = {
    "imClick",         "imDoubleClick",     "imMouseDown",    "imMouseUp", "imLeftClickUp",
    "imLeftDoubleClick", "imRightClickUp", "imRightDoubleClick", "imNone"};

TTrayIcon::TShellNotify TTrayIcon::ShellNotify = &Shell_NotifyIconA;

const TClassInfo& TTrayIcon::StaticClass() {
  static const TClassInfo info = DefineClass<TTrayIcon>("TTrayIcon", [](TClassBuilder<TTrayIcon>& c) {
    c.Bool("Visible", &TTrayIcon::Visible, &TTrayIcon::SetVisible, false)
        .Str("Hint", &TTrayIcon::Hint, &TTrayIcon::SetHint)
        .Ref<TPopupMenu>("PopupMenu", &TTrayIcon::PopupMenu, &TTrayIcon::SetPopupMenu)
        // Hide, RestoreOn and PopupMenuOn start with values other than their
        // declared defaults (true, imDoubleClick, imNone against false, imClick,
        // imClick). Left to the default rule, a value equal to the declared
        // default would not be written and would read back as the starting
        // value; so these three are written whatever they hold. Form text that
        // leaves them out still reads as before.
        .Enum("Hide", kBooleanNames, &TTrayIcon::Hide, &TTrayIcon::SetHide, false, /*hasDefault=*/false)
        .Enum("RestoreOn", TrayIconMessageNames, &TTrayIcon::RestoreOn, &TTrayIcon::SetRestoreOn, imClick,
              /*hasDefault=*/false)
        .Enum("PopupMenuOn", TrayIconMessageNames, &TTrayIcon::PopupMenuOn, &TTrayIcon::SetPopupMenuOn, imClick,
              /*hasDefault=*/false)
        .Ref<TImageList>("Icons", &TTrayIcon::Icons, &TTrayIcon::SetIcons)
        .Int("IconIndex", &TTrayIcon::IconIndex, &TTrayIcon::SetIconIndex, 0)
        .Int("AnimateInterval", &TTrayIcon::GetAnimateInterval, &TTrayIcon::SetAnimateInterval, 1000)
        .Bool("Animate", &TTrayIcon::GetAnimate, &TTrayIcon::SetAnimate, false)
        // Only read access matters: the window exists while the program runs.
        .Bool("Handle", [](TTrayIcon& t) { return t.GetHandle() != nullptr; }, [](TTrayIcon&, bool) {}, false)
        .ReadOnly()
        .Event("OnMinimize", &TTrayIcon::OnMinimize)
        .Event("OnRestore", &TTrayIcon::OnRestore)
        .Event("OnClick", &TTrayIcon::OnClick)
        .Event("OnMouseEnter", &TTrayIcon::OnMouseEnter)
        .Event("OnMouseExit", &TTrayIcon::OnMouseExit)
        .Event("OnMouseMove", &TTrayIcon::OnMouseMove)
        .Event("OnMouseUp", &TTrayIcon::OnMouseUp)
        .Event("OnMouseDown", &TTrayIcon::OnMouseDown)
        .Event("OnAnimate", &TTrayIcon::OnAnimate)
        .Event("OnCreate", &TTrayIcon::OnCreate)
        .Event("OnDestroy", &TTrayIcon::OnDestroy)
        .Event("OnActivate", &TTrayIcon::OnActivate)
        .Event("OnDeactivate", &TTrayIcon::OnDeactivate);
  });
  return info;
}

void TTrayIcon::UtilWindowDeleter::operator()(HWND window) const noexcept {
  DeallocateHWnd(window);
}

TTrayIcon::TTrayIcon(TComponent* owner)
    : TComponent(owner),
      icon_(std::make_unique<TIcon>()),
      timer_(std::make_unique<TTimer>(nullptr)),
      hookTarget_(std::make_shared<TTrayIcon*>(this)) {
  CopyApplicationIcon();
  OnAnimate = TNotifyEvent(this, &TTrayIcon::DoOnAnimate);
  // The timer takes the handler once: assigning OnAnimate later does not reach it.
  timer_->SetEnabled(false);
  timer_->SetOnTimer(OnAnimate);
  timer_->SetInterval(1000);
  // At design time the component never talks to the shell, so it needs no window.
  if (Designing()) return;
  window_.reset(AllocateHWnd([this](TMessage& m) { DoMessage(m); }));
  data_.cbSize = kTrayIconDataSize;
  data_.hWnd = window_.get();
  // The shell's id is 32 bits wide; on 64-bit Windows it holds the low half of
  // our address, which together with our own window still names the icon uniquely.
  data_.uID = static_cast<UINT>(reinterpret_cast<uintptr_t>(this));
  data_.uFlags = NIF_MESSAGE | NIF_ICON;
  data_.uCallbackMessage = kCallbackMessage;
  Update();
}

TTrayIcon::~TTrayIcon() {
  // A hook left behind by a shown icon must never reach a freed component.
  *hookTarget_ = nullptr;
  RemoveHook();
  timer_.reset();
  if (!Designing() && window_) ShellNotify(NIM_DELETE, &data_);
  window_.reset();
  icon_.reset();
}

void TTrayIcon::CopyApplicationIcon() {
  icon_->Assign(Application ? Application->Icon() : nullptr);
}

void TTrayIcon::InstallHook() {
  if (hookId_ != 0 || !Application) return;
  std::shared_ptr<TTrayIcon*> target = hookTarget_;
  hookId_ = Application->HookMainWindow([target](TMessage& m) {
    TTrayIcon* self = *target;
    return self != nullptr && self->ApplicationHookProc(m);
  });
}

void TTrayIcon::RemoveHook() {
  if (hookId_ == 0) return;
  if (Application) Application->UnhookMainWindow(hookId_);
  hookId_ = 0;
}

void TTrayIcon::Loaded() {
  inherited::Loaded();
  if (icons_) {
    timer_->SetEnabled(animate_);
    icons_->GetIcon(iconIndex_, icon_.get());
  } else {
    animate_ = false;
    CopyApplicationIcon();
  }
  Update();
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation != opRemove || !component) return;
  if (component == icons_)
    icons_ = nullptr;
  else if (component == popupMenu_)
    popupMenu_ = nullptr;
}

void TTrayIcon::SetVisible(bool value) {
  visible_ = value;
  if (Designing()) return;
  data_.hIcon = icon_->Handle();
  if (value) {
    if (!ShellNotify(NIM_ADD, &data_)) throw EOutOfResources(LoadStringBuffer(kCannotCreateIcon, 4096));
    inTray_ = true;
    RequestKeyboardNotifications();
    hide_ = true;
    InstallHook();
  } else {
    if (!ShellNotify(NIM_DELETE, &data_)) throw EOutOfResources(LoadStringBuffer(kCannotRemoveIcon, 4096));
    inTray_ = false;
    hide_ = false;
    RemoveHook();
  }
}

void TTrayIcon::AddAgain() {
  if (!visible_ || Designing()) return;
  data_.hIcon = icon_->Handle();
  // The new taskbar knows nothing of the icon: an add, with the picture and
  // the hint the record holds now. A refusal leaves things as they were; the
  // next restart of the shell tries again.
  if (!ShellNotify(NIM_ADD, &data_)) return;
  inTray_ = true;
  RequestKeyboardNotifications();
  hide_ = true;
  InstallHook();
}

// Version 3 of the notifications keeps lParam as the mouse message, as every
// mouse row of TrayNotify expects, and adds NIN_SELECT after a left click,
// NIN_KEYSELECT for Enter or Space on the icon and WM_CONTEXTMENU for the
// menu key, Shift+F10 and after a right click. (Version 4 would move the
// message into lParam's low word and change every mouse row.) The version
// lives in the record only for this call: the record sent with every other
// call keeps its fields beyond the tip zero. A shell that refuses the
// version sends the mouse messages alone, as before.
void TTrayIcon::RequestKeyboardNotifications() {
  data_.uVersion = NOTIFYICON_VERSION;
  ShellNotify(NIM_SETVERSION, &data_);
  data_.uVersion = 0;
}

void TTrayIcon::SetHint(const std::string& value) {
  // The shell of version 4 shows at most 63 characters; longer hints are refused.
  if (value == hint_ || value.size() >= 64) return;
  hint_ = value;
  size_t n = std::min(value.size(), sizeof data_.szTip - 1);
  std::memset(data_.szTip, 0, sizeof data_.szTip);
  std::memcpy(data_.szTip, value.data(), n);
  if (value.empty())
    data_.uFlags &= ~NIF_TIP;
  else
    data_.uFlags |= NIF_TIP;
  Update();
}

void TTrayIcon::SetPopupMenu(TPopupMenu* value) {
  if (popupMenu_ == value) return;
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = value;
  // A menu of another owner tells us of its end too, so the reference never dangles.
  if (value) value->FreeNotification(this);
}

void TTrayIcon::SetIcons(TImageList* value) {
  if (icons_ == value) return;
  if (icons_) icons_->RemoveFreeNotification(this);
  icons_ = value;
  if (value) value->FreeNotification(this);
}

void TTrayIcon::SetHide(bool value) {
  hide_ = value;
}

int TTrayIcon::GetAnimateInterval() const {
  return static_cast<int>(std::min<unsigned>(timer_->Interval(), INT_MAX));
}

void TTrayIcon::SetAnimateInterval(int value) {
  // A negative interval would become an enormous unsigned one; 0 stops the timer instead.
  timer_->SetInterval(value < 0 ? 0u : static_cast<unsigned>(value));
}

void TTrayIcon::SetAnimate(bool value) {
  // While loading, the image list may not be fixed up yet: Loaded starts the timer.
  if (icons_ || ComponentState().Contains(csLoading)) animate_ = value;
  if (icons_ && !Designing()) timer_->SetEnabled(value);
}

void TTrayIcon::Update() {
  if (Designing()) return;
  data_.hIcon = icon_->Handle();
  // A refused modify leaves the old picture; there is nothing better to do.
  if (visible_) ShellNotify(NIM_MODIFY, &data_);
}

void TTrayIcon::SetIconIndex(int index) {
  // No comparison with the old index: the animation and the main window
  // rely on this to reload the picture of the current index.
  iconIndex_ = index;
  if (icons_) icons_->GetIcon(index, icon_.get());
  Update();
}

void TTrayIcon::SetDefaultIcon() {
  CopyApplicationIcon();
  Update();
}

void TTrayIcon::DoOnAnimate(TObject* /*sender*/) {
  if (!icons_) return;
  // Our image list holds its images whether or not it has made a system
  // handle yet, so its count is taken as it stands.
  int count = icons_->Count();
  // The step after the last image shows an empty icon, which makes the
  // animation blink before it starts over.
  if (iconIndex_ < count)
    ++iconIndex_;
  else
    iconIndex_ = 0;
  SetIconIndex(iconIndex_);
  Update();
}

void TTrayIcon::EndSession() {
  ShellNotify(NIM_DELETE, &data_);
  inTray_ = false;
}

TShiftState TTrayIcon::ShiftState() {
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0) shift << ssShift;
  if (GetKeyState(VK_CONTROL) < 0) shift << ssCtrl;
  if (GetKeyState(VK_MENU) < 0) shift << ssAlt;
  return shift;
}

void TTrayIcon::DoMessage(TMessage& message) {
  switch (message.Msg) {
    case WM_QUERYENDSESSION: WMQueryEndSession(message); break;
    case WM_ENDSESSION: WMEndSession(message); break;
    case kCallbackMessage: TrayNotify(message); break;
    default:
      if (message.Msg == TaskbarCreatedMessage()) AddAgain();
      break;
  }
  // The window is never shown and has nothing for the default procedure to
  // do: every other message is answered with 0.
}

void TTrayIcon::WMQueryEndSession(TMessage& message) {
  message.Result = 1;
}

void TTrayIcon::WMEndSession(TMessage& /*message*/) {
  EndSession();
}

void TTrayIcon::TrayNotify(TMessage& message) {
  // The shell's notification carries no position: take the cursor's now.
  POINT at{};
  GetCursorPos(&at);
  const TShiftState shift = ShiftState();
  // Any press or key on the icon ends the wait for the shell's follow-up of
  // a right-button release; mouse moves do not.
  if (message.LParam != WM_MOUSEMOVE && message.LParam != WM_CONTEXTMENU) rightUpPending_ = false;
  switch (message.LParam) {
    case WM_MOUSEMOVE: DoMouseMove(shift, at.x, at.y); break;
    case WM_LBUTTONDOWN: DoMouseDown(mbLeft, shift + ssLeft, at.x, at.y); break;
    case WM_LBUTTONUP:
      if (OnClick) DoClick();
      DoMouseUp(mbLeft, shift + ssLeft, at.x, at.y);
      RestoreOrShowMenu(imLeftClickUp);
      break;
    case WM_LBUTTONDBLCLK: DoDblClick(); RestoreOrShowMenu(imLeftDoubleClick); break;
    case WM_RBUTTONDOWN: DoMouseDown(mbRight, shift + ssRight, at.x, at.y); break;
    case WM_RBUTTONUP:
      DoMouseUp(mbRight, shift + ssRight, at.x, at.y);
      // The follow-up may arrive while the menu is open, or just after it:
      // timed from both the release and the menu's end.
      rightUpPending_ = true;
      rightUpTick_ = GetTickCount();
      RestoreOrShowMenu(imRightClickUp);
      rightUpTick_ = GetTickCount();
      break;
    case WM_RBUTTONDBLCLK: DoDblClick(); RestoreOrShowMenu(imRightDoubleClick); break;
    case WM_MBUTTONDOWN: DoMouseDown(mbMiddle, shift + ssMiddle, at.x, at.y); break;
    case WM_MBUTTONUP: DoMouseUp(mbMiddle, shift + ssMiddle, at.x, at.y); break;
    case WM_MBUTTONDBLCLK: DoDblClick(); break;
    // The keyboard: Enter or Space on the icon does what a left click does,
    // and the menu key or Shift+F10 what a right-button release does, without
    // mouse events. NIN_SELECT only follows a left click already handled.
    case NIN_KEYSELECT:
      if (OnClick) DoClick();
      RestoreOrShowMenu(imLeftClickUp);
      break;
    case WM_CONTEXTMENU: {
      const bool followsRightUp = rightUpPending_ && GetTickCount() - rightUpTick_ <= GetDoubleClickTime();
      rightUpPending_ = false;
      if (!followsRightUp) RestoreOrShowMenu(imRightClickUp);
      break;
    }
  }
}

void TTrayIcon::RestoreOrShowMenu(TTrayIconMessage action) {
  if (restoreOn_ == action) Restore();
  if (popupMenuOn_ == action) ShowMenu();
}

void TTrayIcon::DoClick() {
  RestoreOrShowMenu(imClick);
  if (OnClick) OnClick(this);
}

void TTrayIcon::DoDblClick() {
  RestoreOrShowMenu(imDoubleClick);
  if (OnDblClick) OnDblClick(this);
}

void TTrayIcon::DoMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TTrayIcon::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  RestoreOrShowMenu(imMouseDown);
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TTrayIcon::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  RestoreOrShowMenu(imMouseUp);
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TTrayIcon::ShowMenu() {
  if (!popupMenu_) return;
  POINT at{};
  GetCursorPos(&at);
  // A menu opened from the notification area closes on a click elsewhere only
  // when one of our windows is in the foreground.
  TForm* form = Screen ? Screen->ActiveForm() : nullptr;
  if (form && form->HandleAllocated())
    SetForegroundWindow(form->Handle());
  else if (popupMenu_->WindowHandle())
    SetForegroundWindow(popupMenu_->WindowHandle());
  popupMenu_->Popup(at.x, at.y);
}

void TTrayIcon::Minimize() {
  if (Application) {
    Application->Minimize();
    ShowWindow(Application->Handle(), SW_HIDE);
  }
  if (OnMinimize) OnMinimize(this);
}

void TTrayIcon::Restore() {
  if (Application) {
    Application->Restore();
    ShowWindow(Application->Handle(), SW_RESTORE);
    SetForegroundWindow(Application->Handle());
  }
  if (OnRestore) OnRestore(this);
}

bool TTrayIcon::ApplicationHookProc(TMessage& message) {
  // wParam is compared whole: only the plain system commands count.
  if (message.Msg == WM_SYSCOMMAND) {
    if (message.WParam == SC_MINIMIZE) Minimize();
    if (message.WParam == SC_RESTORE) Restore();
  }
  // The application goes on handling the command itself.
  return false;
}
