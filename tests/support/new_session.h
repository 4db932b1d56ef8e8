// A session on an empty machine for tests that build their machine in code: the launcher is
// where the installer puts it, as on every installed machine.
#pragma once

#include "platform/emulated/session.h"

namespace test {

inline constexpr const char* kInstalledExe = "C:\\Program Files\\Orbelle\\Uninstall.exe";

inline emu::Session NewSession() {
  emu::Session session;
  session.scenario.exePath = kInstalledExe;
  return session;
}

}  // namespace test
