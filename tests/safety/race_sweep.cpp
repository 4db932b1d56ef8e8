#include "safety/race_sweep.h"

#include "app/startup.h"
#include "platform/emulated/paths.h"
#include "platform/emulated/trace_format.h"
#include "safety/machine_state.h"
#include "support/three_way.h"

namespace safety {
namespace {

using Action = emu::Race::Action;

constexpr std::size_t kReportsKept = 20;
// A scanner's short hold: the product's next few calls, as long as a scan of a small file lasts
// against a program that goes straight on.
constexpr long kHoldCalls = 3;
const emu::Bytes kForeignBytes = {'M', 'Z', 'f', 'o', 'r', 'e', 'i', 'g', 'n'};

std::string OperationOf(const std::string& text) {
  if (text.empty() || text.front() == '(') return "";
  const std::size_t paren = text.find('(');
  return paren == std::string::npos ? "" : text.substr(0, paren);
}

// The race's PATH where it really lies (links on the way followed), upper-cased as machine
// state identities spell paths.
std::string RealUpperPath(emu::Session& session, const std::string& path) {
  auto parts = emu::detail::ParseAbsolute(path);
  if (!parts) return emu::UpperName(path);
  return emu::UpperName(emu::detail::LocateParts(session.machine.files, *parts).RealPath());
}

// Leaves out everything at and below the paths the other program changed: that is its doing,
// not the product's.
void LeaveOut(MachineState& state, const std::vector<std::string>& upperPaths) {
  std::erase_if(state.files, [&](const auto& entry) {
    const std::string& upper = entry.first;
    for (const auto& path : upperPaths) {
      if (upper == path || upper.rfind(path + "\\", 0) == 0) return true;
    }
    return false;
  });
}

std::vector<emu::Race> RacesFor(const std::string& call, const RaceTargets& targets) {
  const std::size_t hash = call.find('#');
  const std::string operation = call.substr(0, hash);
  const long number = std::stol(call.substr(hash + 1));
  std::vector<emu::Race> races;
  auto add = [&](Action action, const std::string& path, std::string argument = {}) {
    races.push_back({operation, number, action, path, std::move(argument)});
  };
  for (const auto& file : targets.files) {
    add(Action::Replace, file, kForeignExe);
    add(Action::Delete, file);
    add(Action::Link, file, kForeignExe);
    add(Action::Rename, file, file + ".away");
    // A virus scanner reading the fresh copy: for a moment, and for ever.
    add(Action::Hold, file);
    races.back().holdCalls = kHoldCalls;
    add(Action::Hold, file);
    races.back().holdAlways = true;
  }
  for (const auto& folder : targets.folders) {
    add(Action::Replace, folder, kForeignExe);  // a folder cannot be: always skipped
    add(Action::Delete, folder);
    add(Action::Link, folder, kForeignFolder);
    add(Action::Rename, folder, folder + ".away");
  }
  return races;
}

}  // namespace

std::string Describe(const emu::Race& race) {
  const std::string argument = race.action == Action::Hold ? emu::HoldLength(race) : race.argument;
  return std::string(emu::ActionName(race.action)) + " " + race.path +
         (argument.empty() ? "" : "=" + argument) + " after " + race.operation + "#" +
         std::to_string(race.call);
}

void AddForeignFiles(emu::Session& session) {
  session.machine.files.CreateFile(kForeignExe, kForeignBytes);
  session.machine.files.CreateFile(std::string(kForeignFolder) + "\\obuninst.tmp", kForeignBytes);
}

RaceRun RunAndJudgeRace(emu::Session& session, const ImageFacts& facts, const JudgeOptions& options,
                        Ways ways) {
  std::vector<std::string> raced;
  for (const auto& race : session.scenario.races) {
    // A scanner's hold changes nothing: what the product did to the file is judged as ever.
    if (race.action == Action::Hold) continue;
    raced.push_back(RealUpperPath(session, race.path));
    if (race.action == Action::Rename) raced.push_back(RealUpperPath(session, race.argument));
  }
  const std::string copyReal = RealUpperPath(session, facts.copyPath);
  MachineState before = CaptureState(session);
  const emu::RunStatus status =
      ways == Ways::Three ? test::RunThreeWays(session) : emu::Run(session, &UninstallerStartup);
  MachineState after = CaptureState(session);
  LeaveOut(before, raced);
  LeaveOut(after, raced);
  RaceRun run;
  RunVerdict& verdict = run.verdict;
  verdict = JudgeRun(facts, session, status, before, after, options);
  // The worker names its own file as GetModuleFileNameA reports it, with the links on its
  // way followed: through a linked temp folder that is the copy's real path.
  std::erase_if(verdict.violations, [&](const std::string& violation) {
    const std::string prefix = "a deletion at restart was requested for ";
    return violation.rfind(prefix, 0) == 0 &&
           emu::UpperName(violation.substr(prefix.size())) == copyReal;
  });

  for (const auto& process : emu::Processes(session)) {
    if (!process.runsProduct) ++run.foreignStarts;
  }
  run.foreign = run.foreignStarts > 0;
  // A foreign worker does none of the worker's work: the verdict on it says nothing more.
  if (run.foreign) verdict.violations.clear();
  for (const auto& leak : session.record.leakedHandles) {
    verdict.violations.push_back("a handle left open: " + leak);
  }
  for (const auto& close : session.record.badHandleCloses) {
    verdict.violations.push_back("a handle closed that was not open: " + close);
  }
  // A race whose moment the run never reached did not come; none comes twice.
  if (session.record.raceOutcomes.size() > session.scenario.races.size()) {
    verdict.violations.push_back("a race came more than once");
  }
  run.came = !session.scenario.races.empty() &&
             session.record.raceOutcomes.size() == session.scenario.races.size();
  for (const auto& outcome : session.record.raceOutcomes)
    run.applied = run.applied || outcome.applied;
  return run;
}

std::vector<std::string> CallsFromCopyToStart(const emu::Session& cleanRun,
                                              const std::string& copyPath) {
  std::map<std::string, long> counts;
  std::vector<std::string> calls;
  const std::string touchesCopy = "(" + emu::detail::Quote(copyPath);
  bool from = false;
  for (const auto& line : cleanRun.record.trace) {
    const std::string text = line.text.substr(line.text.find(": ") + 2);
    const std::string operation = OperationOf(text);
    if (operation.empty()) continue;
    const long number = ++counts[operation];
    if (line.process != 1) continue;
    if (!from && text.find(touchesCopy) == std::string::npos) continue;
    from = true;
    calls.push_back(operation + "#" + std::to_string(number));
    if (operation == "CreateProcessA") break;
  }
  return calls;
}

void SweepRaces(const std::string& name, const MachineMaker& make, const RaceTargets& targets,
                RaceFigures& figures, Ways ways) {
  ++figures.images;
  emu::Session twin = make();
  AddForeignFiles(twin);
  const ImageFacts facts = StudyImage(twin);

  emu::Session clean = make();
  AddForeignFiles(clean);
  emu::Run(clean, &UninstallerStartup);
  const std::vector<std::string> calls = CallsFromCopyToStart(clean, facts.copyPath);
  figures.calls += static_cast<long>(calls.size());
  if (calls.empty()) {
    ++figures.violations;
    figures.reports.push_back(name + ": the clean run never touched " + facts.copyPath);
  }

  for (const auto& call : calls) {
    for (const auto& race : RacesFor(call, targets)) {
      emu::Session session = make();
      AddForeignFiles(session);
      session.scenario.races = {race};
      RaceRun run = RunAndJudgeRace(session, facts, {}, ways);
      if (run.foreign) {
        figures.foreignStarts += run.foreignStarts;
        for (long i = 0; i < run.foreignStarts; ++i) figures.foreignRuns.push_back(Describe(race));
      }
      // Every moment of the sweep comes from the clean run's trace: each race must come.
      if (!run.came) run.verdict.violations.push_back("the race did not come");
      ++(run.applied ? figures.applied : figures.skipped);
      const RunVerdict& verdict = run.verdict;
      ++figures.runs;
      ++(!verdict.workerStarted ? figures.notStarted
         : verdict.succeeded    ? figures.succeeded
                                : figures.failed);
      figures.violations += static_cast<long>(verdict.violations.size());
      for (const auto& violation : verdict.violations) {
        if (figures.reports.size() < kReportsKept) {
          figures.reports.push_back(name + ", " + Describe(race) + ": " + violation);
        }
      }
    }
  }
}

}  // namespace safety
