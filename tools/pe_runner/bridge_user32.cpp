// USER32's imports: string resources, formatting, message boxes and the start-up windows.
#include <vector>

#include "guest_structs.h"
#include "import_table.h"

namespace runner {
namespace {

// wsprintfA writes at most 1024 bytes, terminator included.
constexpr std::size_t kWsprintfOutput = 1024;
constexpr int kWsprintfArguments = 16;

std::uint64_t LoadStringRow(BridgeCall& call) {
  int capacity = static_cast<int>(call.U32(3));
  GuestBuffer buffer(call.cpu(), call.Arg(2),
                     capacity > 0 ? static_cast<std::uint64_t>(capacity) : 0);
  char none[1] = {'\0'};
  char* host = capacity > 0 ? buffer.chars() : (call.Arg(2) ? none : nullptr);
  int result = ::LoadStringA(static_cast<HINSTANCE>(call.Handle(0)), call.U32(1), host, capacity);
  buffer.WriteBack();
  return static_cast<std::uint32_t>(result);
}

// The variable arguments take the kinds the format names, read the way the emulated wsprintfA
// parses it (flags, width, precision, the l/w/h modifier, then the type letter): strings are
// read from guest memory, everything else is a 32-bit value in its own slot.
std::uint64_t WsprintfRow(BridgeCall& call) {
  std::uint64_t out = call.Arg(0);
  std::optional<std::string> format = call.String(1);
  if (!out || !format) return 0;
  std::vector<std::string> narrow;
  std::vector<std::u16string> wide;
  narrow.reserve(kWsprintfArguments);
  wide.reserve(kWsprintfArguments);
  std::uintptr_t values[kWsprintfArguments] = {};
  int next = 0;
  for (const char* p = format->c_str(); *p; ++p) {
    if (*p != '%') continue;
    ++p;
    while (*p == '-' || *p == '0' || *p == '#') ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      while (*++p >= '0' && *p <= '9') {
      }
    }
    bool isWide = false;
    if (*p == 'l' || *p == 'w') {
      isWide = true;
      ++p;
    } else if (*p == 'h') {
      ++p;
    }
    if (*p == '\0') break;
    if (std::string_view("cCdisSuxX").find(*p) == std::string_view::npos) continue;
    if (next == kWsprintfArguments) throw GuestFault("wsprintfA with more than 16 arguments");
    std::uint64_t value = call.Arg(2 + next);
    if (*p == 's' || *p == 'S') {
      if (value == 0) {
        values[next++] = 0;
      } else if (*p == 'S' || isWide) {
        wide.push_back(call.cpu().WideString(value));
        values[next++] = reinterpret_cast<std::uintptr_t>(wide.back().c_str());
      } else {
        narrow.push_back(call.cpu().CString(value));
        values[next++] = reinterpret_cast<std::uintptr_t>(narrow.back().c_str());
      }
    } else {
      values[next++] = static_cast<std::uint32_t>(value);
    }
  }
  char host[kWsprintfOutput];
  // Each slot is a full register or stack word, as a 64-bit varargs call passes an int, so
  // the emulated function's va_arg reads the value it would read from a real caller.
  int length = ::wsprintfA(host, format->c_str(), values[0], values[1], values[2], values[3],
                           values[4], values[5], values[6], values[7], values[8], values[9],
                           values[10], values[11], values[12], values[13], values[14], values[15]);
  call.cpu().Write(out, host, static_cast<std::size_t>(length) + 1);
  return static_cast<std::uint32_t>(length);
}

std::uint64_t CreateWindowExRow(BridgeCall& call) {
  std::uint64_t classAt = call.Arg(1);
  bool atom = classAt < 0x10000;
  std::optional<std::string> className = atom ? std::nullopt : call.String(1);
  const char* hostClass = atom ? reinterpret_cast<const char*>(static_cast<std::uintptr_t>(classAt))
                               : className->c_str();
  HWND window = ::CreateWindowExA(
      call.U32(0), hostClass, Text(call.String(2)), call.U32(3), static_cast<int>(call.U32(4)),
      static_cast<int>(call.U32(5)), static_cast<int>(call.U32(6)), static_cast<int>(call.U32(7)),
      static_cast<HWND>(call.Handle(8)), static_cast<HMENU>(call.Handle(9)),
      static_cast<HINSTANCE>(call.Handle(10)), nullptr);
  return call.GuestHandle(window);
}

std::uint64_t PeekMessageRow(BridgeCall& call) {
  std::uint64_t at = call.Arg(0);
  MSG message{};
  if (at) message = ReadMessage(call, at);
  BOOL result = ::PeekMessageA(at ? &message : nullptr, static_cast<HWND>(call.Handle(1)),
                               call.U32(2), call.U32(3), call.U32(4));
  if (at) WriteMessage(call, at, message);
  return static_cast<std::uint32_t>(result);
}

std::uint64_t DispatchMessageRow(BridgeCall& call) {
  std::uint64_t at = call.Arg(0);
  MSG message{};
  if (at) message = ReadMessage(call, at);
  return static_cast<std::uint64_t>(::DispatchMessageA(at ? &message : nullptr));
}

const HandWritten kHandlers[] = {
    {"LoadStringA", LoadStringRow},           {"wsprintfA", WsprintfRow},
    {"CreateWindowExA", CreateWindowExRow},   {"PeekMessageA", PeekMessageRow},
    {"DispatchMessageA", DispatchMessageRow},
};

}  // namespace

std::span<const HandWritten> User32Handlers() {
  return kHandlers;
}

}  // namespace runner
