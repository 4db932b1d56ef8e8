#include "manifest/manifest.h"

const char ProductName[] = "Orbelle";
const char MakerName[] = "Halcyra";
const char UninstallerFileName[] = "Uninstall.exe";
const char TempCopyFileName[] = "obuninst.tmp";
const char AppPathKeyName[] = "Orbelle.exe";
const char ShortcutExtension[] = ".lnk";
const char DrainWindowClass[] = "STATIC";
const char GroupFolderPath[] = "Halcyra\\Orbelle\\";

// "Readme.txt" here and "ReadMe.lnk" in the group are the installer's own spellings.
const char* const ProgramFileNames[] = {
    "Orbelle.exe", "Orbelle.hlp", "Orbelle.cnt", "Orbelle.gid", "Readme.txt", "Licence.txt", NULL,
};

const char* const GroupShortcutNames[] = {
    "Orbelle 1.0.lnk", "Online Help.lnk", "ReadMe.lnk", "Uninstall.lnk", NULL,
};

const char* const ProductShortcutFolders[] = {"SendTo", "Desktop", "Start Menu", NULL};

const char* const AssociatedExtensions[AssociatedExtensionCount] = {
    ".wrl", ".wrz", ".wrl.gz", ".vrml", ".vcd",
};

const char UninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char AppPathsKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char MakerKeyPath[] = "Software\\Halcyra";
const char SoftwareKeyPath[] = "Software";
const char ShellFoldersKeyPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char UndoClassKeyName[] = "UndoClass";
const char ShellNewKeyName[] = "ShellNew";
const char ProgramsFolderValue[] = "Programs";

const char Shell32FileName[] = "shell32.dll";
const char WininitFileName[] = "WININIT.INI";
const char WininitSectionName[] = "rename";
const char WininitDeleteKey[] = "NUL=";
