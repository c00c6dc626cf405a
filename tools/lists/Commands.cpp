#include "Commands.h"

#include <windows.h>

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "CodePage.h"
#include "ListFile.h"
#include "ListsStore.h"
#include "Sysutils.h"

namespace lists {

namespace {

constexpr DWORD kCloseTimeoutMs = 15000;
// Bigger files are no list of URLs; reading them whole could exhaust a 32-bit process.
constexpr ULONGLONG kMaxFileBytes = 256ull * 1024 * 1024;
// Beyond this many notes about a file the rest is counted, not listed.
constexpr size_t kNotesShown = 20;

std::wstring Wide(const std::string& utf8) {
  std::u16string text;
  DecodeUtf8(utf8, text);
  return std::wstring(text.begin(), text.end());
}

int Selector(const std::string& list) { return list == "white" ? 0 : list == "black" ? 1 : -1; }

std::string Urls(size_t count) { return std::to_string(count) + (count == 1 ? " URL" : " URLs"); }

void Line(std::string& to, const std::string& text) {
  to += text;
  to += "\r\n";
}

void Notes(std::string& to, const std::string& file, const std::vector<LineNote>& notes) {
  for (size_t i = 0; i < notes.size() && i < kNotesShown; ++i)
    Line(to, notes[i].line == 0 ? file + ": " + notes[i].text
                                : file + ":" + std::to_string(notes[i].line) + ": " + notes[i].text);
  if (notes.size() > kNotesShown) Line(to, file + ": and " + std::to_string(notes.size() - kNotesShown) + " more");
}

Outcome Fail(int code, const std::string& message) {
  Outcome outcome;
  outcome.code = code;
  Line(outcome.err, "ZapnixLists: " + message);
  return outcome;
}

Outcome BadList(const std::string& list) {
  return Fail(kBadArguments, "the list is \"white\" or \"black\", not \"" + list + "\"");
}

std::string EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kUtf8WithMark: return "UTF-8 with byte-order mark";
    case Encoding::kUtf8: return "UTF-8";
    case Encoding::kAnsi: return "ANSI code page " + std::to_string(AnsiCodePage());
  }
  return {};
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& why) {
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = SystemMessage(GetLastError());
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0;
  if (!ok) why = SystemMessage(GetLastError());
  else if (static_cast<ULONGLONG>(size.QuadPart) > kMaxFileBytes) ok = false, why = "the file is larger than 256 MB";
  if (ok) {
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (ok && done < bytes.size()) {
      DWORD read = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
      ok = ReadFile(file, bytes.data() + done, chunk, &read, nullptr) != 0;
      if (!ok) why = SystemMessage(GetLastError());
      if (ok && read == 0) break;  // the file shrank meanwhile
      done += read;
    }
    bytes.resize(done);
  }
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& why) {
  const std::wstring target = Wide(path);
  const std::wstring temporary = target + L".zxnew";
  const HANDLE file =
      CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = SystemMessage(GetLastError());
    return false;
  }
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) != 0 && written > 0;
    done += written;
  }
  if (!ok) why = SystemMessage(GetLastError());
  CloseHandle(file);
  if (ok && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    why = SystemMessage(GetLastError());
    ok = false;
  }
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

Outcome Export(const std::string& list, const std::string& file) {
  const int selector = Selector(list);
  if (selector < 0) return BadList(list);
  std::vector<std::u16string> names;
  const LONG read = ReadList(selector, names);
  if (read != ERROR_SUCCESS)
    return Fail(kFailed, "cannot read the " + list + " list: " + SystemMessage(static_cast<DWORD>(read)));
  std::vector<LineNote> leftOut, changed;
  Outcome outcome;
  const std::string bytes = FormatListFile(names, leftOut, changed);
  const std::string shownName = file.empty() ? std::string("<standard output>") : file;
  Notes(outcome.err, shownName, leftOut);
  Notes(outcome.err, shownName, changed);
  if (file.empty()) {
    outcome.out = bytes;
  } else {
    std::string why;
    if (!WriteWholeFile(file, bytes, why)) return Fail(kFailed, "cannot write " + file + ": " + why);
    Line(outcome.out, "Exported " + Urls(names.size() - leftOut.size()) + " of the " + list + " list to " + file + ".");
  }
  outcome.code = leftOut.empty() ? kDone : kPartly;
  return outcome;
}

