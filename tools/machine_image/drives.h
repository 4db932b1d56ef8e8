// The drives of an image: folders drive_c/, drive_d/, ... hold the files and folders of C:,
// D:, ... Host names are UTF-8, and so are the machine's.
#pragma once

#include <filesystem>

#include "image_source.h"
#include "session.h"

namespace machine_image {

// Adds the drives of the image to files. A file named ".keep" only marks its folder (git
// keeps no empty folders). Throws ImageError for two names that Windows would take for one
// (they differ only in case).
void LoadDrives(const ImageSource& source, emu::FileSystem& files);

// Writes every drive as drive_<letter>/ below folder, empty folders included. A link
// (reparse point) is written as an empty file or folder of its name: the host cannot hold a
// Windows link, and the outcome must still show that the name exists.
void WriteDrives(const emu::FileSystem& files, const std::filesystem::path& folder);

// "drive_c" -> 'C'; 0 for any other name.
char DriveLetterOfFolder(std::string_view name);

}  // namespace machine_image
