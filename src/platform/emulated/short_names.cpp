// GetShortPathNameA and the 8.3 aliases behind it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "code_page.h"
#include "paths.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

namespace {

using emu::FsNode;

// Beyond ASCII, a short name holds what the OEM code page holds; the system's ANSI page stands
// in for it here (850 and 866, the OEM pages beside 1252 and 1251, hold the same letters).
bool IsShortNameCharacter(char32_t c, unsigned codePage) {
  if (c >= 0x80) return emu::PageHolds(codePage, emu::Utf8(std::u32string(1, c)));
  if (c >= '0' && c <= '9') return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return c != 0 && std::strchr("!#$%&'()-@^_`{}~", static_cast<int>(c)) != nullptr;
}

// A name that is already 8.3 (up to 8 characters, at most one dot and 3 after it, nothing a
// short name cannot hold) has no alias: Windows gives it back as it is, its case kept.
// Short names are counted in characters of the OEM code page, a single-byte page on the systems
// modelled, so one character is one place.
bool IsShortName(std::string_view utf8, unsigned codePage) {
  const std::u32string name = emu::Utf32(utf8);
  const auto dot = name.find(U'.');
  const std::u32string_view base = std::u32string_view(name).substr(0, dot);
  const std::u32string_view extension = dot == std::u32string::npos
                                            ? std::u32string_view{}
                                            : std::u32string_view(name).substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (dot != std::u32string::npos && extension.empty()) return false;
  for (char32_t c : base) {
    if (!IsShortNameCharacter(c, codePage)) return false;
  }
  for (char32_t c : extension) {
    if (!IsShortNameCharacter(c, codePage)) return false;
  }
  return true;
}

// Windows' rule for the rest: blanks and every dot but the last go, characters a short name
// cannot hold become '_', letters are upper-cased; the first six characters of the base, "~N"
// and the first three of the extension, with the lowest N that no name in the folder has.
std::string AliasStem(std::string_view utf8, unsigned codePage, std::string& extension) {
  const std::u32string name = emu::Utf32(utf8);
  const auto lastDot = name.rfind(U'.');
  const bool hasExtension = lastDot != std::u32string::npos && lastDot + 1 < name.size();
  const std::u32string_view base =
      hasExtension ? std::u32string_view(name).substr(0, lastDot) : std::u32string_view(name);
  auto clean = [codePage](std::u32string_view part, std::size_t limit) {
    std::u32string out;
    for (char32_t c : part) {
      if (c == ' ' || c == '.') continue;
      if (out.size() == limit) break;
      out += IsShortNameCharacter(c, codePage) ? c : U'_';
    }
    return emu::UpperName(emu::Utf8(out));
  };
  extension =
      hasExtension ? clean(std::u32string_view(name).substr(lastDot + 1), 3) : std::string();
  std::string stem = clean(base, 6);
  return stem.empty() ? std::string("_") : stem;
}

// Aliases go out in the order of the folder's listing (Windows hands them out as files are
// created; the listing order stands in for that).
std::string ShortNameOf(const FsNode& folder, const FsNode& node, unsigned codePage) {
  if (IsShortName(node.name, codePage)) return node.name;
  std::vector<std::string> taken;
  for (const auto& [upper, child] : folder.children) {
    if (IsShortName(child->name, codePage)) taken.push_back(emu::UpperName(child->name));
  }
  for (const auto& [upper, child] : folder.children) {
    if (IsShortName(child->name, codePage)) continue;
    std::string extension;
    const std::string stem = AliasStem(child->name, codePage, extension);
    std::string alias;
    for (int n = 1;; ++n) {
      alias = stem + "~" + std::to_string(n) + (extension.empty() ? "" : "." + extension);
      if (std::find(taken.begin(), taken.end(), alias) == taken.end()) break;
    }
    taken.push_back(alias);
    if (child.get() == &node) return alias;
  }
  return node.name;
}

}  // namespace

namespace emu::detail {

FsNode* ChildByShortName(FsNode& folder, std::string_view name, unsigned codePage) {
  for (auto& [upper, child] : folder.children) {
    if (IsShortName(child->name, codePage)) continue;
    if (emu::SameName(ShortNameOf(folder, *child, codePage), name)) return child.get();
  }
  return nullptr;
}

}  // namespace emu::detail

// Each name of the path in its short form, in the caller's code page; the path must exist. A
// buffer too small gets nothing, and the result is the size needed in bytes, terminator
// included.
DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer) {
  using namespace emu::detail;
  const Call<DWORD> call("GetShortPathNameA(" + QuoteArg(lpszLongPath) + ", " +
                         std::to_string(cchBuffer) + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  if (!lpszLongPath) return call.Fail(ERROR_INVALID_PARAMETER);
  emu::Session& session = CurrentSession();
  PathParts parts;
  if (DWORD error =
          ParseProgramPath(FromProgram(lpszLongPath), CurrentProcess().currentDir, parts)) {
    return call.Fail(error);
  }
  auto drive = session.machine.files.drives.find(parts.drive);
  if (drive == session.machine.files.drives.end()) return call.Fail(ERROR_PATH_NOT_FOUND);
  std::string result = std::string{parts.drive, ':'};
  const FsNode* folder = &drive->second;
  for (std::size_t i = 0; i < parts.names.size(); ++i) {
    auto child = folder->children.find(emu::UpperName(parts.names[i]));
    if (child == folder->children.end()) {
      return call.Fail(i + 1 == parts.names.size() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    }
    result += "\\" + ShortNameOf(*folder, *child->second, session.scenario.codePage);
    const FsNode* next = child->second.get();
    // A folder link keeps its own short name; the walk goes on in its target.
    if (next->linkTarget && next->directory) next = session.machine.files.Find(*next->linkTarget);
    if (!next) return call.Fail(ERROR_PATH_NOT_FOUND);
    if (i + 1 < parts.names.size() && !next->directory) return call.Fail(ERROR_PATH_NOT_FOUND);
    folder = next;
  }
  if (parts.names.empty()) result += "\\";
  if (parts.trailingSeparator) result += "\\";
  result = ToProgram(result);
  if (result.size() + 1 > cchBuffer) {
    return call.Return(static_cast<DWORD>(result.size() + 1),
                       std::to_string(result.size() + 1) + " (does not fit; buffer untouched)");
  }
  std::memcpy(lpszShortPath, result.c_str(), result.size() + 1);
  return call.Return(static_cast<DWORD>(result.size()),
                     std::to_string(result.size()) + " " + QuoteArg(result));
}
