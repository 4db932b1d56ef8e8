#include "outcome_compare.h"

#include <map>
#include <set>

#include "encoding.h"
#include "machine_diff.h"

namespace wine_harness {
namespace {

using machine_image::ItemKind;
using machine_image::Snapshot;
using machine_image::SnapshotItem;
using Kind = emu::Event::Kind;

std::string Describe(const SnapshotItem& value) {
  std::string text = "type " + std::to_string(value.type) + ", ";
  const bool isString = value.type == 1 || value.type == 2;
  if (isString) {
    std::string data(value.data.begin(), value.data.end());
    while (!data.empty() && data.back() == '\0') data.pop_back();
    return text + "\"" + data + "\"";
  }
  static const char* const kDigits = "0123456789abcdef";
  for (const std::uint8_t byte : value.data) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::string ValueName(const SnapshotItem& value) {
  return value.path + " value " + (value.name.empty() ? "@" : "\"" + value.name + "\"");
}

void CompareMachines(const Snapshot& wine, const Snapshot& sim, std::vector<std::string>& out) {
  // Wine answers with the case a name has on disk, and of the attributes keeps only read-only
  // on the host file itself (its write permission); the images that carry others do not run
  // under Wine, and its files hold no bytes of the image's.
  constexpr std::uint32_t kReadOnly = 0x1;  // FILE_ATTRIBUTE_READONLY
  const machine_image::DiffOptions options{
      .spelling = false, .contents = false, .attributes = kReadOnly};
  for (const auto& [kind, id, w, s] : machine_image::DiffMachines(wine, sim, options)) {
    if (kind == ItemKind::Key) {
      out.push_back("key " + (w ? w->path + ": kept under Wine, gone in the emulator"
                                : s->path + ": gone under Wine, kept by the emulator"));
    } else if (kind == ItemKind::Value) {
      // A value of a key that is gone on one side is already told with its key.
      const std::string key(id.substr(0, id.find('\n')));
      if (!w && wine.keys.contains(key)) out.push_back(ValueName(*s) + ": missing under Wine");
      if (!s && sim.keys.contains(key)) {
        out.push_back(ValueName(*w) + ": only under Wine (" + Describe(*w) + ")");
      }
      if (w && s) {
        out.push_back(ValueName(*s) + ": Wine has " + Describe(*w) + ", the emulator " +
                      Describe(*s));
      }
    } else if (!w || !s) {
      out.push_back(w ? w->path + ": present under Wine only"
                      : s->path + ": gone under Wine, kept by the emulator");
    } else if (w->folder != s->folder) {
      out.push_back(s->path + ": a " + (w->folder ? "folder" : "file") + " under Wine, a " +
                    (s->folder ? "folder" : "file") + " in the emulator");
    } else if (!s->folder) {  // a folder's attributes are not Wine's to keep
      const bool simReadOnly = (s->attributes & kReadOnly) != 0;
      out.push_back(s->path + ": " + (simReadOnly ? "writable" : "read-only") + " under Wine, " +
                    (simReadOnly ? "read-only" : "writable") + " in the emulator");
    }
  }
}

std::vector<const emu::Event*> OfKind(const emu::Session& session, Kind kind) {
  std::vector<const emu::Event*> events;
  for (const emu::Event& event : session.record.events) {
    if (event.kind == kind) events.push_back(&event);
  }
  return events;
}

std::string Quote(const std::string& value) {
  std::string text;
  for (const char c : value) text += c == '\n' ? std::string("\\n") : std::string(1, c);
  return "\"" + text + "\"";
}

void CompareMessages(const emu::Session& wine, const emu::Session& sim,
                     std::vector<std::string>& out) {
  const auto wineBoxes = OfKind(wine, Kind::Message);
  const auto simBoxes = OfKind(sim, Kind::Message);
  if (wineBoxes.size() != simBoxes.size()) {
    out.push_back("message boxes: " + std::to_string(wineBoxes.size()) + " under Wine, " +
                  std::to_string(simBoxes.size()) + " in the emulator");
  }
  for (std::size_t i = 0; i < std::min(wineBoxes.size(), simBoxes.size()); ++i) {
    const emu::Event& w = *wineBoxes[i];
    const emu::Event& s = *simBoxes[i];
    const std::string which = "message box " + std::to_string(i + 1) + ": ";
    if (w.process != s.process) {
      out.push_back(which + "shown by process " + std::to_string(w.process) + " under Wine, " +
                    std::to_string(s.process) + " in the emulator");
    }
    if (w.caption != s.caption)
      out.push_back(which + "caption " + Quote(w.caption) + " vs " + Quote(s.caption));
    // Paths inside the text come from GetModuleFileName, which Wine answers in the case the
    // file has on disk: letter case alone is no difference.
    if (!emu::SameName(w.text, s.text))
      out.push_back(which + "text " + Quote(w.text) + " vs " + Quote(s.text));
    if (w.style != s.style) out.push_back(which + "style " + w.style + " vs " + s.style);
    if (w.answer != s.answer) out.push_back(which + "answer " + w.answer + " vs " + s.answer);
  }
}

std::string FolderWithoutSlash(const std::string& path) {
  if (path.size() > 3 && path.back() == '\\') return path.substr(0, path.size() - 1);
  return path;
}

void CompareProcesses(const emu::Session& wine, const emu::Session& sim,
                      std::vector<std::string>& out) {
  std::map<int, const emu::Event*> wineStarts, simStarts, wineExits, simExits;
  for (const emu::Event* e : OfKind(wine, Kind::Start)) wineStarts[e->process] = e;
  for (const emu::Event* e : OfKind(sim, Kind::Start)) simStarts[e->process] = e;
  for (const emu::Event* e : OfKind(wine, Kind::Exit)) wineExits[e->process] = e;
  for (const emu::Event* e : OfKind(sim, Kind::Exit)) simExits[e->process] = e;
  if (wineStarts.size() != simStarts.size()) {
    out.push_back("processes: " + std::to_string(wineStarts.size()) + " under Wine, " +
                  std::to_string(simStarts.size()) + " in the emulator");
  }
  for (const auto& [number, s] : simStarts) {
    const auto found = wineStarts.find(number);
    if (found == wineStarts.end()) continue;
    const emu::Event& w = *found->second;
    const std::string which = "process " + std::to_string(number) + ": ";
    if (!emu::SameName(w.image, s->image))
      out.push_back(which + "image " + Quote(w.image) + " vs " + Quote(s->image));
    if (!emu::SameName(w.commandLine, s->commandLine)) {
      out.push_back(which + "command line " + Quote(w.commandLine) + " vs " +
                    Quote(s->commandLine));
    }
    if (!emu::SameName(FolderWithoutSlash(w.currentDir), FolderWithoutSlash(s->currentDir))) {
      out.push_back(which + "current folder " + Quote(w.currentDir) + " vs " +
                    Quote(s->currentDir));
    }
  }
  for (const auto& [number, s] : simExits) {
    const auto found = wineExits.find(number);
    if (found == wineExits.end()) {
      out.push_back("process " + std::to_string(number) + ": no exit under Wine");
    } else if (found->second->code != s->code) {
      out.push_back("process " + std::to_string(number) + ": exit code " +
                    std::to_string(found->second->code) + " vs " + std::to_string(s->code));
    }
  }
}

void CompareRestartDeletes(const emu::Session& wine, const emu::Session& sim,
                           std::vector<std::string>& out) {
  std::map<std::string, std::string> winePaths, simPaths;
  for (const emu::Event* e : OfKind(wine, Kind::RestartDelete))
    winePaths[emu::UpperName(e->path)] = e->path;
  for (const emu::Event* e : OfKind(sim, Kind::RestartDelete))
    simPaths[emu::UpperName(e->path)] = e->path;
  for (const auto& [upper, path] : simPaths) {
    if (!winePaths.contains(upper))
      out.push_back("restart deletion of " + path + ": missing under Wine");
  }
  for (const auto& [upper, path] : winePaths) {
    if (!simPaths.contains(upper))
      out.push_back("restart deletion of " + path + ": under Wine only");
  }
}

// The notices in their order, each with the process that sent it.
void CompareShellNotices(const emu::Session& wine, const emu::Session& sim,
                         std::vector<std::string>& out) {
  auto senders = [](const emu::Session& session) {
    std::vector<int> processes;
    for (const emu::Event* e : OfKind(session, Kind::ShellNotify)) processes.push_back(e->process);
    return processes;
  };
  const std::vector<int> wineSenders = senders(wine), simSenders = senders(sim);
  if (wineSenders == simSenders) return;
  auto list = [](const std::vector<int>& processes) {
    std::string text;
    for (int process : processes) text += (text.empty() ? "" : ", ") + std::to_string(process);
    return processes.empty() ? std::string("none") : "from process " + text;
  };
  out.push_back("shell notices: " + list(wineSenders) + " under Wine, " + list(simSenders) +
                " in the emulator");
}

}  // namespace

std::vector<std::string> CompareOutcomes(const emu::Session& wine, const emu::Session& simulated) {
  std::vector<std::string> out;
  CompareMachines(machine_image::TakeSnapshot(wine.machine),
                  machine_image::TakeSnapshot(simulated.machine), out);
  CompareMessages(wine, simulated, out);
  CompareProcesses(wine, simulated, out);
  CompareRestartDeletes(wine, simulated, out);
  CompareShellNotices(wine, simulated, out);
  return out;
}

}  // namespace wine_harness
