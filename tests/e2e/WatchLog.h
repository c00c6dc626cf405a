#pragma once
// The shared record between a watcher (the end-to-end harness, the start-up
// benchmark) and the hook library ZapnixWatch.dll that it installs on the
// main thread of a process it starts.

// Events in the order the watched window saw them.
constexpr char kWatchShown = 'S';
constexpr char kWatchPaint = 'P';
constexpr char kWatchHidden = 'H';

// Named per UI thread of the watched process: "Local\ZapnixWatch-<thread id>".
constexpr char kWatchLogNameFormat[] = "Local\\ZapnixWatch-%lu";

// Sent to the watched window: the hook, inside the watched process, counts
// the live objects of the process into the log (wParam kWatchCount), or
// first makes and keeps one object of each kind (wParam kWatchPlantLeak), so
// that a watcher can show that a leak is seen.
constexpr char kWatchCountMessageName[] = "ZapnixWatchCount";
constexpr unsigned kWatchCount = 0;
constexpr unsigned kWatchPlantLeak = 1;

// Live objects of the watched process. The system's per-process object
// counters are not implemented everywhere (not under Wine), so the hook finds
// the objects itself: GDI objects through the process's handle table, windows
// by enumeration, menus and icons through the process's user-handle slots.
struct WatchCounts {
  long gdiObjects;  // pens, brushes, fonts, bitmaps, regions, palettes and DCs
  long windows;     // top-level windows and their descendants
  long menus;
  long icons;       // icons and cursors
  long answers;     // count requests answered so far
  long gdiByType[16];  // GDI objects by their GetObjectType (OBJ_PEN 1 ... OBJ_COLORSPACE 14)
};

// Sent to any window of the watched thread with wParam 0: the hook copies
// what the window shows of its client area, read from the window's own
// device context inside the process, into the picture block
// "Local\ZapnixWatchPicture-<thread id>" that the watcher created (from
// outside, Wine's screen gives back no true pixels of another process's
// windows). Rows top-down, pixels 0x00RRGGBB.
constexpr char kWatchCaptureMessageName[] = "ZapnixWatchCapture";
constexpr char kWatchPictureNameFormat[] = "Local\\ZapnixWatchPicture-%lu";
constexpr long kWatchPictureMaxPixels = 1024 * 768;
struct WatchPicture {
  long answers;  // capture requests answered so far
  long width;    // 0 when the window could not be read or is too big
  long height;
  unsigned pixels[kWatchPictureMaxPixels];
};

struct WatchLog {
  char watchedClass[32];  // window class of the top-level window to watch, zero-terminated
  long count;             // events noted so far, also those beyond the buffer
  char events[220];       // the first events, one letter each
  WatchCounts counts;     // the answer to the last count request
};
