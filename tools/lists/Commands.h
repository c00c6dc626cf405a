#pragma once
// The commands of ZapnixLists. Each returns its exit code and the texts for
// standard output and standard error (UTF-8, CR LF line ends), so that the
// entry function alone deals with the console.

#include <string>

namespace lists {

enum ExitCode {
  kDone = 0,
  kNothingFound = 1,   // find: no URL contains the text
  kBadArguments = 2,
  kRefused = 3,        // the file or the stored list was refused: nothing was written
  kPartly = 4,         // done, but some URLs were left out (each reported)
  kProgramRuns = 5,    // Zapnix runs, or did not close when asked to
  kFailed = 6,         // a registry or file operation failed
};

struct Outcome {
  int code = kDone;
  std::string out;
  std::string err;
};

// Paths and texts are UTF-8. `list` is "white" or "black". An empty file name
// exports to standard output.
Outcome Export(const std::string& list, const std::string& file);
Outcome Import(const std::string& list, const std::string& file, bool replace, bool close);
Outcome Find(const std::string& text);
Outcome Status();

// Reads a whole file; false with the system's reason.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& why);
// Writes a file whole: into a new file beside it that then replaces it, so
// that a failed write leaves an existing file as it was.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& why);

}  // namespace lists
