// The image as the simulator must see it to be compared with Wine: the same machine, with
// the temporary folder that Wine reported (C:\users\<user>\Temp\) instead of the image's own.
#pragma once

#include <filesystem>
#include <string>

namespace wine_harness {

// Copies the image folder to out (replacing out) and sets temp= in the [run] section of its
// scenario.ini, adding the section or the file when missing. tempPath is UTF-8.
void WriteSimImage(const std::filesystem::path& image, const std::string& tempPath,
                   const std::filesystem::path& out);

// The scenario.ini text with temp= set; the other lines are kept as they are.
std::string WithTemp(const std::string& scenario, const std::string& tempPath);

}  // namespace wine_harness
