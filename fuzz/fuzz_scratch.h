// The scratch directory of a fuzz target: where the modules write their
// files (values.dat, sealed dictionaries, table files) while fuzzing.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// A fresh directory, removed when the process exits; with its trailing
// separator. Kept in memory (/dev/shm) where possible, since every "_save"
// flushes the value file to disk. The name is never destroyed, so the exit
// handler that removes the directory can still read it.
inline const std::string& ScratchDirectory() {
  static const std::string* const path = [] {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path base = fs::is_directory("/dev/shm", ignored) ? fs::path("/dev/shm")
                                                                 : fs::temp_directory_path();
    std::string pattern = (base / "ghost-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return new std::string(pattern + "/");
  }();
  static const bool removal_registered = std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(*path, ignored);
  }) == 0;
  (void)removal_registered;
  return *path;
}

}  // namespace fuzz
