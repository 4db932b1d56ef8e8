// A bad machine image: the message names the file and, where there is one, the line, in the
// "file:line: message" form that editors and terminals turn into links.
#pragma once

#include <stdexcept>
#include <string>

namespace machine_image {

class ImageError : public std::runtime_error {
 public:
  // line 0: the fault belongs to the file (or folder) as a whole.
  ImageError(const std::string& file, int line, const std::string& message)
      : std::runtime_error(Format(file, line, message)) {}

 private:
  static std::string Format(const std::string& file, int line, const std::string& message) {
    return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
  }
};

}  // namespace machine_image
