#pragma once
// Forms, the application object and the screen object.

#include <windows.h>

#include <exception>
#include <functional>
#include <vector>

#include "Controls.h"

class TForm;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;
using TExceptionEvent = TEvent<TObject*, const std::exception_ptr&>;

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
extern const std::vector<std::string> BorderIconNames;
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
                 poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
extern const std::vector<std::string> PositionNames;

// A hook on the application window's messages; returns true when it handled the message.
using TWindowHook = std::function<bool(TMessage&)>;

class TApplication : public TComponent {
  ZX_CLASS(TApplication, TComponent)
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize() {}
  HWND Handle() const { return handle_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value);
  // The program file's full path and its folder (with the trailing backslash).
  std::string ExeName() const;
  std::string ExeFolder() const;
  // The program's icon (resource 1), as the tray icon copies it.
  TIcon* Icon() const { return icon_.get(); }

  // Creates a form of class T owned by the application, reads its form
  // description and runs its OnCreate; the first form becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    T* form = new T(this);
    reference = form;
    RegisterForm(form);
  }
  TForm* MainForm() const { return mainForm_; }
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every pending message; returns at once when the queue is empty.
  void ProcessMessages();
  // Handles one message if there is one; returns false when there was none.
  bool HandleMessage();

  void Minimize();
  void Restore();
  bool Minimized() const { return minimized_; }

  // Main-window hooks: see the application window's messages before it does.
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int id);

  // Shows an exception that reached the message loop: OnException when
  // assigned, otherwise the standard error box with the title as caption.
  void HandleException(TObject* sender);
  void ShowException(const std::exception& e);
  TExceptionEvent OnException;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  bool ShowMainForm = true;

  // The window procedure of the application's hidden window: hooks first.
  void HandleAppMessage(TMessage& m);

 private:
  friend class TForm;
  void RegisterForm(TForm* form);
  HWND handle_ = nullptr;
  std::string title_;
  std::unique_ptr<TIcon> icon_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool minimized_ = false;
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHook_ = 1;
  std::vector<HWND> hiddenForMinimize_;
};

class TScreen : public TComponent {
  ZX_CLASS(TScreen, TComponent)
 public:
  explicit TScreen(TComponent* owner);
  TForm* ActiveForm() const;
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TForm* Forms(int i) const { return forms_.at(static_cast<size_t>(i)); }
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }

 private:
  friend class TForm;
  friend class TApplication;
  std::vector<TForm*> forms_;
};

extern TApplication* Application;
extern TScreen* Screen;
// Creates the application and screen objects once; the entry function and test mains call it.
void InitApplication();

class TForm : public TCustomControl {
  ZX_CLASS(TForm, TCustomControl)
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  void Dispatch(TMessage& message) override;
  void Close();
  void Show() { SetVisible(true); BringToFront(); }
  void Hide() { SetVisible(false); }
  int ShowModal();
  int ModalResult = 0;
  void Release();

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }
  int FormClientWidth() const { return ClientWidth(); }
  int FormClientHeight() const { return ClientHeight(); }
  void SetClientWidth(int v) override;
  void SetClientHeight(int v) override;
  RECT ClientRect() const override;
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* value);
  // When on, the form's OnKeyDown sees every key pressed in its controls
  // first; a handler that sets the key to 0 keeps it from the control.
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool value) { keyPreview_ = value; }

  // Reads the form description of this form's class from the program's resources.
  void ReadFormResource();
  // Runs OnCreate; an exception goes to the application's error box.
  void DoCreate();
  // Runs OnDestroy and takes the window down while the whole form still
  // exists, so that no handler of a derived form runs during its destruction.
  void BeforeDestruction();

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnPaint;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void VisibleChanging() override;
  virtual bool CloseQuery();
  virtual void DoClose(TCloseAction& action);

  void WMClose(TMessage& m);
  void WMSysCommand(TMessage& m);
  void WMActivate(TMessage& m);
  void WMDestroy(TMessage& m);
  void CMVisibleChanged(TMessage& m);
  void CMRelease(TMessage& m);
  void CMChildKey(TMessage& m);
  // Dialog keys nobody else took: Tab and Shift+Tab walk the tab order.
  void CMDialogKey(TMessage& m);

 private:
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TWinControl* activeControl_ = nullptr;
  bool modal_ = false;
  bool keyPreview_ = false;
  int clientWidth_ = -1, clientHeight_ = -1;
};
