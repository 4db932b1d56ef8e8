// The emulated machine's calls held to Windows: every call the product makes, with the errors
// it reads back, and the set-up calls the cases need. The same cases run on the host against the
// emulator and, cross-built, under Wine (x86_64 and i686).
//
// Laid out before the program starts (by the host runner or the Wine script, since a link needs
// privileges a program does not have): C:\conform\real\child.exe, a copy of this program;
// C:\conform\linked, a link to the folder C:\conform\real; C:\conform\child-link.exe, a link to
// the file C:\conform\real\child.exe. Everything else the cases make themselves, below
// C:\conform\work and HKEY_CURRENT_USER\Software\OrbelleConformance.
#include <stdio.h>
#include <string.h>

#include "conformance.h"

namespace {

const char kWork[] = "C:\\conform\\work";
const char kKeyPath[] = "Software\\OrbelleConformance";
const char kChildrenKey[] = "Software\\OrbelleConformance\\Children";

// ---------------------------------------------------------------- helpers

// Paths below the work folder, built with the C runtime so that no call under test builds them.
struct PathText {
  char text[MAX_PATH * 2];
};

// A ring of paths, so that a table's rows may point at them for as long as the case runs.
const PathText& Work(const char* name) {
  static PathText ring[64];
  static unsigned next = 0;
  PathText& path = ring[next++ % 64];
  snprintf(path.text, sizeof path.text, "%s\\%s", kWork, name);
  return path;
}

bool MakeFile(const char* path, const char* content) {
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL wrote = WriteFile(file, content, (DWORD)strlen(content), &written, NULL);
  return CloseHandle(file) && wrote && written == strlen(content);
}

// The whole file as text ("" when it cannot be read; at most size - 1 bytes).
void ReadText(const char* path, char* text, DWORD size) {
  text[0] = '\0';
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD read = 0;
  if (ReadFile(file, text, size - 1, &read, NULL)) text[read] = '\0';
  CloseHandle(file);
}

bool Exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void ClearReadOnly(const char* path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

HKEY CaseKey(const char* name) {
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%s\\%s", kKeyPath, name);
  HKEY key = NULL;
  if (RegCreateKeyA(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS) return NULL;
  return key;
}

void SetString(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
}

bool EndsWithNoCase(const char* text, const char* tail) {
  size_t a = strlen(text), b = strlen(tail);
  return a >= b && lstrcmpiA(text + a - b, tail) == 0;
}

bool IsShortName(const char* name, size_t length) {
  size_t dot = length;
  for (size_t i = 0; i < length; ++i) {
    if (name[i] == ' ') return false;
    if (name[i] == '.') {
      if (dot != length) return false;
      dot = i;
    }
  }
  return dot <= 8 && (dot == length || length - dot - 1 <= 3);
}

// ---------------------------------------------------------------- attributes

struct AttributesRow {
  const char* what = {};
  const char* path = {};
  DWORD attributes = {};  // INVALID_FILE_ATTRIBUTES: the call fails with `error`
  DWORD error = {};
  const char* onWine = {};  // why Wine differs here from Windows, where it does
};

void CaseFileAttributes() {
  CreateDirectoryA(Work("attr").text, NULL);
  MakeFile(Work("attr\\file.txt").text, "x");
  const PathText longPath = Work(
      "a-name-long-enough-to-pass-two-hundred-and-sixty-characters-with-its-folder-"
      "a-name-long-enough-to-pass-two-hundred-and-sixty-characters-with-its-folder-"
      "a-name-long-enough-to-pass-two-hundred-and-sixty-characters-with-its-folder-"
      "and-more-and-more.txt");
  const AttributesRow rows[] = {
      {.what = "a new file",
       .path = Work("attr\\file.txt").text,
       .attributes = FILE_ATTRIBUTE_ARCHIVE},
      {.what = "a folder", .path = Work("attr").text, .attributes = FILE_ATTRIBUTE_DIRECTORY},
      {.what = "a folder with a backslash",
       .path = Work("attr\\").text,
       .attributes = FILE_ATTRIBUTE_DIRECTORY},
      {.what = "names in another case",
       .path = "c:\\CONFORM\\Work\\ATTR\\File.TXT",
       .attributes = FILE_ATTRIBUTE_ARCHIVE},
      {.what = "forward slashes",
       .path = "C:/conform/work/attr/file.txt",
       .attributes = FILE_ATTRIBUTE_ARCHIVE},
      {.what = "a dot and dot dot",
       .path = Work("attr\\.\\..\\attr\\file.txt").text,
       .attributes = FILE_ATTRIBUTE_ARCHIVE},
      {.what = "a trailing dot",
       .path = Work("attr\\file.txt.").text,
       .attributes = FILE_ATTRIBUTE_ARCHIVE},
      {.what = "a drive root", .path = "C:\\", .attributes = FILE_ATTRIBUTE_DIRECTORY},
      {.what = "a drive letter alone", .path = "C:", .attributes = FILE_ATTRIBUTE_DIRECTORY},
      {.what = "a relative path from the current folder",
       .path = "work\\attr\\file.txt",
       .attributes = FILE_ATTRIBUTE_ARCHIVE},
      {.what = "a relative path that goes up",
       .path = "..\\conform\\work\\attr",
       .attributes = FILE_ATTRIBUTE_DIRECTORY},
      {.what = "a missing drive",
       .path = "Q:\\x",
       .attributes = INVALID_FILE_ATTRIBUTES,
       .error = ERROR_PATH_NOT_FOUND,
       .onWine = "Wine reports a drive it lacks as a missing file"},
      {.what = "a missing file",
       .path = Work("attr\\none.txt").text,
       .attributes = INVALID_FILE_ATTRIBUTES,
       .error = ERROR_FILE_NOT_FOUND},
      {.what = "a missing folder on the way",
       .path = Work("none\\file.txt").text,
       .attributes = INVALID_FILE_ATTRIBUTES,
       .error = ERROR_PATH_NOT_FOUND},
      {.what = "a file as a folder on the way",
       .path = Work("attr\\file.txt\\x").text,
       .attributes = INVALID_FILE_ATTRIBUTES,
       .error = ERROR_PATH_NOT_FOUND},
      {.what = "a wildcard",
       .path = Work("attr\\*.txt").text,
       .attributes = INVALID_FILE_ATTRIBUTES,
       .error = ERROR_INVALID_NAME},
      {.what = "a path of 260 characters or more",
       .path = longPath.text,
       .attributes = INVALID_FILE_ATTRIBUTES,
       .error = ERROR_FILENAME_EXCED_RANGE},
  };
  for (const AttributesRow& row : rows) {
    SetLastError(0xdeadbeef);
    DWORD attributes = GetFileAttributesA(row.path);
    DWORD error = GetLastError();
    ok(attributes == row.attributes, "%s: expected attributes 0x%x, got 0x%x", row.what,
       (unsigned)row.attributes, (unsigned)attributes);
    if (row.attributes == INVALID_FILE_ATTRIBUTES) {
      tolerated_if(row.onWine && conformance::OnWine(), row.onWine) {
        ok(error == row.error, "%s: expected error %u, got %u", row.what, (unsigned)row.error,
           (unsigned)error);
      }
    } else {
      ok(error == 0xdeadbeef, "%s: expected success to leave the last error, got %u", row.what,
         (unsigned)error);
    }
  }
}

// A link answers with its own attributes: a reparse point, a folder where it stands for one.
void CaseLinkAttributes() {
  const AttributesRow rows[] = {
      {.what = "a folder link",
       .path = "C:\\conform\\linked",
       .attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT},
      {.what = "a file link",
       .path = "C:\\conform\\child-link.exe",
       .attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT},
      {.what = "a file through a folder link",
       .path = "C:\\conform\\linked\\child.exe",
       .attributes = FILE_ATTRIBUTE_ARCHIVE},
  };
  for (const AttributesRow& row : rows) {
    DWORD attributes = GetFileAttributesA(row.path);
    todo_wine_because("Wine 8 shows a host symbolic link as what it points to") {
      ok(attributes == row.attributes, "%s: expected attributes 0x%x, got 0x%x", row.what,
         (unsigned)row.attributes, (unsigned)attributes);
    }
  }
}

void CaseFileWithTrailingBackslash() {
  MakeFile(Work("slash.txt").text, "x");
  SetLastError(0xdeadbeef);
  DWORD attributes = GetFileAttributesA(Work("slash.txt\\").text);
  DWORD error = GetLastError();
  ok(attributes == INVALID_FILE_ATTRIBUTES, "expected INVALID_FILE_ATTRIBUTES, got 0x%x",
     (unsigned)attributes);
  // NT's name lookup refuses "file\" as a name; Wine's walk of the Unix path finds no folder.
  todo_wine_because("Wine reports a file named with a trailing backslash as a missing path") {
    ok(error == ERROR_INVALID_NAME, "expected ERROR_INVALID_NAME, got %u", (unsigned)error);
  }
}

void CaseSetFileAttributes() {
  const PathText file = Work("setattr.txt");
  MakeFile(file.text, "x");
  ok(SetFileAttributesA(file.text, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
     "expected the read-only attribute to be set, error %u", (unsigned)GetLastError());
  DWORD attributes = GetFileAttributesA(file.text);
  ok(attributes == (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
     "expected READONLY|ARCHIVE, got 0x%x", (unsigned)attributes);
  ok(SetFileAttributesA(file.text, FILE_ATTRIBUTE_NORMAL), "expected NORMAL to clear, error %u",
     (unsigned)GetLastError());
  attributes = GetFileAttributesA(file.text);
  ok((attributes & FILE_ATTRIBUTE_READONLY) == 0, "expected no READONLY after NORMAL, got 0x%x",
     (unsigned)attributes);
  SetLastError(0xdeadbeef);
  ok(!SetFileAttributesA(Work("none.txt").text, FILE_ATTRIBUTE_NORMAL),
     "expected a missing file to fail");
  ok(GetLastError() == ERROR_FILE_NOT_FOUND, "expected ERROR_FILE_NOT_FOUND, got %u",
     (unsigned)GetLastError());
}

// ---------------------------------------------------------------- deletion

struct DeleteRow {
  const char* what = {};
  const char* path = {};
  DWORD error = {};         // 0: deleted
  const char* onWine = {};  // why Wine differs here from Windows, where it does
};

void CaseDeleteFile() {
  CreateDirectoryA(Work("del").text, NULL);
  CreateDirectoryA(Work("del\\folder").text, NULL);
  MakeFile(Work("del\\plain.txt").text, "x");
  MakeFile(Work("del\\readonly.txt").text, "x");
  SetFileAttributesA(Work("del\\readonly.txt").text, FILE_ATTRIBUTE_READONLY);
  const PathText plain = Work("del\\plain.txt"), readonly = Work("del\\readonly.txt"),
                 missing = Work("del\\none.txt"), folder = Work("del\\folder"),
                 noFolder = Work("nofolder\\x.txt");
  const PathText tooLong = Work(
      "a-name-long-enough-to-pass-two-hundred-and-sixty-characters-with-its-folder-"
      "a-name-long-enough-to-pass-two-hundred-and-sixty-characters-with-its-folder-"
      "a-name-long-enough-to-pass-two-hundred-and-sixty-characters-with-its-folder-"
      "and-more-and-more.txt");
  const DeleteRow rows[] = {
      {.what = "a file", .path = plain.text},
      {.what = "a path of 260 characters or more",
       .path = tooLong.text,
       .error = ERROR_FILENAME_EXCED_RANGE},
      {.what = "a read-only file", .path = readonly.text, .error = ERROR_ACCESS_DENIED},
      {.what = "a missing file", .path = missing.text, .error = ERROR_FILE_NOT_FOUND},
      {.what = "a folder", .path = folder.text, .error = ERROR_ACCESS_DENIED},
      {.what = "a missing folder on the way", .path = noFolder.text, .error = ERROR_PATH_NOT_FOUND},
  };
  for (const DeleteRow& row : rows) {
    SetLastError(0xdeadbeef);
    BOOL deleted = DeleteFileA(row.path);
    DWORD error = GetLastError();
    ok(deleted == (row.error == 0), "%s: expected %s, got %d", row.what,
       row.error ? "failure" : "deletion", deleted);
    if (row.error) {
      tolerated_if(row.onWine && conformance::OnWine(), row.onWine) {
        ok(error == row.error, "%s: expected error %u, got %u", row.what, (unsigned)row.error,
           (unsigned)error);
      }
    } else {
      ok(!Exists(row.path), "%s: expected it gone", row.what);
    }
  }
  ok(Exists(readonly.text), "expected the read-only file to stay");
  ClearReadOnly(readonly.text);
  ok(DeleteFileA(readonly.text), "expected deletion once writable, error %u",
     (unsigned)GetLastError());
}

void CaseRemoveDirectory() {
  CreateDirectoryA(Work("rd").text, NULL);
  CreateDirectoryA(Work("rd\\empty").text, NULL);
  CreateDirectoryA(Work("rd\\full").text, NULL);
  MakeFile(Work("rd\\full\\f.txt").text, "x");
  MakeFile(Work("rd\\file.txt").text, "x");
  const PathText empty = Work("rd\\empty"), full = Work("rd\\full"), missing = Work("rd\\none"),
                 file = Work("rd\\file.txt");
  const DeleteRow rows[] = {
      {.what = "an empty folder", .path = empty.text},
      {.what = "a folder with a file", .path = full.text, .error = ERROR_DIR_NOT_EMPTY},
      {.what = "a missing folder", .path = missing.text, .error = ERROR_FILE_NOT_FOUND},
      {.what = "a file", .path = file.text, .error = ERROR_DIRECTORY},
      {.what = "a drive root",
       .path = "C:\\",
       .error = ERROR_ACCESS_DENIED,
       .onWine = "Wine tries the root like any folder and finds it not empty"},
  };
  for (const DeleteRow& row : rows) {
    SetLastError(0xdeadbeef);
    BOOL removed = RemoveDirectoryA(row.path);
    DWORD error = GetLastError();
    ok(removed == (row.error == 0), "%s: expected %s, got %d", row.what,
       row.error ? "failure" : "removal", removed);
    if (row.error) {
      tolerated_if(row.onWine && conformance::OnWine(), row.onWine) {
        ok(error == row.error, "%s: expected error %u, got %u", row.what, (unsigned)row.error,
           (unsigned)error);
      }
    } else {
      ok(!Exists(row.path), "%s: expected it gone", row.what);
    }
  }
  ok(Exists(Work("rd\\full\\f.txt").text), "expected the file in the refused folder to stay");
}

// ---------------------------------------------------------------- copy and move

struct CopyRow {
  const char* what = {};
  const char* source = {};
  const char* target = {};
  BOOL failIfExists = {};
  DWORD error = {};           // 0: copied
  const char* expected = {};  // what the target then holds
  const char* onWine = {};    // why Wine differs here from Windows, where it does
};

void CaseCopyFile() {
  CreateDirectoryA(Work("copy").text, NULL);
  MakeFile(Work("copy\\source.txt").text, "source");
  MakeFile(Work("copy\\old.txt").text, "old");
  MakeFile(Work("copy\\kept.txt").text, "kept");
  MakeFile(Work("copy\\locked.txt").text, "locked");
  SetFileAttributesA(Work("copy\\locked.txt").text, FILE_ATTRIBUTE_READONLY);
  const PathText source = Work("copy\\source.txt"), fresh = Work("copy\\new.txt"),
                 old = Work("copy\\old.txt"), kept = Work("copy\\kept.txt"),
                 locked = Work("copy\\locked.txt"), missing = Work("copy\\none.txt"),
                 noFolder = Work("none\\new.txt"), folder = Work("copy");
  const CopyRow rows[] = {
      {.what = "to a new name", .source = source.text, .target = fresh.text, .expected = "source"},
      {.what = "over a file", .source = source.text, .target = old.text, .expected = "source"},
      {.what = "over a file when it must not exist",
       .source = source.text,
       .target = kept.text,
       .failIfExists = TRUE,
       .error = ERROR_FILE_EXISTS,
       .expected = "kept"},
      {.what = "over a read-only file",
       .source = source.text,
       .target = locked.text,
       .error = ERROR_ACCESS_DENIED,
       .expected = "locked",
       .onWine = "the Wine runs are root's, and root writes a file whatever its mode: Wine keeps "
                 "read-only as the host file's mode"},
      {.what = "from a missing file",
       .source = missing.text,
       .target = Work("copy\\x").text,
       .error = ERROR_FILE_NOT_FOUND},
      {.what = "into a missing folder",
       .source = source.text,
       .target = noFolder.text,
       .error = ERROR_PATH_NOT_FOUND},
      {.what = "onto a folder",
       .source = source.text,
       .target = folder.text,
       .error = ERROR_ACCESS_DENIED},
  };
  for (const CopyRow& row : rows) {
    SetLastError(0xdeadbeef);
    BOOL copied = CopyFileA(row.source, row.target, row.failIfExists);
    DWORD error = GetLastError();
    tolerated_if(row.onWine && conformance::OnWine(), row.onWine) {
      ok(copied == (row.error == 0), "%s: expected %s, got %d", row.what,
         row.error ? "failure" : "a copy", copied);
      if (row.error) {
        ok(error == row.error, "%s: expected error %u, got %u", row.what, (unsigned)row.error,
           (unsigned)error);
      }
      if (row.expected) {
        char text[64];
        ReadText(row.target, text, sizeof text);
        ok(strcmp(text, row.expected) == 0, "%s: expected \"%s\", got \"%s\"", row.what,
           row.expected, text);
      }
    }
  }
  ClearReadOnly(locked.text);
}

void CaseCopyKeepsReadOnly() {
  const PathText source = Work("ro-source.txt"), copy = Work("ro-copy.txt");
  MakeFile(source.text, "x");
  SetFileAttributesA(source.text, FILE_ATTRIBUTE_READONLY);
  ok(CopyFileA(source.text, copy.text, FALSE), "expected the copy, error %u",
     (unsigned)GetLastError());
  DWORD attributes = GetFileAttributesA(copy.text);
  ok(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY),
     "expected the copy read-only, got 0x%x", (unsigned)attributes);
  SetLastError(0xdeadbeef);
  BOOL over = CopyFileA(source.text, copy.text, FALSE);
  DWORD error = GetLastError();
  // CopyFile's documentation: a destination with the read-only or hidden attribute fails it
  // with ERROR_ACCESS_DENIED.
  todo_wine_because(
      "the Wine runs are root's, and root writes a file whatever its mode: Wine keeps read-only as "
      "the host file's mode") {
    ok(!over, "expected a copy over it refused");
    ok(error == ERROR_ACCESS_DENIED, "expected ERROR_ACCESS_DENIED, got %u", (unsigned)error);
  }
  ClearReadOnly(source.text);
  ClearReadOnly(copy.text);
}

void CaseMoveFile() {
  CreateDirectoryA(Work("move").text, NULL);
  const PathText from = Work("move\\from.txt"), to = Work("move\\to.txt"),
                 other = Work("move\\other.txt");
  MakeFile(from.text, "moved");
  MakeFile(other.text, "other");
  ok(MoveFileA(from.text, to.text), "expected the rename, error %u", (unsigned)GetLastError());
  ok(!Exists(from.text), "expected the old name gone");
  char text[64];
  ReadText(to.text, text, sizeof text);
  ok(strcmp(text, "moved") == 0, "expected the content under the new name, got \"%s\"", text);
  SetLastError(0xdeadbeef);
  ok(!MoveFileA(to.text, other.text), "expected a rename onto a file refused");
  ok(GetLastError() == ERROR_ALREADY_EXISTS, "expected ERROR_ALREADY_EXISTS, got %u",
     (unsigned)GetLastError());
  SetLastError(0xdeadbeef);
  ok(!MoveFileA(from.text, Work("move\\x.txt").text), "expected a missing file to fail");
  ok(GetLastError() == ERROR_FILE_NOT_FOUND, "expected ERROR_FILE_NOT_FOUND, got %u",
     (unsigned)GetLastError());
}

// The product asks for its copy's deletion at the next restart with no new name. Windows
// records it without looking for the file (for the system to carry out at the restart), so the
// file is still there afterwards. On NT the record goes to HKEY_LOCAL_MACHINE, which takes an
// administrator: the product's worker runs elevated, and so do these cases (Wine's user is one).
void CaseMoveFileExDelayed() {
  const PathText file = Work("restart.txt");
  MakeFile(file.text, "x");
  SetLastError(0xdeadbeef);
  BOOL recorded = MoveFileExA(file.text, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
  ok(recorded, "expected the deletion recorded, error %u", (unsigned)GetLastError());
  ok(Exists(file.text), "expected the file to stay until the restart");
}

// ---------------------------------------------------------------- open files

struct SharingRow {
  const char* what = {};
  DWORD firstAccess = {}, firstShare = {};
  DWORD secondAccess = {}, secondShare = {};
  bool opens = {};
};

void CaseCreateFileSharing() {
  const PathText file = Work("shared.txt");
  MakeFile(file.text, "shared");
  const DWORD kRead = FILE_SHARE_READ;
  const DWORD kAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const SharingRow rows[] = {
      {.what = "a second reader sharing reads",
       .firstAccess = GENERIC_READ,
       .firstShare = kRead,
       .secondAccess = GENERIC_READ,
       .secondShare = kRead,
       .opens = true},
      {.what = "a second reader sharing nothing",
       .firstAccess = GENERIC_READ,
       .firstShare = kRead,
       .secondAccess = GENERIC_READ,
       .secondShare = 0},
      {.what = "a writer where writes are not shared",
       .firstAccess = GENERIC_READ,
       .firstShare = kRead,
       .secondAccess = GENERIC_WRITE,
       .secondShare = kAll},
      {.what = "a writer where writes are shared",
       .firstAccess = GENERIC_READ,
       .firstShare = FILE_SHARE_READ | FILE_SHARE_WRITE,
       .secondAccess = GENERIC_WRITE,
       .secondShare = kAll,
       .opens = true},
      {.what = "a reader where the holder shares nothing",
       .firstAccess = GENERIC_READ,
       .firstShare = 0,
       .secondAccess = GENERIC_READ,
       .secondShare = kAll},
      {.what = "a reader that does not share the holder's writes",
       .firstAccess = GENERIC_READ | GENERIC_WRITE,
       .firstShare = kAll,
       .secondAccess = GENERIC_READ,
       .secondShare = kRead},
  };
  for (const SharingRow& row : rows) {
    HANDLE first =
        CreateFileA(file.text, row.firstAccess, row.firstShare, NULL, OPEN_EXISTING, 0, NULL);
    ok(first != INVALID_HANDLE_VALUE, "%s: expected the first open, error %u", row.what,
       (unsigned)GetLastError());
    SetLastError(0xdeadbeef);
    HANDLE second =
        CreateFileA(file.text, row.secondAccess, row.secondShare, NULL, OPEN_EXISTING, 0, NULL);
    DWORD error = GetLastError();
    ok((second != INVALID_HANDLE_VALUE) == row.opens, "%s: expected the second open %s", row.what,
       row.opens ? "to succeed" : "refused");
    if (!row.opens) {
      ok(error == ERROR_SHARING_VIOLATION, "%s: expected ERROR_SHARING_VIOLATION, got %u", row.what,
         (unsigned)error);
    }
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    if (first != INVALID_HANDLE_VALUE) CloseHandle(first);
  }
}

struct HeldRow {
  const char* what = {};
  DWORD share = {};    // of the handle held open
  int operation = {};  // 0 delete, 1 rename, 2 copy onto, 3 copy from
  DWORD error = {};    // 0: allowed
};

void CaseChangesWhileOpen() {
  const DWORD kAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HeldRow rows[] = {
      {.what = "a deletion without FILE_SHARE_DELETE",
       .share = FILE_SHARE_READ,
       .operation = 0,
       .error = ERROR_SHARING_VIOLATION},
      {.what = "a deletion with FILE_SHARE_DELETE", .share = kAll, .operation = 0},
      {.what = "a rename without FILE_SHARE_DELETE",
       .share = FILE_SHARE_READ,
       .operation = 1,
       .error = ERROR_SHARING_VIOLATION},
      {.what = "a rename with FILE_SHARE_DELETE", .share = kAll, .operation = 1},
      {.what = "a copy onto it without FILE_SHARE_WRITE",
       .share = FILE_SHARE_READ,
       .operation = 2,
       .error = ERROR_SHARING_VIOLATION},
      {.what = "a copy from it while reads are shared", .share = FILE_SHARE_READ, .operation = 3},
  };
  const PathText file = Work("held.txt"), renamed = Work("held-renamed.txt"),
                 copy = Work("held-copy.txt"), other = Work("held-other.txt");
  MakeFile(other.text, "other");
  for (const HeldRow& row : rows) {
    DeleteFileA(renamed.text);
    MakeFile(file.text, "held");
    HANDLE held = CreateFileA(file.text, GENERIC_READ, row.share, NULL, OPEN_EXISTING, 0, NULL);
    ok(held != INVALID_HANDLE_VALUE, "%s: expected the open, error %u", row.what,
       (unsigned)GetLastError());
    SetLastError(0xdeadbeef);
    BOOL done = FALSE;
    switch (row.operation) {
      case 0:
        done = DeleteFileA(file.text);
        break;
      case 1:
        done = MoveFileA(file.text, renamed.text);
        break;
      case 2:
        done = CopyFileA(other.text, file.text, FALSE);
        break;
      default:
        done = CopyFileA(file.text, copy.text, FALSE);
        break;
    }
    DWORD error = GetLastError();
    ok(done == (row.error == 0), "%s: expected %s, got %d", row.what,
       row.error ? "failure" : "success", done);
    if (row.error) {
      ok(error == row.error, "%s: expected error %u, got %u", row.what, (unsigned)row.error,
         (unsigned)error);
    }
    CloseHandle(held);
    MoveFileA(renamed.text, file.text);
  }
}

struct OpenRow {
  const char* what = {};
  const char* path = {};
  DWORD disposition = {};
  DWORD error = {};       // 0: opens
  DWORD errorAfter = {};  // the last error after a successful open, where Windows sets one
};

void CaseCreateFileDispositions() {
  CreateDirectoryA(Work("open").text, NULL);
  MakeFile(Work("open\\exists.txt").text, "content");
  const PathText exists = Work("open\\exists.txt"), fresh = Work("open\\fresh.txt"),
                 fresh2 = Work("open\\fresh2.txt"), missing = Work("open\\none.txt"),
                 noFolder = Work("none\\x.txt"), folder = Work("open");
  const OpenRow rows[] = {
      {.what = "an existing file", .path = exists.text, .disposition = OPEN_EXISTING},
      {.what = "a missing file",
       .path = missing.text,
       .disposition = OPEN_EXISTING,
       .error = ERROR_FILE_NOT_FOUND},
      {.what = "a missing folder",
       .path = noFolder.text,
       .disposition = OPEN_EXISTING,
       .error = ERROR_PATH_NOT_FOUND},
      {.what = "a folder without backup semantics",
       .path = folder.text,
       .disposition = OPEN_EXISTING,
       .error = ERROR_ACCESS_DENIED},
      {.what = "a new file that exists",
       .path = exists.text,
       .disposition = CREATE_NEW,
       .error = ERROR_FILE_EXISTS},
      {.what = "a new file", .path = fresh.text, .disposition = CREATE_NEW},
      {.what = "always created over a file",
       .path = exists.text,
       .disposition = CREATE_ALWAYS,
       .errorAfter = ERROR_ALREADY_EXISTS},
      {.what = "always opened where none is",
       .path = fresh2.text,
       .disposition = OPEN_ALWAYS,
       .errorAfter = ERROR_SUCCESS},
      {.what = "always opened where one is",
       .path = fresh2.text,
       .disposition = OPEN_ALWAYS,
       .errorAfter = ERROR_ALREADY_EXISTS},
  };
  for (const OpenRow& row : rows) {
    SetLastError(0xdeadbeef);
    HANDLE file = CreateFileA(row.path, GENERIC_READ | GENERIC_WRITE, 0, NULL, row.disposition,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD error = GetLastError();
    ok((file != INVALID_HANDLE_VALUE) == (row.error == 0), "%s: expected %s", row.what,
       row.error ? "failure" : "a handle");
    if (row.error) {
      ok(error == row.error, "%s: expected error %u, got %u", row.what, (unsigned)row.error,
         (unsigned)error);
    } else if (row.disposition == CREATE_ALWAYS || row.disposition == OPEN_ALWAYS) {
      ok(error == row.errorAfter, "%s: expected last error %u, got %u", row.what,
         (unsigned)row.errorAfter, (unsigned)error);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  char text[64];
  ReadText(exists.text, text, sizeof text);
  ok(text[0] == '\0', "expected CREATE_ALWAYS to empty the file, got \"%s\"", text);
}

struct ReadRow {
  const char* what = {};
  DWORD asks[3] = {};
  DWORD gets[3] = {};
};

void CaseReadFile() {
  const PathText file = Work("read.txt");
  MakeFile(file.text, "abcdef");
  const ReadRow rows[] = {
      {.what = "one read takes the whole file, the next finds its end",
       .asks = {64, 64},
       .gets = {6, 0}},
      {.what = "reads fill their chunk until the end", .asks = {4, 4, 4}, .gets = {4, 2, 0}},
      {.what = "a read of nothing is not the end", .asks = {0, 6}, .gets = {0, 6}},
      {.what = "the end of the file stays the end", .asks = {6, 1, 1}, .gets = {6, 0, 0}},
  };
  for (const ReadRow& row : rows) {
    HANDLE handle =
        CreateFileA(file.text, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ok(handle != INVALID_HANDLE_VALUE, "%s: expected the open", row.what);
    char whole[64] = "";
    size_t total = 0;
    for (int i = 0; i < 3 && (row.asks[i] || i == 0 || row.gets[i]); ++i) {
      char buffer[64];
      DWORD read = 0xdeadbeef;
      BOOL done = ReadFile(handle, buffer, row.asks[i], &read, NULL);
      ok(done && read == row.gets[i], "%s: read %d expected TRUE and %u bytes, got %d and %u",
         row.what, i + 1, (unsigned)row.gets[i], done, (unsigned)read);
      if (done && read <= row.gets[i]) {
        memcpy(whole + total, buffer, read);
        total += read;
      }
    }
    ok(strcmp(whole, "abcdef") == 0, "%s: expected \"abcdef\" in all, got \"%s\"", row.what, whole);
    CloseHandle(handle);
  }
  HANDLE writeOnly = CreateFileA(file.text, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  char buffer[8];
  DWORD read = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  ok(!ReadFile(writeOnly, buffer, sizeof buffer, &read, NULL), "expected no read without access");
  ok(GetLastError() == ERROR_ACCESS_DENIED, "expected ERROR_ACCESS_DENIED, got %u",
     (unsigned)GetLastError());
  ok(read == 0, "expected nothing read reported, got %u", (unsigned)read);
  CloseHandle(writeOnly);
  read = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  ok(!ReadFile((HANDLE)(ULONG_PTR)0x4444, buffer, sizeof buffer, &read, NULL),
     "expected no read through a handle never opened");
  ok(GetLastError() == ERROR_INVALID_HANDLE, "expected ERROR_INVALID_HANDLE, got %u",
     (unsigned)GetLastError());
  ok(read == 0, "expected nothing read reported, got %u", (unsigned)read);
}

void CaseCloseHandle() {
  const PathText file = Work("close.txt");
  MakeFile(file.text, "x");
  HANDLE handle =
      CreateFileA(file.text, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  ok(CloseHandle(handle), "expected the first close to succeed, error %u",
     (unsigned)GetLastError());
  SetLastError(0xdeadbeef);
  ok(!CloseHandle(handle), "expected a second close to fail");
  ok(GetLastError() == ERROR_INVALID_HANDLE, "expected ERROR_INVALID_HANDLE, got %u",
     (unsigned)GetLastError());
}

// ---------------------------------------------------------------- folders of the system

typedef UINT(WINAPI* FolderCall)(LPSTR, UINT);

UINT WINAPI TempPathAsFolderCall(LPSTR buffer, UINT size) {
  return GetTempPathA(size, buffer);
}

struct FolderRow {
  const char* what = {};
  FolderCall call = {};
  bool backslash = {};  // the path ends in one
};

void CaseSystemFolders() {
  const FolderRow rows[] = {
      {.what = "GetTempPathA", .call = TempPathAsFolderCall, .backslash = true},
      {.what = "GetWindowsDirectoryA", .call = GetWindowsDirectoryA},
      {.what = "GetSystemDirectoryA", .call = GetSystemDirectoryA},
  };
  for (const FolderRow& row : rows) {
    char path[MAX_PATH];
    UINT length = row.call(path, sizeof path);
    ok(length > 3 && length < MAX_PATH && length == strlen(path),
       "%s: expected the length of \"%s\", got %u", row.what, path, (unsigned)length);
    ok((path[length - 1] == '\\') == row.backslash, "%s: expected %s backslash, got \"%s\"",
       row.what, row.backslash ? "a" : "no", path);
    DWORD attributes = GetFileAttributesA(path);
    ok(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY),
       "%s: expected \"%s\" to be a folder, got 0x%x", row.what, path, (unsigned)attributes);
    char small[4];
    memcpy(small, "!!!", 4);
    UINT needed = row.call(small, sizeof small);
    ok(needed == length + 1, "%s: expected %u with its terminator, got %u", row.what,
       (unsigned)(length + 1), (unsigned)needed);
    ok(strcmp(small, "!!!") == 0, "%s: expected the small buffer untouched, got \"%.3s\"", row.what,
       small);
  }
  char windows[MAX_PATH], system[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  GetSystemDirectoryA(system, sizeof system);
  size_t length = strlen(windows);
  ok(strncmp(windows, system, length) == 0 && system[length] == '\\',
     "expected the system folder \"%s\" inside \"%s\"", system, windows);
}

// ---------------------------------------------------------------- short names

void CaseShortPathName() {
  CreateDirectoryA(Work("Long Folder Name").text, NULL);
  const PathText file = Work("Long Folder Name\\a long file name.text");
  MakeFile(file.text, "x");
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(file.text, shortPath, sizeof shortPath);
  ok(length > 0 && length == strlen(shortPath), "expected a short path, got %u \"%s\"",
     (unsigned)length, length ? shortPath : "");
  bool eachShort = length > 3;
  for (const char* name = shortPath + 3; eachShort && *name;) {
    const char* end = strchr(name, '\\');
    size_t size = end ? (size_t)(end - name) : strlen(name);
    eachShort = IsShortName(name, size);
    name += size + (end ? 1 : 0);
  }
  ok(eachShort, "expected every name of \"%s\" in 8.3 form", shortPath);
  ok(GetFileAttributesA(shortPath) == FILE_ATTRIBUTE_ARCHIVE,
     "expected the short path to name the file, got 0x%x", (unsigned)GetFileAttributesA(shortPath));
  char small[4];
  memcpy(small, "!!!", 4);
  DWORD needed = GetShortPathNameA(file.text, small, sizeof small);
  ok(needed == length + 1, "expected %u with its terminator, got %u", (unsigned)(length + 1),
     (unsigned)needed);
  // NTFS and FAT number the aliases in the order the names came; Wine makes them from a hash.
  CreateDirectoryA(Work("Long Folder Nameless").text, NULL);
  MakeFile(Work("my.long.name.text").text, "x");
  struct AliasRow {
    const char* what;
    const char* path;
    const char* alias;
  };
  const PathText second = Work("Long Folder Nameless"), dots = Work("my.long.name.text");
  const AliasRow aliases[] = {
      {.what = "the first alias of a stem",
       .path = file.text,
       .alias = "C:\\conform\\work\\LONGFO~1\\ALONGF~1.TEX"},
      {.what = "the second alias of the same stem",
       .path = second.text,
       .alias = "C:\\conform\\work\\LONGFO~2"},
      {.what = "dots but the last go, the extension is cut to three",
       .path = dots.text,
       .alias = "C:\\conform\\work\\MYLONG~1.TEX"},
  };
  for (const AliasRow& row : aliases) {
    char alias[MAX_PATH] = "";
    GetShortPathNameA(row.path, alias, sizeof alias);
    todo_wine_because("Wine makes 8.3 aliases from a hash of the long name, not numbered") {
      ok(strcmp(alias, row.alias) == 0, "%s: expected \"%s\", got \"%s\"", row.what, row.alias,
         alias);
    }
  }
  const PathText plain = Work("plain.txt");
  MakeFile(plain.text, "x");
  length = GetShortPathNameA(plain.text, shortPath, sizeof shortPath);
  ok(length == strlen(plain.text) && lstrcmpiA(shortPath, plain.text) == 0,
     "expected an 8.3 path to stay \"%s\", got \"%s\"", plain.text, shortPath);
  SetLastError(0xdeadbeef);
  ok(GetShortPathNameA(Work("none.txt").text, shortPath, sizeof shortPath) == 0,
     "expected no short path of a missing file");
  ok(GetLastError() == ERROR_FILE_NOT_FOUND, "expected ERROR_FILE_NOT_FOUND, got %u",
     (unsigned)GetLastError());
}

// ---------------------------------------------------------------- the program's own path

void CaseModuleFileName() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
  ok(length > 3 && length == strlen(path), "expected the length of \"%s\", got %u", path,
     (unsigned)length);
  ok(path[1] == ':' && path[2] == '\\', "expected a full path, got \"%s\"", path);
  char cut[MAX_PATH];
  memset(cut, '!', sizeof cut);
  SetLastError(0xdeadbeef);
  DWORD result = GetModuleFileNameA(NULL, cut, length);
  DWORD error = GetLastError();
  ok(result == length, "expected the capacity %u when cut, got %u", (unsigned)length,
     (unsigned)result);
  // XP cuts without a terminator and reports success; Vista and later end the cut text with a
  // terminator and report ERROR_INSUFFICIENT_BUFFER. Callers must take the capacity as "cut".
  bool xp = memcmp(cut, path, length) == 0 && error == ERROR_SUCCESS;
  bool vista = memcmp(cut, path, length - 1) == 0 && cut[length - 1] == '\0' &&
               error == ERROR_INSUFFICIENT_BUFFER;
  todo_wine_because(
      "Wine's A call cuts as XP does, without a terminator, yet sets Vista's "
      "ERROR_INSUFFICIENT_BUFFER") {
    ok(xp || vista, "expected XP's or Vista's cut, got error %u and last byte 0x%02x",
       (unsigned)error, (unsigned)(unsigned char)cut[length - 1]);
    ok(xp, "expected XP's cut, the emulator's, without a terminator, got error %u",
       (unsigned)error);
  }
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  length = GetModuleFileNameA(kernel, path, sizeof path);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  ok(length > 0 && EndsWithNoCase(path, "\\kernel32.dll") &&
         strncmp(path, system, strlen(system)) == 0,
     "expected kernel32.dll in \"%s\", got \"%s\"", system, path);
}

// ---------------------------------------------------------------- registry

struct OpenKeyRow {
  const char* what = {};
  HKEY root = {};
  const char* path = {};
  LONG status = {};
  bool same = {};           // the handle passed in comes back
  const char* onWine = {};  // why Wine differs here from Windows, where it does
};

void CaseRegOpenKey() {
  HKEY made = CaseKey("open\\Child");
  RegCloseKey(made);
  const OpenKeyRow rows[] = {
      {.what = "an existing key",
       .root = HKEY_CURRENT_USER,
       .path = "Software\\OrbelleConformance\\open\\Child"},
      {.what = "names in another case",
       .root = HKEY_CURRENT_USER,
       .path = "SOFTWARE\\orbelleconformance\\OPEN"},
      {.what = "a trailing backslash",
       .root = HKEY_CURRENT_USER,
       .path = "Software\\OrbelleConformance\\open\\"},
      {.what = "a missing key",
       .root = HKEY_CURRENT_USER,
       .path = "Software\\OrbelleConformance\\none",
       .status = ERROR_FILE_NOT_FOUND},
      {.what = "a leading backslash",
       .root = HKEY_CURRENT_USER,
       .path = "\\Software",
       .status = ERROR_BAD_PATHNAME},
      {.what = "a doubled backslash",
       .root = HKEY_CURRENT_USER,
       .path = "Software\\\\OrbelleConformance",
       .status = ERROR_BAD_PATHNAME,
       .onWine = "Wine's registry takes a doubled backslash for one"},
      {.what = "a NULL subkey", .root = HKEY_CURRENT_USER, .path = NULL, .same = true},
      {.what = "an empty subkey", .root = HKEY_CURRENT_USER, .path = "", .same = true},
  };
  for (const OpenKeyRow& row : rows) {
    HKEY key = (HKEY)(ULONG_PTR)0xdeadbeef;
    LONG status = RegOpenKeyA(row.root, row.path, &key);
    if (row.onWine && conformance::OnWine() && status == ERROR_SUCCESS) {
      tolerated_if(true, row.onWine) {
        ok(status == row.status, "%s: expected %d, got %d", row.what, (int)row.status, (int)status);
      }
      RegCloseKey(key);
      continue;
    }
    ok(status == row.status, "%s: expected %d, got %d", row.what, (int)row.status, (int)status);
    if (row.status != ERROR_SUCCESS) {
      ok(key == NULL, "%s: expected NULL on failure, got %p", row.what, (void*)key);
    } else if (row.same) {
      ok(key == row.root, "%s: expected the same handle %p, got %p", row.what, (void*)row.root,
         (void*)key);
    } else {
      ok(key != NULL && key != row.root, "%s: expected a new handle, got %p", row.what, (void*)key);
      RegCloseKey(key);
    }
  }
}

void CaseRegEnumKey() {
  HKEY key = CaseKey("enum");
  // Windows orders them by their upper-cased names: '_' (0x5F) after the capitals.
  const char* made[] = {"beta", "Alpha", "gamma", "a-very-long-name", "_under"};
  for (const char* name : made) {
    HKEY child = NULL;
    RegCreateKeyA(key, name, &child);
    RegCloseKey(child);
  }
  const char* expected[] = {"a-very-long-name", "Alpha", "beta", "gamma", "_under"};
  for (DWORD i = 0; i < 5; ++i) {
    char name[64];
    LONG status = RegEnumKeyA(key, i, name, sizeof name);
    todo_wine_because("Wine orders subkeys by lower-cased names: '_' comes before the letters")
        ok(status == ERROR_SUCCESS && strcmp(name, expected[i]) == 0,
           "index %u: expected \"%s\", got %d \"%s\"", (unsigned)i, expected[i], (int)status,
           status == ERROR_SUCCESS ? name : "");
  }
  char name[64];
  LONG status = RegEnumKeyA(key, 5, name, sizeof name);
  ok(status == ERROR_NO_MORE_ITEMS, "expected ERROR_NO_MORE_ITEMS past the end, got %d",
     (int)status);
  status = RegEnumKeyA(key, 0, name, 2);
  ok(status == ERROR_MORE_DATA, "expected ERROR_MORE_DATA for a name that does not fit, got %d",
     (int)status);
  RegCloseKey(key);
}

void CaseRegDeleteKey() {
  HKEY key = CaseKey("delete\\Parent\\Child");
  RegCloseKey(key);
  HKEY base = CaseKey("delete");
  LONG status = RegDeleteKeyA(base, "Parent");
  ok(status == ERROR_ACCESS_DENIED, "expected a key with subkeys refused, got %d", (int)status);
  status = RegDeleteKeyA(base, "Parent\\Child");
  ok(status == ERROR_SUCCESS, "expected the subkey deleted, got %d", (int)status);
  status = RegDeleteKeyA(base, "Parent");
  ok(status == ERROR_SUCCESS, "expected the emptied key deleted, got %d", (int)status);
  status = RegDeleteKeyA(base, "Parent");
  ok(status == ERROR_FILE_NOT_FOUND, "expected a missing key not found, got %d", (int)status);
  HKEY doomed = NULL;
  HKEY made = NULL;
  RegCreateKeyA(base, "Doomed", &made);
  RegCloseKey(made);
  RegOpenKeyA(base, "Doomed", &doomed);
  status = RegDeleteKeyA(base, "Doomed");
  ok(status == ERROR_SUCCESS, "expected a key deleted while open, got %d", (int)status);
  status = RegSetValueExA(doomed, "v", 0, REG_SZ, (const BYTE*)"x", 2);
  ok(status == ERROR_KEY_DELETED, "expected ERROR_KEY_DELETED through its handle, got %d",
     (int)status);
  char name[8];
  status = RegEnumKeyA(doomed, 0, name, sizeof name);
  ok(status == ERROR_KEY_DELETED, "expected ERROR_KEY_DELETED enumerating it, got %d", (int)status);
  status = RegCloseKey(doomed);
  ok(status == ERROR_SUCCESS, "expected the handle still closes, got %d", (int)status);
  HKEY itself = NULL;
  RegCreateKeyA(base, "Itself", &itself);
  status = RegDeleteKeyA(itself, "");
  ok(status == ERROR_SUCCESS, "expected an empty subkey to delete the key itself, got %d",
     (int)status);
  RegCloseKey(itself);
  status = RegOpenKeyA(base, "Itself", &itself);
  ok(status == ERROR_FILE_NOT_FOUND, "expected it gone, got %d", (int)status);
  status = RegDeleteKeyA(base, NULL);
  ok(status == ERROR_INVALID_PARAMETER, "expected a NULL subkey refused, got %d", (int)status);
  RegCloseKey(base);
}

void CaseRegCloseKey() {
  HKEY key = CaseKey("close");
  LONG status = RegCloseKey(key);
  ok(status == ERROR_SUCCESS, "expected the first close, got %d", (int)status);
  status = RegCloseKey(key);
  ok(status == ERROR_INVALID_HANDLE, "expected ERROR_INVALID_HANDLE on a second close, got %d",
     (int)status);
  status = RegCloseKey(HKEY_CURRENT_USER);
  ok(status == ERROR_SUCCESS, "expected closing a root to do no harm, got %d", (int)status);
}

struct DefaultRow {
  const char* what = {};
  const char* subKey = {};
  LONG capacity = {};  // -1: no buffer
  LONG status = {};
  LONG size = {};
  const char* text = {};
  const char* onWine = {};  // why Wine differs here from Windows, where it does
};

void CaseRegQueryValue() {
  HKEY key = CaseKey("default");
  SetString(key, "", "abc");
  HKEY child = NULL;
  RegCreateKeyA(key, "Unset", &child);
  RegCloseKey(child);
  ok(RegSetValueA(key, "Named", REG_SZ, "VRML.", 0) == ERROR_SUCCESS,
     "expected RegSetValueA to set a subkey's default");
  HKEY raw = NULL, expand = NULL;
  RegCreateKeyA(key, "Raw", &raw);
  RegSetValueExA(raw, NULL, 0, REG_SZ, (const BYTE*)"abc", 3);
  RegCloseKey(raw);
  RegCreateKeyA(key, "Expand", &expand);
  RegSetValueExA(expand, NULL, 0, REG_EXPAND_SZ, (const BYTE*)"%x%", 4);
  RegCloseKey(expand);
  const DefaultRow rows[] = {
      {.what = "a string stored without a terminator gets one",
       .subKey = "Raw",
       .capacity = 16,
       .size = 4,
       .text = "abc"},
      {.what = "a default that is no REG_SZ",
       .subKey = "Expand",
       .capacity = 16,
       .status = ERROR_INVALID_DATA,
       .size = 16,
       .onWine = "Wine hands out a default of any type; the documentation asks for a string"},
      {.what = "a string default", .capacity = 16, .size = 4, .text = "abc"},
      {.what = "a default never set", .subKey = "Unset", .capacity = 16, .size = 1, .text = ""},
      {.what = "a NULL buffer", .capacity = -1, .size = 4},
      {.what = "too small a buffer", .capacity = 3, .status = ERROR_MORE_DATA, .size = 4},
      {.what = "a subkey's default", .subKey = "Named", .capacity = 16, .size = 6, .text = "VRML."},
      {.what = "a missing subkey",
       .subKey = "None",
       .capacity = 16,
       .status = ERROR_FILE_NOT_FOUND,
       .size = 16},
  };
  for (const DefaultRow& row : rows) {
    char text[16];
    LONG size = row.capacity < 0 ? 0 : row.capacity;
    LONG status = RegQueryValueA(key, row.subKey, row.capacity < 0 ? NULL : text, &size);
    tolerated_if(row.onWine && conformance::OnWine(), row.onWine) {
      ok(status == row.status, "%s: expected %d, got %d", row.what, (int)row.status, (int)status);
      ok(size == row.size, "%s: expected size %d, got %d", row.what, (int)row.size, (int)size);
    }
    if (row.text && status == ERROR_SUCCESS) {
      ok(strcmp(text, row.text) == 0, "%s: expected \"%s\", got \"%s\"", row.what, row.text, text);
    }
  }
  RegCloseKey(key);
}

void CaseRegSetValue() {
  HKEY key = CaseKey("setdefault");
  // The size comes from the string itself: Windows ignores cbData for REG_SZ.
  LONG status = RegSetValueA(key, NULL, REG_SZ, "text", 1);
  ok(status == ERROR_SUCCESS, "expected the default set, got %d", (int)status);
  char text[16];
  LONG size = sizeof text;
  status = RegQueryValueA(key, NULL, text, &size);
  ok(status == ERROR_SUCCESS && strcmp(text, "text") == 0 && size == 5,
     "expected \"text\" of size 5, got %d \"%s\" %d", (int)status, text, (int)size);
  status = RegSetValueA(key, NULL, REG_DWORD, "text", 4);
  ok(status == ERROR_INVALID_PARAMETER, "expected another type refused, got %d", (int)status);
  RegCloseKey(key);
}

struct NamedRow {
  const char* what = {};
  const char* name = {};
  DWORD capacity = {};  // 0: no buffer
  LONG status = {};
  DWORD type = {};
  DWORD size = {};
  const char* bytes = {};   // what the buffer holds afterwards, `size` bytes
  const char* onWine = {};  // why Wine differs here from Windows, where it does
};

void CaseRegQueryValueEx() {
  HKEY key = CaseKey("named");
  SetString(key, "Desktop", "C:\\Desk");
  RegSetValueExA(key, "Raw", 0, REG_SZ, (const BYTE*)"abc", 3);
  DWORD number = 0x01020304;
  RegSetValueExA(key, "Number", 0, REG_DWORD, (const BYTE*)&number, sizeof number);
  RegSetValueExA(key, "Bytes", 0, REG_BINARY, (const BYTE*)"\x01\x00\x02", 3);
  RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, (const BYTE*)"%TEMP%", 7);
  SetString(key, NULL, "d");
  const NamedRow rows[] = {
      {.what = "a NULL buffer gives the exact size", .name = "Desktop", .type = REG_SZ, .size = 8},
      {.what = "a string with its terminator",
       .name = "Desktop",
       .capacity = 32,
       .type = REG_SZ,
       .size = 8,
       .bytes = "C:\\Desk"},
      {.what = "a string stored without one",
       .name = "Raw",
       .capacity = 32,
       .type = REG_SZ,
       .size = 3,
       .bytes = "abc",
       .onWine = "Wine adds a terminator to a string stored without one"},
      {.what = "too small a buffer",
       .name = "Desktop",
       .capacity = 4,
       .status = ERROR_MORE_DATA,
       .type = REG_SZ,
       .size = 8},
      {.what = "a number",
       .name = "Number",
       .capacity = 32,
       .type = REG_DWORD,
       .size = 4,
       .bytes = "\x04\x03\x02\x01"},
      {.what = "bytes",
       .name = "Bytes",
       .capacity = 32,
       .type = REG_BINARY,
       .size = 3,
       .bytes = "\x01\x00\x02"},
      {.what = "an expandable string stays unexpanded",
       .name = "Expand",
       .capacity = 32,
       .type = REG_EXPAND_SZ,
       .size = 7,
       .bytes = "%TEMP%"},
      {.what = "the default value by NULL",
       .name = NULL,
       .capacity = 32,
       .type = REG_SZ,
       .size = 2,
       .bytes = "d"},
      {.what = "a missing value",
       .name = "Programs",
       .capacity = 32,
       .status = ERROR_FILE_NOT_FOUND,
       .type = 0xdeadbeef,
       .size = 32},
  };
  for (const NamedRow& row : rows) {
    BYTE data[32];
    DWORD type = 0xdeadbeef;
    DWORD size = row.capacity;
    LONG status = RegQueryValueExA(key, row.name, NULL, &type, row.capacity ? data : NULL, &size);
    ok(status == row.status, "%s: expected %d, got %d", row.what, (int)row.status, (int)status);
    if (status == ERROR_SUCCESS) {
      ok(type == row.type, "%s: expected type %u, got %u", row.what, (unsigned)row.type,
         (unsigned)type);
    }
    tolerated_if(row.onWine && conformance::OnWine(), row.onWine) {
      ok(size == row.size, "%s: expected size %u, got %u", row.what, (unsigned)row.size,
         (unsigned)size);
    }
    if (row.bytes && status == ERROR_SUCCESS) {
      ok(memcmp(data, row.bytes, row.size) == 0, "%s: expected other bytes", row.what);
    }
  }
  RegCloseKey(key);
}

// ---------------------------------------------------------------- profile sections

void CaseProfileSections() {
  const PathText file = Work("profile.ini");
  ok(WritePrivateProfileSectionA("rename", "NUL=C:\\a.tmp\0NUL=C:\\b.tmp\0", file.text),
     "expected the section written, error %u", (unsigned)GetLastError());
  ok(WritePrivateProfileSectionA("other", "key=value\0", file.text),
     "expected a second section written, error %u", (unsigned)GetLastError());
  char section[64];
  memset(section, '!', sizeof section);
  DWORD length = GetPrivateProfileSectionA("RENAME", section, sizeof section, file.text);
  const char expected[] = "NUL=C:\\a.tmp\0NUL=C:\\b.tmp\0";
  // The count takes in each entry's terminator, not the list's last one.
  ok(length == sizeof expected - 1, "expected %u, got %u", (unsigned)(sizeof expected - 1),
     (unsigned)length);
  ok(memcmp(section, expected, sizeof expected) == 0,
     "expected both entries, duplicate keys included, and two terminators");
  memset(section, '!', sizeof section);
  length = GetPrivateProfileSectionA("rename", section, 10, file.text);
  ok(length == 8, "expected a cut section to give size - 2, got %u", (unsigned)length);
  ok(section[8] == '\0' && section[9] == '\0', "expected the cut list to end in two NULs");
  // Another program's file: entries come back trimmed, blank lines left out.
  const PathText written = Work("written.ini");
  MakeFile(written.text, "[a]\r\nk=1\r\n[Rename]\r\n NUL=C:\\X.TMP \r\n\r\nNUL=C:\\Y.TMP\r\n");
  memset(section, '!', sizeof section);
  length = GetPrivateProfileSectionA("rename", section, sizeof section, written.text);
  ok(length == 26 && memcmp(section, "NUL=C:\\X.TMP\0NUL=C:\\Y.TMP\0", 27) == 0,
     "expected both entries trimmed, got %u", (unsigned)length);
  length = GetPrivateProfileSectionA("none", section, sizeof section, file.text);
  ok(length == 0 && section[0] == '\0', "expected a missing section empty, got %u",
     (unsigned)length);
  length = GetPrivateProfileSectionA("rename", section, sizeof section, Work("none.ini").text);
  ok(length == 0, "expected a missing file empty, got %u", (unsigned)length);
}

// ---------------------------------------------------------------- modules

void CaseModules() {
  ok(GetModuleHandleA(NULL) != NULL, "expected the program's own module");
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  ok(kernel != NULL, "expected kernel32 loaded");
  ok(GetModuleHandleA("KERNEL32") == kernel, "expected the name without .DLL to find it");
  typedef BOOL(WINAPI * SetDirectories)(DWORD);
  SetDirectories set = (SetDirectories)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
  ok(set != NULL, "expected SetDefaultDllDirectories on a Windows of the last ten years");
  if (set) {
    SetLastError(0xdeadbeef);
    ok(!set(0x1), "expected a flag outside LOAD_LIBRARY_SEARCH_* refused");
    ok(GetLastError() == ERROR_INVALID_PARAMETER, "expected ERROR_INVALID_PARAMETER, got %u",
       (unsigned)GetLastError());
    ok(set(LOAD_LIBRARY_SEARCH_SYSTEM32), "expected the system folder alone accepted");
  }
  SetLastError(0xdeadbeef);
  ok(GetProcAddress(kernel, "NoSuchExport") == NULL, "expected no such export");
  ok(GetLastError() == ERROR_PROC_NOT_FOUND, "expected ERROR_PROC_NOT_FOUND, got %u",
     (unsigned)GetLastError());
  SetLastError(0xdeadbeef);
  ok(GetModuleHandleA("nosuch.dll") == NULL, "expected no module of that name");
  ok(GetLastError() == ERROR_MOD_NOT_FOUND, "expected ERROR_MOD_NOT_FOUND, got %u",
     (unsigned)GetLastError());
  HMODULE shell = LoadLibraryA("shell32.dll");
  ok(shell != NULL, "expected shell32 to load, error %u", (unsigned)GetLastError());
  ok(shell && GetProcAddress(shell, "SHChangeNotify") != NULL, "expected SHChangeNotify");
  ok(shell && GetProcAddress(shell, "shchangenotify") == NULL,
     "expected export names to compare case-sensitively");
  ok(shell && FreeLibrary(shell), "expected FreeLibrary to give the load back");
  SetLastError(0xdeadbeef);
  ok(LoadLibraryA("nosuch-library.dll") == NULL, "expected a missing DLL not to load");
  ok(GetLastError() == ERROR_MOD_NOT_FOUND, "expected ERROR_MOD_NOT_FOUND, got %u",
     (unsigned)GetLastError());
}

// ---------------------------------------------------------------- strings

void CaseStrings() {
  char text[32];
  ok(lstrcpyA(text, "abc") == text && strcmp(text, "abc") == 0, "expected lstrcpyA to copy");
  ok(lstrcatA(text, "def") == text && strcmp(text, "abcdef") == 0, "expected lstrcatA to add");
  ok(lstrlenA(text) == 6, "expected 6, got %d", lstrlenA(text));
  ok(lstrlenA(NULL) == 0, "expected lstrlenA(NULL) to be 0");
  ok(lstrcmpA("abc", "abc") == 0, "expected equal strings to compare 0");
  ok(lstrcmpA("abc", "ABC") != 0, "expected lstrcmpA to tell case apart");
  ok(lstrcmpA("abc", "abd") < 0 && lstrcmpA("abd", "abc") > 0, "expected the order of letters");
  ok(lstrcmpiA("Uninstall.EXE", "uninstall.exe") == 0, "expected lstrcmpiA to fold case");
  struct FormatRow {
    const char* what = {};
    int length = {};
    const char* text = {};
  };
  char out[64];
  const FormatRow rows[] = {
      {.what = "a string", .length = wsprintfA(out, "in %s now", "C:\\A"), .text = "in C:\\A now"},
  };
  for (const FormatRow& row : rows) {
    ok(row.length == (int)strlen(row.text) && strcmp(out, row.text) == 0,
       "%s: expected \"%s\", got %d \"%s\"", row.what, row.text, row.length, out);
  }
  int length = wsprintfA(out, "%d %u %x %04X", -5, 7u, 255u, 0xABu);
  ok(length == 12 && strcmp(out, "-5 7 ff 00AB") == 0, "expected numbers, got %d \"%s\"", length,
     out);
}

// ---------------------------------------------------------------- code page

void CaseCodePageNames() {
  // The program carries the product's manifest: UTF-8, as Windows 10 1903 and later give it.
  ok(GetACP() == 65001, "expected the manifest's UTF-8 code page, got %u", (unsigned)GetACP());
  const char name[] = "\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd";  // "Иван" in UTF-8
  const PathText folder = Work(name);
  ok(CreateDirectoryA(folder.text, NULL), "expected a folder with a Cyrillic name, error %u",
     (unsigned)GetLastError());
  ok(GetFileAttributesA(folder.text) == FILE_ATTRIBUTE_DIRECTORY,
     "expected it found by the same bytes");
  HKEY key = CaseKey("names");
  HKEY child = NULL;
  ok(RegCreateKeyA(key, name, &child) == ERROR_SUCCESS, "expected a key with a Cyrillic name");
  RegCloseKey(child);
  char read[32];
  LONG status = RegEnumKeyA(key, 0, read, sizeof read);
  ok(status == ERROR_SUCCESS && strcmp(read, name) == 0, "expected the name back whole");
  status = RegEnumKeyA(key, 0, read, 8);
  ok(status == ERROR_MORE_DATA, "expected 8 bytes too few for 4 letters, got %d", (int)status);
  SetString(key, "v", name);
  DWORD size = 0;
  status = RegQueryValueExA(key, "v", NULL, NULL, NULL, &size);
  ok(status == ERROR_SUCCESS && size == 9, "expected 9 bytes in UTF-8, got %u", (unsigned)size);
  RegCloseKey(key);
}

// ---------------------------------------------------------------- processes

struct StartRow {
  const char* what = {};
  const char* image = {};
  const char* folder = {};
  DWORD error = {};
  const char* onWine = {};  // why Wine differs here from Windows, where it does
};

BOOL Start(const char* image, const char* commandLine, const char* folder) {
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info;
  memset(&info, 0, sizeof info);
  char line[MAX_PATH * 2];
  snprintf(line, sizeof line, "%s", commandLine);
  BOOL started = CreateProcessA(image, line, NULL, NULL, FALSE, 0, NULL, folder, &startup, &info);
  if (started) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  return started;
}

void CaseCreateProcessFails() {
  MakeFile(Work("notadir.txt").text, "x");
  const PathText missing = Work("none.exe"), folderFile = Work("notadir.txt");
  const StartRow rows[] = {
      {.what = "a missing image", .image = missing.text, .error = ERROR_FILE_NOT_FOUND},
      {.what = "a missing current folder",
       .image = "C:\\conform\\real\\child.exe",
       .folder = "C:\\conform\\none",
       .error = ERROR_DIRECTORY},
      {.what = "a file as current folder",
       .image = "C:\\conform\\real\\child.exe",
       .folder = folderFile.text,
       .error = ERROR_DIRECTORY},
      {.what = "a folder as image",
       .image = kWork,
       .error = ERROR_ACCESS_DENIED,
       .onWine = "Wine fails to map a folder as an image with ERROR_INVALID_HANDLE"},
  };
  for (const StartRow& row : rows) {
    SetLastError(0xdeadbeef);
    BOOL started = Start(row.image, "x", row.folder);
    DWORD error = GetLastError();
    ok(!started, "%s: expected no start", row.what);
    tolerated_if(row.onWine && conformance::OnWine(), row.onWine) {
      ok(error == row.error, "%s: expected error %u, got %u", row.what, (unsigned)row.error,
         (unsigned)error);
    }
  }
}

// Where a child is started from, what it is told and what it must see of itself. Each writes
// its module path and command line under kChildrenKey\tag; the checks run once all ended.
struct ChildRow {
  const char* tag = {};
  const char* image = {};
  const char* commandLine = {};
  const char* modulePath = {};
};

const ChildRow kChildren[] = {
    {.tag = "direct",
     .image = "C:\\conform\\real\\child.exe",
     .commandLine = "\"C:\\conform\\real\\child.exe\" child direct",
     .modulePath = "C:\\conform\\real\\child.exe"},
    // A folder that is a link: the path as started, not its target's, or a worker started
    // through it would schedule the target's file for deletion.
    {.tag = "linked",
     .image = "C:\\conform\\linked\\child.exe",
     .commandLine = "\"C:\\conform\\linked\\child.exe\" child linked",
     .modulePath = "C:\\conform\\linked\\child.exe"},
    {.tag = "filelink",
     .image = "C:\\conform\\child-link.exe",
     .commandLine = "\"C:\\conform\\child-link.exe\" child filelink",
     .modulePath = "C:\\conform\\child-link.exe"},
    // Without an image the first token of the command line names it.
    {.tag = "fromline",
     .image = NULL,
     .commandLine = "\"C:\\conform\\real\\child.exe\"  child fromline",
     .modulePath = "C:\\conform\\real\\child.exe"},
};

void CaseStartChildren() {
  for (const ChildRow& row : kChildren) {
    BOOL started = Start(row.image, row.commandLine, "C:\\conform");
    ok(started, "%s: expected the child to start, error %u", row.tag, (unsigned)GetLastError());
  }
}

void CheckChildren() {
  for (const ChildRow& row : kChildren) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", kChildrenKey, row.tag);
    HKEY key = NULL;
    LONG status = RegOpenKeyA(HKEY_CURRENT_USER, path, &key);
    ok(status == ERROR_SUCCESS, "%s: expected the child's report, got %d", row.tag, (int)status);
    if (status != ERROR_SUCCESS) continue;
    char module[MAX_PATH * 2] = "", line[MAX_PATH * 2] = "";
    DWORD size = sizeof module;
    RegQueryValueExA(key, "module", NULL, NULL, (BYTE*)module, &size);
    size = sizeof line;
    RegQueryValueExA(key, "line", NULL, NULL, (BYTE*)line, &size);
    RegCloseKey(key);
    ok(lstrcmpiA(module, row.modulePath) == 0, "%s: expected module path \"%s\", got \"%s\"",
       row.tag, row.modulePath, module);
    ok(strcmp(line, row.commandLine) == 0, "%s: expected command line \"%s\", got \"%s\"", row.tag,
       row.commandLine, line);
  }
}

int RunChild(const char* tag) {
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%s\\%s", kChildrenKey, tag);
  HKEY key = NULL;
  if (RegCreateKeyA(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS) return 1;
  char module[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, module, sizeof module);
  module[length < sizeof module ? length : sizeof module - 1] = '\0';
  SetString(key, "module", module);
  SetString(key, "line", GetCommandLineA());
  RegCloseKey(key);
  return 0;
}

// ---------------------------------------------------------------- the runs

struct Case {
  const char* name;
  void (*run)();
};

const Case kCases[] = {
    {"file attributes", CaseFileAttributes},
    {"a file named with a trailing backslash", CaseFileWithTrailingBackslash},
    {"links' own attributes", CaseLinkAttributes},
    {"SetFileAttributesA", CaseSetFileAttributes},
    {"DeleteFileA", CaseDeleteFile},
    {"RemoveDirectoryA", CaseRemoveDirectory},
    {"CopyFileA", CaseCopyFile},
    {"CopyFileA keeps read-only", CaseCopyKeepsReadOnly},
    {"MoveFileA", CaseMoveFile},
    {"MoveFileExA at the restart", CaseMoveFileExDelayed},
    {"CreateFileA sharing", CaseCreateFileSharing},
    {"changes to a file held open", CaseChangesWhileOpen},
    {"CreateFileA dispositions", CaseCreateFileDispositions},
    {"ReadFile", CaseReadFile},
    {"CloseHandle", CaseCloseHandle},
    {"the system's folders", CaseSystemFolders},
    {"GetShortPathNameA", CaseShortPathName},
    {"GetModuleFileNameA", CaseModuleFileName},
    {"RegOpenKeyA", CaseRegOpenKey},
    {"RegEnumKeyA", CaseRegEnumKey},
    {"RegDeleteKeyA", CaseRegDeleteKey},
    {"RegCloseKey", CaseRegCloseKey},
    {"RegQueryValueA", CaseRegQueryValue},
    {"RegSetValueA", CaseRegSetValue},
    {"RegQueryValueExA", CaseRegQueryValueEx},
    {"profile sections", CaseProfileSections},
    {"modules", CaseModules},
    {"strings", CaseStrings},
    {"names through the code page", CaseCodePageNames},
    {"CreateProcessA failures", CaseCreateProcessFails},
    {"children started", CaseStartChildren},
};

// Once no child runs from them: deleting a link takes the link, never what it points to.
void CaseDeleteLinks() {
  ok(DeleteFileA("C:\\conform\\child-link.exe"), "expected the file link deleted, error %u",
     (unsigned)GetLastError());
  ok(!Exists("C:\\conform\\child-link.exe"), "expected the file link gone");
  bool targetStays = Exists("C:\\conform\\real\\child.exe");
  todo_wine_because("Wine 8 unlinks the file a host symbolic link points to, not the link") {
    ok(targetStays, "expected its target to stay");
  }
  BOOL removed = RemoveDirectoryA("C:\\conform\\linked");
  todo_wine_because("Wine 8 cannot remove a host symbolic link to a folder as a folder") {
    ok(removed, "expected the folder link removed, error %u", (unsigned)GetLastError());
  }
  DWORD behind = GetFileAttributesA("C:\\conform\\real");
  todo_wine_because("Wine 8 removes the folder a host symbolic link points to, not the link") {
    ok(behind == FILE_ATTRIBUTE_DIRECTORY, "expected the folder behind it untouched, got 0x%x",
       (unsigned)behind);
  }
}

const Case kAfterChildren[] = {
    {"what the children saw of themselves", CheckChildren},
    {"links deleted", CaseDeleteLinks},
};

void RunCases(const Case* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    printf("case: %s\n", cases[i].name);
    ++conformance::Counts().cases;
    cases[i].run();
  }
}

// The first run's figures, kept for the second's total.
void SaveCounts() {
  HKEY key = CaseKey("");
  RegSetValueExA(key, "counts", 0, REG_BINARY, (const BYTE*)&conformance::Counts(),
                 sizeof(conformance::Tally));
  RegCloseKey(key);
}

bool AddSavedCounts() {
  HKEY key = NULL;
  if (RegOpenKeyA(HKEY_CURRENT_USER, kKeyPath, &key) != ERROR_SUCCESS) return false;
  conformance::Tally saved;
  DWORD size = sizeof saved;
  LONG status = RegQueryValueExA(key, "counts", NULL, NULL, (BYTE*)&saved, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size != sizeof saved) return false;
  conformance::Tally& counts = conformance::Counts();
  counts.cases += saved.cases;
  counts.checks += saved.checks;
  counts.passed += saved.passed;
  counts.failed += saved.failed;
  counts.tolerated += saved.tolerated;
  return true;
}

}  // namespace

int RunConformance(const char* tail) {
  conformance::Counts() = conformance::Tally();
  if (strncmp(tail, "child ", 6) == 0) return RunChild(tail + 6);
  const bool after = strcmp(tail, "verify") == 0;
  if (after) {
    RunCases(kAfterChildren, sizeof kAfterChildren / sizeof kAfterChildren[0]);
    if (!AddSavedCounts()) {
      printf("the first run left no figures: run the program without arguments first\n");
      return 1;
    }
  } else {
    CreateDirectoryA("C:\\conform", NULL);
    CreateDirectoryA(kWork, NULL);
    RunCases(kCases, sizeof kCases / sizeof kCases[0]);
    SaveCounts();
  }
  const conformance::Tally& counts = conformance::Counts();
  printf("%s: %u cases, %u checks, %u passed, %u failed, %u tolerated\n",
         after ? "conformance" : "first run", counts.cases, counts.checks, counts.passed,
         counts.failed, counts.tolerated);
  return counts.failed == 0 ? 0 : 1;
}
