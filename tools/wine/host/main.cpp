// wine-harness: the host side of running the real Uninstall.exe under Wine on a machine image.
//
//   wine-harness prepare --image DIR --prefix DIR --exe FILE [--handshake] [--timeout-ms N]
//       lays the image on a fresh prefix, puts the exe at the image's exe= path, and writes
//       C:\orbtest\plan.txt and import.reg for orbrun.exe
//   wine-harness sim-image --image DIR --results DIR --out DIR
//       the image with temp= set to the temporary folder Wine reported (results/events.jsonl)
//   wine-harness check --image DIR --prefix DIR --template DIR --results DIR --outcome DIR
//                      [--sim SIM_OUT] [--summary]
//       writes the machine after the Wine run to --outcome in the machine-image format; with
//       --sim, compares it with the simulator's outcome; with --summary, tells the run and its
//       changes the way uninstall-sim does
//
// Exit status: 0 done (and the runs agree), 1 the runs differ or the Wine run had a problem,
// 2 bad usage or input.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "change_summary.h"
#include "encoding.h"
#include "image_source.h"
#include "machine_image.h"
#include "machine_snapshot.h"
#include "outcome_compare.h"
#include "outcome_folder.h"
#include "prepare.h"
#include "readable_transcript.h"
#include "scenario.h"
#include "sim_image.h"
#include "wine_outcome.h"

namespace {

namespace fs = std::filesystem;
using namespace wine_harness;

constexpr int kAgree = 0;
constexpr int kDiffer = 1;
constexpr int kBadInput = 2;

struct Arguments {
  std::string command;
  std::map<std::string, std::string> values;
  std::vector<std::string> flags;

  bool Has(const std::string& flag) const {
    for (const std::string& f : flags) {
      if (f == flag) return true;
    }
    return false;
  }
  std::string Need(const std::string& name) const {
    const auto found = values.find(name);
    if (found == values.end()) throw std::invalid_argument("missing --" + name);
    return found->second;
  }
};

Arguments Parse(int argc, char** argv) {
  static const std::vector<std::string> kFlags = {"handshake", "summary"};
  Arguments args;
  if (argc < 2) throw std::invalid_argument("missing command");
  args.command = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) throw std::invalid_argument("unexpected " + arg);
    const std::string name = arg.substr(2);
    if (std::find(kFlags.begin(), kFlags.end(), name) != kFlags.end()) {
      args.flags.push_back(name);
    } else if (i + 1 < argc) {
      args.values[name] = argv[++i];
    } else {
      throw std::invalid_argument(arg + " needs a value");
    }
  }
  return args;
}

int Prepare(const Arguments& args) {
  PrepareOptions options;
  options.image = args.Need("image");
  options.prefix = args.Need("prefix");
  options.exe = args.Need("exe");
  options.handshake = args.Has("handshake");
  if (args.values.contains("timeout-ms"))
    options.timeoutMs = std::stoul(args.values.at("timeout-ms"));
  Prepare(options);
  return kAgree;
}

int SimImage(const Arguments& args) {
  const fs::path results = args.Need("results");
  const fs::path events = results / "events.jsonl";
  std::string temp;
  for (const JsonObject& line : ReadJsonLines(events.string(), ReadFileBytes(events))) {
    if (line.at("event").text == "temp") temp = line.at("path").text;
  }
  if (temp.empty()) throw std::runtime_error(events.string() + ": no temporary folder reported");
  WriteSimImage(args.Need("image"), temp, args.Need("out"));
  return kAgree;
}

void LoadSimulated(const fs::path& folder, emu::Session& session) {
  std::vector<std::string> warnings;
  machine_image::LoadMachine(machine_image::ReadImageFolder(folder), session, warnings);
  // An outcome lists the attributes its files still carry in attributes.ini, which has the form
  // of scenario.ini's [attributes] section; an image reader does not look for it.
  const fs::path attributes = folder / "attributes.ini";
  if (fs::exists(attributes)) {
    machine_image::ApplyScenario(ReadFileBytes(attributes), attributes.string(), session, warnings);
  }
  const fs::path transcript = folder / "transcript.jsonl";
  session.record.events =
      EventsFromJson(ReadJsonLines(transcript.string(), ReadFileBytes(transcript)));
  for (const emu::Event& event : session.record.events) {
    if (event.kind == emu::Event::Kind::RestartDelete)
      session.record.restartDeletes.push_back(event.path);
  }
}

int Check(const Arguments& args) {
  WineRun run;
  run.image = args.Need("image");
  run.prefix = args.Need("prefix");
  run.template_ = args.Need("template");
  run.results = args.Need("results");
  const fs::path outcomeDir = args.Need("outcome");

  emu::Session simulated;
  const bool compare = args.values.contains("sim");
  if (compare) LoadSimulated(args.values.at("sim"), simulated);

  WineOutcome outcome;
  BuildWineOutcome(run, compare ? &simulated : nullptr, outcome);
  machine_image::WriteOutcome(outcome.session, outcomeDir);

  if (args.Has("summary")) {
    emu::Session image;
    std::vector<std::string> warnings;
    machine_image::LoadMachine(machine_image::ReadImageFolder(run.image), image, warnings);
    // Wine's temp folder was there before the run, as the image's own is for the simulator.
    if (!outcome.tempPath.empty()) image.machine.files.CreateFolder(outcome.tempPath);
    std::cout << "Uninstall run under Wine on " << run.image.string()
              << "\n  program: " << image.scenario.exePath
              << "\n  temporary folder: " << outcome.tempPath << "\n\n";
    machine_image::WriteReadableTranscript(std::cout, outcome.session, {});
    std::cout << "\n";
    for (const std::string& line :
         machine_image::SummariseChanges(machine_image::TakeSnapshot(image.machine),
                                         machine_image::TakeSnapshot(outcome.session.machine),
                                         outcome.session.record.restartDeletes)) {
      std::cout << line << "\n";
    }
    std::cout << "\nOutcome written to " << outcomeDir.string() << "\n";
  }

  int status = kAgree;
  for (const std::string& error : outcome.harnessErrors) {
    std::cout << "Wine run problem: " << error << "\n";
    status = kDiffer;
  }
  if (compare) {
    DropLaidValues(outcome.laidValues, simulated);
    std::vector<std::string> differences = CompareOutcomes(outcome.session, simulated);
    for (const std::string& path : outcome.vanished) {
      differences.push_back(path + ": Wine's own, gone after the run");
    }
    for (const std::string& line : differences) std::cout << "DIFFERENT: " << line << "\n";
    if (!differences.empty()) status = kDiffer;
    std::cout << (differences.empty() ? "Wine and the emulator agree"
                                      : "Wine and the emulator differ")
              << " (" << run.image.string() << ")\n";
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Arguments args = Parse(argc, argv);
    if (args.command == "prepare") return Prepare(args);
    if (args.command == "sim-image") return SimImage(args);
    if (args.command == "check") return Check(args);
    throw std::invalid_argument("unknown command " + args.command);
  } catch (const std::invalid_argument& error) {
    std::cerr << "wine-harness: " << error.what() << "\n"
              << "usage: wine-harness prepare|sim-image|check --NAME VALUE ...\n";
    return kBadInput;
  } catch (const std::exception& error) {
    std::cerr << "wine-harness: " << error.what() << "\n";
    return kBadInput;
  }
}
