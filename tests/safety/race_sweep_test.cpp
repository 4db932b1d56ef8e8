// The race sweep on the shipped image, with its temp folder as it is and reached through a
// link: after every call of the launcher from the copy to the worker's start, another program
// replaces, deletes, links elsewhere or renames away the copy or a folder on its way.
#include "safety/race_sweep.h"

#include <gtest/gtest.h>

#include <iostream>

#include "platform/emulated/session.h"
#include "support/three_way.h"

namespace {

using safety::RaceFigures;

void Print(const char* what, const RaceFigures& figures) {
  std::cout << "[ figures  ] " << what << ": images " << figures.images << ", calls "
            << figures.calls << ", runs " << figures.runs << " (race carried out "
            << figures.applied << ", refused " << figures.skipped << "; success "
            << figures.succeeded << ", internal error " << figures.failed << ", no worker "
            << figures.notStarted << "), foreign starts " << figures.foreignStarts
            << ", violations " << figures.violations << "\n";
}

void ExpectNoViolation(const RaceFigures& figures) {
  EXPECT_EQ(figures.violations, 0);
  for (const auto& report : figures.reports) ADD_FAILURE() << report;
}

// Every run of the sweep held to both verdicts: nothing foreign started as the worker, and no
// invariant broke; each failure is named.
void ExpectNoForeignStartAndNoViolation(const RaceFigures& figures) {
  EXPECT_EQ(figures.foreignStarts, 0);
  for (const auto& run : figures.foreignRuns) ADD_FAILURE() << "foreign code started: " << run;
  ExpectNoViolation(figures);
}

TEST(RaceSweep, NoForeignCodeStartsAsTheWorker) {
  RaceFigures figures;
  safety::SweepRaces("examples/machines/installed", &safety::DefaultImage,
                     {{"C:\\WINDOWS\\TEMP\\obuninst.tmp", "c:\\windows\\temp\\OBUNINST.TMP"},
                      {"C:\\WINDOWS\\TEMP", "C:\\WINDOWS"}},
                     figures, safety::Ways::Three);
  Print("shipped image", figures);
  // Each action was refused at least once (the copy held) and carried out at least once.
  EXPECT_GT(figures.applied, 0);
  EXPECT_GT(figures.skipped, 0);
  EXPECT_GT(figures.notStarted, 0);
  EXPECT_GT(figures.succeeded, 0);
  ExpectNoForeignStartAndNoViolation(figures);
}

// A temp folder reached through a link (a profile moved to another folder and linked back):
// the copy held open pins its real folder, but not the link, which the user's programs may
// retarget. Retargeting it after the check and before CreateProcessA resolves the path again
// starts what the new target holds: the one race the check cannot close with the calls of
// Windows 4.0 (no call tells the file a handle holds from the file a path names). This test
// keeps that gap in sight: it is the only way foreign code starts.
TEST(RaceSweep, ThroughALinkedTempFolderOnlyARetargetedLinkStartsForeignCode) {
  const std::string link = "C:\\Users\\pat\\Temp";
  auto make = [&] {
    emu::Session session = safety::DefaultImage();
    session.scenario.tempPath = link + "\\";
    emu::FsNode& node = session.machine.files.CreateFile(link);
    node.linkTarget = "C:\\WINDOWS\\TEMP";
    node.directory = true;
    return session;
  };
  RaceFigures figures;
  safety::SweepRaces("the shipped image, temp folder through a link", make,
                     {{link + "\\obuninst.tmp", "C:\\WINDOWS\\TEMP\\obuninst.tmp"},
                      {link, "C:\\WINDOWS\\TEMP", "C:\\Users\\pat"}},
                     figures, safety::Ways::Three);
  Print("temp folder through a link", figures);
  for (const auto& run : figures.foreignRuns) {
    EXPECT_EQ(run.rfind("link " + link + "=C:\\Evil after ", 0), 0u) << run;
  }
  ExpectNoViolation(figures);
}

// The launcher's file holding the shipped exe's bytes, as the installer leaves it: the copy
// check then reads the copy chunk by chunk, and every read of the comparison is a moment for
// the other program. The exes run as the product wherever a file holds these bytes.
TEST(RaceSweep, WithTheShippedExeInItsFileNoForeignCodeStarts) {
  const std::vector<std::uint8_t>& shipped = test::ExeBytes("win32");
  ASSERT_FALSE(shipped.empty()) << "build/win32/Uninstall.exe is missing";
  auto make = [&] {
    emu::Session session = safety::DefaultImage();
    session.machine.files.Find(session.scenario.exePath)->content = shipped;
    return session;
  };
  RaceFigures figures;
  safety::SweepRaces("the shipped image with the shipped exe", make,
                     {{"C:\\WINDOWS\\TEMP\\obuninst.tmp"}, {"C:\\WINDOWS\\TEMP"}}, figures,
                     safety::Ways::Three);
  Print("shipped exe in its file", figures);
  // The comparison reads both files to their ends: far more calls to race after.
  EXPECT_GT(figures.calls, 30);
  EXPECT_GT(figures.applied, 0);
  EXPECT_GT(figures.skipped, 0);
  ExpectNoForeignStartAndNoViolation(figures);
}

}  // namespace
