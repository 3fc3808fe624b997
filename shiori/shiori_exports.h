// The exports of the conversation module, the only names the library
// exports: load, loadu, request and unload, with the C calling convention.
#pragma once

#ifdef _WIN32
#include <windows.h>
#define GHOST_EXPORT extern "C"
#define GHOST_CALL __cdecl
#else
#define GHOST_EXPORT extern "C" __attribute__((visibility("default")))
#define GHOST_CALL
#endif

#ifdef _WIN32
// The directory in a block the module frees; always TRUE.
GHOST_EXPORT BOOL GHOST_CALL load(HGLOBAL h, long len);
// As load, the directory in UTF-8 (the files are opened by their UTF-16
// names). FALSE, with nothing loaded or written, when it is no UTF-8.
GHOST_EXPORT BOOL GHOST_CALL loadu(HGLOBAL h, long len);
// The request in a block the module frees; the response in a new fixed
// block with a NUL, its length (without the NUL) written to *len.
GHOST_EXPORT HGLOBAL GHOST_CALL request(HGLOBAL h, long* len);
// Fires "OnUnload"; always TRUE.
GHOST_EXPORT BOOL GHOST_CALL unload(void);
#else
GHOST_EXPORT int GHOST_CALL load(char* h, long len);
// As load (paths are bytes here); 0 when the directory is no UTF-8.
GHOST_EXPORT int GHOST_CALL loadu(char* h, long len);
GHOST_EXPORT char* GHOST_CALL request(char* h, long* len);
GHOST_EXPORT int GHOST_CALL unload(void);
#endif
