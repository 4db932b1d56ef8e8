#include "sim_image.h"

#include <fstream>
#include <optional>
#include <stdexcept>

#include "encoding.h"
#include "session.h"
#include "text_lines.h"
#include "wine_outcome.h"

namespace wine_harness {
namespace {

std::string KeyOf(const std::string& line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return {};
  return machine_image::LowerAscii(machine_image::Trim(line.substr(0, equals)));
}

// The entry of folder that Windows takes for the name, or the name as given.
std::string MatchName(const std::filesystem::path& folder, const std::string& wanted) {
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) {
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      if (emu::SameName(name, wanted)) return name;
    }
  }
  return wanted;
}

bool IsSection(const std::string& line) {
  const std::string trimmed = machine_image::Trim(line);
  return !trimmed.empty() && trimmed.front() == '[';
}

}  // namespace

std::string WithTemp(const std::string& scenario, const std::string& tempPath) {
  const std::string setting = "temp=" + tempPath;
  std::vector<std::string> lines = machine_image::SplitLines(scenario);
  bool inRun = false, replaced = false;
  std::optional<std::size_t> runHeader;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsSection(lines[i])) {
      inRun = machine_image::LowerAscii(machine_image::Trim(lines[i])).rfind("[run]", 0) == 0;
      if (inRun && !runHeader) runHeader = i;
    } else if (inRun && KeyOf(lines[i]) == "temp") {
      lines[i] = setting;
      replaced = true;
    }
  }
  if (!replaced && runHeader) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*runHeader) + 1, setting);
  } else if (!replaced) {
    lines.insert(lines.begin(), {"[run]", setting});
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

void WriteSimImage(const std::filesystem::path& image, const std::string& tempPath,
                   const std::filesystem::path& out) {
  namespace fs = std::filesystem;
  fs::remove_all(out);
  fs::create_directories(out);
  fs::copy(image, out, fs::copy_options::recursive | fs::copy_options::skip_symlinks);
  // The simulator's copy fails when the temp folder is missing from the image; Wine has it.
  fs::path folder = out;
  const std::string canonical = emu::CanonicalPath(tempPath);
  if (canonical.size() < 3)
    throw std::runtime_error("not a drive-absolute temp folder: " + tempPath);
  folder /= std::string("drive_") +
            static_cast<char>(std::tolower(static_cast<unsigned char>(canonical[0])));
  std::size_t start = 3;
  while (start < canonical.size()) {
    std::size_t end = canonical.find('\\', start);
    if (end == std::string::npos) end = canonical.size();
    folder /= MatchName(folder, canonical.substr(start, end - start));
    start = end + 1;
  }
  fs::create_directories(folder);
  if (fs::is_empty(folder)) std::ofstream(folder / ".keep").put('\n');

  const fs::path scenario = out / "scenario.ini";
  const std::string text = fs::exists(scenario) ? ReadFileBytes(scenario) : std::string();
  std::ofstream file(scenario, std::ios::binary | std::ios::trunc);
  file << WithTemp(text, tempPath);
  if (!file) throw std::runtime_error("cannot write " + scenario.string());
}

}  // namespace wine_harness
