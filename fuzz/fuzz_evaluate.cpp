// Fuzz target: Evaluate over one formula. The input is the formula; a NUL
// byte, when present, ends it and what follows is the talk context's
// sentence (for the bare-word rule).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "formula.h"
#include "formula_vars.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetConversationModule();
  std::error_code ignored;
  std::filesystem::remove(fuzz::ScratchDirectory() + "values.dat", ignored);

  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  CurrentTalk.References[0] = "0";
  CurrentTalk.References[1] = "head";
  if (nul != std::string::npos) CurrentTalk.IncomingSentence = input.substr(nul + 1);
  Evaluate(input.substr(0, nul));
  return 0;
}
