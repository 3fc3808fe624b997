// The host side of the benchmarks: opens the two libraries with dlopen and
// trades malloc'ed blocks with their exports the way a desktop-character host
// does, and reads the clock, the resident memory and whole files.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ShioriLibrary {
  void* handle = nullptr;
  int (*load)(char*, long) = nullptr;
  char* (*request)(char*, long*) = nullptr;
  int (*unload)() = nullptr;
};

struct MakotoLibrary {
  void* handle = nullptr;
  int (*load)(char*, long) = nullptr;
  char* (*execute)(char*, long*) = nullptr;
  int (*unload)() = nullptr;
};

// dlopen and the three exports; false with a message in `error` otherwise.
bool OpenShiori(const std::string& path, ShioriLibrary& lib, std::string& error);
bool OpenMakoto(const std::string& path, MakotoLibrary& lib, std::string& error);

// `load` with a block holding the directory; the module frees the block.
int LoadShiori(const ShioriLibrary& lib, const std::string& directory);
// One request: the module frees the request block, the host frees the answer.
// Counts a response block that does not end in NUL after its length.
std::string Request(const ShioriLibrary& lib, const std::string& text);
long MissingNulCount();

// makoto's `load` leaves the directory block to the host, which frees it.
int LoadMakoto(const MakotoLibrary& lib, const std::string& directory);
std::string Execute(const MakotoLibrary& lib, const std::string& script);

// A request text: the request line, "Name: value" lines, CR LF after each.
std::string MakeRequest(const std::string& line,
                        const std::vector<std::pair<std::string, std::string>>& headers);

// The status line of a response (the bytes before its first CR LF).
std::string StatusLine(const std::string& response);

double NowSeconds();
// CPU time of the calling thread, user and system: what a workload costs,
// unaffected by other processes taking turns on a shared machine.
double CpuSeconds();
// Resident set size of this process in bytes (0 when unreadable).
long ResidentBytes();
// The whole file; false when it cannot be read.
bool ReadFile(const std::string& path, std::string& out);
