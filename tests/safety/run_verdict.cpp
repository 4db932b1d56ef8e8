#include "safety/run_verdict.h"

#include <algorithm>
#include <optional>

#include "platform/emulated/code_page.h"
#include "platform/emulated/trace_format.h"
#include "platform_api.h"
#include "safety/faulted_call.h"
#include "support/run_support.h"

namespace safety {
namespace {

using emu::detail::Quote;

const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kClassKeyId[] = "HKCR\\ORBELLE";
constexpr int kWorker = 2;  // the launcher is process 1 and starts exactly one worker

struct Box {
  std::string style, answer, text;
};

std::vector<Box> BoxesOf(const emu::Session& session, int process) {
  std::vector<Box> boxes;
  for (const auto& event : session.record.events) {
    if (event.kind == emu::Event::Kind::Message && event.process == process) {
      boxes.push_back({event.style, event.answer, event.text});
    }
  }
  return boxes;
}

std::vector<Box> Closing(const std::vector<Box>& boxes) {
  std::vector<Box> closing;
  for (const auto& box : boxes) {
    if (box.style == "MB_OK") closing.push_back(box);
  }
  return closing;
}

bool Present(const MachineState& state, const std::string& id) {
  return !id.empty() && Find(state, id) != nullptr;
}

bool SameValue(const SnapshotItem* a, const SnapshotItem* b) {
  return machine_image::SameItem(machine_image::ItemKind::Value, *a, *b);
}

// A default value that names a class: a REG_SZ of its name.
bool NamesClass(const SnapshotItem* value, const std::string& className) {
  const std::string data = className + '\0';
  return value && value->type == REG_SZ && value->data == emu::Bytes(data.begin(), data.end());
}

class Judge {
 public:
  Judge(const ImageFacts& facts, const emu::Session& session, const MachineState& before,
        const MachineState& after)
      : facts_(facts), session_(session), before_(before), after_(after) {
    fault_ = FindFaultedCall(session);
    if (fault_) verdict_.faultedCall = fault_->call;
  }

  RunVerdict Run(emu::RunStatus status, const JudgeOptions& options) {
    CheckProcesses(status);
    CheckFootprint();
    CheckExtensions();
    CheckMessagesAndOutcome();
    CheckRestartDeletions();
    CheckWininit();
    CheckForeignDlls();
    if (options.requireCompleteRemoval && !fault_ && verdict_.succeeded) CheckCompleteRemoval();
    return std::move(verdict_);
  }

 private:
  void Violation(std::string text) { verdict_.violations.push_back(std::move(text)); }

  // On XP before SP2 a process that could not load common controls 6 shows no box at all:
  // MessageBoxA answers 0, and nothing can tell the user anything.
  bool BoxesCannotShow(int process) const {
    return emu::BoxesNeedComctl32(session_.scenario) && fault_ && fault_->process == process &&
           fault_->Is("LoadLibraryA(" + Quote("comctl32.dll") + ")");
  }

  bool WorkerFault(const std::string& prefix) const {
    return fault_ && fault_->process == kWorker && fault_->Is(prefix);
  }

  // GetFileAttributesA's failure is how the platform says "absent": the uninstaller skips the file.
  // Only the first look at a path is the existence check; a later one (before clearing a
  // read-only bit) that fails leaves the file to a deletion that reports for itself.
  bool ExistenceCheckFailed(const std::string& path) const {
    const std::string look = "GetFileAttributesA(" + Quote(path) + ")";
    return WorkerFault(look) && !CalledBefore(session_, *fault_, look);
  }

  // The first open of the class key tells an absent class from one that resists deletion; a
  // failure there reads as "no class", which the uninstaller counts as success.
  bool ClassOpenFailed() const {
    const std::string open = "RegOpenKeyA(HKEY_CLASSES_ROOT, " + Quote("Orbelle") + ")";
    return WorkerFault(open) && !CalledBefore(session_, *fault_, open);
  }

  // A failed read of a shortcut folder fails the cleanup chain; the program group's read of
  // "Programs" (always the last open of the key) is ignored.
  bool ShortcutFolderReadFailed() const {
    const std::string open = "RegOpenKeyA(HKEY_CURRENT_USER, " + Quote(kShellFolders) + ")";
    if (WorkerFault(open)) return CalledAfter(session_, *fault_, open);
    if (!WorkerFault("RegQueryValueExA(")) return false;
    return std::any_of(facts_.shortcuts.begin(), facts_.shortcuts.end(), [&](const auto& s) {
      return fault_->call.find(", " + Quote(s.valueName) + ", ") != std::string::npos;
    });
  }

