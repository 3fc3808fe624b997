// The host side of the two modules on Linux, shared by every program that
// loads the built libraries (the end-to-end tests, the benchmarks, the
// terminal host): opening a library and finding its three exports, the
// memory blocks a host trades with them, the NUL check on response blocks,
// and error texts that say what went wrong. The Windows host
// (tests/win32/host.cpp) stays separate: it must use the Windows calls.
//
// A library is a struct of its three export pointers. OpenShiori and
// OpenMakoto fill it from a shared library with dlopen; a program that links
// a module's core in statically can fill the same struct with its own entry
// points (handle left null) and use every call below unchanged.
#pragma once

#include <string>

// What came back from `request` or `execute`.
struct TResponseBlock {
  std::string text;        // the `length` bytes of the block
  long length = -1;        // the length the module wrote back
  bool returned = false;   // the module handed out a block
  bool nul_ended = false;  // a NUL follows the `length` bytes (request only)
};

// The conversation module: load(directory block, length), request(block,
// &length), unload(). Both blocks handed in are the module's to free; the
// response block is the host's and ends with a NUL the length leaves out.
struct TShioriLibrary {
  void* handle = nullptr;  // from dlopen; null when the exports were set otherwise
  int (*load)(char* block, long length) = nullptr;
  // loadu(directory block, length): load with the directory in UTF-8; 0 when
  // it is no UTF-8. Null for a library that does not export it.
  int (*loadu)(char* block, long length) = nullptr;
  char* (*request)(char* block, long* length) = nullptr;
  int (*unload)() = nullptr;

  // `load` with a block holding `directory`.
  int Load(const std::string& directory) const;
  // `loadu` with a block holding `directory` (the library must have it).
  int LoadUtf8(const std::string& directory) const;
  // How a host hands over the directory: through `loadu` when the library
  // exports it, falling back to `load` when it does not or when `loadu`
  // answers 0 (then nothing was loaded: the bytes are no UTF-8).
  int LoadAsHostsDo(const std::string& directory) const;
  // One request announcing `length` bytes of `bytes` (all of them by default).
  TResponseBlock Request(const std::string& bytes) const;
  TResponseBlock Request(const std::string& bytes, long length) const;
  int Unload() const;
};

// The translation module: load(directory block, length) leaves its block to
// the host; execute(block, &length) frees the script block and hands out a
// block of exactly the new length (no NUL) that the host frees.
// request(block, &length), when exported, answers a "MAKOTO/2.0" request in
// a block with a NUL after its length, as the conversation module's does.
struct TMakotoLibrary {
  void* handle = nullptr;
  int (*load)(char* block, long length) = nullptr;
  char* (*execute)(char* block, long* length) = nullptr;
  char* (*request)(char* block, long* length) = nullptr;  // null when not exported
  int (*unload)() = nullptr;

  int Load(const std::string& directory) const;
  TResponseBlock Execute(const std::string& script) const;
  TResponseBlock Request(const std::string& bytes) const;
  int Unload() const;
};

// Opens the library at `path` and finds its three exports (and the optional
// `loadu` or `request`). False, with the
// library left closed and a sentence in `error` ("cannot load PATH: why",
// "PATH does not export NAME"), when either fails.
bool OpenShiori(const std::string& path, TShioriLibrary& library, std::string& error);
bool OpenMakoto(const std::string& path, TMakotoLibrary& library, std::string& error);

// Closes an opened library and clears the struct (nothing for one without a handle).
void CloseShiori(TShioriLibrary& library);
void CloseMakoto(TMakotoLibrary& library);

// A block as a host allocates it (malloc on Linux): exactly the bytes of
// `bytes`, no NUL after them (a block of one byte for an empty text), so
// that a module reading past the length it was given is caught by the
// address sanitizer. Throws std::bad_alloc when memory runs out.
char* NewHostBlock(const std::string& bytes);

// What is wrong with an answer of `request` by the module's contract, or an
// empty text: no block, a negative length, or no NUL after the length.
std::string RequestProblem(const TResponseBlock& response);
