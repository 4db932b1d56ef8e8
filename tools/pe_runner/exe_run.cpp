#include "exe_run.h"

#include <memory>

#include "code_page.h"
#include "guest_process.h"
#include "pe_resources.h"
#include "pe_version.h"
#include "state.h"

namespace runner {
namespace {

struct ActiveRun {
  const std::vector<std::uint8_t>* exe;
  const ExeRunOptions* options;
  ExeRunResult* result;
};
thread_local ActiveRun* g_run = nullptr;

// A process that faulted ends as Windows ends it, with the exception's status as exit code.
[[noreturn]] void EndWithFault(const std::string& report, std::uint32_t status) {
  emu::Process& process = emu::detail::CurrentProcess();
  int id = process.id;
  std::string firstLine = report.substr(0, report.find('\n'));
  emu::detail::Trace("(the exe faulted: " + firstLine + ")");
  g_run->result->faults.push_back("process " + std::to_string(id) + ": " + report);
  int code = static_cast<int>(status);
  emu::detail::RecordExit(emu::detail::CurrentSession(), id, code);
  throw emu::detail::ProcessExit{code};
}

void RunFileOfProcess() {
  emu::Process& process = emu::detail::CurrentProcess();
  std::shared_ptr<const emu::Bytes> bytes = process.imageBytes;
  if (!bytes || g_run->options->standInFiles)
    bytes = std::make_shared<const emu::Bytes>(*g_run->exe);
  std::string report;
  std::uint32_t status = 0xC0000005;
  try {
    process.resourceStrings =
        std::make_shared<const std::map<std::uint32_t, std::string>>(ExeStrings(*bytes));
    // Windows fixes the process's ANSI code page from the manifest of the file it starts.
    emu::detail::StartProgram(emu::detail::CurrentSession(), process, ExeManifest(*bytes));
    GuestOptions options;
    options.relocate = g_run->options->relocate;
    options.symbols = &g_run->options->symbols;
    GuestProcess guest(*bytes, options);
    report = guest.RunEntry();
    status = guest.faultStatus();
  } catch (const GuestFault& fault) {
    // Windows refuses to start an image it cannot load: STATUS_INVALID_IMAGE_FORMAT.
    report = std::string("the exe cannot be loaded: ") + fault.what();
    status = 0xC000007B;
  }
  if (!report.empty()) EndWithFault(report, status);
}

// The file process 1 starts from holds the exe, as the installer left it there. A machine
// without that file (a test's) still runs the exe in process 1, as the host build runs the
// product there whatever the file holds, so that the two ways stay comparable.
void PlaceExe(emu::Session& session, const std::string& path,
              const std::vector<std::uint8_t>& exe) {
  emu::FsNode* file = session.machine.files.Find(path);
  if (file && !file->directory && !file->linkTarget) file->content = exe;
}

ExeRunResult RunWith(emu::Session& session, const std::vector<std::uint8_t>& exe,
                     const ExeRunOptions& options, const std::string* image,
                     const std::string* commandLine, const std::string* currentDir) {
  if (!options.standInFiles) PlaceExe(session, image ? *image : session.scenario.exePath, exe);
  ExeRunResult result;
  ActiveRun run{&exe, &options, &result};
  ActiveRun* previous = g_run;
  g_run = &run;
  try {
    result.status = image ? emu::Run(session, &RunFileOfProcess, *image, *commandLine, *currentDir)
                          : emu::Run(session, &RunFileOfProcess);
  } catch (...) {
    g_run = previous;
    throw;
  }
  g_run = previous;
  return result;
}

}  // namespace

std::map<std::uint32_t, std::string> ExeStrings(const std::vector<std::uint8_t>& exe) {
  std::map<std::uint32_t, std::string> strings;
  try {
    pe::Image image = pe::Image::Parse(exe, "the exe");
    for (const pe::StringResource& string : pe::ReadStringTable(pe::ReadResources(image))) {
      std::string utf16le;
      for (const char16_t unit : string.text) {
        utf16le += static_cast<char>(unit & 0xFF);
        utf16le += static_cast<char>(unit >> 8);
      }
      strings.emplace(string.id, emu::Utf16leToUtf8(utf16le));
    }
  } catch (const pe::PeError& error) {
    throw GuestFault(std::string("its resources cannot be read: ") + error.what());
  }
  return strings;
}

std::string ExeManifest(const std::vector<std::uint8_t>& exe) {
  try {
    pe::Image image = pe::Image::Parse(exe, "the exe");
    for (const pe::Resource& resource : pe::ReadResources(image)) {
      if (!resource.type.isName && resource.type.id == pe::kRtManifest && !resource.name.isName &&
          resource.name.id == 1) {
        return std::string(resource.data.begin(), resource.data.end());
      }
    }
  } catch (const pe::PeError& error) {
    throw GuestFault(std::string("its resources cannot be read: ") + error.what());
  }
  return {};
}

ExeRunResult RunExe(emu::Session& session, const std::vector<std::uint8_t>& exe,
                    const ExeRunOptions& options) {
  return RunWith(session, exe, options, nullptr, nullptr, nullptr);
}

ExeRunResult RunExe(emu::Session& session, const std::vector<std::uint8_t>& exe,
                    const std::string& image, const std::string& commandLine,
                    const std::string& currentDir, const ExeRunOptions& options) {
  return RunWith(session, exe, options, &image, &commandLine, &currentDir);
}

}  // namespace runner