  // A failed read of UndoClass means "no previous class": the uninstaller deletes the whole key.
  bool UndoClassReadFailed(const ExtensionFacts& extension) const {
    return WorkerFault("RegQueryValueA([HKEY_CLASSES_ROOT\\" + extension.name + "], " +
                       Quote("UndoClass"));
  }

  // What the worker must report, derived from what the uninstaller checks and what the run left.
  bool ExpectedSuccess() const {
    if (!facts_.uninstaller.visible || Present(after_, facts_.uninstaller.id)) return false;
    for (const auto& file : facts_.programFiles) {
      if (file.visible && Present(after_, file.id) && !ExistenceCheckFailed(file.path)) {
        return false;
      }
    }
    if (facts_.classOpens && Present(after_, KeyId(kClassKeyId)) && !ClassOpenFailed()) {
      return false;
    }
    if (ShortcutFolderReadFailed()) return false;
    for (const auto& shortcut : facts_.shortcuts) {
      if (!shortcut.readable || shortcut.lostName) return false;
      const PathFacts& file = shortcut.shortcut;
      if (!shortcut.emptyFolder && file.visible && Present(after_, file.id) &&
          !ExistenceCheckFailed(file.path)) {
        return false;
      }
    }
    return true;
  }

  void CheckProcesses(emu::RunStatus status) {
    if (status != emu::RunStatus::Completed) Violation("the run did not end");
    for (const auto& process : emu::Processes(session_)) {
      if (!process.ended || process.exitCode != 0) {
        Violation("process " + std::to_string(process.id) + " did not exit with 0");
      }
    }
    if (emu::Processes(session_).size() > 2) Violation("more than one worker was started");
    if (emu::OpenKeyCount(session_) != 0) {
      Violation(std::to_string(emu::OpenKeyCount(session_)) + " registry key(s) left open");
    }
    // A CloseHandle that fails leaves its handle to the end of the process, as on Windows.
    if (!(fault_ && fault_->Is("CloseHandle("))) {
      for (const auto& process : emu::Processes(session_)) {
        if (process.handlesOpenAtExit != 0) {
          Violation("process " + std::to_string(process.id) + " left " +
                    std::to_string(process.handlesOpenAtExit) + " handle(s) open");
        }
      }
    }
    verdict_.workerStarted = emu::Processes(session_).size() >= 2;
  }

  bool AllowedByFault(const std::string& id) const {
    const std::string keyPath = KeyPathOf(id);
    if (keyPath.empty() || !facts_.classOpens) return false;
    for (const auto& extension : facts_.extensions) {
      if (extension.namesProduct && UndoClassReadFailed(extension) &&
          InTree(keyPath, extension.upperPath)) {
        return true;
      }
    }
    return false;
  }

  void CheckFootprint() {
    for (const auto& difference : Differences(before_, after_)) {
      if (!facts_.footprint.Contains(difference.id) && !AllowedByFault(difference.id)) {
        Violation("outside the footprint: " + Describe(difference));
      }
    }
  }

  // An extension that named the product keeps its way back: it names its previous class, is
  // gone, or still holds UndoClass as it was.
  void CheckExtensions() {
    for (const auto& extension : facts_.extensions) {
      if (!extension.namesProduct || !Present(after_, KeyId(extension.upperPath))) continue;
      const std::string defaultId = ValueId(extension.upperPath, "");
      const SnapshotItem* before = Find(before_, defaultId);
      const SnapshotItem* after = Find(after_, defaultId);
      if (!before || !after) {
        Violation(extension.name + " lost its default value but stayed");
        continue;
      }
      if (!SameValue(before, after)) {
        if (extension.designDeletesKey || extension.classNameLost ||
            !NamesClass(after, extension.previousClass)) {
          Violation(extension.name + " names neither the product nor its previous class");
        }
        continue;
      }
      if (extension.designDeletesKey || UndoClassReadFailed(extension)) continue;
      const std::string undoId = ValueId(extension.upperPath + "\\UNDOCLASS", "");
      const SnapshotItem* undoBefore = Find(before_, undoId);
      const SnapshotItem* undoAfter = Find(after_, undoId);
      if (undoBefore && (!undoAfter || !SameValue(undoBefore, undoAfter))) {
        Violation(extension.name + " still names the product but its previous class is lost");
      }
    }
  }

