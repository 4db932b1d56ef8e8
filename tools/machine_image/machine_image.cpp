#include "machine_image.h"

#include "drives.h"
#include "image_error.h"
#include "reg_reader.h"
#include "scenario.h"

namespace machine_image {

void LoadMachine(const ImageSource& source, emu::Session& session,
                 std::vector<std::string>& warnings) {
  const std::string prefix = source.name + "/";
  if (session.scenario.exePath.empty()) session.scenario.exePath = kDefaultExe;
  if (const ImageEntry* reg = source.Find(kRegistryFile)) {
    if (reg->directory) throw ImageError(prefix + kRegistryFile, 0, "is a folder, not a file");
    ReadRegFile(reg->content, prefix + kRegistryFile, session.machine);
  }
  LoadDrives(source, session.machine.files);
  // Last: [denied] names keys of the registry and [links] may name paths of the drives.
  if (const ImageEntry* scenario = source.Find(kScenarioFile)) {
    if (scenario->directory) throw ImageError(prefix + kScenarioFile, 0, "is a folder, not a file");
    ApplyScenario(scenario->content, prefix + kScenarioFile, session, warnings);
  }
}

}  // namespace machine_image
