// KERNEL32's private profile functions for whole sections, the way WININIT.INI is written on
// Windows 95, 98 and ME; and the restart deletions such a write asks for there.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "code_page.h"
#include "file_use.h"
#include "paths.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

namespace {

using emu::detail::Location;
using emu::detail::QuoteArg;
using emu::detail::Trace;

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// A profile file without a byte order mark holds text in the system's ANSI code page, whatever
// page the calling program runs with; its lines are handled as the machine's Unicode.
std::vector<std::string> SplitLines(const emu::Session& session, const emu::Bytes& content) {
  std::vector<std::string> lines;
  std::string line;
  for (std::uint8_t byte : content) {
    if (byte == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(emu::ToMachine(session.scenario.codePage, line));
      line.clear();
    } else {
      line += static_cast<char>(byte);
    }
  }
  if (!line.empty()) lines.push_back(emu::ToMachine(session.scenario.codePage, line));
  return lines;
}

// "[name]" with blanks around the name allowed, compared as Windows compares section names.
bool IsSectionHeader(const std::string& line, std::string_view name) {
  const std::string text = Trim(line);
  if (text.size() < 2 || text.front() != '[') return false;
  const auto close = text.find(']');
  if (close == std::string::npos) return false;
  return emu::SameName(Trim(std::string_view(text).substr(1, close - 1)), name);
}

bool IsAnyHeader(const std::string& line) {
  const std::string text = Trim(line);
  return !text.empty() && text.front() == '[';
}

// The index range of the section's lines (after its header), or nullopt when it is missing.
struct SectionSpan {
  std::size_t header = 0, first = 0, end = 0;
};
std::optional<SectionSpan> FindSection(const std::vector<std::string>& lines,
                                       std::string_view name) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!IsSectionHeader(lines[i], name)) continue;
    SectionSpan span{i, i + 1, i + 1};
    while (span.end < lines.size() && !IsAnyHeader(lines[span.end])) ++span.end;
    return span;
  }
  return std::nullopt;
}

// The section's entries as Windows returns them: each non-empty line, trimmed.
std::vector<std::string> SectionEntries(const std::vector<std::string>& lines,
                                        const SectionSpan& span) {
  std::vector<std::string> entries;
  for (std::size_t i = span.first; i < span.end; ++i) {
    std::string entry = Trim(lines[i]);
    if (!entry.empty()) entries.push_back(std::move(entry));
  }
  return entries;
}

// What WININIT.EXE would delete: the value of each NUL= entry.
std::vector<std::string> PendingDeletions(const std::vector<std::string>& entries) {
  std::vector<std::string> paths;
  for (const std::string& entry : entries) {
    const auto equals = entry.find('=');
    if (equals == std::string::npos) continue;
    if (emu::SameName(Trim(std::string_view(entry).substr(0, equals)), "NUL")) {
      paths.push_back(Trim(std::string_view(entry).substr(equals + 1)));
    }
  }
  return paths;
}

bool IsWininit(const emu::Session& session, const Location& file) {
  return emu::IsWindows9x(session.scenario) &&
         emu::SameName(file.RealPath(),
                       emu::CanonicalPath(session.scenario.windowsFolder + "\\WININIT.INI"));
}

// On Windows 9x, each NUL= line that the write added is a deletion at the next restart: the
// machine after the run is the machine before it, so the file stays and the request is recorded.
void RecordNewDeletions(emu::Session& session, std::vector<std::string> before,
                        const std::vector<std::string>& after) {
  for (const std::string& path : after) {
    auto same = std::find_if(before.begin(), before.end(),
                             [&](const std::string& old) { return emu::SameName(old, path); });
    if (same != before.end()) {
      before.erase(same);
      continue;
    }
    session.record.restartDeletes.push_back(path);
    emu::Event event =
        emu::detail::NewEvent(emu::Event::Kind::RestartDelete, emu::detail::CurrentProcess().id);
    event.path = path;
    session.record.events.push_back(std::move(event));
  }
}

std::string Entries(const char* multi) {
  std::string text;
  for (const char* entry = multi; entry && *entry; entry += std::strlen(entry) + 1) {
    text += (text.empty() ? "" : ", ") + QuoteArg(entry);
  }
  return "{" + text + "}";
}

}  // namespace