Outcome Import(const std::string& list, const std::string& file, bool replace, bool close) {
  const int selector = Selector(list);
  if (selector < 0) return BadList(list);

  // The whole file is read and checked before anything is written.
  std::string bytes, why;
  if (!ReadWholeFile(file, bytes, why)) return Fail(kRefused, "cannot read " + file + ": " + why);
  const ParsedFile parsed = ParseListFile(bytes);
  Outcome outcome;
  if (!parsed.errors.empty()) {
    Notes(outcome.err, file, parsed.errors);
    Line(outcome.err, "ZapnixLists: the " + list + " list was not changed.");
    outcome.code = kRefused;
    return outcome;
  }
  Notes(outcome.err, file, parsed.skipped);
  if (parsed.urls.empty()) {
    Line(outcome.err, "ZapnixLists: " + file + " holds no URL to import; the " + list + " list was not changed.");
    outcome.code = kRefused;
    return outcome;
  }

  // The program writes a list whole at its next change of it: an import
  // made while it runs would be lost then.
  InstanceHold hold;
  bool closed = false;
  if ((hold.Available() && !hold.Take(0)) || ProgramRuns()) {
    if (!close) {
      Line(outcome.err, "ZapnixLists: Zapnix is running, and its next save of the " + list +
                            " list would overwrite the import. Close Zapnix first, or give --close to have it "
                            "closed; the " + list + " list was not changed.");
      outcome.code = kProgramRuns;
      return outcome;
    }
    if (!CloseProgram(kCloseTimeoutMs, why) || (hold.Available() && !hold.Take(kCloseTimeoutMs)) || ProgramRuns()) {
      if (why.empty()) why = "Zapnix still runs";
      Line(outcome.err, "ZapnixLists: " + why + "; the " + list + " list was not changed.");
      outcome.code = kProgramRuns;
      return outcome;
    }
    closed = true;
  }

  std::vector<std::u16string> stored;
  const LONG read = ReadList(selector, stored);
  if (read != ERROR_SUCCESS) {
    Line(outcome.err, "ZapnixLists: cannot read the " + list + " list: " + SystemMessage(static_cast<DWORD>(read)) +
                          "; it was not changed.");
    outcome.code = kFailed;
    return outcome;
  }
  std::vector<std::string> names;
  size_t added = 0;
  std::unordered_set<std::u16string> present;
  if (!replace) {
    names.reserve(stored.size() + parsed.urls.size());
    for (const std::u16string& name : stored) {
      std::string ansi;
      if (!Utf16ToAnsi(name, ansi)) {
        Line(outcome.err, "ZapnixLists: the " + list + " list holds \"" + EncodeUtf8(name) +
                              "\", which the ANSI code page cannot hold: rewriting the list would change it. "
                              "Give --replace to replace the list; it was not changed.");
        outcome.code = kRefused;
        return outcome;
      }
      names.push_back(std::move(ansi));
      present.insert(FoldedKey(name));
    }
  }
  size_t alreadyThere = 0;
  for (const FileUrl& url : parsed.urls) {
    if (!replace && !present.insert(FoldedKey(url.text)).second) {
      ++alreadyThere;
      continue;
    }
    names.push_back(url.ansi);
    ++added;
  }

  bool unchanged = names.size() == stored.size();
  for (size_t i = 0; unchanged && i < names.size(); ++i) {
    std::u16string text;
    unchanged = AnsiToUtf16(names[i], text) && text == stored[i];
  }
  if (!unchanged) {
    try {
      WriteList(selector, names);
    } catch (const Exception& e) {
      const bool restored = RestoreList(selector, stored);
      // The registry's message names the URL in the ANSI code page.
      std::u16string message;
      if (!AnsiToUtf16(e.Message(), message)) message.assign(u"the registry refused a value");
      Line(outcome.err, "ZapnixLists: cannot write the " + list + " list: " + EncodeUtf8(message) + "; " +
                            (restored ? "the list was put back as it was."
                                      : "putting the list back failed too: it lacks some of its URLs."));
      outcome.code = kFailed;
      return outcome;
    }
  }

  std::string summary = (replace ? "Replaced the " + list + " list by " + Urls(parsed.urls.size())
                                 : "Added " + Urls(added) + " to the " + list + " list") +
                        " from " + file + " (" + EncodingName(parsed.encoding) + "): it holds " +
                        Urls(names.size()) + ".";
  if (parsed.duplicates > 0) (summary += " ") += std::to_string(parsed.duplicates) + " repeated in the file.";
  if (alreadyThere > 0) (summary += " ") += std::to_string(alreadyThere) + " already in the list.";
  if (!parsed.skipped.empty()) (summary += " ") += std::to_string(parsed.skipped.size()) + " left out.";
  if (unchanged) summary += " Nothing changed.";
  Line(outcome.out, summary);
  if (closed) Line(outcome.out, "Zapnix was closed for the import: start it again.");
  outcome.code = parsed.skipped.empty() ? kDone : kPartly;
  return outcome;
}

Outcome Find(const std::string& text) {
  std::u16string wanted;
  if (!DecodeUtf8(text, wanted)) return Fail(kBadArguments, "the text to find is not valid");
  const std::u16string key = FoldedKey(wanted);
  Outcome outcome;
  size_t found = 0;
  for (int selector = 0; selector < 2; ++selector) {
    std::vector<std::u16string> names;
    const LONG read = ReadList(selector, names);
    if (read != ERROR_SUCCESS)
      return Fail(kFailed, std::string("cannot read the ") + ListName(selector) +
                               " list: " + SystemMessage(static_cast<DWORD>(read)));
    for (const std::u16string& name : names) {
      if (FoldedKey(name).find(key) == std::u16string::npos) continue;
      Line(outcome.out, std::string(ListName(selector)) + "\t" + EncodeUtf8(name));
      ++found;
    }
  }
  if (found == 0) {
    Line(outcome.err, "ZapnixLists: no URL of either list contains \"" + text + "\".");
    outcome.code = kNothingFound;
  }
  return outcome;
}

Outcome Status() {
  Outcome outcome;
  for (int selector = 0; selector < 2; ++selector) {
    DWORD count = 0;
    const LONG result = CountList(selector, count);
    const std::string name = selector == 0 ? "White list: " : "Black list: ";
    if (result != ERROR_SUCCESS) {
      Line(outcome.out, name + "cannot be read (" + SystemMessage(static_cast<DWORD>(result)) + ")");
      outcome.code = kFailed;
    } else {
      Line(outcome.out, name + Urls(count));
    }
  }
  Line(outcome.out, ProgramRuns() ? "Zapnix: running" : "Zapnix: not running");
  return outcome;
}

}  // namespace lists
