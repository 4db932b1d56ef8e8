#include "transcript_json.h"

#include <nlohmann/json.hpp>

namespace machine_image {

std::string EventLine(const emu::Event& event) {
  using Kind = emu::Event::Kind;
  // ordered_json keeps the fields in the order they are set, which is the order outside
  // readers of transcript.jsonl expect.
  nlohmann::ordered_json line;
  const auto start = [&](const char* name) {
    line["event"] = name;
    line["process"] = event.process;
  };
  switch (event.kind) {
    case Kind::Start:
      start("start");
      line["image"] = event.image;
      line["command_line"] = event.commandLine;
      line["current_dir"] = event.currentDir;
      break;
    case Kind::Message:
      start("message");
      line["caption"] = event.caption;
      line["text"] = event.text;
      line["style"] = event.style;
      line["answer"] = event.answer;
      break;
    case Kind::Sleep:
      start("sleep");
      line["ms"] = event.ms;
      break;
    case Kind::RestartDelete:
      start("restart_delete");
      line["path"] = event.path;
      break;
    case Kind::Exit:
      start("exit");
      line["code"] = event.code;
      break;
    case Kind::ShellNotify:
      start("shell_notify");
      line["what"] = event.what;
      break;
    case Kind::ForeignDll:
      start("foreign_dll");
      line["path"] = event.path;
      break;
  }
  if (line.is_null()) return "{}";
  // The machine's text is UTF-8 decoded from each process's code page, so it is always valid;
  // should a byte sequence ever not be, it is written as U+FFFD rather than stopping the run.
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string TranscriptJsonl(const std::vector<emu::Event>& events) {
  std::string out;
  for (const emu::Event& event : events) out += EventLine(event) + "\n";
  return out;
}

}  // namespace machine_image
