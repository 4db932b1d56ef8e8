// The cases on the emulated machine: the machine laid out as the Wine script lays out its
// prefix, then the program's two runs, the children of the first running between them.
#include <cstdio>
#include <string>

#include "conformance.h"
#include "platform/emulated/session.h"

namespace {

const std::string kProgram = "C:\\conform\\conformance.exe";

void Entry() {
  ExitProcess(static_cast<UINT>(RunConformance(conformance::CommandTail(GetCommandLineA()))));
}

emu::Session LaidOut() {
  emu::Session session;
  session.scenario.exePath = kProgram;
  emu::FileSystem& files = session.machine.files;
  files.CreateFolder("C:\\WINDOWS\\system32");
  files.CreateFolder("C:\\WINDOWS\\TEMP");
  // Both hold the same bytes, so the child runs this program as a copy of it would on Windows.
  const emu::Bytes image = {'M', 'Z', 'c', 'o', 'n', 'f'};
  files.CreateFile(kProgram, image);
  files.CreateFile("C:\\conform\\real\\child.exe", image);
  emu::FsNode& folderLink = files.CreateFile("C:\\conform\\linked");
  folderLink.directory = true;
  folderLink.linkTarget = "C:\\conform\\real";
  files.CreateFile("C:\\conform\\child-link.exe").linkTarget = "C:\\conform\\real\\child.exe";
  return session;
}

int ExitCodeOfLast(const emu::Session& session) {
  return emu::Processes(session).back().exitCode;
}

}  // namespace

int main() {
  emu::Session session = LaidOut();
  emu::Run(session, &Entry, kProgram, "\"" + kProgram + "\"", "C:\\conform");
  std::fflush(stdout);
  const int firstRun = emu::Processes(session).front().exitCode;
  emu::Run(session, &Entry, kProgram, "\"" + kProgram + "\" verify", "C:\\conform");
  std::fflush(stdout);
  return firstRun != 0 || ExitCodeOfLast(session) != 0 ? 1 : 0;
}
