#pragma once
// Owning wrappers for GDI and shell handles. Each one is move-only: a copy would
// free the same handle twice. The raw handle is reached through get(); release()
// gives up ownership without freeing.

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace Gdi {

// A handle of type H freed by Traits::Free(H) when the owner goes away.
template <class H, class Traits>
class Unique {
 public:
  Unique() = default;
  explicit Unique(H handle) noexcept : handle_(handle) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : handle_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Unique() { reset(); }

  H get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }
  H release() noexcept { return std::exchange(handle_, nullptr); }
  void reset(H handle = nullptr) noexcept {
    H old = std::exchange(handle_, handle);
    if (old) Traits::Free(old);
  }

 private:
  H handle_ = nullptr;
};

struct ObjectTraits {
  static void Free(HGDIOBJ h) noexcept { DeleteObject(h); }
};
struct DcTraits {
  static void Free(HDC h) noexcept { DeleteDC(h); }
};
struct IconTraits {
  static void Free(HICON h) noexcept { DestroyIcon(h); }
};
struct ImageListTraits {
  static void Free(HIMAGELIST h) noexcept { ImageList_Destroy(h); }
};

template <class H>
using Object = Unique<H, ObjectTraits>;
using Font = Object<HFONT>;
using Pen = Object<HPEN>;
using Brush = Object<HBRUSH>;
using Bitmap = Object<HBITMAP>;
using Palette = Object<HPALETTE>;
using Region = Object<HRGN>;
// A device context made with CreateCompatibleDC or CreateDC.
using Dc = Unique<HDC, DcTraits>;
using Icon = Unique<HICON, IconTraits>;
using ImageList = Unique<HIMAGELIST, ImageListTraits>;

// A device context borrowed from a window (GetDC), handed back with ReleaseDC.
class WindowDc {
 public:
  WindowDc() = default;
  // Null window: the screen.
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  WindowDc(WindowDc&& other) noexcept
      : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&& other) noexcept {
    if (this != &other) {
      reset();
      window_ = other.window_;
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  ~WindowDc() { reset(); }

  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }
  void reset() noexcept {
    if (dc_) ReleaseDC(window_, std::exchange(dc_, nullptr));
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// The device context of a WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class PaintDc {
 public:
  explicit PaintDc(HWND window) noexcept : window_(window) { dc_ = BeginPaint(window, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &ps_); }

  HDC get() const noexcept { return dc_; }
  const PAINTSTRUCT& Info() const noexcept { return ps_; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

// Selects an object into a device context and puts the previous one back when it
// goes away, so that the object can be freed afterwards. Select may be called
// again to swap in another object: the one restored is still the very first.
class Selection {
 public:
  Selection() = default;
  Selection(HDC dc, HGDIOBJ object) noexcept { Select(dc, object); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  Selection(Selection&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), old_(std::exchange(other.old_, nullptr)) {}
  Selection& operator=(Selection&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::exchange(other.dc_, nullptr);
      old_ = std::exchange(other.old_, nullptr);
    }
    return *this;
  }
  ~Selection() { Restore(); }

  void Select(HDC dc, HGDIOBJ object) noexcept {
    if (dc_ && dc_ != dc) Restore();
    HGDIOBJ previous = SelectObject(dc, object);
    if (!dc_) {
      dc_ = dc;
      old_ = previous;
    }
  }
  void Restore() noexcept {
    if (dc_ && old_) SelectObject(dc_, old_);
    dc_ = nullptr;
    old_ = nullptr;
  }
  bool Active() const noexcept { return dc_ != nullptr; }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// A memory device context compatible with the screen, with one bitmap selected
// for the lifetime of the object (the bitmap itself is not owned).
class MemoryDc {
 public:
  explicit MemoryDc(HBITMAP bitmap) noexcept : dc_(CreateCompatibleDC(nullptr)) {
    if (dc_ && bitmap) selection_.Select(dc_.get(), bitmap);
  }
  HDC get() const noexcept { return dc_.get(); }
  explicit operator bool() const noexcept { return static_cast<bool>(dc_); }

 private:
  Dc dc_;                // destroyed last
  Selection selection_;  // restored before the DC is deleted
};

}  // namespace Gdi