  void CheckMessagesAndOutcome() {
    const std::vector<Box> launcher = BoxesOf(session_, 1);
    const std::vector<Box> launcherClosing = Closing(launcher);
    if (launcherClosing.size() > 1) Violation("the launcher showed more than one closing message");
    for (const auto& box : launcher) {
      if (box.style == "MB_OKCANCEL") Violation("the launcher showed an in-use prompt");
    }
    // A launcher that can show no box has its confirmation answered 0, which is no Yes.
    const bool declined =
        (!launcher.empty() && launcher[0].style == "MB_YESNO" && launcher[0].answer != "IDYES") ||
        (launcher.empty() && BoxesCannotShow(1));
    const auto differences = Differences(before_, after_);

    if (!verdict_.workerStarted) {
      if (declined) {
        if (!launcherClosing.empty()) Violation("a declined run showed a closing message");
        if (!differences.empty()) Violation("a declined run changed " + Describe(differences[0]));
        return;
      }
      if (launcherClosing.size() != 1 || launcherClosing[0].text != test::kInternalError) {
        Violation("the launcher failed without the internal-error message");
      }
      for (const auto& difference : differences) {
        if (!IsCopyId(difference.id)) {
          Violation("a failed launcher changed " + Describe(difference));
        }
      }
      return;
    }

    if (!launcherClosing.empty()) Violation("the launcher showed a closing message and went on");
    CheckHandOff();
    const std::vector<Box> worker = BoxesOf(session_, kWorker);
    const std::vector<Box> closing = Closing(worker);
    for (const auto& box : worker) {
      if (box.style == "MB_YESNO") Violation("the worker asked for confirmation");
      if (box.style == "MB_OKCANCEL" && !IsProgramFilePrompt(box.text)) {
        Violation("an in-use prompt for no program file: " + box.text);
      }
    }
    if (closing.empty() && BoxesCannotShow(kWorker)) {
      if (!facts_.uninstaller.visible || Present(after_, facts_.uninstaller.id)) {
        CheckWorkerRemovedNothing(differences);
      }
      return;
    }
    if (closing.size() != 1) {
      Violation("the worker showed " + std::to_string(closing.size()) + " closing messages");
      return;
    }
    verdict_.succeeded = closing[0].text == test::kSuccess;
    const bool expected = ExpectedSuccess();
    if (verdict_.succeeded != expected) {
      Violation(std::string("the worker reported ") + (verdict_.succeeded ? "success" : "failure") +
                " where the uninstaller says " + (expected ? "success" : "failure"));
    }
    if (!verdict_.succeeded && closing[0].text != test::kInternalError) {
      Violation("the worker's closing message is neither success nor the internal error");
    }
    if (!facts_.uninstaller.visible || Present(after_, facts_.uninstaller.id)) {
      CheckWorkerRemovedNothing(differences);
    }
  }

  // A DLL mapped from anywhere but the system folder runs its code in the product's process,
  // the elevated worker's among them: whoever could write there took the machine over.
  void CheckForeignDlls() {
    for (const auto& event : session_.record.events) {
      if (event.kind != emu::Event::Kind::ForeignDll) continue;
      Violation("process " + std::to_string(event.process) +
                " loaded a DLL that is not the system's: " + event.path);
    }
  }

  bool IsProgramFilePrompt(const std::string& text) const {
    return std::any_of(facts_.programFiles.begin(), facts_.programFiles.end(),
                       [&](const auto& file) { return text == test::StillRunningText(file.path); });
  }

  void CheckHandOff() {
    for (const auto& event : session_.record.events) {
      if (event.kind != emu::Event::Kind::Start || event.process != kWorker) continue;
      auto handedOffFrom = [&](const std::string& copyPath) {
        return !copyPath.empty() && event.image == copyPath &&
               event.commandLine == "\"" + copyPath + "\" " + facts_.installFolder;
      };
      if (!handedOffFrom(facts_.copyPath) && !handedOffFrom(facts_.fallbackCopyPath)) {
        Violation("the worker was started as " + event.commandLine);
      }
    }
  }

  // Without the launcher's file deleted, the tail is no install folder of ours: the worker
  // must have removed nothing, so only the launcher's own changes show, and the worker's request
  // to delete its copy at restart, which on Windows 9x is a line in WININIT.INI.
  void CheckWorkerRemovedNothing(const std::vector<Difference>& differences) {
    for (const auto& difference : differences) {
      const std::string keyPath = KeyPathOf(difference.id);
      bool launcherPart = IsCopyId(difference.id) || OnlyAttributesChanged(difference) ||
                          (!facts_.wininitId.empty() && difference.id == facts_.wininitId) ||
                          InTree(keyPath, facts_.productKeys[0].upperPath) ||
                          InTree(keyPath, facts_.productKeys[1].upperPath);
      if (!launcherPart) {
        Violation("the launcher's file stayed, yet the worker changed " + Describe(difference));
      }
    }
  }

