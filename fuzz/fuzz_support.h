// Shared by the conversation module's fuzz targets: the sample ghost copied
// into the scratch directory, and the return of every unit to its start
// state so that one input's result does not depend on the inputs before it.
#pragma once

#include <filesystem>
#include <string>

#include "fileutl.h"
#include "fuzz_scratch.h"
#include "random.h"
#include "shiori.h"

namespace fuzz {

// Copies the bundled sample ghost into the scratch directory (loading it
// writes a sealed dictionary beside the plain one); gives that directory.
inline std::string CopySampleGhost() {
  namespace fs = std::filesystem;
  const std::string target = ScratchDirectory() + "ghost/";
  fs::copy(std::string(SOURCE_DIR) + "/examples/ghost", target,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  return target;
}

// Every unit of the conversation module back to its start state, the base
// directory pointing at the scratch directory and the generator at a fixed
// seed.
inline void ResetConversationModule() {
  ResetModule();
  SetBaseDirectory(ScratchDirectory());
  SetRandomSeed(0x2545F491u);
}

inline std::string EventRequest(const std::string& event) {
  return "GET Sentence SHIORI/2.5\r\nSender: fuzz\r\nEvent: " + event +
         "\r\nReference0: 0\r\nReference1: head\r\n\r\n";
}

}  // namespace fuzz
