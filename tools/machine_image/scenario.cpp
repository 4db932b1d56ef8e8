#include "scenario.h"

#include <charconv>
#include <set>
#include <stdexcept>

#include "encoding.h"
#include "file_attributes.h"
#include "image_error.h"
#include "text_lines.h"

namespace machine_image {
namespace {

enum class Section { None, Run, Locked, Denied, Fail, Links, Race, Attributes };

bool IsAbsolutePath(std::string_view path) {
  return !emu::CanonicalPath(path).empty();
}

class ScenarioParser {
 public:
  ScenarioParser(const std::string& fileName, emu::Session& session,
                 std::vector<std::string>& warnings)
      : fileName_(fileName), session_(session), warnings_(warnings) {}

  void Line(int number, std::string_view raw) {
    line_ = number;
    // ';' starts a comment wherever it stands, so no path in a scenario can hold one.
    const std::string text = Trim(raw.substr(0, raw.find(';')));
    if (text.empty()) return;
    if (text.front() == '[') return StartSection(text);
    switch (section_) {
      case Section::None:
        Fail("\"" + text + "\" stands outside any section");
      case Section::Run:
        return RunEntry(text);
      case Section::Locked:
        return LockedEntry(text);
      case Section::Denied:
        return DeniedEntry(text);
      case Section::Fail:
        return FailEntry(text);
      case Section::Links:
        return LinkEntry(text);
      case Section::Race:
        return RaceEntry(text);
      case Section::Attributes:
        return AttributesEntry(text);
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    throw ImageError(fileName_, line_, message);
  }

  void StartSection(const std::string& text) {
    if (text.back() != ']') Fail("a section name must end with ']'");
    const std::string name = LowerAscii(Trim(std::string_view(text).substr(1, text.size() - 2)));
    if (name == "run") {
      section_ = Section::Run;
    } else if (name == "locked") {
      section_ = Section::Locked;
    } else if (name == "denied") {
      section_ = Section::Denied;
    } else if (name == "fail") {
      section_ = Section::Fail;
    } else if (name == "links") {
      section_ = Section::Links;
    } else if (name == "race") {
      section_ = Section::Race;
    } else if (name == "attributes") {
      section_ = Section::Attributes;
    } else {
      Fail("unknown section " + text +
           " (known: [run], [locked], [denied], [fail], [links], [race], [attributes])");
    }
  }

  // Splits "key=value" at the first '=' (or the last, for [locked], whose values hold none
  // while its paths may); both sides trimmed, kept as Unicode.
  std::pair<std::string, std::string> KeyValue(const std::string& text, bool atLast) {
    const std::size_t equals = atLast ? text.rfind('=') : text.find('=');
    if (equals == std::string::npos) Fail("expected NAME=VALUE, found \"" + text + "\"");
    std::string key = Trim(std::string_view(text).substr(0, equals));
    if (key.empty()) Fail("nothing before '=' in \"" + text + "\"");
    return {std::move(key), Trim(std::string_view(text).substr(equals + 1))};
  }

  void RunEntry(const std::string& text) {
    auto [key, value] = KeyValue(text, false);
    const std::string name = LowerAscii(key);
    if (!seenRunKeys_.insert(name).second) Fail("[run] sets " + name + " twice");
    if (name == "exe") {
      if (!IsAbsolutePath(value)) Fail("exe must be a full path such as C:\\Folder\\Uninstall.exe");
      session_.scenario.exePath = value;
    } else if (name == "temp") {
      session_.scenario.tempPath = value;  // anything, even empty: GetTempPathA reports it as it is
    } else if (name == "answers") {
      session_.scenario.answers = Answers(value);
    } else if (name == "image_release") {
      session_.scenario.faults.imageRelease = Count(value, "image_release");
    } else if (name == "windows") {
      session_.scenario.windows = WindowsKind(value);
    } else if (name == "codepage") {
      const int codePage = Count(value, "codepage");
      if (codePage != 1252 && codePage != 1251) {
        Fail("codepage must be 1252 or 1251, found \"" + value + "\"");
      }
      session_.scenario.codePage = static_cast<unsigned>(codePage);
    } else if (name == "windows_folder") {
      const std::string full = emu::CanonicalPath(value);
      if (full.empty() || full.size() == 3) {
        Fail("windows_folder must be a full path such as C:\\WINDOWS, found \"" + value + "\"");
      }
      session_.scenario.windowsFolder = full;
    } else {
      Fail("unknown key \"" + key +
           "\" in [run] (known: exe, temp, answers, image_release, windows, windows_folder, "
           "codepage)");
    }
  }

  emu::WindowsVersion WindowsKind(const std::string& value) {
    const std::string kind = LowerAscii(value);
    for (const auto& [name, version] : emu::kWindowsNames) {
      if (kind == name) return version;
    }
    Fail("windows must be nt, 7, xp or 9x, found \"" + value + "\"");
  }

  std::vector<emu::Answer> Answers(const std::string& list) {
    std::vector<emu::Answer> answers;
    if (list.empty()) return answers;
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t comma = list.find(',', start);
      if (comma == std::string::npos) comma = list.size();
      const std::string word =
          LowerAscii(Trim(std::string_view(list).substr(start, comma - start)));
      if (word == "yes" || word == "ok") {
        answers.push_back(emu::Answer::First);
      } else if (word == "no" || word == "cancel") {
        answers.push_back(emu::Answer::Second);
      } else {
        Fail("unknown answer \"" + word + "\" (known: yes, ok, no, cancel)");
      }
      start = comma + 1;
    }
    return answers;
  }

