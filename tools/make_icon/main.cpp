// make-icon OUTPUT.ico: draws the Orbelle icon and writes it.
// make-icon --check FILE.ico: exits 1 unless FILE.ico is exactly that drawing.
// res/orbelle.ico is committed; a test checks that it is still what this tool draws.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "ico_writer.h"
#include "orb_image.h"

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string(argv[1]) == "--check";
  if (argc != 2 && !check) {
    std::cerr << "usage: make-icon OUTPUT.ico | make-icon --check FILE.ico\n";
    return 2;
  }
  const auto bytes = orbicon::EncodeIco(orbicon::DrawOrb());
  if (check) {
    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(in), {}};
    if (committed != bytes) {
      std::cerr << "make-icon: " << argv[2] << " is not the current drawing; regenerate it with\n"
                << "  make-icon " << argv[2] << "\n";
      return 1;
    }
    return 0;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "make-icon: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
