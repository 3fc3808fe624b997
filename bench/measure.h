// What the benchmarks measure with: requests through the host layer
// (host/ghost_host.h) with a count of response blocks that break the NUL
// rule, request texts, the clock, the resident memory and whole files.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ghost_host.h"

// One request through the host layer; the answer's text. A response block
// without its NUL after the length is counted (MissingNulCount).
std::string Request(const TShioriLibrary& library, const std::string& text);
long MissingNulCount();
// The script rewritten by the translation module (empty for no block).
std::string Execute(const TMakotoLibrary& library, const std::string& script);

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
// The highest resident memory of the process so far, in bytes (0 when unknown).
long PeakResidentBytes();
// The whole file; false when it cannot be read.
bool ReadFile(const std::string& path, std::string& out);
