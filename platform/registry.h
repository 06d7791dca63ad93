// The registry calls the settings store makes. On Windows they are the real
// ones; elsewhere a file-backed stand-in gives the same names and semantics,
// so that the settings logic is one piece of code on every platform.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "platform/posix/registry_store.h"
#endif
