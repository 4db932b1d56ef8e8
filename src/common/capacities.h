// The sizes of the fixed buffers the stages own, bytes with the terminator counted in. A size
// stands here with the reason for it, so a change to one is made where its bound is explained.
#pragma once

#include "platform_api.h"

enum {
  // The caption and the texts loaded from the string table; LoadStringA cuts a longer one.
  CaptionCapacity = 128,
  MessageCapacity = 299,
  // Formatting replaces the two characters of "%s" with a path of up to MAX_PATH - 1.
  FormattedMessageCapacity = MessageCapacity - 2 + MAX_PATH,
  // Shell folder values may name paths longer than MAX_PATH; twice that leaves room for the
  // product's names after them, and a longer value is refused before it is read.
  ShellPathCapacity = 520,
  RegistryValueCapacity = 520,
  // Windows allows key names of up to 255 characters, so 256 bytes hold any of them with the
  // terminator. The enumeration is offered one byte less, 255, as the uninstaller always passed
  // it: a name of 255 characters then does not fit, ends the emptying like the last subkey, and
  // the parent's deletion decides.
  KeyNameBufferSize = 256,
  KeyNameCapacity = 255,
  // "NUL=", the key of a deletion line in WININIT.INI, before the path it deletes.
  WininitKeyLength = 4,
  // WININIT.INI's [rename] section as read back and extended; room for some dozens of other
  // programs' pending lines, within the build's frame limit with the paths beside it.
  WininitSectionCapacity = 2048,
  // A quote, the copy path, a quote, a blank, the install folder and the terminator.
  HandOffCommandLineCapacity = 1 + (MAX_PATH - 1) + 1 + 1 + (MAX_PATH - 1) + 1
};
