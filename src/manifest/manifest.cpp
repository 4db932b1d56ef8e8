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
const char CommonControlsFileName[] = "comctl32.dll";

// The DLLs that Windows XP, Vista and 7 load by bare name into this program after its start,
// as published advisories on DLL preloading in installers list them and a load trace shows.
// A DLL loaded by full path still finds its own imports by the search order, so each comes
// after the ones it imports that are no known DLL of the system (those load from it always):
const char* const PreloadedSystemDllNames[] = {
    "uxtheme.dll",    // the theme engine, loaded by user32 and comctl32 6 for the boxes
    "dwmapi.dll",     // desktop composition, loaded by uxtheme and comctl32 on Vista and 7
    "oleacc.dll",     // accessibility, loaded by comctl32 6 when a box is shown
    "apphelp.dll",    // the compatibility layer, loaded by CreateProcessA for the started exe
    "version.dll",    // version resources, read by the compatibility layer and shell32
    "cryptbase.dll",  // loaded by advapi32 of Windows 7 for its first random numbers
    "profapi.dll",    // imported by userenv of Windows 7: loaded before it, so found loaded
    "userenv.dll",    // user profiles and environment, loaded by shell32 and CreateProcessA
    "propsys.dll",    // the property system, loaded by shell32 of Vista and 7
    "setupapi.dll",   // device and setup functions, loaded by shell32
    NULL,
};
const char WindowsTempFolderName[] = "TEMP";
const char WininitFileName[] = "WININIT.INI";
const char WininitSectionName[] = "rename";
const char WininitDeleteKey[] = "NUL=";
