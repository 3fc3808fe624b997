// The module directory and whole-file access.
#pragma once

#include <string>

// Stores the module directory (with its trailing separator) as base directory.
void SetBaseDirectory(const std::string& directory);

const std::string& BaseDirectory();

// The directory with a path separator at its end: a backslash on Windows, "/"
// elsewhere, appended unless it already ends in either. A backslash byte that
// is the second byte of a Shift_JIS character is no separator. Empty stays
// empty.
std::string WithTrailingSeparator(const std::string& directory);

// The file's bytes exactly; empty when it cannot be opened or read.
// Opens for reading only. Running out of memory throws std::bad_alloc, so
// that no caller takes a file it could not hold for an empty one.
std::string ReadWholeFile(const std::string& path);

// For a caller about to rewrite the file from its old contents: reads it
// into `data` and answers true, or answers true with `data` empty when there
// is no such file; false when the file exists but cannot be opened or read,
// so that the caller leaves it alone instead of replacing it with less.
bool ReadFileForUpdate(const std::string& path, std::string& data);

// Replaces the file with `data` atomically (temporary file in the same
// directory, then rename). On any failure the old file stays and nothing is
// reported.
void WriteWholeFile(const std::string& data, const std::string& path);

// WriteWholeFile that tells whether the file was replaced, for callers (the
// seal tool) that must report a failure. A target that exists but may not be
// written is left alone and counts as a failure.
bool ReplaceWholeFile(const std::string& data, const std::string& path);

// Tool-only: what a checker puts between the module and the disk. `read`
// may supply a file's contents (answering true) instead of the disk; with
// `writes_suppressed` nothing is ever written (ReplaceWholeFile answers
// false). The libraries never install one.
struct TFileOverride {
  bool (*read)(void* context, const std::string& path, std::string& data);
  bool writes_suppressed;
  void* context;
};
// Installs `override` (nullptr removes it).
void SetFileOverride(const TFileOverride* override);

// The start state: base directory empty, no file override. (The counter
// behind temporary names goes on, so that no name is used twice in one
// process.)
void ResetFileUtl();
