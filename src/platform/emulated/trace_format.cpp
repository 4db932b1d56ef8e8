#include "trace_format.h"

#include <cstdio>

#include "platform_api.h"

namespace emu::detail {
namespace {

struct ErrorText {
  std::uint32_t code;
  const char* name;
};

constexpr ErrorText kErrors[] = {
    {ERROR_SUCCESS, "ERROR_SUCCESS"},
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
    {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
    {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
    {ERROR_INVALID_DATA, "ERROR_INVALID_DATA"},
    {ERROR_CURRENT_DIRECTORY, "ERROR_CURRENT_DIRECTORY"},
    {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION"},
    {ERROR_NOT_SUPPORTED, "ERROR_NOT_SUPPORTED"},
    {ERROR_BAD_NETPATH, "ERROR_BAD_NETPATH"},
    {ERROR_FILE_EXISTS, "ERROR_FILE_EXISTS"},
    {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
    {ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER"},
    {ERROR_INVALID_NAME, "ERROR_INVALID_NAME"},
    {ERROR_MOD_NOT_FOUND, "ERROR_MOD_NOT_FOUND"},
    {ERROR_PROC_NOT_FOUND, "ERROR_PROC_NOT_FOUND"},
    {ERROR_DIR_NOT_EMPTY, "ERROR_DIR_NOT_EMPTY"},
    {ERROR_BAD_PATHNAME, "ERROR_BAD_PATHNAME"},
    {ERROR_ALREADY_EXISTS, "ERROR_ALREADY_EXISTS"},
    {ERROR_BAD_EXE_FORMAT, "ERROR_BAD_EXE_FORMAT"},
    {ERROR_FILENAME_EXCED_RANGE, "ERROR_FILENAME_EXCED_RANGE"},
    {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
    {ERROR_NO_MORE_ITEMS, "ERROR_NO_MORE_ITEMS"},
    {ERROR_DIRECTORY, "ERROR_DIRECTORY"},
    {ERROR_KEY_DELETED, "ERROR_KEY_DELETED"},
    {ERROR_INVALID_WINDOW_HANDLE, "ERROR_INVALID_WINDOW_HANDLE"},
    {ERROR_CANNOT_FIND_WND_CLASS, "ERROR_CANNOT_FIND_WND_CLASS"},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "ERROR_RESOURCE_NAME_NOT_FOUND"},
    {ERROR_CANT_RESOLVE_FILENAME, "ERROR_CANT_RESOLVE_FILENAME"},
};

}  // namespace

std::string Quote(const char* text) {
  return text ? Quote(std::string_view(text)) : "NULL";
}

std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\r') {
      quoted += "\\r";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (u < 32 || u == 127) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
      quoted += escaped;
    } else {
      quoted += c;  // the bytes of UTF-8 stay as they are
    }
  }
  return quoted + "\"";
}

std::string ErrorName(std::uint32_t error) {
  for (const auto& known : kErrors) {
    if (known.code == error) return known.name;
  }
  return std::to_string(error);
}

std::string FailedWith(std::uint32_t error) {
  return "FALSE (" + ErrorName(error) + ")";
}

std::string Hex(std::uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace emu::detail
