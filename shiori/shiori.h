// The library boundary: host memory blocks, the unit start and release
// order, and the work behind the three exports.
#pragma once

#include <string>

#include "fileutl.h"

// Platform block pair: a fixed block of n bytes the host frees later, and the
// release of a block the host handed in (GlobalAlloc/GlobalFree on Windows,
// malloc/free elsewhere).
void* HostAlloc(unsigned long size);
void HostFree(void* block);

// Copies at most `length` bytes (stopping at a NUL) and frees the block.
// A negative length copies nothing.
std::string FromHostBuffer(void* block, long length);
// A new host block with the text and a NUL; `length` gets the text's length.
void* ToHostBuffer(const std::string& text, long* length);

// Every unit of the module back to its start state, bottom up: no
// diagnostics or trace hook, the base directory, the generator seeded from
// the clock (a fixed seed set for a test is gone), the charset, the
// variables, the store, its indexes and word search, the word cache and
// category tags, the talk context and the clock (an override is gone), the
// evaluator and its remembered values, the macros and their prefix scan, the
// remembered conditions, the expansion, the event talk, and the module
// directory. Library attach runs it; tests and fuzz targets run it to start
// from the state a host gets.
void ResetModule();

// ResetModule the first time; later calls do nothing.
void ModuleAttach();
// Releases every unit's tables and strings (their resets, top down).
void ModuleDetach();

// The directory text the last load received (empty before any load).
const std::string& ModuleDirectory();

// What load does before it fires "OnLoad": keeps the directory (a separator
// added when the host left it off, as hosts that pass the dirname of the
// module do) and makes it the base directory of the file layer, even when
// empty, its bytes in `charset` (UTF-8 for loadu); with a directory, reads
// "tamune.ini" and the dictionaries it lists and parses them into the store.
// Gives the joined text. Nothing is emptied first: a second load adds to the
// tables. (A checker calls it to read a ghost exactly as load does, without
// firing an event.)
std::string LoadGhost(const std::string& host_directory,
                      TPathCharset charset = TPathCharset::Ansi);

// The work of the exports (no exception handling here; the exports catch).
void ShioriLoad(const std::string& directory, TPathCharset charset = TPathCharset::Ansi);
std::string ShioriRequest(const std::string& request);
void ShioriUnload();
void FireSelfEvent(const std::string& event_name);
