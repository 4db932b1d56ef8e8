#include "safety/safety_runs.h"

#include "machine_image.h"
#include "safety/machine_state.h"
#include "support/three_way.h"

extern "C" void UninstallerStartup(void);

namespace safety {
namespace {

constexpr std::size_t kReportsKept = 20;

// Files in use for ever need a Cancel, or the in-use prompt would come back for ever.
void AnswerCancelAfterConfirming(emu::Machine& machine) {
  emu::Answer confirm = machine.answers.empty() ? emu::Answer::First : machine.answers[0];
  machine.answers.assign(24, emu::Answer::Second);
  machine.answers[0] = confirm;
}

}  // namespace

emu::Machine DefaultImage() {
  static const machine_image::ImageSource source =
      machine_image::ReadImageFolder(ORBELLE_SOURCE_DIR "/examples/machines/installed");
  emu::Machine machine;
  std::vector<std::string> warnings;
  machine_image::LoadMachine(source, machine, warnings);
  return machine;
}

emu::Machine RepositoryImage(const std::string& folder) {
  const machine_image::ImageSource source =
      machine_image::ReadImageFolder(std::string(ORBELLE_SOURCE_DIR) + "/" + folder);
  emu::Machine machine;
  std::vector<std::string> warnings;
  machine_image::LoadMachine(source, machine, warnings);
  return machine;
}

RunVerdict RunAndJudge(emu::Machine& machine, const ImageFacts& facts, const JudgeOptions& options,
                       Ways ways) {
  const MachineState before = CaptureState(machine);
  // The host build's run is judged; the two exes must do exactly what it did.
  const emu::RunStatus status =
      ways == Ways::Three ? test::RunThreeWays(machine) : emu::Run(machine, &UninstallerStartup);
  return JudgeRun(facts, machine, status, before, CaptureState(machine), options);
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
  emu::Machine twin = make();
  const ImageFacts facts = StudyImage(twin);

  emu::Machine clean = make();
  figures.Add(name + ", no fault", RunAndJudge(clean, facts, {}, ways));
  const long calls = clean.faults.checkedCalls;

  for (long call = 1; call <= calls; ++call) {
    emu::Machine machine = make();
    machine.faults.failCallNumber = call;
    RunVerdict verdict = RunAndJudge(machine, facts, {}, ways);
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
    emu::Machine machine = make();
    machine.faults.locked[emu::UpperName(file)] = {true, 0};
    AnswerCancelAfterConfirming(machine);
    ++figures.lockedRuns;
    figures.Add(name + ", " + file + " in use", RunAndJudge(machine, facts, {}, ways));
  }
  for (const auto& key : facts.deletableKeys) {
    emu::Machine machine = make();
    const auto slash = key.find('\\');
    emu::RegKey* denied =
        machine.registry.FindKey(*emu::ParseRootName(key.substr(0, slash)), key.substr(slash + 1));
    if (denied) denied->denied = true;
    ++figures.lockedRuns;
    figures.Add(name + ", " + key + " denied", RunAndJudge(machine, facts, {}, ways));
  }
}

}  // namespace safety
