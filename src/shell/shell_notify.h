// Telling Explorer that file associations changed.
#pragma once

#include "platform_api.h"

// SHChangeNotify(SHCNE_ASSOCCHANGED) from shell32 of the system folder. Returns FALSE when
// shell32 or the function cannot be had; nothing else then changes.
BOOL NotifyAssociationsChanged(void);
