// The module directory, the character set of paths and whole-file access.
#pragma once

#include <string>

// How the bytes of the module directory spell its name. `Ansi`: the system
// code page (what `load` receives; Shift_JIS on a Japanese Windows). `Utf8`:
// UTF-8 (what `loadu` receives). On Windows the file layer turns every path
// into UTF-16 for the wide file calls: the base directory's bytes from this
// character set, the rest of a path (names from "tamune.ini", the value
// file's name) and any path outside the base directory from the ANSI code
// page. Elsewhere paths are bytes and both are the same.
enum class TPathCharset { Ansi, Utf8 };

// Stores the module directory (with its trailing separator) as base
// directory, its bytes in `charset`.
void SetBaseDirectory(const std::string& directory, TPathCharset charset = TPathCharset::Ansi);

const std::string& BaseDirectory();

// The directory with a path separator at its end: a backslash on Windows, "/"
// elsewhere, appended unless it already ends in either. In the ANSI charset a
// backslash byte that is the second byte of a Shift_JIS character is no
// separator (in UTF-8 no byte of a character can be one). Empty stays empty.
std::string WithTrailingSeparator(const std::string& directory,
                                  TPathCharset charset = TPathCharset::Ansi);

// True when `text` is well-formed UTF-8: no overlong form, no surrogate
// (U+D800 to U+DFFF), nothing above U+10FFFF, no truncated or stray byte.
bool IsValidUtf8(const std::string& text);

// The file's bytes exactly; empty when it cannot be opened or read.
// Opens for reading only. Running out of memory throws std::bad_alloc, so
// that no caller takes a file it could not hold for an empty one.
std::string ReadWholeFile(const std::string& path);
// The size of the file in bytes, as far as it can be told; 0 when it cannot
// be opened. For a caller that reserves room before reading.
long FileSize(const std::string& path);
// ReadWholeFile appended to `data`, without a copy of its own: answers
// whether any byte was appended. On a failure `data` stays as it was.
bool AppendWholeFile(const std::string& path, std::string& data);

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
