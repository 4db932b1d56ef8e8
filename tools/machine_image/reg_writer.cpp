#include "reg_writer.h"

#include <algorithm>

#include "code_page.h"
#include "encoding.h"
#include "reg_reader.h"

namespace machine_image {
namespace {

class RegWriter {
 public:
  explicit RegWriter(bool unicode) : unicode_(unicode) {}

  // Every key gets its section, roots and empty keys included: a key without values is
  // still a key the run may or may not have removed.
  void Key(const std::string& path, const emu::RegKey& key) {
    Note(key.name);
    text_ += RegSectionLine(path);
    if (const emu::RegValue* byDefault = key.FindValue("")) Value(*byDefault);
    for (const emu::RegValue& value : key.values) {
      if (!value.name.empty()) Value(value);
    }
    text_ += "\r\n";
    for (const auto& [upper, child] : key.subkeys) Key(path + "\\" + child->name, *child);
  }

  std::string Finish(const std::string& header) {
    const std::string all = RegFileHead(header) + text_;
    if (unicode_) return "\xFF\xFE" + Utf8ToUtf16le(all);
    // An ASCII file is what regedit writes for REGEDIT4, byte for byte. Other text goes out as
    // UTF-8 with a byte order mark: bare Windows-1252 bytes that happen to form valid UTF-8
    // ("\xC3\xA9") would be read back as other characters.
    const bool ascii = std::all_of(all.begin(), all.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? all : "\xEF\xBB\xBF" + all;
  }

  // Something of the registry that REGEDIT4 cannot carry: a character beyond Windows-1252.
  bool beyondAnsi() const { return beyondAnsi_; }

 private:
  void Value(const emu::RegValue& value) {
    Note(value.name);
    const std::string text(value.data.begin(), value.data.end());
    std::string bytes = text;
    if (value.type == 1 || value.type == 2 || value.type == 7) {
      Note(text);
      // The machine keeps strings as Unicode: UTF-16LE under Version 5.00, ANSI bytes under
      // REGEDIT4, where they go out as hex.
      if (value.type != 1 || !IsPlainRegString(text)) {
        bytes = unicode_ ? Utf8ToUtf16le(text) : Utf8ToAnsi(text);
      }
    }
    text_ += RegValueLines(value.name, value.type, text, bytes);
  }

  void Note(std::string_view text) {
    if (!beyondAnsi_ && !emu::PageHolds(1252, text)) beyondAnsi_ = true;
  }

  bool unicode_;
  bool beyondAnsi_ = false;
  std::string text_;  // UTF-8; converted as a whole for a Unicode file
};

std::string WriteAs(const emu::Machine& machine, bool unicode, bool& beyondAnsi) {
  RegWriter writer(unicode);
  for (const emu::Root root :
       {emu::Root::LocalMachine, emu::Root::CurrentUser, emu::Root::ClassesRoot}) {
    writer.Key(emu::RootName(root), machine.registry.RootKey(root));
  }
  beyondAnsi = writer.beyondAnsi();
  return writer.Finish(unicode ? kRegedit5 : kRegedit4);
}

}  // namespace

// The input's header is kept, with one exception: a REGEDIT4 registry that holds (or gained
// in the run) a name or string beyond Windows-1252 is written as Version 5.00, since REGEDIT4
// text is ANSI and would turn each such character into '?'.
std::string WriteRegFile(const emu::Machine& machine) {
  bool beyondAnsi = false;
  if (machine.registryHeader == kRegedit5) return WriteAs(machine, true, beyondAnsi);
  std::string ansi = WriteAs(machine, false, beyondAnsi);
  return beyondAnsi ? WriteAs(machine, true, beyondAnsi) : ansi;
}

}  // namespace machine_image
