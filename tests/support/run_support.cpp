#include "support/run_support.h"

#include <gtest/gtest.h>

#include "app/startup.h"
#include "support/installed_machine.h"
#include "support/machine_lines.h"
#include "support/three_way.h"

namespace test {

const char kInternalError[] = "Internal error, unable to continue uninstall process.";
const char kSuccess[] = "Uninstall successfully completed.";

std::string ConfirmText(const std::string& installFolder) {
  return "The \"Uninstall Orbelle\" procedure will:\n"
         "\n"
         "* Remove Orbelle Program Files from the " +
         installFolder +
         " folder.\n"
         "* Remove the Orbelle program group.\n"
         "* Remove Orbelle icons from the Desktop and Start Menu.\n"
         "* Remove Orbelle registry.\n"
         "* Restore original associations to VRML files.\n"
         "\n"
         "Do you want to continue?";
}

std::string StillRunningText(const std::string& path) {
  return path +
         " is still running and must be closed before uninstalling.  Press OK to continue "
         "waiting or Cancel to stop waiting.  If you Cancel you will not be able to uninstall.";
}

std::string Box(int process, const char* style, const char* answer, const std::string& text) {
  return std::to_string(process) + "|" + style + "|" + answer + "|" + text;
}

std::vector<std::string> Boxes(const emu::Session& session) {
  std::vector<std::string> boxes;
  for (const auto& event : session.record.events) {
    if (event.kind != emu::Event::Kind::Message) continue;
    EXPECT_EQ(event.caption, "Uninstall Orbelle");
    boxes.push_back(Box(event.process, event.style.c_str(), event.answer.c_str(), event.text));
  }
  return boxes;
}

std::vector<std::string> UninstalledBoxes() {
  return {Box(1, "MB_YESNO", "IDYES", ConfirmText(Install{}.folder)),
          Box(2, "MB_OK", "IDOK", kSuccess)};
}

std::vector<std::string> LauncherFailedBoxes() {
  return {Box(1, "MB_YESNO", "IDYES", ConfirmText(Install{}.folder)),
          Box(1, "MB_OK", "IDOK", kInternalError)};
}

RunResult RunUninstall(emu::Session& session) {
  const machine_image::Snapshot before = machine_image::TakeSnapshot(session.machine);
  RunResult result{RunThreeWays(session), {}, {}};
  auto change = Changes(before, machine_image::TakeSnapshot(session.machine));
  result.removed = std::move(change.removed);
  result.added = std::move(change.added);
  return result;
}

std::vector<std::string> StartedProcesses(const emu::Session& session) {
  std::vector<std::string> started;
  for (const auto& event : session.record.events) {
    if (event.kind == emu::Event::Kind::Start && event.process > 1) {
      started.push_back(event.image + "|" + event.commandLine + "|" + event.currentDir);
    }
  }
  return started;
}

std::vector<int> ExitCodes(const emu::Session& session) {
  std::vector<int> codes;
  for (const auto& process : emu::Processes(session))
    codes.push_back(process.ended ? process.exitCode : -1);
  return codes;
}

int SleepCount(const emu::Session& session) {
  int count = 0;
  for (const auto& event : session.record.events) count += event.kind == emu::Event::Kind::Sleep;
  return count;
}

}  // namespace test
