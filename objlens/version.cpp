// version.cpp - the library's version text.
#include "objlens.h"

extern "C" const char *objlens_get_version(void) { return "0.4.5"; }