// The section's lines, each ended by NUL, and a second NUL after the last, in the caller's code
// page. Windows returns the number of bytes copied without that last NUL; a section that does
// not fit is cut and the result is nSize - 2. A missing file or section gives 0 and an empty
// list.
DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                       LPCSTR lpFileName) {
  using namespace emu::detail;
  const Call<DWORD> call("GetPrivateProfileSectionA(" + QuoteArg(lpAppName) + ", " +
                         std::to_string(nSize) + ", " + QuoteArg(lpFileName) + ")");
  auto answer = [&](const std::string& joined, const std::string& shown) {
    DWORD result = 0;
    if (nSize >= 2) {
      if (joined.size() + 1 <= nSize) {
        std::memcpy(lpReturnedString, joined.data(), joined.size());
        lpReturnedString[joined.size()] = '\0';
        result = static_cast<DWORD>(joined.size() == 0 ? 0 : joined.size());
        if (joined.empty()) lpReturnedString[1] = '\0';
      } else {
        std::memcpy(lpReturnedString, joined.data(), nSize - 2);
        lpReturnedString[nSize - 2] = '\0';
        lpReturnedString[nSize - 1] = '\0';
        result = nSize - 2;
      }
    }
    return call.Return(result, std::to_string(result) + " " + shown);
  };
  if (call.Injected()) {
    SetError(ERROR_ACCESS_DENIED);
    return answer({}, "(ERROR_ACCESS_DENIED)");
  }
  emu::Session& session = CurrentSession();
  Location named = LocateForProcess(lpFileName);
  Location file = named.error || !named.node ? named : FollowLink(session.machine.files, named);
  if (file.error || !file.node || file.node->directory) {
    SetError(file.error ? file.error : ERROR_FILE_NOT_FOUND);
    return answer({}, "(no file)");
  }
  const std::vector<std::string> lines = SplitLines(session, file.node->content);
  const auto span = FindSection(lines, FromProgram(lpAppName));
  if (!span) return answer({}, "(no section)");
  std::string joined;
  for (const std::string& entry : SectionEntries(lines, *span)) joined += ToProgram(entry) + '\0';
  return answer(joined, Entries(joined.c_str()));
}

// Replaces the section's lines with the given entries, written as they are (duplicate keys
// included, which is what WININIT.INI needs), with CRLF line ends. A missing section is added at
// the end of the file, a missing file is created; a read-only file refuses the write.
BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
  using namespace emu::detail;
  const Call<BOOL> call("WritePrivateProfileSectionA(" + QuoteArg(lpAppName) + ", " +
                        Entries(lpString) + ", " + QuoteArg(lpFileName) + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  if (!lpAppName || !lpString)
    return call.Fail(ERROR_INVALID_PARAMETER);  // deletions: not modelled
  emu::Session& session = CurrentSession();
  Location named = LocateForProcess(lpFileName);
  if (named.error) return call.Fail(named.error);
  Location file = FollowLink(session.machine.files, named);
  if (file.error) return call.Fail(file.error);
  if (!file.node && !file.folder) return call.Fail(ERROR_PATH_NOT_FOUND);
  if (file.root || (file.node && file.node->directory)) return call.Fail(ERROR_ACCESS_DENIED);
  if (file.node && (file.node->attributes & FILE_ATTRIBUTE_READONLY)) {
    return call.Fail(ERROR_ACCESS_DENIED);
  }
  if (IsRunningImage(session, file.RealPath()) || HeldAgainstWriting(session, file.RealPath())) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }

  std::vector<std::string> lines;
  if (file.node) lines = SplitLines(session, file.node->content);
  std::vector<std::string> entries;
  for (const char* entry = lpString; *entry; entry += std::strlen(entry) + 1) {
    entries.push_back(FromProgram(entry));
  }
  const std::string sectionName = FromProgram(lpAppName);
  std::vector<std::string> before;
  const auto span = FindSection(lines, sectionName);
  if (span) {
    before = PendingDeletions(SectionEntries(lines, *span));
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(span->first),
                lines.begin() + static_cast<std::ptrdiff_t>(span->end));
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(span->first), entries.begin(),
                 entries.end());
  } else {
    lines.push_back("[" + sectionName + "]");
    lines.insert(lines.end(), entries.begin(), entries.end());
  }

  emu::Bytes content;
  for (const std::string& text : lines) {
    const std::string line = emu::FromMachine(session.scenario.codePage, text);
    content.insert(content.end(), line.begin(), line.end());
    content.push_back('\r');
    content.push_back('\n');
  }
  if (!file.node) {
    auto created = std::make_unique<emu::FsNode>();
    created->name = file.name;
    file.node = created.get();
    file.folder->children[emu::UpperName(file.name)] = std::move(created);
  }
  file.node->content = std::move(content);
  call.Return(TRUE, "TRUE");
  if (IsWininit(session, file) && emu::SameName(sectionName, "rename")) {
    RecordNewDeletions(session, std::move(before), PendingDeletions(entries));
  }
  return TRUE;
}
