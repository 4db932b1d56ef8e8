// Whole uninstall runs for the safety tests: one image made afresh for every run, the run
// judged, the figures counted.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/emulated/session.h"
#include "safety/image_facts.h"
#include "safety/run_verdict.h"

namespace safety {

using MachineMaker = std::function<emu::Session()>;

// The image that ships with the project (examples/machines/installed), loaded afresh each call.
emu::Session DefaultImage();
// An image folder of the repository ("tests/images/win9x_wininit"), loaded afresh each call.
emu::Session RepositoryImage(const std::string& folder);

// How a run goes: the host build alone, or three ways (the two exes on the emulated CPU must
// then do exactly what the host build did; see tests/support/three_way.h).
enum class Ways { HostOnly, Three };

// Runs the uninstall from the user's start on `machine` and judges the host build's run.
RunVerdict RunAndJudge(emu::Session& session, const ImageFacts& facts,
                       const JudgeOptions& options = {}, Ways ways = Ways::HostOnly);

struct SweepFigures {
  long images = 0;
  long runs = 0;
  long callsFailed = 0;  // runs whose one injected failure happened
  long lockedRuns = 0;   // runs with one deletion target in use or denied
  long violations = 0;
  long succeeded = 0, failed = 0, notStarted = 0;  // how the runs ended
  std::vector<std::string> reports;                // the first few violations, with their run
  std::set<std::string> operationsFailed;          // "SetFileAttributesA": failed at least once

  void Add(const std::string& run, const RunVerdict& verdict);
};

// The fault sweep of one image: a clean run, then one run for every checked platform call of
// the clean run with that call failing, then one run for each file the run may delete with
// that file in use and each key with that key denied.
void SweepImage(const std::string& name, const MachineMaker& make, SweepFigures& figures,
                Ways ways = Ways::HostOnly);

}  // namespace safety
