// Shared by the fuzz targets: a scratch directory for the files the module
// writes (values.dat, sealed dictionaries), the sample ghost copied into it,
// and the return of every conversation-module unit to its start state so
// that one input's result does not depend on the inputs before it.
#pragma once

#include <filesystem>
#include <string>

#include "fileutl.h"
#include "formula.h"
#include "fuzz_scratch.h"
#include "formula_search.h"
#include "nsdic.h"
#include "parse.h"
#include "random.h"

namespace fuzz {

// The bundled sample ghost when it holds dictionaries, else the small ghost
// of the Windows transcript test.
inline std::string SampleGhostSource() {
  namespace fs = std::filesystem;
  const std::string sample = std::string(SOURCE_DIR) + "/examples/ghost";
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(sample, ignored))
    if (entry.path().extension() == ".txt") return sample;
  return std::string(SOURCE_DIR) + "/tests/win32/ghost";
}

// Copies the sample ghost into the scratch directory; gives that directory.
inline std::string CopySampleGhost() {
  namespace fs = std::filesystem;
  const std::string target = ScratchDirectory() + "ghost/";
  fs::copy(SampleGhostSource(), target,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  return target;
}

// Every unit of the conversation module back to its start state, the base
// directory pointing at the scratch directory and the generator at a fixed
// seed.
inline void ResetConversationModule() {
  ResetFileUtl();
  ResetCharset();
  ResetFormula();
  ResetStore();
  ResetParse();
  SetBaseDirectory(ScratchDirectory());
  SetRandomSeed(0x2545F491u);
}

inline std::string EventRequest(const std::string& event) {
  return "GET Sentence SHIORI/2.5\r\nSender: fuzz\r\nEvent: " + event +
         "\r\nReference0: 0\r\nReference1: head\r\n\r\n";
}

}  // namespace fuzz
