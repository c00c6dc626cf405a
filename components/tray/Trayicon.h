#pragma once
// TTrayIcon: one icon in the taskbar's notification area. It turns the shell's
// mouse notifications into component events, restores the application or opens
// a pop-up menu on a chosen mouse action, hides the application into the
// notification area when it is minimised, and animates the icon through the
// pictures of an image list.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "Classes.h"
#include "Controls.h"

class TIcon;
class TImageList;
class TPopupMenu;
class TTimer;

// Which mouse action restores the application or opens the menu.
enum TTrayIconMessage : uint8_t {
  imClick,
  imDoubleClick,
  imMouseDown,
  imMouseUp,
  imLeftClickUp,
  imLeftDoubleClick,
  imRightClickUp,
  imRightDoubleClick,
  imNone
};
extern const std::vector<std::string> TrayIconMessageNames;

// The shell's record for our icon: the layout of shell version 5 (488 bytes on
// 32-bit Windows), which every shell since then accepts. Fields after it in the
// current headers stay zero and are not counted in cbSize.
inline constexpr DWORD kTrayIconDataSize = NOTIFYICONDATAA_V2_SIZE;
#if defined(_WIN32) && !defined(_WIN64)
static_assert(kTrayIconDataSize == 488, "the version-5 tray record is 488 bytes on 32-bit Windows");
#endif

class TTrayIcon : public TComponent {
  ZX_CLASS(TTrayIcon, TComponent)
 public:
  // The message the shell sends to the hidden window for our icon's mouse events.
  static constexpr UINT kCallbackMessage = WM_USER + 1;

  // Every call to the shell goes through this pointer; tests replace it to
  // record the calls or to make the shell refuse.
  using TShellNotify = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA data);
  static TShellNotify ShellNotify;

  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // Adds (true) or deletes (false) the icon on every call, shown or not.
  virtual void SetVisible(bool value);
  // The hidden window's procedure.
  virtual void DoMessage(TMessage& message);
  virtual void DoClick();
  virtual void DoDblClick();
  virtual void DoMouseMove(TShiftState shift, int x, int y);
  virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  // One step of the animation; the timer calls it.
  virtual void DoOnAnimate(TObject* sender);
  // Hides the application into the notification area / brings it back.
  virtual void Minimize();
  virtual void Restore();
  // Pushes the current icon to the shell.
  virtual void Update();
  // Opens the pop-up menu at the cursor.
  virtual void ShowMenu();
  virtual void SetIconIndex(int index);
  // Shows a copy of the application's icon.
  virtual void SetDefaultIcon();

  bool Visible() const { return visible_; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);
  bool Hide() const { return hide_; }
  void SetHide(bool value);
  TTrayIconMessage RestoreOn() const { return restoreOn_; }
  void SetRestoreOn(TTrayIconMessage value) { restoreOn_ = value; }
  TTrayIconMessage PopupMenuOn() const { return popupMenuOn_; }
  void SetPopupMenuOn(TTrayIconMessage value) { popupMenuOn_ = value; }
  TImageList* Icons() const { return icons_; }
  void SetIcons(TImageList* value);
  int IconIndex() const { return iconIndex_; }
  int GetAnimateInterval() const;
  void SetAnimateInterval(int value);
  int AnimateInterval() const { return GetAnimateInterval(); }
  bool GetAnimate() const { return animate_; }
  void SetAnimate(bool value);
  bool Animate() const { return GetAnimate(); }
  // The hidden window that receives the shell's notifications (none at design time).
  HWND GetHandle() const { return window_.get(); }
  HWND Handle() const { return GetHandle(); }

  // The picture shown in the notification area, owned by the component.
  TIcon* Icon() const { return icon_.get(); }
  // The animation timer, owned by the component.
  TTimer* AnimateTimer() const { return timer_.get(); }
  // The record handed to the shell on every call.
  const NOTIFYICONDATAA& IconData() const { return data_; }

  // Deletes the icon from the notification area; a refusal is ignored.
  void EndSession();
  // True while the shell holds the icon: after an add it accepted and until
  // the icon is deleted. Visible says only what was asked for.
  bool InTray() const { return inTray_; }
  // Adds a visible icon once more, as after the shell's taskbar was created
  // again; a refusal is ignored.
  void AddAgain();
  // The keyboard's shift, ctrl and alt keys as they are now.
  static TShiftState ShiftState();
  // Sees the application window's messages: minimise and restore commands
  // hide and bring back the application. Never swallows the message.
  bool ApplicationHookProc(TMessage& message);

  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TMouseMoveEvent OnMouseMove;
  TMouseMoveEvent OnMouseExit;
  TMouseMoveEvent OnMouseEnter;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnAnimate;
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

 protected:
  void WMQueryEndSession(TMessage& message);
  void WMEndSession(TMessage& message);
  void TrayNotify(TMessage& message);

 private:
  struct UtilWindowDeleter {
    void operator()(HWND window) const noexcept;
  };
  using UtilWindow = std::unique_ptr<std::remove_pointer_t<HWND>, UtilWindowDeleter>;

  bool Designing() const { return ComponentState().Contains(csDesigning); }
  // Restores and then opens the menu when the settings name `action`.
  void RestoreOrShowMenu(TTrayIconMessage action);
  // Asks the shell for the keyboard's notifications besides the mouse's.
  void RequestKeyboardNotifications();
  void CopyApplicationIcon();
  void InstallHook();
  void RemoveHook();

  NOTIFYICONDATAA data_{};
  std::unique_ptr<TIcon> icon_;
  TImageList* icons_ = nullptr;
  TPopupMenu* popupMenu_ = nullptr;
  std::unique_ptr<TTimer> timer_;
  std::string hint_;
  int iconIndex_ = 0;
  bool visible_ = false;
  bool hide_ = true;
  bool animate_ = false;
  bool inTray_ = false;
  // When the right button was last released over the icon (GetTickCount):
  // the shell follows that release with a context-menu notification, which
  // must not open the menu a second time.
  DWORD rightUpTick_ = 0;
  bool rightUpPending_ = false;
  TTrayIconMessage restoreOn_ = imDoubleClick;
  TTrayIconMessage popupMenuOn_ = imNone;
  UtilWindow window_;
  // The application's hook list may hold a copy of our hook while it runs the
  // hooks of one message; the hook reaches us only through this cell, which
  // the destructor clears, so a copy outliving us does nothing.
  std::shared_ptr<TTrayIcon*> hookTarget_;
  int hookId_ = 0;
};
