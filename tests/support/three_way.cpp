#include "support/three_way.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "app/startup.h"
#include "exe_run.h"
#include "support/machine_lines.h"
#include "transcript_json.h"

namespace test {
namespace {

struct Exe {
  const char* preset;
  std::vector<std::uint8_t> bytes;
  runner::ExeRunOptions options;
  bool found = false;
};

Exe LoadExe(const char* preset) {
  Exe exe;
  exe.preset = preset;
  std::filesystem::path path =
      std::filesystem::path(ORBELLE_SOURCE_DIR) / "build" / preset / "Uninstall.exe";
  std::ifstream in(path, std::ios::binary);
  if (!in) return exe;
  exe.bytes.assign(std::istreambuf_iterator<char>(in), {});
  exe.options.symbols = runner::MapSymbolTable::ReadBeside(path);
  // Tests give the exe's file a few bytes of their own and some depend on them (a copy one
  // byte longer); uninstall-sim --exe and its tests run the real bytes from the file.
  exe.options.standInFiles = true;
  exe.found = true;
  return exe;
}

const std::vector<Exe>& Exes() {
  static const std::vector<Exe> exes = {LoadExe("win32"), LoadExe("win64")};
  return exes;
}

// The trace with the events in their places: one list, so a difference in either shows at
// the point where the runs went apart. The machines they leave are compared on their own.
std::vector<std::string> Story(const emu::Session& session, emu::RunStatus status) {
  std::vector<std::string> story;
  std::size_t event = 0;
  for (const auto& line : session.record.trace) {
    for (; event < line.afterEvents && event < session.record.events.size(); ++event)
      story.push_back("  [event] " + machine_image::EventLine(session.record.events[event]));
    story.push_back(line.text);
  }
  for (; event < session.record.events.size(); ++event)
    story.push_back("  [event] " + machine_image::EventLine(session.record.events[event]));
  story.push_back(status == emu::RunStatus::Completed ? "(run completed)" : "(run stopped)");
  for (const std::string& path : session.record.restartDeletes)
    story.push_back("  [pending] " + path);
  return story;
}

std::string Around(const std::vector<std::string>& story, std::size_t at) {
  std::string text;
  std::size_t from = at > 8 ? at - 8 : 0;
  for (std::size_t i = from; i < std::min(story.size(), at + 5); ++i)
    text += (i == at ? ">>> " : "    ") + story[i] + "\n";
  if (at >= story.size()) text += ">>> (ends here)\n";
  return text;
}

void Compare(const std::vector<std::string>& host, const machine_image::Snapshot& hostMachine,
             const emu::Session& ran, emu::RunStatus status, const Exe& exe,
             const runner::ExeRunResult& result) {
  const Change machine = Changes(hostMachine, machine_image::TakeSnapshot(ran.machine));
  if (!machine.removed.empty() || !machine.added.empty()) {
    ADD_FAILURE() << "the " << exe.preset << " exe left another machine than the host build:\n"
                  << "--- host build only:" << Join(machine.removed) << "\n--- " << exe.preset
                  << " Uninstall.exe only:" << Join(machine.added);
  }
  std::vector<std::string> story = Story(ran, status);
  std::string faults;
  for (const std::string& fault : result.faults) faults += fault + "\n";
  auto [hostAt, exeAt] = std::mismatch(host.begin(), host.end(), story.begin(), story.end());
  if (hostAt == host.end() && exeAt == story.end() && faults.empty()) return;
  std::size_t at = static_cast<std::size_t>(hostAt - host.begin());
  ADD_FAILURE() << "the " << exe.preset << " exe's run differs from the host build's at line "
                << at + 1 << "\n"
                << faults << "--- host build:\n"
                << Around(host, at) << "--- " << exe.preset << " Uninstall.exe:\n"
                << Around(story, at);
}

emu::RunStatus RunAll(emu::Session& session, const std::string* image,
                      const std::string* commandLine, const std::string* currentDir) {
  std::vector<emu::Session> copies(Exes().size(), session);
  emu::RunStatus status =
      image ? emu::Run(session, &UninstallerStartup, *image, *commandLine, *currentDir)
            : emu::Run(session, &UninstallerStartup);
  const std::vector<std::string> host = Story(session, status);
  const machine_image::Snapshot hostMachine = machine_image::TakeSnapshot(session.machine);
  for (std::size_t i = 0; i < copies.size(); ++i) {
    const Exe& exe = Exes()[i];
    if (!exe.found) {
      ADD_FAILURE() << "build/" << exe.preset << "/Uninstall.exe is missing: build it with cmake "
                    << "--preset " << exe.preset << " && cmake --build build/" << exe.preset;
      continue;
    }
    runner::ExeRunResult result =
        image ? runner::RunExe(copies[i], exe.bytes, *image, *commandLine, *currentDir, exe.options)
              : runner::RunExe(copies[i], exe.bytes, exe.options);
    Compare(host, hostMachine, copies[i], result.status, exe, result);
  }
  return status;
}

}  // namespace

const std::vector<std::uint8_t>& ExeBytes(const char* preset) {
  for (const Exe& exe : Exes()) {
    if (std::string(exe.preset) == preset) return exe.bytes;
  }
  static const std::vector<std::uint8_t> none;
  return none;
}

emu::RunStatus RunThreeWays(emu::Session& session) {
  return RunAll(session, nullptr, nullptr, nullptr);
}

emu::RunStatus RunThreeWays(emu::Session& session, const std::string& image,
                            const std::string& commandLine, const std::string& currentDir) {
  return RunAll(session, &image, &commandLine, &currentDir);
}

}  // namespace test
