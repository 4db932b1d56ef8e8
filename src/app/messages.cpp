#include "app/messages.h"

#include "common/capacities.h"

static void LoadMessage(HINSTANCE instance, UINT textId, LPSTR text) {
  text[0] = '\0';
  LoadStringA(instance, textId, text, MessageCapacity);
}

int ShowMessage(HINSTANCE instance, LPCSTR caption, UINT textId, UINT style) {
  char text[MessageCapacity];
  LoadMessage(instance, textId, text);
  return MessageBoxA(NULL, text, caption, style);
}

int ShowPathMessage(HINSTANCE instance, LPCSTR caption, UINT textId, LPCSTR path, UINT style) {
  // The formatted buffer holds the longest loaded text with "%s" replaced by a path of
  // MAX_PATH - 1 characters; wsprintfA itself knows no bound.
  if (lstrlenA(path) >= MAX_PATH) return 0;
  char format[MessageCapacity];
  char text[FormattedMessageCapacity];
  LoadMessage(instance, textId, format);
  wsprintfA(text, format, path);
  return MessageBoxA(NULL, text, caption, style);
}
