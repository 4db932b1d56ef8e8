// Running the product's processes one after another, and the stand-in process for unit tests.
#include "code_page.h"
#include "file_handles.h"
#include "paths.h"
#include "state.h"

namespace emu {
namespace {

// The folder a process started from this image runs in: the exe's folder, "C:\" at a root.
std::string FolderOf(const std::string& image) {
  auto slash = image.find_last_of("\\/");
  std::string folder = slash == std::string::npos ? std::string() : image.substr(0, slash);
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  return folder;
}

std::string FullOrAsIs(const std::string& path) {
  std::string full = CanonicalPath(path);
  return full.empty() ? path : full;
}

// Fills in where the image of a process started by the host (not by CreateProcessA) lives.
// Returns the file itself, or nullptr when there is none.
const FsNode* DescribeImage(Session& session, Process& process) {
  process.modulePath = FullOrAsIs(process.image);
  process.imageFile = process.modulePath;
  auto parts = detail::ParseAbsolute(process.image);
  if (!parts) return nullptr;
  auto file =
      detail::FollowLink(session.machine.files, detail::LocateParts(session.machine.files, *parts));
  if (file.error || !file.node || file.node->directory) return nullptr;
  process.imageFile = file.RealPath();
  process.imageBytes = std::make_shared<const Bytes>(file.node->content);
  return file.node;
}

// Runs one queued process to its end. Returns false when the run was stopped inside it.
bool RunProcess(Session& session, int id, EntryPoint entry) {
  auto at = static_cast<std::size_t>(id) - 1;
  Kernel(session).processes[at].running = true;
  // The host build runs the product, whose manifest is res/uninstall.manifest; a runner of real
  // exes fixes the page again from the exe's own manifest before any of its code runs.
  detail::StartProgram(session, Kernel(session).processes[at], ProductManifest());
  try {
    if (Kernel(session).processes[at].runsProduct) {
      entry();
      detail::Trace("(the entry returned without ExitProcess: exit code 0)");
    } else {
      detail::Trace("(" + Kernel(session).processes[at].image +
                    " holds no product code: the process ends at once, exit code 0)");
    }
    detail::RecordExit(session, id, 0);
  } catch (const detail::ProcessExit&) {
    // ExitProcess recorded the exit already.
  } catch (const detail::RunStopped&) {
    Kernel(session).processes[at].running = false;
    return false;
  }
  return true;
}

}  // namespace

RunStatus Run(Session& session, EntryPoint entry, const std::string& image,
              const std::string& commandLine, const std::string& currentDir) {
  int first = detail::AddProcess(session, image, commandLine, FullOrAsIs(currentDir));
  const FsNode* file = DescribeImage(session, Kernel(session).processes.back());
  Kernel(session).productImage.reset();
  if (file) Kernel(session).productImage = file->content;

  Event start = detail::NewEvent(Event::Kind::Start, first);
  start.image = image;
  start.commandLine = commandLine;
  start.currentDir = currentDir;
  session.record.events.push_back(std::move(start));

  detail::CurrentScope scope(session, first);
  // Processes that CreateProcessA adds are appended, so this reaches them in order.
  for (auto at = static_cast<std::size_t>(first) - 1; at < Kernel(session).processes.size(); ++at) {
    int id = static_cast<int>(at) + 1;
    scope.SwitchProcess(id);
    if (!RunProcess(session, id, entry)) return RunStatus::Stopped;
  }
  return RunStatus::Completed;
}

// The user's start: the exe path in double quotes, in the exe's folder.
RunStatus Run(Session& session, EntryPoint entry) {
  return Run(session, entry, session.scenario.exePath, "\"" + session.scenario.exePath + "\"",
             FolderOf(session.scenario.exePath));
}

ActiveProcess::ActiveProcess(Session& session, std::string_view currentDir, std::string_view image)
    : session_(session), id_(0), previousSession_(nullptr), previousProcess_(0) {
  std::string imagePath = image.empty() ? session.scenario.exePath : std::string(image);
  std::string folder = currentDir.empty() ? FolderOf(imagePath) : std::string(currentDir);
  id_ = detail::AddProcess(session, imagePath, "\"" + imagePath + "\"", FullOrAsIs(folder));
  DescribeImage(session, Kernel(session).processes.back());
  detail::StartProgram(session, Kernel(session).processes.back(), ProductManifest());
  Kernel(session).processes.back().running = true;
  previousSession_ = detail::SwapCurrent(&session, id_, &previousProcess_);
}

ActiveProcess::~ActiveProcess() {
  detail::CloseHandlesOf(session_, id_);
  Process& ended = process();
  ended.running = false;
  ended.ended = true;
  int ignored = 0;
  detail::SwapCurrent(previousSession_, previousProcess_, &ignored);
}

Process& ActiveProcess::process() const {
  return Kernel(session_).processes[static_cast<std::size_t>(id_) - 1];
}

}  // namespace emu
