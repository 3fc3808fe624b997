// Requests, the clock, the resident memory and whole files for the benchmarks.
#include "measure.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>

namespace {

long g_missing_nul = 0;

}  // namespace

std::string Request(const TShioriLibrary& library, const std::string& text) {
  const TResponseBlock response = library.Request(text);
  if (response.returned && !response.nul_ended) ++g_missing_nul;
  return response.text;
}

long MissingNulCount() { return g_missing_nul; }

std::string Execute(const TMakotoLibrary& library, const std::string& script) {
  return library.Execute(script).text;
}

std::string MakeRequest(const std::string& line,
                        const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string text = line + "\r\n";
  for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
  return text + "\r\n";
}

std::string StatusLine(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

double NowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long ResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long size = 0, resident = 0;
  const int got = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  return got == 2 ? resident * sysconf(_SC_PAGESIZE) : 0;
}

long PeakResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  long peak = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1) break;
  }
  std::fclose(f);
  return peak * 1024;
}

bool ReadFile(const std::string& path, std::string& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, got);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}
