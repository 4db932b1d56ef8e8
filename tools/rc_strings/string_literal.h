// Resource-script string literals, decoded the way the resource compiler reads them.
#pragma once

#include <string>

#include "script_error.h"

namespace rcstrings {

// `literal` is the token as written, quotes included. Returns its bytes.
//
// The rules differ from C's: a doubled quote ("") stands for one quote. The escapes accepted
// are \n, \t, \r and \\, the ones whose meaning the resource compiler and a C compiler share.
// A backslash before anything else is refused rather than guessed: \" (write ""), \a (0x08 to
// a resource compiler, the bell to C), octal and hex escapes. The text must be plain ASCII:
// the resource compiler stores UTF-16 converted through a code page and LoadStringA converts back
// through the user's ANSI code page, so only ASCII is sure to come back byte for byte.
std::string DecodeLiteral(const std::string& literal, const Location& where);

}  // namespace rcstrings
