#include "outcome_folder.h"

#include <fstream>

#include "drives.h"
#include "file_attributes.h"
#include "reg_writer.h"
#include "transcript_json.h"

namespace machine_image {
namespace fs = std::filesystem;

namespace {

constexpr const char* kRegistryOut = "registry.reg";
constexpr const char* kTranscriptOut = "transcript.jsonl";
constexpr const char* kAttributesOut = "attributes.ini";

// An earlier outcome holds nothing but what WriteOutcome writes: registry.reg,
// transcript.jsonl and attributes.ini as plain files, drive_<letter>/ as real folders.
bool IsOutcomeEntry(const fs::directory_entry& entry) {
  const fs::file_status status = entry.symlink_status();
  const std::string name = entry.path().filename().string();
  if (name == kRegistryOut || name == kTranscriptOut || name == kAttributesOut) {
    return fs::is_regular_file(status);
  }
  return DriveLetterOfFolder(name) != 0 && fs::is_directory(status);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    throw fs::filesystem_error("cannot write", path, std::make_error_code(std::errc::io_error));
  }
}

}  // namespace

void CheckOutcomeFolder(const fs::path& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (!fs::exists(status)) return;
  if (!fs::is_directory(status)) {
    throw OutcomeFolderError(folder.string() + " exists and is not a folder");
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (!IsOutcomeEntry(entry)) {
      throw OutcomeFolderError(folder.string() + " holds " + entry.path().filename().string() +
                               ", so it is not an earlier outcome; refusing to replace it");
    }
  }
  if (error) throw OutcomeFolderError(folder.string() + " cannot be read: " + error.message());
}

void WriteOutcome(const emu::Session& session, const fs::path& folder) {
  CheckOutcomeFolder(folder);
  fs::create_directories(folder);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    fs::remove_all(entry.path());
  }
  WriteFile(folder / kRegistryOut, WriteRegFile(session.machine));
  WriteDrives(session.machine.files, folder);
  WriteFile(folder / kTranscriptOut, TranscriptJsonl(session.record.events));
  // Only when a file carries an attribute, so outcomes of images without any stay as they were.
  const std::string attributes = AttributesIni(session.machine.files);
  if (!attributes.empty()) WriteFile(folder / kAttributesOut, attributes);
}

}  // namespace machine_image
