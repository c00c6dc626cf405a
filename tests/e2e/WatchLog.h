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

struct WatchLog {
  char watchedClass[32];  // window class of the top-level window to watch, zero-terminated
  long count;             // events noted so far, also those beyond the buffer
  char events[220];       // the first events, one letter each
};
