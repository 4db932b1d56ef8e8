// The files of a machine image, wherever they come from: a folder on disk or the default
// image compiled into the simulator. The loaders work on this, so both take the same path.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace machine_image {

struct ImageEntry {
  std::string path;  // relative to the image folder, '/'-separated, UTF-8 as on the host
  bool directory = false;
  std::string content;  // files only
};

struct ImageSource {
  std::string name;                 // how messages name the image folder
  std::vector<ImageEntry> entries;  // sorted by path; parents before their contents

  const ImageEntry* Find(const std::string& path) const;
};

// Reads every file and folder below the folder. Host symbolic links are skipped, never
// followed: an image must not reach outside itself. Throws ImageError when the folder is
// missing or unreadable.
ImageSource ReadImageFolder(const std::filesystem::path& folder);

// The shape of an image compiled into a program (see tools/uninstall_sim/embed_image.cmake).
struct EmbeddedEntry {
  std::size_t pathOffset, pathSize;
  std::size_t contentOffset, contentSize;
  bool directory;
};

ImageSource EmbeddedImage(const std::string& name, const unsigned char* blob,
                          const EmbeddedEntry* entries, std::size_t count);

}  // namespace machine_image
