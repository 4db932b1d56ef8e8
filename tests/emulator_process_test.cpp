// The emulated processes, modules, strings, message boxes and windows against Windows'
// behaviour, one behaviour a case.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/emulated/session.h"
#include "platform/emulated/string_table.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/new_session.h"

namespace {

const std::string kExe = test::kInstalledExe;
const std::string kCopy = "C:\\WINDOWS\\TEMP\\obuninst.tmp";

// What the scripted program does in each process; Run calls it through a plain function.
std::function<void()> g_program;
void Entry() {
  g_program();
}

emu::Session Installed() {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(kExe, {'M', 'Z'});
  session.machine.files.CreateFolder("C:\\WINDOWS\\TEMP");
  return session;
}

std::vector<std::string> EventLines(const emu::Session& session) {
  std::vector<std::string> lines;
  for (const auto& e : session.record.events) {
    std::string p = std::to_string(e.process) + " ";
    switch (e.kind) {
      case emu::Event::Kind::Start:
        lines.push_back(p + "start " + e.image + " | " + e.commandLine + " | " + e.currentDir);
        break;
      case emu::Event::Kind::Message:
        lines.push_back(p + "message " + e.style + " " + e.answer);
        break;
      case emu::Event::Kind::Sleep:
        lines.push_back(p + "sleep " + std::to_string(e.ms));
        break;
      case emu::Event::Kind::RestartDelete:
        lines.push_back(p + "restart_delete " + e.path);
        break;
      case emu::Event::Kind::Exit:
        lines.push_back(p + "exit " + std::to_string(e.code));
        break;
      case emu::Event::Kind::ShellNotify:
        lines.push_back(p + "shell_notify " + e.what);
        break;
      case emu::Event::Kind::ForeignDll:
        lines.push_back(p + "foreign_dll " + e.path);
        break;
    }
  }
  return lines;
}

BOOL Start(const char* image, const char* commandLine, const char* folder, DWORD size) {
  STARTUPINFOA startup{};
  startup.cb = size;
  PROCESS_INFORMATION info{};
  std::string line = commandLine ? commandLine : "";
  return CreateProcessA(image, commandLine ? line.data() : nullptr, nullptr, nullptr, FALSE, 0,
                        nullptr, folder, &startup, &info);
}

TEST(Run, StartsTheLauncherQuotedInItsFolderAndQueuesWhatItStarts) {
  emu::Session session = Installed();
  session.machine.files.CreateFile(kCopy, {'M', 'Z'});
  g_program = [] {
    std::string line = GetCommandLineA();
    if (line.front() == '"' && line.find(' ', line.find('"', 1)) == std::string::npos) {
      EXPECT_TRUE(
          Start(kCopy.c_str(), "\"x\" C:\\Folder", "C:\\WINDOWS\\TEMP\\", sizeof(STARTUPINFOA)));
      Sleep(50);
      ExitProcess(0);
    }
    ExitProcess(7);
  };
  EXPECT_EQ(emu::Run(session, &Entry), emu::RunStatus::Completed);
  EXPECT_EQ(EventLines(session),
            (std::vector<std::string>{
                "1 start " + kExe + " | \"" + kExe + "\" | C:\\Program Files\\Orbelle",
                "2 start " + kCopy + " | \"x\" C:\\Folder | C:\\WINDOWS\\TEMP\\", "1 sleep 50",
                "1 exit 0", "2 exit 7"}));
  EXPECT_EQ(emu::ClockMs(session), 50u);
  EXPECT_EQ(emu::Processes(session)[1].currentDir, "C:\\WINDOWS\\TEMP");
}

TEST(Run, ExeAtADriveRootRunsInTheRootAndAnEntryThatReturnsExitsWithZero) {
  emu::Session session = test::NewSession();
  session.scenario.exePath = "D:\\Uninstall.exe";
  session.machine.files.CreateFile(session.scenario.exePath);
  g_program = [] {};
  EXPECT_EQ(emu::Run(session, &Entry), emu::RunStatus::Completed);
  EXPECT_EQ(EventLines(session),
            (std::vector<std::string>{"1 start D:\\Uninstall.exe | \"D:\\Uninstall.exe\" | D:\\",
                                      "1 exit 0"}));
  EXPECT_NE(session.record.trace.back().text.find("without ExitProcess"), std::string::npos);
}

TEST(Run, AFileThatIsNotTheProductRunsNoProductCode) {
  emu::Session session = Installed();
  session.machine.files.CreateFile("C:\\WINDOWS\\NOTEPAD.EXE", {'N'});
  int runs = 0;
  g_program = [&runs] {
    ++runs;
    Start("C:\\WINDOWS\\NOTEPAD.EXE", nullptr, nullptr, sizeof(STARTUPINFOA));
    ExitProcess(0);
  };
  emu::Run(session, &Entry);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(EventLines(session).back(), "2 exit 0");
}

TEST(Handles, EachHandleClosesOnceInTheProcessThatHoldsItAndALeakIsCountedAtExit) {
  emu::Session session = Installed();
  session.machine.files.CreateFile(kCopy, {'M', 'Z'});
  g_program = [] {
    if (std::string(GetCommandLineA()) != "\"" + kExe + "\"") {
      PROCESS_INFORMATION inherited{};
      inherited.hProcess = reinterpret_cast<HANDLE>(std::uintptr_t{0x7C0});
      SetLastError(0xDEAD);
      EXPECT_FALSE(CloseHandle(inherited.hProcess)) << "the launcher's handle is not the worker's";
      EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
      ExitProcess(0);
    }
    for (int i = 0; i < 2; ++i) {
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION info{};
      std::string line = "\"" + kCopy + "\" C:\\X";
      ASSERT_TRUE(CreateProcessA(kCopy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info));
      EXPECT_NE(info.hProcess, info.hThread);
      if (i == 1) break;  // the second pair is left open
      EXPECT_TRUE(CloseHandle(info.hThread));
      EXPECT_TRUE(CloseHandle(info.hProcess));
      SetLastError(0xDEAD);
      EXPECT_FALSE(CloseHandle(info.hProcess)) << "a second close";
      EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    }
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(std::uintptr_t{0x1234})));
    ExitProcess(0);
  };
  EXPECT_EQ(emu::Run(session, &Entry), emu::RunStatus::Completed);
  ASSERT_EQ(emu::Processes(session).size(), 3u);
  EXPECT_EQ(emu::Processes(session)[0].handlesOpenAtExit, 2) << "the pair left open";
  EXPECT_EQ(emu::Processes(session)[1].handlesOpenAtExit, 0);
  EXPECT_TRUE(emu::OpenKernelHandleCount(session) == 0) << "Windows closes them at the owner's end";
}

