// The message boxes: no owner window, the product's caption, the style the caller names.
#pragma once

#include "platform_api.h"

int ShowMessage(HINSTANCE instance, LPCSTR caption, UINT textId, UINT style);
// Shows a text whose one "%s" takes `path`. A path longer than MAX_PATH - 1 is not shown
// (the box would need a larger buffer) and answers 0, like a box that could not be shown.
int ShowPathMessage(HINSTANCE instance, LPCSTR caption, UINT textId, LPCSTR path, UINT style);
