#include "pe_imports.h"

namespace pe {
namespace {

// Far above what any real program imports; only a corrupt file gets here.
constexpr std::size_t kMaxEntries = 65536;

}  // namespace

std::vector<ImportedDll> ReadImports(const Image& image) {
  std::vector<ImportedDll> dlls;
  const DataDirectory dir = image.headers().directories[kImportDir];
  if (dir.rva == 0) return dlls;
  const ByteView& v = image.bytes();
  const bool wide = image.headers().pe32Plus;
  const std::size_t thunkSize = wide ? 8 : 4;

  for (std::size_t i = 0;; ++i) {
    if (i == kMaxEntries) throw PeError(v.name() + ": import directory has no end");
    const std::size_t at =
        image.Offset(dir.rva + static_cast<std::uint32_t>(20 * i), 20, "import descriptor");
    const std::uint32_t lookup = v.U32(at, "import descriptor");
    const std::uint32_t nameRva = v.U32(at + 12, "import descriptor");
    const std::uint32_t iat = v.U32(at + 16, "import descriptor");
    if (lookup == 0 && nameRva == 0 && iat == 0) break;

    ImportedDll dll;
    dll.lookupRva = lookup;
    dll.iatRva = iat;
    dll.name = v.CString(image.Offset(nameRva, 1, "DLL name"), 255, "DLL name");
    // The lookup table names the functions; old linkers left it out and only the IAT has them.
    const std::uint32_t table = lookup != 0 ? lookup : iat;
    for (std::size_t k = 0;; ++k) {
      if (k == kMaxEntries)
        throw PeError(v.name() + ": import lookup table of " + dll.name + " has no end");
      const std::size_t entryAt = image.Offset(table + static_cast<std::uint32_t>(thunkSize * k),
                                               thunkSize, "import lookup entry");
      const std::uint64_t entry =
          wide ? v.U64(entryAt, "import lookup entry") : v.U32(entryAt, "import lookup entry");
      if (entry == 0) break;
      const std::uint64_t ordinalFlag = wide ? std::uint64_t{1} << 63 : std::uint64_t{1} << 31;
      ImportedFunction function;
      function.slotRva = iat + static_cast<std::uint32_t>(thunkSize * k);
      if (entry & ordinalFlag) {
        function.name = "#" + std::to_string(entry & 0xFFFF);
      } else {
        const auto hintName = static_cast<std::uint32_t>(entry & 0x7FFFFFFF);
        function.name =
            v.CString(image.Offset(hintName + 2, 1, "imported name"), 4096, "imported name");
      }
      dll.functions.push_back(std::move(function));
    }
    dlls.push_back(std::move(dll));
  }
  return dlls;
}

}  // namespace pe
