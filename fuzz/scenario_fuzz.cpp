// The scenario.ini reader on any bytes, over a small machine: a bad file is an ImageError
// naming the file and line, never a crash; what it accepts is well-formed for the emulator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image_error.h"
#include "scenario.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

emu::Session SmallMachine() {
  emu::Session session;
  session.machine.registry.CreateKey(emu::Root::ClassesRoot, "Orbelle\\shell\\open");
  session.machine.registry.CreateKey(emu::Root::CurrentUser, "Software\\Halcyra\\Orbelle");
  session.machine.files.CreateFile("C:\\Program Files\\Orbelle\\Uninstall.exe");
  session.machine.files.CreateFolder("C:\\WINDOWS\\TEMP");
  return session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  emu::Session session = SmallMachine();
  std::vector<std::string> warnings;
  try {
    machine_image::ApplyScenario(bytes, "scenario.ini", session, warnings);
  } catch (const machine_image::ImageError&) {
    return 0;
  }
  Require(!emu::CanonicalPath(session.scenario.exePath).empty());
  for (const auto& operation : session.scenario.faults.failingOperations) {
    Require(emu::IsFailableOperation(operation));
  }
  for (const auto& [path, lock] : session.scenario.faults.locked)
    Require(!emu::CanonicalPath(path).empty());
  Require(session.scenario.faults.imageRelease >= 0);
  return 0;
}
