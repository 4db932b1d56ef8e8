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
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
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

// What sim-image and check are given; prepare's options are PrepareOptions.
struct SimImageArguments {
  fs::path image, results, out;
};

struct CheckArguments {
  WineRun run;
  fs::path outcome, sim;
  bool summary = false;
};

int SimImage(const SimImageArguments& args) {
  const fs::path events = args.results / "events.jsonl";
  std::string temp;
  for (const JsonObject& line : ReadJsonLines(events.string(), ReadFileBytes(events))) {
    if (line.at("event").text == "temp") temp = line.at("path").text;
  }
  if (temp.empty()) throw std::runtime_error(events.string() + ": no temporary folder reported");
  WriteSimImage(args.image, temp, args.out);
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

int Check(const CheckArguments& args) {
  const WineRun& run = args.run;
  const fs::path& outcomeDir = args.outcome;

  emu::Session simulated;
  const bool compare = !args.sim.empty();
  if (compare) LoadSimulated(args.sim, simulated);

  WineOutcome outcome;
  BuildWineOutcome(run, compare ? &simulated : nullptr, outcome);
  machine_image::WriteOutcome(outcome.session, outcomeDir);

  if (args.summary) {
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
  CLI::App app("wine-harness");
  app.require_subcommand(1);
  PrepareOptions prepare;
  CLI::App* prepareCommand = app.add_subcommand("prepare", "lay an image on a fresh prefix");
  prepareCommand->add_option("--image", prepare.image)->required();
  prepareCommand->add_option("--prefix", prepare.prefix)->required();
  prepareCommand->add_option("--exe", prepare.exe)->required();
  prepareCommand->add_flag("--handshake", prepare.handshake);
  prepareCommand->add_option("--timeout-ms", prepare.timeoutMs);
  SimImageArguments simImage;
  CLI::App* simImageCommand =
      app.add_subcommand("sim-image", "the image with the temporary folder Wine reported");
  simImageCommand->add_option("--image", simImage.image)->required();
  simImageCommand->add_option("--results", simImage.results)->required();
  simImageCommand->add_option("--out", simImage.out)->required();
  CheckArguments check;
  CLI::App* checkCommand = app.add_subcommand("check", "the machine after the Wine run");
  checkCommand->add_option("--image", check.run.image)->required();
  checkCommand->add_option("--prefix", check.run.prefix)->required();
  checkCommand->add_option("--template", check.run.template_)->required();
  checkCommand->add_option("--results", check.run.results)->required();
  checkCommand->add_option("--outcome", check.outcome)->required();
  checkCommand->add_option("--sim", check.sim);
  checkCommand->add_flag("--summary", check.summary);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done);  // --help
  } catch (const CLI::ParseError& error) {
    // CLI11 would only say that a command is needed; name the word it did not know.
    bool unknownCommand = argc > 1 && argv[1][0] != '-';
    for (const CLI::App* command : {prepareCommand, simImageCommand, checkCommand})
      unknownCommand = unknownCommand && command->get_name() != argv[1];
    std::cerr << "wine-harness: "
              << (unknownCommand ? "unknown command " + std::string(argv[1]) : error.what()) << "\n"
              << "usage: wine-harness prepare|sim-image|check --NAME VALUE ...\n";
    return kBadInput;
  }
  try {
    if (prepareCommand->parsed()) {
      Prepare(prepare);
      return kAgree;
    }
    if (simImageCommand->parsed()) return SimImage(simImage);
    return Check(check);
  } catch (const std::exception& error) {
    std::cerr << "wine-harness: " << error.what() << "\n";
    return kBadInput;
  }
}
