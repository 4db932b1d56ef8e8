// The .reg reader on any bytes: a bad file is an ImageError naming the file and line, never a
// crash; a file it accepts, written back by the writer, reads back to the same registry.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image_error.h"
#include "reg_reader.h"
#include "reg_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  emu::Machine machine;
  try {
    machine_image::ReadRegFile(bytes, "fuzz.reg", machine);
  } catch (const machine_image::ImageError&) {
    return 0;
  }
  const std::string written = machine_image::WriteRegFile(machine);
  emu::Machine again;
  try {
    machine_image::ReadRegFile(written, "written.reg", again);
  } catch (const machine_image::ImageError&) {
    __builtin_trap();  // the writer wrote what the reader refuses
  }
  if (machine_image::WriteRegFile(again) != written) __builtin_trap();
  return 0;
}
