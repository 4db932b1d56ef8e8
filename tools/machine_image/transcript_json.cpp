#include "transcript_json.h"

#include <cstdio>

#include "encoding.h"

namespace machine_image {
namespace {

std::string Field(const char* name, const std::string& jsonValue) {
  return std::string(",\"") + name + "\":" + jsonValue;
}

}  // namespace

std::string EventLine(const emu::Event& event) {
  using Kind = emu::Event::Kind;
  const auto text = [](const std::string& value) { return JsonString(value); };
  const std::string process = Field("process", std::to_string(event.process));
  switch (event.kind) {
    case Kind::Start:
      return "{\"event\":\"start\"" + process + Field("image", text(event.image)) +
             Field("command_line", text(event.commandLine)) +
             Field("current_dir", text(event.currentDir)) + "}";
    case Kind::Message:
      return "{\"event\":\"message\"" + process + Field("caption", text(event.caption)) +
             Field("text", text(event.text)) + Field("style", text(event.style)) +
             Field("answer", text(event.answer)) + "}";
    case Kind::Sleep:
      return "{\"event\":\"sleep\"" + process + Field("ms", std::to_string(event.ms)) + "}";
    case Kind::RestartDelete:
      return "{\"event\":\"restart_delete\"" + process + Field("path", text(event.path)) + "}";
    case Kind::Exit:
      return "{\"event\":\"exit\"" + process + Field("code", std::to_string(event.code)) + "}";
    case Kind::ShellNotify:
      return "{\"event\":\"shell_notify\"" + process + Field("what", text(event.what)) + "}";
    case Kind::ForeignDll:
      return "{\"event\":\"foreign_dll\"" + process + Field("path", text(event.path)) + "}";
  }
  return "{}";
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (byte < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string TranscriptJsonl(const std::vector<emu::Event>& events) {
  std::string out;
  for (const emu::Event& event : events) out += EventLine(event) + "\n";
  return out;
}

}  // namespace machine_image
