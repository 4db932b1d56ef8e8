// pe-fold EXE: run after the link of Uninstall.exe; folds its relocations into the code
// section when they fit (see reloc_fold.h) and rewrites the file in place, through a temporary
// file so that a failure never leaves half an exe behind.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "reloc_fold.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pe-fold EXE\n");
    return 2;
  }
  const std::filesystem::path path = argv[1];
  try {
    std::vector<std::uint8_t> file;
    {
      std::ifstream in(path, std::ios::binary);
      if (!in) throw std::runtime_error("cannot be read");
      file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const pe_fold::FoldResult result = pe_fold::FoldRelocations(file);
    if (!result.folded) {
      std::printf("pe-fold: %s left as linked: %s\n", path.string().c_str(), result.reason.c_str());
      return 0;
    }
    std::filesystem::path temporary = path;
    temporary += ".folding";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
      if (!out) throw std::runtime_error("cannot be written");
    }
    std::filesystem::permissions(temporary, std::filesystem::status(path).permissions());
    std::filesystem::rename(temporary, path);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pe-fold: %s: %s\n", path.string().c_str(), error.what());
    return 1;
  }
}
