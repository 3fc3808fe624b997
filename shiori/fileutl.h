// The module directory and whole-file access.
#pragma once

#include <string>

// Stores the module directory (with its trailing separator) as base directory.
void SetBaseDirectory(const std::string& directory);
const std::string& BaseDirectory();

// The file's bytes exactly; empty when it cannot be opened or read.
// Opens for reading only.
std::string ReadWholeFile(const std::string& path);

// Replaces the file with `data` atomically (temporary file in the same
// directory, then rename). On any failure the old file stays and nothing is
// reported.
void WriteWholeFile(const std::string& data, const std::string& path);

// Back to the start state (base directory empty). Run at library attach.
void ResetFileUtl();
