#include "report.h"

#include <cstdio>
#include <string>

#include "pe_imports.h"
#include "pe_resources.h"
#include "pe_version.h"

namespace pe {
namespace {

std::string Hex(std::uint64_t value, int digits = 0) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string MachineName(std::uint16_t machine) {
  switch (machine) {
    case kMachineI386:
      return "i386";
    case kMachineAmd64:
      return "x86-64";
    default:
      return "unknown";
  }
}

std::string SubsystemName(std::uint16_t subsystem) {
  switch (subsystem) {
    case kSubsystemWindowsGui:
      return "Windows GUI";
    case kSubsystemWindowsCui:
      return "Windows console";
    default:
      return "subsystem " + std::to_string(subsystem);
  }
}

std::string TypeName(const ResourceKey& type) {
  if (type.isName) return type.Describe();
  switch (type.id) {
    case kRtIcon:
      return "ICON";
    case kRtString:
      return "STRING";
    case kRtGroupIcon:
      return "GROUP_ICON";
    case kRtVersion:
      return "VERSION";
    case kRtManifest:
      return "MANIFEST";
    default:
      return "type " + std::to_string(type.id);
  }
}

std::string Quoted(const std::u16string& text) {
  std::string out = "\"";
  for (const char16_t c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escape[16];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out + "\"";
}

std::string SectionFlags(std::uint32_t c) {
  std::string flags;
  if (c & 0x00000020) flags += " code";
  if (c & 0x00000040) flags += " data";
  if (c & 0x00000080) flags += " uninitialised";
  if (c & 0x40000000) flags += " read";
  if (c & 0x80000000) flags += " write";
  if (c & 0x20000000) flags += " execute";
  return flags;
}

void PrintEntry(std::ostream& out, const Image& image, const ReportOptions& options) {
  const Headers& h = image.headers();
  out << "entry point: RVA " << Hex(h.entryRva) << " (address " << Hex(h.imageBase + h.entryRva)
      << ")";
  if (!options.symbols.empty()) {
    const auto names = SymbolsAt(options.symbols, h.imageBase + h.entryRva);
    out << (names.empty() ? " = no symbol in the map" : " =");
    for (const auto& name : names) out << " " << name;
  }
  out << "\n";
}

void PrintImports(std::ostream& out, const Image& image) {
  out << "imports:\n";
  for (const ImportedDll& dll : ReadImports(image)) {
    out << "  " << dll.name << " (" << dll.functions.size() << "):";
    for (const auto& f : dll.functions) out << " " << f.name;
    out << "\n";
  }
}

void PrintResources(std::ostream& out, const Image& image) {
  const auto resources = ReadResources(image);
  out << "resources:\n";
  for (const Resource& r : resources) {
    out << "  " << TypeName(r.type) << " " << r.name.Describe() << ", language " << r.language
        << ": " << r.data.size() << " bytes\n";
    if (!r.type.isName && r.type.id == kRtGroupIcon) {
      for (const IconImage& icon : ReadIconGroup(r)) {
        out << "    image " << icon.iconId << ": " << (icon.width ? icon.width : 256) << "x"
            << (icon.height ? icon.height : 256) << ", " << unsigned{icon.colourCount}
            << " colours, " << icon.bitCount << " bits per pixel, " << icon.bytes << " bytes\n";
      }
    }
  }
  for (const StringResource& s : ReadStringTable(resources)) {
    out << "  string " << s.id << " (language " << s.language << ", " << s.text.size()
        << " characters): " << Quoted(s.text) << "\n";
  }
  for (const Resource& r : resources) {
    if (r.type.isName || r.type.id != kRtVersion) continue;
    const VersionInfo info = ReadVersionInfo(r);
    out << "  version " << (info.fileVersionMs >> 16) << "." << (info.fileVersionMs & 0xFFFF) << "."
        << (info.fileVersionLs >> 16) << "." << (info.fileVersionLs & 0xFFFF) << "\n";
    for (const VersionString& s : info.strings) {
      out << "    " << s.table << " " << s.name << ": " << Quoted(s.text) << "\n";
    }
    for (const Translation& t : info.translations) {
      out << "    translation: language " << t.language << ", code page " << t.codePage << "\n";
    }
  }
}

}  // namespace

void PrintReport(std::ostream& out, const Image& image, const ReportOptions& options) {
  const Headers& h = image.headers();
  out << image.bytes().name() << ": " << image.fileSize() << " bytes\n";
  if (!options.brief) {
    out << "machine: " << MachineName(h.machine) << " (" << Hex(h.machine, 4) << "), "
        << (h.pe32Plus ? "PE32+" : "PE32") << "\n";
    out << "subsystem: " << SubsystemName(h.subsystem) << " " << h.subsystemMajor << "."
        << h.subsystemMinor << ", OS version " << h.osMajor << "." << h.osMinor << "\n";
    out << "image base: " << Hex(h.imageBase) << ", DLL characteristics "
        << Hex(h.dllCharacteristics, 4)
        << ((h.dllCharacteristics & 0x40) ? " (relocatable: ASLR)" : " (fixed base)") << "\n";
    out << "alignment: sections " << Hex(h.sectionAlignment) << ", file " << Hex(h.fileAlignment)
        << "\n";
  }
  PrintEntry(out, image, options);
  out << "sections:\n";
  for (const Section& s : image.sections()) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "  %-8s RVA 0x%05X, %5u bytes used, %5u in the file at 0x%05X,", s.name.c_str(),
                  s.virtualAddress, s.virtualSize, s.rawSize, s.rawOffset);
    out << line << SectionFlags(s.characteristics) << "\n";
  }
  PrintImports(out, image);
  if (!options.brief) PrintResources(out, image);
}

}  // namespace pe
