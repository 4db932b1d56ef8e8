#include "prepare.h"

#include <fstream>
#include <stdexcept>

#include "encoding.h"
#include "image_source.h"
#include "machine_image.h"
#include "machine_snapshot.h"
#include "prefix_files.h"
#include "reg_reader.h"
#include "reg_writer.h"

namespace wine_harness {
namespace {

constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

bool AnyDenied(const emu::RegKey& key) {
  if (key.denied) return true;
  for (const auto& [upper, child] : key.subkeys) {
    if (AnyDenied(*child)) return true;
  }
  return false;
}

bool AnyLink(const emu::FsNode& node) {
  if (node.linkTarget) return true;
  for (const auto& [upper, child] : node.children) {
    if (AnyLink(*child)) return true;
  }
  return false;
}

constexpr std::uint32_t kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4;  // FILE_ATTRIBUTE_*

bool AnyAttribute(const emu::FsNode& node, std::uint32_t attributes) {
  if (node.attributes & attributes) return true;
  for (const auto& [upper, child] : node.children) {
    if (AnyAttribute(*child, attributes)) return true;
  }
  return false;
}

// The folder without the backslash GetTempPath puts at its end.
std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

std::vector<std::string> UnrealisableParts(const emu::Session& session) {
  std::vector<std::string> parts;
  if (!session.scenario.faults.failingOperations.empty()) parts.push_back("[fail] operations");
  const auto& registry = session.machine.registry;
  if (AnyDenied(registry.localMachine) || AnyDenied(registry.currentUser) ||
      AnyDenied(registry.classesRoot)) {
    parts.push_back("[denied] keys");
  }
  for (const auto& [letter, root] : session.machine.files.drives) {
    if (AnyLink(root)) parts.push_back("[links]");
  }
  if (session.scenario.faults.imageRelease != 0) parts.push_back("image_release");
  // Wine runs as a Windows of the NT line, and a recent one; it keeps hidden and system in an
  // extended attribute of the host file, which the laying does not write (read-only it does: see
  // LayDrives).
  if (session.scenario.windows != emu::WindowsVersion::Nt)
    parts.push_back(std::string("windows=") + emu::WindowsName(session.scenario.windows));
  if (!emu::SameName(session.scenario.windowsFolder, "C:\\WINDOWS"))
    parts.push_back("windows_folder");
  for (const auto& [letter, root] : session.machine.files.drives) {
    if (AnyAttribute(root, kHidden | kSystem)) parts.push_back("[attributes] hidden or system");
  }
  for (const auto& [path, lock] : session.scenario.faults.locked) {
    if (!lock.always) parts.push_back("[locked] " + path + " for a number of attempts");
  }
  // A scanner that lets go after so many of the program's calls needs the emulator's count.
  for (const auto& race : session.scenario.races) {
    if (race.action == emu::Race::Action::Hold) {
      parts.push_back("[race] hold " + race.path + "=" + emu::HoldLength(race));
    }
  }
  return parts;
}

std::string TempDisagreement(const emu::Session& session) {
  const emu::RegKey* environment =
      session.machine.registry.FindKey(emu::Root::CurrentUser, "Environment");
  if (environment == nullptr) return {};
  for (const char* name : {"TMP", "TEMP"}) {
    const emu::RegValue* value = environment->FindValue(name);
    if (value == nullptr) continue;
    std::string folder(value->data.begin(), value->data.end());
    while (!folder.empty() && folder.back() == '\0') folder.pop_back();
    // An expandable value names its folder only once Wine expands it: the check stops here.
    if (value->type != 1 || folder.find('%') != std::string::npos) return {};
    if (emu::SameName(WithoutTrailingBackslash(folder),
                      WithoutTrailingBackslash(session.scenario.tempPath))) {
      return {};
    }
    return std::string("temp=") + session.scenario.tempPath + " is not HKCU\\Environment " + name +
           " (" + folder + "), the folder Wine's GetTempPath reports";
  }
  return {};
}

std::vector<std::string> MirrorShellFolders(emu::Session& session) {
  std::vector<std::string> changed;
  emu::RegKey* shell = session.machine.registry.FindKey(emu::Root::CurrentUser, kShellFolders);
  if (shell == nullptr) return changed;
  emu::RegKey& user = session.machine.registry.CreateKey(emu::Root::CurrentUser, kUserShellFolders);
  for (const emu::RegValue& value : shell->values) {
    if (value.name.empty()) continue;
    const emu::RegValue* existing = user.FindValue(value.name);
    if (existing != nullptr && existing->type == value.type && existing->data == value.data) {
      continue;
    }
    user.SetValue(value.name, value.type, value.data);
    changed.push_back(value.name);
  }
  return changed;
}

std::string FullKeyName(const std::string& shortName) {
  const std::size_t slash = shortName.find('\\');
  const std::string root = shortName.substr(0, slash);
  const auto parsed = emu::ParseRootName(root);
  if (!parsed) return shortName;
  return emu::RootName(*parsed) + (slash == std::string::npos ? "" : shortName.substr(slash));
}

void Prepare(const PrepareOptions& options) {
  emu::Session session;
  std::vector<std::string> warnings;
  machine_image::LoadMachine(machine_image::ReadImageFolder(options.image), session, warnings);
  const std::vector<std::string> unrealisable = UnrealisableParts(session);
  if (!unrealisable.empty()) {
    std::string list;
    for (const std::string& part : unrealisable) list += (list.empty() ? "" : ", ") + part;
    throw std::runtime_error(options.image.string() + ": Wine cannot realise " + list);
  }
  if (const std::string disagreement = TempDisagreement(session); !disagreement.empty())
    throw std::runtime_error(options.image.string() + ": " + disagreement);

  LayDrives(session.machine.files, options.prefix);
  const fs::path exe = HostPath(options.prefix, session.scenario.exePath, true);
  fs::copy_file(options.exe, exe, fs::copy_options::overwrite_existing);
  // The copy takes the build's permissions; a launcher the image marks read-only stays so.
  if (const emu::FsNode* laid = session.machine.files.Find(session.scenario.exePath);
      laid && (laid->attributes & kReadOnly)) {
    fs::permissions(exe, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }

  const machine_image::Snapshot before = machine_image::TakeSnapshot(session.machine);
  MirrorShellFolders(session);
  // Version 5.00 (UTF-16) so that reg import reads every character as the image means it.
  session.machine.registryHeader = machine_image::kRegedit5;
  const fs::path harness = HostPath(options.prefix, kHarnessFolder, true);
  fs::create_directories(harness / "out");
  WriteText(harness / "import.reg", machine_image::WriteRegFile(session.machine));

  std::string plan = "exe=" + session.scenario.exePath + "\n";
  plan += "answers=";
  for (std::size_t i = 0; i < session.scenario.answers.size(); ++i) {
    plan += (i ? "," : "");
    plan += session.scenario.answers[i] == emu::Answer::First ? "first" : "second";
  }
  plan += "\n";
  for (const auto& [upper, lock] : session.scenario.faults.locked) {
    plan += "hold=" + upper + "\n";
  }
  for (const auto& [upper, key] : before.keys) plan += "key=" + FullKeyName(key.path) + "\n";
  plan += std::string("out=") + kHarnessFolder + "\\out\n";
  plan += std::string("import=") + kHarnessFolder + "\\import.reg\n";
  plan += std::string("handshake=") + (options.handshake ? "1" : "0") + "\n";
  plan += "timeout_ms=" + std::to_string(options.timeoutMs) + "\n";
  WriteText(harness / "plan.txt", plan);
}

}  // namespace wine_harness
