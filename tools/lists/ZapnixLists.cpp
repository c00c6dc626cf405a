// ZapnixLists: exports, imports and searches the white and black lists of
// Zapnix from the command line, through the same store as the program.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Commands.h"
#include "ListFile.h"

namespace {

constexpr char kUsage[] =
    "usage: ZapnixLists <command> [arguments]\r\n"
    "  export white|black [FILE]           write the list, one URL a line (UTF-8, CR LF),\r\n"
    "                                      to FILE or to standard output\r\n"
    "  import white|black FILE [--replace] [--close]\r\n"
    "                                      add the URLs of FILE to the list, or replace it;\r\n"
    "                                      --close first closes a running Zapnix\r\n"
    "  find TEXT                           every URL of either list that contains TEXT\r\n"
    "  status                              the number of URLs of each list, and whether\r\n"
    "                                      Zapnix runs\r\n"
    "FILE is UTF-8 (with or without byte-order mark) or ANSI text; blank lines and lines\r\n"
    "starting with # are skipped, and a URL that differs from an earlier one only in\r\n"
    "letter case is taken once.\r\n"
    "exit codes: 0 done, 1 nothing found, 2 bad arguments, 3 file or list refused (nothing\r\n"
    "written), 4 done but URLs left out, 5 Zapnix runs, 6 registry or file error\r\n";

// Text goes to a console as characters, elsewhere (pipes, files) as UTF-8 bytes.
void Write(DWORD which, const std::string& utf8) {
  if (utf8.empty()) return;
  const HANDLE handle = GetStdHandle(which);
  if (!handle || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  std::u16string text;
  if (GetConsoleMode(handle, &mode) && lists::DecodeUtf8(utf8, text)) {
    const std::wstring wide(text.begin(), text.end());
    for (size_t done = 0; done < wide.size();) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
      if (!WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) || written == 0) return;
      done += written;
    }
    return;
  }
  for (size_t done = 0; done < utf8.size();) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(utf8.size() - done, 1u << 20));
    if (!WriteFile(handle, utf8.data() + done, chunk, &written, nullptr) || written == 0) return;
    done += written;
  }
}

lists::Outcome Usage(int code, const std::string& why) {
  lists::Outcome outcome;
  outcome.code = code;
  if (!why.empty()) outcome.err = "ZapnixLists: " + why + "\r\n";
  // Asked for, the usage is the output; after a mistake it goes with the error.
  (code == lists::kDone ? outcome.out : outcome.err) += kUsage;
  return outcome;
}

lists::Outcome Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage(lists::kBadArguments, "no command given");
  const std::string& command = args[0];
  std::vector<std::string> operands;
  bool replace = false, close = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--replace" && command == "import") replace = true;
    else if (args[i] == "--close" && command == "import") close = true;
    else if (args[i].size() > 2 && args[i].compare(0, 2, "--") == 0)
      return Usage(lists::kBadArguments, "unknown option \"" + args[i] + "\" for " + command);
    else operands.push_back(args[i]);
  }
  if (command == "export") {
    if (operands.empty() || operands.size() > 2) return Usage(lists::kBadArguments, "export takes a list and a file");
    return lists::Export(operands[0], operands.size() == 2 ? operands[1] : std::string());
  }
  if (command == "import") {
    if (operands.size() != 2) return Usage(lists::kBadArguments, "import takes a list and a file");
    return lists::Import(operands[0], operands[1], replace, close);
  }
  if (command == "find") {
    if (operands.size() != 1) return Usage(lists::kBadArguments, "find takes one text");
    return lists::Find(operands[0]);
  }
  if (command == "status") {
    if (!operands.empty()) return Usage(lists::kBadArguments, "status takes no argument");
    return lists::Status();
  }
  if (command == "help" || command == "--help" || command == "/?") return Usage(lists::kDone, "");
  return Usage(lists::kBadArguments, "unknown command \"" + command + "\"");
}

}  // namespace

int main() {
  // The arguments as the user typed them, also where the ANSI code page
  // cannot hold them (a file name, a text to find).
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) {
    const std::wstring arg(wide[i]);
    args.push_back(lists::EncodeUtf8(std::u16string(arg.begin(), arg.end())));
  }
  if (wide) LocalFree(wide);
  const lists::Outcome outcome = Run(args);
  Write(STD_OUTPUT_HANDLE, outcome.out);
  Write(STD_ERROR_HANDLE, outcome.err);
  return outcome.code;
}
