// Soak benchmark: one Zapnix driven from outside for a long run — 10,000
// stopped-URL reports of 1,000 different URLs (ZapnixSim.exe plays the
// engine), 1,000 switches off and on, 1,000 uses of the input box on the
// white list, 100 restores and hides of the window — with its live GDI and
// user objects and its working set before and after.
//
// Usage: SoakBench [folder] [--short]   (default: the folder of this program),
// which holds Zapnix.exe, ZapnixServer.dll, ZapnixSim.exe and ZapnixWatch.dll.
// --short runs a tenth of the counts. Goal: no object growth, working-set
// growth under 1 MB, no error box.
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchFolder.h"
#include "SoakDriver.h"

int main(int argc, char** argv) {
  std::string folder = FolderOfThisProgram();
  soak::Sizes sizes = soak::kFullSoak;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--short") == 0)
      sizes = soak::kShortSoak;
    else
      folder = argv[i];
  }
  if (FindWindowA("TForm1", "Vantrel Zapnix")) {
    std::fputs("SoakBench: another Zapnix is running; close it first.\n", stderr);
    return 1;
  }
  std::printf("soak: %d stopped-URL reports (%d different), %d switches off and on, %d list edits, %d restores\n",
              sizes.stopReports, sizes.distinctUrls, sizes.switches, sizes.listEdits, sizes.restores);
  soak::Driver driver(folder);
  const soak::Result result = driver.Run(sizes);
  soak::Print(result, stdout);
  if (!result.failure.empty()) {
    std::fprintf(stderr, "SoakBench: %s\n", result.failure.c_str());
    return 1;
  }
  const long gdiGrowth = result.after.counts.gdiObjects - result.before.counts.gdiObjects;
  const long userGrowth = (result.after.counts.windows + result.after.counts.menus + result.after.counts.icons) -
                          (result.before.counts.windows + result.before.counts.menus + result.before.counts.icons);
  const long long memoryGrowth =
      static_cast<long long>(result.after.workingSet) - static_cast<long long>(result.before.workingSet);
  const bool met = gdiGrowth <= 0 && userGrowth <= 0 && memoryGrowth < (1LL << 20) && !result.errorBox;
  std::printf("goal (no object growth, working set growth under 1 MB, no error box): %s\n", met ? "met" : "not met");
  return 0;
}
