// The three exports of the translation module, the only names the library
// exports: load, execute and unload, with the C calling convention.
#pragma once

#ifdef _WIN32
#include <windows.h>
#define GHOST_EXPORT extern "C"
#define GHOST_CALL __cdecl
using THostBlock = HGLOBAL;
using THostBool = BOOL;
#else
#define GHOST_EXPORT extern "C" __attribute__((visibility("default")))
#define GHOST_CALL
using THostBlock = char*;
using THostBool = int;
#endif

// Copies the directory path (the block stays the host's), loads both
// tables and seeds the generator. Always 1.
GHOST_EXPORT THostBool GHOST_CALL load(THostBlock h, long len);
// Takes the script block (and frees it), returns the rewritten script in a
// new block of exactly its length.
GHOST_EXPORT THostBlock GHOST_CALL execute(THostBlock h, long* len);
// Releases both tables. Always 1.
GHOST_EXPORT THostBool GHOST_CALL unload(void);