struct StartCase {
  const char* behaviour;
  const char* image;
  const char* folder;
  DWORD startupSize;
  DWORD error;
};

const std::string kLongImage = "C:\\WINDOWS\\TEMP\\" + std::string(250, 'w') + ".exe";

const StartCase kStartCases[] = {
    {"a wrong start-up size is invalid", kCopy.c_str(), nullptr, 4, ERROR_INVALID_PARAMETER},
    {"an image path of 260 characters is too long", kLongImage.c_str(), nullptr,
     sizeof(STARTUPINFOA), ERROR_FILENAME_EXCED_RANGE},
};

class CreateProcess : public testing::TestWithParam<StartCase> {};

TEST_P(CreateProcess, Fails) {
  const StartCase& c = GetParam();
  emu::Session session = Installed();
  session.machine.files.CreateFile(kCopy);
  emu::ActiveProcess process(session);
  EXPECT_FALSE(Start(c.image, "x", c.folder, c.startupSize));
  EXPECT_EQ(GetLastError(), c.error);
  EXPECT_EQ(emu::Processes(session).size(), 1u) << "nothing is queued";
  EXPECT_TRUE(session.record.events.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, CreateProcess, testing::ValuesIn(kStartCases), test::ByBehaviour);

TEST(Modules, Kernel32AndSetDefaultDllDirectories) {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  for (bool offered : {true, false}) {
    emu::Session session = Installed();
    session.scenario.windows = offered ? emu::WindowsVersion::Nt : emu::WindowsVersion::Seven;
    emu::ActiveProcess process(session);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    EXPECT_NE(kernel32, nullptr);
    EXPECT_EQ(GetModuleHandleA("KERNEL32"), kernel32) << "with or without .DLL";
    EXPECT_EQ(GetModuleHandleA("user32"), nullptr);
    EXPECT_EQ(GetProcAddress(kernel32, "setdefaultdlldirectories"), nullptr)
        << "export names are case-sensitive";
    FARPROC found = GetProcAddress(kernel32, "SetDefaultDllDirectories");
    EXPECT_EQ(found != nullptr, offered);
    if (!found) continue;
    auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(found));
    EXPECT_FALSE(set(0x1)) << "flags outside LOAD_LIBRARY_SEARCH_* are refused";
    EXPECT_TRUE(set(LOAD_LIBRARY_SEARCH_SYSTEM32));
    EXPECT_EQ(process.process().defaultDllDirectories, DWORD{LOAD_LIBRARY_SEARCH_SYSTEM32});
  }
}

