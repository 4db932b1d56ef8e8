#include "safety/safety_runs.h"

#include "app/startup.h"
#include "machine_image.h"
#include "safety/machine_state.h"
#include "support/new_session.h"
#include "support/three_way.h"

namespace safety {
namespace {

constexpr std::size_t kReportsKept = 20;

// Files in use for ever need a Cancel, or the in-use prompt would come back for ever.
void AnswerCancelAfterConfirming(emu::Session& session) {
  emu::Answer confirm =
      session.scenario.answers.empty() ? emu::Answer::First : session.scenario.answers[0];
  session.scenario.answers.assign(24, emu::Answer::Second);
  session.scenario.answers[0] = confirm;
}

}  // namespace

emu::Session DefaultImage() {
  static const machine_image::ImageSource source =
      machine_image::ReadImageFolder(ORBELLE_SOURCE_DIR "/examples/machines/installed");
  emu::Session session = test::NewSession();
  std::vector<std::string> warnings;
  machine_image::LoadMachine(source, session, warnings);
  return session;
}

emu::Session RepositoryImage(const std::string& folder) {
  const machine_image::ImageSource source =
      machine_image::ReadImageFolder(std::string(ORBELLE_SOURCE_DIR) + "/" + folder);
  emu::Session session = test::NewSession();
  std::vector<std::string> warnings;
  machine_image::LoadMachine(source, session, warnings);
  return session;
}

RunVerdict RunAndJudge(emu::Session& session, const ImageFacts& facts, const JudgeOptions& options,
                       Ways ways) {
  const MachineState before = CaptureState(session);
  // The host build's run is judged; the two exes must do exactly what it did.
  const emu::RunStatus status =
      ways == Ways::Three ? test::RunThreeWays(session) : emu::Run(session, &UninstallerStartup);
  return JudgeRun(facts, session, status, before, CaptureState(session), options);
}

void SweepFigures::Add(const std::string& run, const RunVerdict& verdict) {
  ++runs;
  ++(!verdict.workerStarted ? notStarted : verdict.succeeded ? succeeded : failed);
  violations += static_cast<long>(verdict.violations.size());
  for (const auto& violation : verdict.violations) {
    if (reports.size() < kReportsKept) reports.push_back(run + ": " + violation);
  }
}

void SweepImage(const std::string& name, const MachineMaker& make, SweepFigures& figures,
                Ways ways) {
  ++figures.images;
  emu::Session twin = make();
  const ImageFacts facts = StudyImage(twin);

  emu::Session clean = make();
  figures.Add(name + ", no fault", RunAndJudge(clean, facts, {}, ways));
  const long calls = emu::CheckedCallCount(clean);

  for (long call = 1; call <= calls; ++call) {
    emu::Session session = make();
    session.scenario.faults.failCallNumber = call;
    RunVerdict verdict = RunAndJudge(session, facts, {}, ways);
    const std::string run =
        name + ", call " + std::to_string(call) + " failing (" + verdict.faultedCall + ")";
    if (verdict.faultedCall.empty()) {
      verdict.violations.push_back("the run made fewer calls than the clean run");
    } else {
      ++figures.callsFailed;
      figures.operationsFailed.insert(verdict.faultedCall.substr(0, verdict.faultedCall.find('(')));
    }
    figures.Add(run, verdict);
  }

  for (const auto& file : facts.deletableFiles) {
    emu::Session session = make();
    session.scenario.faults.locked[emu::UpperName(file)] = {true, 0};
    AnswerCancelAfterConfirming(session);
    ++figures.lockedRuns;
    figures.Add(name + ", " + file + " in use", RunAndJudge(session, facts, {}, ways));
  }
  for (const auto& key : facts.deletableKeys) {
    emu::Session session = make();
    const auto slash = key.find('\\');
    emu::RegKey* denied = session.machine.registry.FindKey(
        *emu::ParseRootName(key.substr(0, slash)), key.substr(slash + 1));
    if (denied) denied->denied = true;
    ++figures.lockedRuns;
    figures.Add(name + ", " + key + " denied", RunAndJudge(session, facts, {}, ways));
  }
}

}  // namespace safety
