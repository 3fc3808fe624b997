// The exports of the translation module, the only names the library
// exports: load, execute, request and unload, with the C calling convention.
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
// Takes a "MAKOTO/2.0" request block (and frees it; a NUL ends the request)
// and answers in a new block with a NUL after the answer, whose length
// (without the NUL) goes to *len. A null block or a length of 0 or less is a
// 400 answer; without `len` no block is handed back.
GHOST_EXPORT THostBlock GHOST_CALL request(THostBlock h, long* len);
// Releases both tables. Always 1.
GHOST_EXPORT THostBool GHOST_CALL unload(void);