TEST(MessageBox, EachBoxTakesTheNextAnswerAndTheDefaultWhenTheyRunOut) {
  emu::Session session = Installed();
  session.scenario.answers = {emu::Answer::Second, emu::Answer::Second, emu::Answer::Second};
  emu::ActiveProcess process(session);
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK), IDOK) << "an OK box can only say OK";
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OKCANCEL), IDOK) << "out of answers: the default";
  EXPECT_EQ(
      EventLines(session),
      (std::vector<std::string>{"1 message MB_YESNO IDNO", "1 message MB_OK IDOK",
                                "1 message MB_OKCANCEL IDCANCEL", "1 message MB_OKCANCEL IDOK"}));
}

TEST(MessageBox, TheBoxPastTheLimitStopsTheRunWithoutExitEvents) {
  emu::Session session = Installed();
  g_program = [] {
    for (;;) MessageBoxA(nullptr, "in use", "c", MB_OKCANCEL);
  };
  EXPECT_EQ(emu::Run(session, &Entry), emu::RunStatus::Stopped);
  EXPECT_EQ(session.record.messageBoxes, emu::kMaxMessageBoxes);
  EXPECT_EQ(session.record.events.size(), emu::kMaxMessageBoxes + 1)
      << "start and the boxes, no exit";
  EXPECT_FALSE(emu::Processes(session)[0].ended);
}

TEST(Windows, StartupDrainRemovesThePostedMessagesThenTheWindowGoes) {
  emu::Session session = Installed();
  emu::ActiveProcess process(session);
  EXPECT_EQ(
      CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  HWND window = CreateWindowExA(0, "static", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr) << "system classes match case-insensitively";
  MSG message;
  EXPECT_TRUE(PeekMessageA(&message, window, 0, 0, PM_NOREMOVE));
  int drained = 0;
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&message);
    ++drained;
  }
  EXPECT_GT(drained, 0) << "a new window finds posted messages";
  EXPECT_EQ(emu::Windows(session)[0].dispatched.size(), static_cast<std::size_t>(drained));
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_TRUE(emu::Windows(session)[0].destroyed);
}

TEST(Strings, LoadStringCutsToTheCapacity) {
  emu::Session session = Installed();
  emu::ActiveProcess process(session);
  const emu::StringResource& first = emu::kStringTable[0];
  char buffer[128];
  EXPECT_EQ(LoadStringA(nullptr, first.id, buffer, sizeof buffer),
            static_cast<int>(std::strlen(first.text)));
  EXPECT_STREQ(buffer, first.text);
  EXPECT_EQ(LoadStringA(nullptr, first.id, buffer, 4), 3);
  EXPECT_EQ(std::string(buffer), std::string(first.text, 3));
  EXPECT_EQ(LoadStringA(nullptr, 0xFFFF, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

struct FormatCase {
  const char* behaviour;
  std::function<int(char*)> format;
  const char* text;
};

const FormatCase kFormatCases[] = {
    {"a string fills its place", [](char* out) { return wsprintfA(out, "in %s now", "C:\\A"); },
     "in C:\\A now"},
    {"signed and unsigned numbers",
     [](char* out) { return wsprintfA(out, "%d %u %ld", -5, 7u, 9); }, "-5 7 9"},
    {"hex and width with zeros",
     [](char* out) { return wsprintfA(out, "%x %04X %c%%", 255, 10, 'z'); }, "ff 000A z%"},
    {"a NULL string prints as null", [](char* out) { return wsprintfA(out, "%s", (char*)nullptr); },
     "(null)"},
    {"output stops at 1023 characters",
     [](char* out) {
       return wsprintfA(out, "%s%s", std::string(1000, 'a').c_str(), std::string(100, 'b').c_str());
     },
     nullptr},
};

class Wsprintf : public testing::TestWithParam<FormatCase> {};

TEST_P(Wsprintf, Formats) {
  const FormatCase& c = GetParam();
  std::vector<char> out(2048, 'z');
  int length = c.format(out.data());
  std::string expected = c.text ? c.text : std::string(1000, 'a') + std::string(23, 'b');
  EXPECT_EQ(length, static_cast<int>(expected.size()));
  EXPECT_EQ(std::string(out.data()), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Wsprintf, testing::ValuesIn(kFormatCases), test::ByBehaviour);

TEST(Strings, CompareIsCaseSensitiveAndNullIsHarmless) {
  EXPECT_EQ(lstrcmpA("Orbelle", "Orbelle"), 0);
  EXPECT_NE(lstrcmpA("Orbelle", "ORBELLE"), 0);
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrcpyA(nullptr, "x"), nullptr);
}

}  // namespace
