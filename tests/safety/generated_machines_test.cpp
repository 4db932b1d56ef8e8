// The property test: a few thousand generated machines, each uninstalled once from the user's
// start, and each also through both exes, which must do what the host build did. Besides the
// safety invariants of every run, a run that reports success must have removed everything the
// uninstaller targets, and given every extension back. One machine in ten has another program act
// on the temp copy or its folder between two calls of the launcher: no foreign code may start,
// and the run is judged outside what that program changed.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "safety/machine_generator.h"
#include "safety/race_sweep.h"
#include "safety/safety_runs.h"
#include "safety/sample_size.h"

namespace {

// The images go in slices, one test each, so that ctest can run them side by side.
constexpr long kSlices = 4;

class GeneratedMachines : public ::testing::TestWithParam<long> {};

TEST_P(GeneratedMachines, EveryRunKeepsTheInvariants) {
  const long images = safety::SampleSize(3000, 400);
  const long slice = GetParam();
  const long first = 1 + images * slice / kSlices;
  const long last = images * (slice + 1) / kSlices;
  const auto start = std::chrono::steady_clock::now();
  safety::GeneratorOptions options;
  options.races = true;
  safety::SweepFigures figures;
  long raced = 0, racesCame = 0;
  for (long seed = first; seed <= last; ++seed) {
    const auto machineSeed = static_cast<std::uint64_t>(1'000'000 + seed);
    emu::Session twin = safety::GenerateMachine(machineSeed, options);
    const safety::ImageFacts facts = safety::StudyImage(twin);
    emu::Session session = safety::GenerateMachine(machineSeed, options);
    const std::string name = "generated image " + std::to_string(machineSeed);
    ++figures.images;
    if (session.scenario.races.empty()) {
      figures.Add(name, safety::RunAndJudge(session, facts, {true}, safety::Ways::Three));
      continue;
    }
    ++raced;
    safety::RaceRun run = safety::RunAndJudgeRace(session, facts, {true}, safety::Ways::Three);
    if (run.foreign) run.verdict.violations.push_back("foreign code started as the worker");
    racesCame += run.came ? 1 : 0;
    std::string races;
    for (const auto& race : session.scenario.races) {
      races += (races.empty() ? "" : ", ") + safety::Describe(race);
    }
    figures.Add(name + " (" + races + ")", run.verdict);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "[ figures  ] generated images " << first << " to " << last << " in " << seconds
            << " s, three ways, " << raced << " with a race (" << racesCame << " came): success "
            << figures.succeeded << ", internal error " << figures.failed << ", no worker started "
            << figures.notStarted << ", violations " << figures.violations << "\n";

  EXPECT_EQ(figures.violations, 0);
  for (const auto& report : figures.reports) ADD_FAILURE() << report;
  // The machines must exercise both outcomes, or the property would hold vacuously.
  const long count = last - first + 1;
  EXPECT_GT(figures.succeeded, count / 5);
  EXPECT_GT(figures.failed, count / 10);
  EXPECT_GT(figures.notStarted, count / 50);
  EXPECT_GT(racesCame, count / 40);
}

INSTANTIATE_TEST_SUITE_P(Slices, GeneratedMachines, ::testing::Range(0L, kSlices));

}  // namespace
