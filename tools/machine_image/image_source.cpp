#include "image_source.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "image_error.h"

namespace machine_image {
namespace fs = std::filesystem;

namespace {

void SortEntries(ImageSource& source) {
  std::sort(source.entries.begin(), source.entries.end(),
            [](const ImageEntry& a, const ImageEntry& b) { return a.path < b.path; });
}

std::string ReadWholeFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ImageError(file.string(), 0, "cannot be read");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

const ImageEntry* ImageSource::Find(const std::string& path) const {
  for (const ImageEntry& entry : entries) {
    if (entry.path == path) return &entry;
  }
  return nullptr;
}

ImageSource ReadImageFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    throw ImageError(folder.string(), 0, "is not a machine image folder");
  }
  ImageSource source;
  source.name = folder.string();
  fs::recursive_directory_iterator it(folder, fs::directory_options::none, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::directory_entry& entry = *it;
    const fs::file_status status = entry.symlink_status();
    if (fs::is_symlink(status)) continue;  // the iterator does not descend into these either
    ImageEntry item;
    item.path = fs::relative(entry.path(), folder).generic_string();
    if (fs::is_directory(status)) {
      item.directory = true;
    } else if (fs::is_regular_file(status)) {
      item.content = ReadWholeFile(entry.path());
    } else {
      continue;  // sockets, devices: nothing a Windows drive could hold
    }
    source.entries.push_back(std::move(item));
  }
  if (error) throw ImageError(folder.string(), 0, "cannot be read: " + error.message());
  SortEntries(source);
  return source;
}

ImageSource EmbeddedImage(const std::string& name, const unsigned char* blob,
                          const EmbeddedEntry* entries, std::size_t count) {
  ImageSource source;
  source.name = name;
  const auto text = [blob](std::size_t offset, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(blob) + offset, size);
  };
  for (std::size_t i = 0; i < count; ++i) {
    const EmbeddedEntry& entry = entries[i];
    source.entries.push_back({text(entry.pathOffset, entry.pathSize), entry.directory,
                              text(entry.contentOffset, entry.contentSize)});
  }
  SortEntries(source);
  return source;
}

}  // namespace machine_image
