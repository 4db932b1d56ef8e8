// The program's messages, their only source: res/strings.rc puts them into Uninstall.exe's
// string table (windres reads this through the C preprocessor) and the emulator's string table
// (src/platform/emulated/string_table.cpp) includes them for the host build.
//
// Written so that C and windres read the same bytes: \n is a line feed and adjacent literals are
// joined in both. A double quote is \042: C ends the literal at the resource script's "", and
// windres takes C's \" only with a warning. Keep the texts in plain ASCII: the exe stores them
// as UTF-16 and LoadStringA converts back through the ANSI code page.
#pragma once

#define IDS_CAPTION_TEXT "Uninstall Orbelle"

// Nine lines joined by line feeds, none at the end; "%s" takes the install folder.
#define IDS_CONFIRM_TEXT                                      \
  "The \042Uninstall Orbelle\042 procedure will:\n"           \
  "\n"                                                        \
  "* Remove Orbelle Program Files from the %s folder.\n"      \
  "* Remove the Orbelle program group.\n"                     \
  "* Remove Orbelle icons from the Desktop and Start Menu.\n" \
  "* Remove Orbelle registry.\n"                              \
  "* Restore original associations to VRML files.\n"          \
  "\n"                                                        \
  "Do you want to continue?"

#define IDS_INTERNAL_ERROR_TEXT "Internal error, unable to continue uninstall process."

// Two blanks after each of the first two sentences. "%s" takes the path of the file in use.
#define IDS_STILL_RUNNING_TEXT                                    \
  "%s is still running and must be closed before uninstalling.  " \
  "Press OK to continue waiting or Cancel to stop waiting.  "     \
  "If you Cancel you will not be able to uninstall."

#define IDS_SUCCESS_TEXT "Uninstall successfully completed."
