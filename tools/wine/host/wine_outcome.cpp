#include "wine_outcome.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "encoding.h"
#include "image_source.h"
#include "machine_image.h"
#include "machine_snapshot.h"
#include "prefix_files.h"
#include "prepare.h"
#include "reg_reader.h"

namespace wine_harness {
namespace {

using machine_image::Snapshot;
using machine_image::TakeSnapshot;

constexpr std::uint32_t kReadOnly = 0x1;  // FILE_ATTRIBUTE_READONLY
constexpr const char* kUserShellFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

void LoadRegistry(const fs::path& file, emu::Machine& machine) {
  machine_image::ReadRegFile(ReadFileBytes(file), file.string(), machine);
}

// Splits "HKLM\a\b" into its root and the path below it.
emu::RegKey& CreateSnapshotKey(emu::Registry& registry, const std::string& path) {
  const std::size_t slash = path.find('\\');
  const auto root = emu::ParseRootName(path.substr(0, slash));
  if (!root) throw std::runtime_error("unexpected key " + path);
  return registry.CreateKey(*root, slash == std::string::npos ? "" : path.substr(slash + 1));
}

bool HasValueNamed(const Snapshot& snapshot, const std::string& keyUpper, const std::string& name) {
  return snapshot.values.contains(keyUpper + '\n' + emu::UpperName(name));
}

void BuildRegistry(const WineRun& run, const Snapshot& image, const Snapshot& simulated,
                   const std::set<std::string>& mirrored, emu::Machine& out) {
  emu::Machine after, before;
  LoadRegistry(run.results / "registry.reg", after);
  LoadRegistry(run.results / "template.reg", before);
  const Snapshot afterSnap = TakeSnapshot(after);
  const Snapshot beforeSnap = TakeSnapshot(before);
  for (const auto& [upper, key] : afterSnap.keys) CreateSnapshotKey(out.registry, key.path);
  for (const auto& [id, value] : afterSnap.values) {
    const std::string keyUpper = emu::UpperName(value.path);
    const bool wineHadKey = beforeSnap.keys.contains(keyUpper);
    const bool named = HasValueNamed(image, keyUpper, value.name) ||
                       HasValueNamed(simulated, keyUpper, value.name);
    if (wineHadKey && !named) continue;  // Wine's own value
    if (keyUpper == emu::UpperName(kUserShellFolders) &&
        mirrored.contains(emu::UpperName(value.name))) {
      continue;
    }
    CreateSnapshotKey(out.registry, value.path).SetValue(value.name, value.type, value.data);
  }
}

void BuildFiles(const WineRun& run, const Snapshot& image, const Snapshot& simulated,
                emu::Machine& out, std::vector<std::string>& vanished) {
  const auto wine = ListDrives(run.prefix);
  const auto template_ = ListDrives(run.template_);
  const std::string harness = emu::UpperName(std::string(kHarnessFolder));
  for (const auto& [upper, entry] : template_) {
    if (!wine.contains(upper) && !image.files.contains(upper) && !simulated.files.contains(upper)) {
      vanished.push_back(entry.path);
    }
  }
  for (const auto& [upper, entry] : wine) {
    const auto inImage = image.files.find(upper);
    const auto inSimulated = simulated.files.find(upper);
    const bool inHarness = upper == harness || upper.rfind(harness + "\\", 0) == 0;
    if (inImage == image.files.end() && inSimulated == simulated.files.end() &&
        (template_.contains(upper) || inHarness)) {
      continue;
    }
    // Spelled as the image spells it: Wine's "C:\windows" is the image's "C:\WINDOWS".
    const std::string& path = inImage != image.files.end()           ? inImage->second.path
                              : inSimulated != simulated.files.end() ? inSimulated->second.path
                                                                     : entry.path;
    if (entry.folder) {
      out.files.CreateFolder(path);
    } else {
      out.files.CreateFile(path).attributes = entry.readOnly ? kReadOnly : 0;
    }
  }
}

// The registry does not say who asked for a deletion at restart. A program asks for its own
// file (the worker for its temp copy); otherwise the last process that started is named.
void AttributeRestartDeletes(std::vector<emu::Event>& events) {
  for (emu::Event& event : events) {
    if (event.kind != emu::Event::Kind::RestartDelete || event.process != 0) continue;
    int last = 0, own = 0;
    for (const emu::Event& start : events) {
      if (start.kind != emu::Event::Kind::Start) continue;
      last = start.process;
      if (emu::SameName(start.image, event.path)) own = start.process;
    }
    event.process = own != 0 ? own : last;
  }
}

}  // namespace

// Wine's shell32 answers SHChangeNotify(SHCNE_ASSOCCHANGED) by starting winemenubuilder to
// rebuild the host desktop's file types. The test prefixes disable it (WINEDLLOVERRIDES, see
// tests/wine/wine_lib.sh), so it shows as a process that ends with STATUS_DLL_NOT_FOUND before
// orbrun can read its image or command line. That start is the one sign of the notice under
// Wine.
void RecogniseShellNotices(std::vector<emu::Event>& events) {
  constexpr int kDllNotFound = static_cast<int>(0xC0000135u);
  std::set<int> notices;
  for (const emu::Event& event : events) {
    if (event.kind != emu::Event::Kind::Start || !event.image.empty()) continue;
    const bool diedUnloaded = std::any_of(events.begin(), events.end(), [&](const auto& e) {
      return e.kind == emu::Event::Kind::Exit && e.process == event.process &&
             e.code == kDllNotFound;
    });
    if (diedUnloaded) notices.insert(event.process);
  }
  if (notices.empty()) return;
  std::vector<emu::Event> kept;
  std::vector<int> running;
  for (emu::Event& event : events) {
    if (notices.contains(event.process)) {
      if (event.kind == emu::Event::Kind::Start && !running.empty()) {
        emu::Event notice;
        notice.kind = emu::Event::Kind::ShellNotify;
        notice.process = running.back();
        notice.what = "SHCNE_ASSOCCHANGED";
        kept.push_back(std::move(notice));
      }
      continue;
    }
    if (event.kind == emu::Event::Kind::Start) running.push_back(event.process);
    if (event.kind == emu::Event::Kind::Exit) std::erase(running, event.process);
    kept.push_back(std::move(event));
  }
  for (emu::Event& event : kept) {
    const int before = event.process;
    const auto below =
        std::count_if(notices.begin(), notices.end(), [&](int n) { return n < before; });
    event.process = before - static_cast<int>(below);
  }
  events = std::move(kept);
}

void DropLaidValues(const std::vector<std::string>& laidValues, emu::Session& session) {
  emu::RegKey* key = session.machine.registry.FindKey(emu::Root::CurrentUser,
                                                      std::string(kUserShellFolders).substr(5));
  if (key == nullptr) return;
  for (const std::string& name : laidValues) {
    std::erase_if(key->values,
                  [&](const emu::RegValue& value) { return emu::SameName(value.name, name); });
  }
}

std::string ReadFileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<emu::Event> EventsFromJson(const std::vector<JsonObject>& lines) {
  using Kind = emu::Event::Kind;
  std::vector<emu::Event> events;
  for (const JsonObject& line : lines) {
    const auto field = [&](const char* name) -> std::string {
      const auto found = line.find(name);
      return found == line.end() ? std::string() : found->second.text;
    };
    // Exit codes are DWORDs (0xC0000135 and the like), kept as the emulator keeps them.
    const auto number = [&](const char* name) {
      const std::string digits = field(name);
      return digits.empty() ? 0 : static_cast<int>(static_cast<std::uint32_t>(std::stoull(digits)));
    };
    const std::string kind = field("event");
    emu::Event event;
    event.kind = Kind::Start;
    event.process = number("process");
    if (kind == "start") {
      event.kind = Kind::Start;
      event.image = field("image");
      event.commandLine = field("command_line");
      event.currentDir = field("current_dir");
    } else if (kind == "message") {
      event.kind = Kind::Message;
      event.caption = field("caption");
      event.text = field("text");
      event.style = field("style");
      event.answer = field("answer");
    } else if (kind == "sleep") {
      event.kind = Kind::Sleep;
      event.ms = static_cast<std::uint32_t>(number("ms"));
    } else if (kind == "restart_delete") {
      event.kind = Kind::RestartDelete;
      event.path = field("path");
    } else if (kind == "exit") {
      event.kind = Kind::Exit;
      event.code = number("code");
    } else if (kind == "shell_notify") {
      event.kind = Kind::ShellNotify;
      event.what = field("what");
    } else {
      continue;
    }
    events.push_back(std::move(event));
  }
  return events;
}

void BuildWineOutcome(const WineRun& run, const emu::Session* simulated, WineOutcome& outcome) {
  emu::Session image;
  std::vector<std::string> warnings;
  machine_image::LoadMachine(machine_image::ReadImageFolder(run.image), image, warnings);
  const Snapshot imageSnap = TakeSnapshot(image.machine);
  const Snapshot simulatedSnap =
      simulated != nullptr ? TakeSnapshot(simulated->machine) : Snapshot{};
  outcome.laidValues = MirrorShellFolders(image);
  std::set<std::string> mirrored;
  for (const std::string& name : outcome.laidValues) mirrored.insert(emu::UpperName(name));

  emu::Session& session = outcome.session;
  session.machine.registryHeader = image.machine.registryHeader;
  session.scenario.exePath = image.scenario.exePath;
  BuildRegistry(run, imageSnap, simulatedSnap, mirrored, session.machine);
  BuildFiles(run, imageSnap, simulatedSnap, session.machine, outcome.vanished);

  const fs::path eventsFile = run.results / "events.jsonl";
  const auto lines = ReadJsonLines(eventsFile.string(), ReadFileBytes(eventsFile));
  session.record.events = EventsFromJson(lines);
  RecogniseShellNotices(session.record.events);
  for (const JsonObject& line : lines) {
    const std::string kind = line.at("event").text;
    if (kind == "temp") outcome.tempPath = line.at("path").text;
    if (kind == "harness_error") outcome.harnessErrors.push_back(line.at("text").text);
  }
  session.scenario.tempPath = outcome.tempPath;
  AttributeRestartDeletes(session.record.events);
  for (const emu::Event& event : session.record.events) {
    if (event.kind == emu::Event::Kind::RestartDelete)
      session.record.restartDeletes.push_back(event.path);
  }
  const fs::path status = run.results / "status.txt";
  const std::string ended = fs::exists(status) ? ReadFileBytes(status) : "missing\n";
  if (ended != "ended\n") outcome.harnessErrors.push_back("orbrun status: " + ended);
}

}  // namespace wine_harness
