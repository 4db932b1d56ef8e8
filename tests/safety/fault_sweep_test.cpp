// The fault sweep: the whole uninstall, launcher and worker, on the shipped image and on
// generated ones, once for every checked platform call of the run with that call failing,
// and once for every file or key the run may delete with that target in use or denied.
#include <gtest/gtest.h>

#include <iostream>

#include "safety/machine_generator.h"
#include "safety/safety_runs.h"
#include "safety/sample_size.h"
#include "support/installed_machine.h"

namespace {

using safety::SweepFigures;

void Print(const char* what, const SweepFigures& figures) {
  std::cout << "[ figures  ] " << what << ": images " << figures.images << ", runs " << figures.runs
            << ", calls failed " << figures.callsFailed << ", targets in use or denied "
            << figures.lockedRuns << " (success " << figures.succeeded << ", internal error "
            << figures.failed << ", no worker " << figures.notStarted << "), violations "
            << figures.violations << "\n";
}

void ExpectNoViolation(const SweepFigures& figures) {
  EXPECT_EQ(figures.violations, 0);
  for (const auto& report : figures.reports) ADD_FAILURE() << report;
}

TEST(FaultSweep, ShippedImageSurvivesEveryFailingCall) {
  SweepFigures figures;
  // The shipped image's sweep goes three ways: each exe must meet every failure as the host
  // build does.
  safety::SweepImage("examples/machines/installed", &safety::DefaultImage, figures,
                     safety::Ways::Three);
  safety::SweepImage(
      "the unit tests' installed machine", [] { return test::InstalledMachine(); }, figures);
  Print("shipped images", figures);
  // Every call of the clean run failed once: the sweep reached the whole run.
  EXPECT_GT(figures.callsFailed, 100);
  ExpectNoViolation(figures);
}

// Read-only files and Windows 9x bring calls of their own (attributes, the Windows and system
// folders, short names, WININIT.INI's section, shell32): the sweep must reach every one.
TEST(FaultSweep, ReadOnlyAndWindows9xImagesSurviveEveryFailingCall) {
  SweepFigures figures;
  for (const char* image : {"tests/images/readonly_install", "tests/images/win9x_wininit"}) {
    safety::SweepImage(
        image, [image] { return safety::RepositoryImage(image); }, figures);
  }
  Print("read-only and Windows 9x images", figures);
  for (const char* operation :
       {"GetFileAttributesA", "SetFileAttributesA", "GetWindowsDirectoryA", "GetSystemDirectoryA",
        "GetShortPathNameA", "GetPrivateProfileSectionA", "WritePrivateProfileSectionA",
        "LoadLibraryA", "GetProcAddress", "MoveFileExA"}) {
    EXPECT_TRUE(figures.operationsFailed.count(operation)) << operation << " was never failed";
  }
  ExpectNoViolation(figures);
}

TEST(FaultSweep, GeneratedImagesSurviveEveryFailingCall) {
  const long images = safety::SampleSize(60, 12);
  safety::GeneratorOptions small;
  small.maxTreeDepth = 4;
  small.maxTreeWidth = 4;
  SweepFigures figures;
  for (long seed = 1; seed <= images; ++seed) {
    safety::SweepImage(
        "generated image " + std::to_string(seed),
        [&] { return safety::GenerateMachine(static_cast<std::uint64_t>(seed), small); }, figures);
  }
  Print("generated images", figures);
  ExpectNoViolation(figures);
}

}  // namespace
