// Where every run enters: an empty command tail is the user's start (the launcher), a
// non-empty one the launcher's hand-off of the install folder (the worker).
#include "app/messages.h"
#include "app/stages.h"
#include "common/capacities.h"
#include "manifest/manifest.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR tail, int) {
  char caption[CaptionCapacity];
  caption[0] = '\0';
  LoadStringA(instance, IDS_CAPTION, caption, CaptionCapacity);

  BOOL succeeded = tail[0] == '\0' ? RunLauncherStage(instance, caption)
                                   : RunWorkerStage(instance, caption, tail);
  if (!succeeded) ShowMessage(instance, caption, IDS_INTERNAL_ERROR, MB_OK);

  // The exit code says nothing; the boxes have told the user everything.
  return 0;
}