  int Count(const std::string& text, const std::string& what) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
      Fail(what + " must be a whole number of 0 or more, found \"" + text + "\"");
    }
    return value;
  }

  void LockedEntry(const std::string& text) {
    auto [path, value] = KeyValue(text, true);
    emu::Lock lock;
    if (LowerAscii(value) == "always") {
      lock.always = true;
    } else {
      lock.failures = Count(value, "a lock");
    }
    const std::string full = emu::CanonicalPath(path);
    if (full.empty()) Fail("a locked file must be a full path, found \"" + path + "\"");
    session_.scenario.faults.locked[emu::UpperName(full)] = lock;
  }

  void DeniedEntry(const std::string& text) {
    const std::string path = text;
    const std::size_t slash = path.find('\\');
    const std::string rootName = path.substr(0, slash);
    const std::optional<emu::Root> root = emu::ParseRootName(rootName);
    if (!root) Fail("unknown registry root \"" + rootName + "\"");
    const std::string below = slash == std::string::npos ? "" : path.substr(slash + 1);
    emu::RegKey* key = session_.machine.registry.FindKey(*root, below);
    if (key == nullptr) {
      warnings_.push_back(fileName_ + ":" + std::to_string(line_) + ": [denied] key " + text +
                          " is not in the registry; nothing to deny");
      return;
    }
    key->denied = true;
  }

  void FailEntry(const std::string& text) {
    // Image authors write names in any case; the emulator matches the exact Win32 spelling.
    const std::string operation = emu::CanonicalFailableOperation(text);
    if (operation.empty()) {
      std::string known;
      for (const char* name : emu::FailableOperations()) known += std::string(" ") + name;
      Fail("\"" + text + "\" is not an operation that can be made to fail (known:" + known + ")");
    }
    session_.scenario.faults.failingOperations.insert(operation);
  }

  // A link replaces whatever the image has at its path; its contents, for a folder, would be
  // the target's, so a folder that holds anything cannot become one.
  void LinkEntry(const std::string& text) {
    auto [path, target] = KeyValue(text, false);
    if (!IsAbsolutePath(path)) Fail("a link must be a full path, found \"" + path + "\"");
    if (target.empty()) Fail("the link " + path + " needs a target");
    emu::FsNode* node = session_.machine.files.Find(path);
    if (node == nullptr) {
      const emu::FsNode* targetNode = session_.machine.files.Find(target);
      try {
        node = &session_.machine.files.CreateFile(path);
      } catch (const std::invalid_argument& error) {
        Fail(error.what());  // a file stands where the link's folder should be
      }
      node->directory = targetNode != nullptr && targetNode->directory;
    } else if (!node->children.empty()) {
      Fail("the folder " + path + " holds files and cannot be a link");
    }
    node->linkTarget = target;
  }

