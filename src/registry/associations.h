// Gives the VRML file types back to the classes they had before the product took them.
#pragma once

#include "platform_api.h"

// TRUE when the product's class was absent or has been deleted, whatever then happened to
// the extensions; FALSE when the class exists and cannot be deleted (no extension touched).
BOOL RestoreAssociations(void);
