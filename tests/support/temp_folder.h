// Scratch folders and files for the tests that read and write machine images on the host.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace test {

// A folder of its own for the running test (and `role`, where a test needs more than one),
// empty at the start and removed at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::string& role = "") {
    const auto* unit = ::testing::UnitTest::GetInstance();
    std::string name = unit->current_test_info()->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    path_ = std::filesystem::temp_directory_path() /
            ("orbelle_test_" + std::to_string(unit->random_seed()) + "_" + name +
             (role.empty() ? "" : "_" + role));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes `bytes` to `file`, making the folders above it.
inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace test