  // after=OPERATION#N ACTION PATH[=ARG]: PATH and ARG split at the first '=' (a delete takes
  // no ARG, so its PATH is the whole rest; a hold's PATH=K splits at the last).
  void RaceEntry(const std::string& text) {
    const std::string usage = " (expected after=OPERATION#N ACTION PATH[=ARG])";
    if (LowerAscii(text.substr(0, 6)) != "after=") Fail("a race starts with after=" + usage);
    std::string_view rest = std::string_view(text).substr(6);
    auto word = [&rest]() {
      const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
      std::string taken(rest.substr(0, end));
      rest = rest.substr(end);
      rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
      return taken;
    };
    const std::string after = word();
    const std::size_t hash = after.find('#');
    if (hash == std::string::npos) Fail("\"" + after + "\" names no call number" + usage);
    emu::Race race;
    race.operation = emu::CanonicalTracedOperation(after.substr(0, hash));
    if (race.operation.empty()) {
      Fail("\"" + after.substr(0, hash) + "\" is no operation the program calls");
    }
    race.call = Count(after.substr(hash + 1), "a call number");
    if (race.call < 1) Fail("a call number counts from 1");
    const std::string action = LowerAscii(word());
    if (action == "replace") {
      race.action = emu::Race::Action::Replace;
    } else if (action == "delete") {
      race.action = emu::Race::Action::Delete;
    } else if (action == "link") {
      race.action = emu::Race::Action::Link;
    } else if (action == "rename") {
      race.action = emu::Race::Action::Rename;
    } else if (action == "hold") {
      race.action = emu::Race::Action::Hold;
    } else {
      Fail("unknown race action \"" + action + "\" (known: replace, delete, link, rename, hold)");
    }
    const std::string target = Trim(rest);
    if (race.action == emu::Race::Action::Delete) {
      race.path = target;
    } else if (race.action == emu::Race::Action::Hold) {
      // PATH=K, split at the last '=' as [locked] splits: K is a number of calls or "always".
      const std::size_t equals = target.rfind('=');
      if (equals == std::string::npos) Fail("hold needs PATH=K (K calls, or always)" + usage);
      race.path = Trim(std::string_view(target).substr(0, equals));
      const std::string length = Trim(std::string_view(target).substr(equals + 1));
      if (LowerAscii(length) == "always") {
        race.holdAlways = true;
      } else {
        race.holdCalls = Count(length, "a hold's number of calls");
        if (race.holdCalls < 1) Fail("a hold lasts 1 call or more, or always");
      }
    } else {
      const std::size_t equals = target.find('=');
      if (equals == std::string::npos) Fail(action + " needs PATH=ARG" + usage);
      race.path = Trim(std::string_view(target).substr(0, equals));
      race.argument = Trim(std::string_view(target).substr(equals + 1));
      if (race.argument.empty()) Fail(action + " needs something after '='");
      if (race.action != emu::Race::Action::Link && !IsAbsolutePath(race.argument)) {
        Fail("\"" + race.argument + "\" must be a full path");
      }
    }
    if (!IsAbsolutePath(race.path)) Fail("a race acts on a full path, found \"" + race.path + "\"");
    session_.scenario.races.push_back(std::move(race));
  }

  // PATH=readonly,hidden,system (any of them): the attributes the file carries.
  void AttributesEntry(const std::string& text) {
    auto [path, value] = KeyValue(text, true);
    if (!IsAbsolutePath(path))
      Fail("a file with attributes must be a full path, found \"" + path + "\"");
    const std::optional<std::uint32_t> attributes = ParseAttributes(value);
    if (!attributes) {
      Fail("unknown attributes \"" + value +
           "\" (known: readonly, hidden, system, comma-separated)");
    }
    emu::FsNode* node = session_.machine.files.Find(path);
    if (node == nullptr) {
      warnings_.push_back(fileName_ + ":" + std::to_string(line_) + ": [attributes] " + path +
                          " is not on the drives; nothing to mark");
      return;
    }
    node->attributes = *attributes;
  }

  const std::string& fileName_;
  emu::Session& session_;
  std::vector<std::string>& warnings_;
  Section section_ = Section::None;
  std::set<std::string> seenRunKeys_;
  int line_ = 0;
};

}  // namespace

void ApplyScenario(std::string_view fileBytes, const std::string& fileName, emu::Session& session,
                   std::vector<std::string>& warnings) {
  DecodedText decoded;
  if (!DecodeTextFile(fileBytes, decoded)) {
    throw ImageError(fileName, 1, "unreadable encoding (UTF-16 needs a byte order mark)");
  }
  if (session.scenario.exePath.empty()) session.scenario.exePath = kDefaultExe;
  ScenarioParser parser(fileName, session, warnings);
  const std::vector<std::string> lines = SplitLines(decoded.utf8);
  for (std::size_t i = 0; i < lines.size(); ++i) parser.Line(static_cast<int>(i + 1), lines[i]);
}

}  // namespace machine_image
