// Times the user's list actions on the real main window and registry store:
// a white list of 10,000 URLs loaded at start, one Add, one Edit and one
// Delete (each rewrites the whole subkey), and 1,000 different stopped URLs
// reported one after another into the blocked list. Prints figures; it is not a test.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Unit1.h"

namespace {
using Clock = std::chrono::steady_clock;
const char* const kStore = "Vantrel Software\\Popup Zapnix";
const char* const kStopped = "Vantrel Software\\Popup Zapnix\\Stoped";

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

std::string Url(const char* kind, int i) {
  char buf[96];
  snprintf(buf, sizeof buf, "http://%s%05d.example/path/index.html", kind, i);
  return buf;
}

void WriteWhiteList(int count) {
  RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  HKEY key = nullptr;
  std::string path = std::string(kStore) + "\\WhiteList";
  RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (int i = 0; i < count; ++i)
    RegSetValueExA(key, Url("white", i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  RegCloseKey(key);
}

void WriteStopped(const std::string& url) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kStopped, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                 static_cast<DWORD>(url.size() + 1));
  RegCloseKey(key);
}

std::string nextAnswer;
bool Answer(const std::string&, const std::string&, std::string& text) {
  text = nextAnswer;
  return true;
}
}  // namespace

int main() {
  const int kUrls = 10000, kReports = 1000;
  InitApplication();
  AskText = &Answer;
  WriteWhiteList(kUrls);

  auto t0 = Clock::now();
  Application->CreateForm(Form1);
  auto t1 = Clock::now();
  std::printf("start with %d white-list URLs (form creation, both lists loaded): %8.1f ms, %d rows\n", kUrls,
              Ms(t0, t1), Form1->ListBox1->Items()->Count());

  nextAnswer = "http://added.example/";
  t0 = Clock::now();
  Form1->SpeedButton1Click(nullptr);
  t1 = Clock::now();
  std::printf("Add    (appends, rewrites %d values): %8.1f ms\n", kUrls + 1, Ms(t0, t1));

  Form1->ListBox1->SetItemIndex(kUrls / 2);
  nextAnswer = "http://edited.example/";
  t0 = Clock::now();
  Form1->SpeedButton13Click(nullptr);
  t1 = Clock::now();
  std::printf("Edit   (replaces a row, rewrites):     %8.1f ms\n", Ms(t0, t1));

  Form1->ListBox1->SetItemIndex(kUrls / 3);
  t0 = Clock::now();
  Form1->SpeedButton2Click(nullptr);
  t1 = Clock::now();
  std::printf("Delete (removes a row, rewrites):      %8.1f ms\n", Ms(t0, t1));

  std::vector<double> times;
  times.reserve(kReports);
  for (int i = 0; i < kReports; ++i) {
    WriteStopped(Url("popup", i));
    auto a = Clock::now();
    SendMessageA(Form1->Handle(), StopUrlMessage, 0, 0);
    times.push_back(Ms(a, Clock::now()));
  }
  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  std::printf("%d stopped URLs reported: median %.3f ms, 90th %.3f ms, last (at %d rows) %.3f ms, rows %d\n",
              kReports, sorted[sorted.size() / 2], sorted[sorted.size() * 9 / 10], kReports - 1, times.back(),
              Form1->ListBox3->Items()->Count());

  Form1->BeforeDestruction();
  delete Form1;
  Form1 = nullptr;
  PurgeAtom("PopupZapnixRunning");
  RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  return 0;
}
