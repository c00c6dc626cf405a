#pragma once
// The shared record between the end-to-end harness and the hook library
// ZapnixWatch.dll that it installs into a Zapnix process (see E2e.h).

// Events in the order the main window saw them.
constexpr char kWatchShown = 'S';
constexpr char kWatchPaint = 'P';
constexpr char kWatchHidden = 'H';

constexpr char kWatchedClass[] = "TForm1";
// Named per UI thread of the watched process: "Local\ZapnixWatch-<thread id>".
constexpr char kWatchLogNameFormat[] = "Local\\ZapnixWatch-%lu";

struct WatchLog {
  long count;        // events noted so far, also those beyond the buffer
  char events[252];  // the first events, one letter each
};
