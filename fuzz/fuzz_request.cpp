// Fuzz target: one request text, handed over in a host block, against the
// sample ghost loaded once. Each input starts from the variables the ghost
// had after loading and from a fixed generator seed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "formula_values.h"
#include "fuzz_support.h"
#include "shiori.h"

namespace {

std::vector<std::pair<std::string, std::string>> g_loaded_variables;

void RestoreLoadedVariables() {
  ResetVariables();
  for (const auto& [name, value] : g_loaded_variables) PutVariable(name, value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ModuleAttach();
  ShioriLoad(fuzz::CopySampleGhost());
  g_loaded_variables = ListVariables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RestoreLoadedVariables();
  SetRandomSeed(0x2545F491u);
  void* block = HostAlloc(size);
  if (size > 0) std::memcpy(block, data, size);
  const std::string request = FromHostBuffer(block, static_cast<long>(size));

  long length = 0;
  char* answer = static_cast<char*>(ToHostBuffer(ShioriRequest(request), &length));
  // The block holds the response and a NUL the length leaves out; every
  // response is a status line and header lines, each ended by CR LF.
  if (length < 12 || std::memcmp(answer, "SHIORI/2.5", 10) != 0 || answer[length] != 0 ||
      std::memcmp(answer + length - 2, "\r\n", 2) != 0)
    __builtin_trap();
  HostFree(answer);
  return 0;
}
