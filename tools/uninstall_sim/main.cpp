// uninstall-sim: runs the uninstaller on an emulated Windows PC described by a machine image,
// writes the machine after the run to OUT_DIR and tells the run on stdout.
//
//   uninstall-sim [--exe PATH.exe] [MACHINE_DIR] --out OUT_DIR [--trace]
//
// With --exe the processes run that Windows exe's machine code on an emulated CPU instead of
// the host build of the product; the outcome is written the same way.
//
// Exit status: 0 the run completed; 2 bad input (usage, a bad image, an OUT_DIR that holds
// something else), nothing written; 3 the run was stopped after kMaxMessageBoxes boxes, the
// outcome so far written; 1 the host refused to write the outcome.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "change_summary.h"
#include "embedded_image.h"
#include "encoding.h"
#include "exe_run.h"
#include "image_error.h"
#include "machine_image.h"
#include "machine_snapshot.h"
#include "outcome_folder.h"
#include "readable_transcript.h"

namespace {

namespace fs = std::filesystem;

constexpr int kCompleted = 0;
constexpr int kHostFailure = 1;
constexpr int kBadInput = 2;
constexpr int kStopped = 3;

constexpr const char* kUsage =
    "usage: uninstall-sim [--exe PATH.exe] [MACHINE_DIR] --out OUT_DIR [--trace]\n"
    "  MACHINE_DIR  a machine image folder (registry.reg, drive_c/, scenario.ini);\n"
    "               without it, the default image: the product fully installed\n"
    "  --out        where the session after the run and transcript.jsonl go\n"
    "  --trace      also list every platform call the program makes\n"
    "  --exe        run this Uninstall.exe (i386 or x86_64) on an emulated CPU instead of the\n"
    "               host build; its link map beside it (Uninstall.map) names faulting code\n"
    "  --help       print this and exit\n";

struct Options {
  std::optional<fs::path> machineDir;
  fs::path outDir;
  bool trace = false;
  bool help = false;
  std::optional<fs::path> exe;
};

// Returns an error message, or "" when the arguments are good. --help prints kUsage rather
// than CLI11's own page, and options it does not know come back as extras so that the message
// names them the way this tool always has.
std::string ParseArguments(int argc, char** argv, Options& options) {
  CLI::App app("uninstall-sim");
  app.set_help_flag();
  app.allow_extras();
  std::string machineDir, exe;
  app.add_flag("--help", options.help);
  app.add_flag("--trace", options.trace);
  app.add_option("--out", options.outDir);
  app.add_option("--exe", exe);
  app.add_option("MACHINE_DIR", machineDir);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return error.what();
  }
  if (options.help) return "";
  for (const std::string& extra : app.remaining()) {
    if (extra.starts_with('-')) return "unknown option " + extra;
    return "more than one session folder: " + machineDir + " and " + extra;
  }
  if (app.count("MACHINE_DIR") != 0) options.machineDir = machineDir;
  if (app.count("--exe") != 0) options.exe = exe;
  if (options.outDir.empty()) return "missing --out OUT_DIR";
  return "";
}

std::vector<std::uint8_t> ReadExe(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the exe " + path.string());
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Writing the outcome into the image it came from would replace the image with it.
bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error);
}

void PrintHeading(const machine_image::ImageSource& source, const emu::Session& session) {
  std::cout << "Uninstall run on " << source.name << "\n"
            << "  program: " << session.scenario.exePath
            << "\n  temporary folder: " << session.scenario.tempPath << "\n  answers: ";
  static const char* const kWords[] = {"yes/ok", "no/cancel"};
  for (std::size_t i = 0; i < session.scenario.answers.size(); ++i) {
    std::cout << (i ? ", " : "")
              << kWords[session.scenario.answers[i] == emu::Answer::First ? 0 : 1];
  }
  std::cout << (session.scenario.answers.empty() ? "" : ", then ") << "the default button\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string usageError = ParseArguments(argc, argv, options);
  if (!usageError.empty()) {
    std::cerr << "uninstall-sim: " << usageError << "\n" << kUsage;
    return kBadInput;
  }
  if (options.help) {
    std::cout << kUsage;
    return kCompleted;
  }

  emu::Session session;
  std::vector<std::uint8_t> exe;
  machine_image::ImageSource source;
  try {
    source =
        options.machineDir ? machine_image::ReadImageFolder(*options.machineDir) : DefaultImage();
    std::vector<std::string> warnings;
    machine_image::LoadMachine(source, session, warnings);
    for (const std::string& warning : warnings)
      std::cerr << "uninstall-sim: warning: " << warning << "\n";
    if (options.machineDir && SameFolder(*options.machineDir, options.outDir)) {
      throw machine_image::OutcomeFolderError("--out names the session folder itself");
    }
    machine_image::CheckOutcomeFolder(options.outDir);
    if (options.exe) exe = ReadExe(*options.exe);
  } catch (const std::exception& error) {
    std::cerr << "uninstall-sim: " << error.what() << "\n";
    return kBadInput;
  }

  const machine_image::Snapshot before = machine_image::TakeSnapshot(session.machine);
  PrintHeading(source, session);
  emu::RunStatus status = emu::RunStatus::Completed;
  if (options.exe) {
    runner::ExeRunOptions runOptions;
    runOptions.symbols = runner::MapSymbolTable::ReadBeside(*options.exe);
    runner::ExeRunResult result = runner::RunExe(session, exe, runOptions);
    status = result.status;
    for (const std::string& fault : result.faults) {
      std::cerr << "uninstall-sim: " << options.exe->string() << " faulted in " << fault << "\n";
    }
  } else {
    status = emu::Run(session, &UninstallerStartup);
  }
  const bool stopped = status == emu::RunStatus::Stopped;

  machine_image::WriteReadableTranscript(std::cout, session, {options.trace, stopped});
  std::cout << "\n";
  for (const std::string& line : machine_image::SummariseChanges(
           before, machine_image::TakeSnapshot(session.machine), session.record.restartDeletes)) {
    std::cout << line << "\n";
  }
  try {
    machine_image::WriteOutcome(session, options.outDir);
  } catch (const std::exception& error) {
    std::cerr << "uninstall-sim: cannot write the outcome: " << error.what() << "\n";
    return kHostFailure;
  }
  std::cout << "\nOutcome written to " << options.outDir.string() << "\n";
  return stopped ? kStopped : kCompleted;
}
