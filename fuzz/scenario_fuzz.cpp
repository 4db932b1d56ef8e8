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

emu::Machine SmallMachine() {
  emu::Machine machine;
  machine.registry.CreateKey(emu::Root::ClassesRoot, "Orbelle\\shell\\open");
  machine.registry.CreateKey(emu::Root::CurrentUser, "Software\\Halcyra\\Orbelle");
  machine.files.CreateFile("C:\\Program Files\\Orbelle\\Uninstall.exe");
  machine.files.CreateFolder("C:\\WINDOWS\\TEMP");
  return machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  emu::Machine machine = SmallMachine();
  std::vector<std::string> warnings;
  try {
    machine_image::ApplyScenario(bytes, "scenario.ini", machine, warnings);
  } catch (const machine_image::ImageError&) {
    return 0;
  }
  Require(!emu::CanonicalPath(machine.exePath).empty());
  for (const auto& operation : machine.faults.failingOperations) {
    Require(emu::IsFailableOperation(operation));
  }
  for (const auto& [path, lock] : machine.faults.locked) Require(!emu::CanonicalPath(path).empty());
  Require(machine.faults.imageRelease >= 0);
  return 0;
}
