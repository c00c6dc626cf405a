#include "Utilwindow.h"

void (*HandleWindowProcException)(TObject* sender) = nullptr;

namespace {
const char* const kUtilClass = "TPUtilWindow";

struct UtilWindow {
  std::function<void(TMessage&)> method;
};

LRESULT CALLBACK UtilWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<UtilWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!data || !data->method) return DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    data->method(m);
  } catch (...) {
    if (HandleWindowProcException) HandleWindowProcException(nullptr);
  }
  return m.Result;
}
}  // namespace

HWND AllocateHWnd(std::function<void(TMessage&)> method) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, kUtilClass, &wc)) {
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = kUtilClass;
    if (!RegisterClassA(&wc)) throw EOutOfResources("Cannot register the utility window class");
  }
  HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           instance, nullptr);
  if (!h) throw EOutOfResources("Cannot create a utility window");
  auto* data = new UtilWindow{std::move(method)};
  SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
  SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&UtilWindowProc));
  return h;
}

void DeallocateHWnd(HWND window) {
  if (!window) return;
  auto* data = reinterpret_cast<UtilWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  delete data;
}

