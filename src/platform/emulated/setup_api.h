// Windows calls that the product never makes but that tests and tools use to set a machine up
// through the "A" API, the way a program on real Windows would: the conformance cases build
// their folders, files and keys with these and then check the calls the product relies on.
// Declared apart from platform_api.h so the product can never reach them.
#pragma once

#include "platform_api.h"

#define ERROR_NOACCESS 998L

#define ORBELLE_DECLARE_SETUP(dll, type, name, parameters, use) type WINAPI name parameters;
ORBELLE_SETUP(ORBELLE_DECLARE_SETUP)
#undef ORBELLE_DECLARE_SETUP
