// String resource IDs, shared by the resource script and the code.
#pragma once

#define IDS_CAPTION 16
#define IDS_CONFIRM 17
#define IDS_INTERNAL_ERROR 18
#define IDS_STILL_RUNNING 19
#define IDS_SUCCESS 20