  // The copy as the worker may name it for a deletion at restart: its path, or on Windows 9x
  // the short form WININIT.EXE needs.
  bool IsOwnCopy(const std::string& path) const {
    const std::string canonical = emu::CanonicalPath(path);
    for (const std::string* copy : {&facts_.copyPath, &facts_.copyShortPath,
                                    &facts_.fallbackCopyPath, &facts_.fallbackCopyShortPath}) {
      if (!copy->empty() && emu::SameName(canonical, emu::CanonicalPath(*copy))) return true;
    }
    return false;
  }

  // The copy in either place the launcher may put it.
  bool IsCopyId(const std::string& id) const {
    return id == facts_.copy.id || id == facts_.fallbackCopy.id;
  }

  // The launcher's file loses its read-only bit before the worker's first attempt to delete it,
  // and keeps it lost when every attempt fails.
  bool OnlyAttributesChanged(const Difference& difference) const {
    return difference.id == facts_.uninstaller.id && difference.before && difference.after &&
           machine_image::SameItem(machine_image::ItemKind::File, *difference.before,
                                   *difference.after, {.attributes = 0});
  }

  // Only the worker's own copy may be deleted at the next restart.
  void CheckRestartDeletions() {
    for (const auto& path : session_.record.restartDeletes) {
      if (!IsOwnCopy(path)) Violation("a deletion at restart was requested for " + path);
    }
  }

  // WININIT.INI keeps every line it had, in their order, and its attributes; the worker adds at
  // most a [rename] section header and the NUL= line of its own copy.
  void CheckWininit() {
    if (facts_.wininitId.empty()) return;
    const emu::FsNode* file = session_.machine.files.Find(facts_.wininitPath);
    if (!file || file->directory) {
      if (facts_.wininitText) Violation("WININIT.INI was removed");
      return;
    }
    if (facts_.wininitText && file->attributes != facts_.wininitAttributes) {
      Violation("WININIT.INI's attributes changed");
    }
    const std::vector<std::string> before = Lines(facts_.wininitText.value_or(""));
    std::size_t kept = 0;
    for (const std::string& line : Lines(std::string(file->content.begin(), file->content.end()))) {
      if (kept < before.size() && line == before[kept]) {
        ++kept;
      } else if (!emu::SameName(line, "[rename]") &&
                 !(line.size() > 4 && emu::SameName(line.substr(0, 4), "NUL=") &&
                   // the file's text is in the system's ANSI code page
                   IsOwnCopy(emu::ToMachine(session_.scenario.codePage, line.substr(4))))) {
        Violation("WININIT.INI gained the line " + line);
      }
    }
    if (kept < before.size()) Violation("WININIT.INI lost the line " + before[kept]);
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(std::move(line));
      start = end + 1;
    }
    return lines;
  }

  void CheckCompleteRemoval() {
    auto stays = [&](const PathFacts& file) { return file.visible && Present(after_, file.id); };
    if (stays(facts_.uninstaller)) Violation("success, but Uninstall.exe stayed");
    for (const auto& file : facts_.programFiles) {
      if (stays(file)) Violation("success, but " + file.path + " stayed");
    }
    for (const auto& shortcut : facts_.shortcuts) {
      if (stays(shortcut.shortcut)) Violation("success, but " + shortcut.shortcut.path + " stayed");
    }
    for (const auto& key : facts_.productKeys) {
      if (key.present && key.targeted && !key.blocked && Present(after_, KeyId(key.upperPath))) {
        Violation("success, but the key " + key.upperPath + " stayed");
      }
    }
    if (!facts_.classOpens) return;
    for (const auto& extension : facts_.extensions) {
      if (!extension.namesProduct || extension.blocked) continue;
      const bool gone = !Present(after_, KeyId(extension.upperPath));
      const bool restored =
          NamesClass(Find(after_, ValueId(extension.upperPath, "")), extension.previousClass);
      if (extension.classNameLost) {
        // Untouched: its default value is what CheckExtensions compared with the one before.
        if (gone)
          Violation("success, but " + extension.name + " lost the only record of its class");
        continue;
      }
      if (extension.designDeletesKey ? !gone : !restored) {
        Violation("success, but " + extension.name + " was not given back");
      }
    }
  }

  const ImageFacts& facts_;
  const emu::Session& session_;
  const MachineState& before_;
  const MachineState& after_;
  std::optional<FaultedCall> fault_;
  RunVerdict verdict_;
};

}  // namespace

RunVerdict JudgeRun(const ImageFacts& facts, const emu::Session& session, emu::RunStatus status,
                    const MachineState& before, const MachineState& after,
                    const JudgeOptions& options) {
  return Judge(facts, session, before, after).Run(status, options);
}

}  // namespace safety
