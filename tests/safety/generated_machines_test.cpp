// The property test: a few thousand generated machines, each uninstalled once from the user's
// start. Besides the safety invariants of every run, a run that reports success must have
// removed everything the uninstaller targets, and given every extension back.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "safety/machine_generator.h"
#include "safety/safety_runs.h"
#include "safety/sample_size.h"

namespace {

TEST(GeneratedMachines, EveryRunKeepsTheInvariants) {
  const long images = safety::SampleSize(3000, 400);
  const auto start = std::chrono::steady_clock::now();
  safety::SweepFigures figures;
  for (long seed = 1; seed <= images; ++seed) {
    const auto machineSeed = static_cast<std::uint64_t>(1'000'000 + seed);
    emu::Machine twin = safety::GenerateMachine(machineSeed);
    const safety::ImageFacts facts = safety::StudyImage(twin);
    emu::Machine machine = safety::GenerateMachine(machineSeed);
    // One image in ten also runs through both exes, which must do what the host build did;
    // all of them would add minutes (scripts/bench has the images a second).
    const safety::Ways ways = seed % 10 == 1 ? safety::Ways::Three : safety::Ways::HostOnly;
    const safety::RunVerdict verdict = safety::RunAndJudge(machine, facts, {true}, ways);
    ++figures.images;
    figures.Add("generated image " + std::to_string(machineSeed), verdict);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "[ figures  ] generated images " << figures.images << " in " << seconds
            << " s: success " << figures.succeeded << ", internal error " << figures.failed
            << ", no worker started " << figures.notStarted << ", violations " << figures.violations
            << "\n";

  EXPECT_EQ(figures.violations, 0);
  for (const auto& report : figures.reports) ADD_FAILURE() << report;
  // The machines must exercise both outcomes, or the property would hold vacuously.
  EXPECT_GT(figures.succeeded, images / 5);
  EXPECT_GT(figures.failed, images / 10);
  EXPECT_GT(figures.notStarted, images / 50);
}

}  // namespace
