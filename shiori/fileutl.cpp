// The module directory and whole-file access. Reading opens for reading only;
// writing goes to a temporary file beside the target that is then renamed
// over it, so the target is either the old file or the complete new one.
#include "fileutl.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

std::string g_base_directory;
unsigned g_temp_counter = 0;
const TFileOverride* g_file_override = nullptr;

// Reads every byte of an open stream; false on a read error.
bool ReadStream(std::FILE* file, std::string& out) {
  char buffer[65536];
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, file);
    out.append(buffer, got);
    if (got < sizeof buffer) return std::ferror(file) == 0;
  }
}

// A name beside the target that no other writer of this process uses.
std::string TemporaryName(const std::string& target, unsigned long process_id) {
  return target + ".tmp" + std::to_string(process_id) + "_" +
         std::to_string(++g_temp_counter);
}

constexpr int kNameAttempts = 100;

#ifdef _WIN32

// Creates a new temporary file beside `target`; its name goes to `temp`.
HANDLE CreateTemporary(const std::string& target, std::string& temp) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temp = TemporaryName(target, GetCurrentProcessId());
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const size_t left = data.size() - done;
    const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, data.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

// Writes `data` into a new temporary file beside `target`, flushed to disk.
// On failure nothing of it is left.
bool WriteTemporary(const std::string& data, const std::string& target,
                    std::string& temp) {
  HANDLE file = CreateTemporary(target, temp);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = WriteAll(file, data) && FlushFileBuffers(file);
  if (CloseHandle(file) && ok) return true;
  RemoveFile(temp);
  return false;
}

bool ReplaceTarget(const std::string& temp, const std::string& target) {
  return MoveFileExA(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// A read-only target is left alone, as creating over it would fail.
bool TargetWritable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ||
         (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

#else

// Opens a new temporary file beside `target`; its name goes to `temp`.
int CreateTemporary(const std::string& target, std::string& temp) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temp = TemporaryName(target, static_cast<unsigned long>(getpid()));
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t written = write(fd, data.data() + done, data.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// The new file takes over the mode of the file it replaces.
void CopyMode(int fd, const std::string& target) {
  struct stat info;
  if (stat(target.c_str(), &info) == 0) fchmod(fd, info.st_mode & 07777);
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

// Writes `data` into a new temporary file beside `target`, flushed to disk.
// On failure nothing of it is left.
bool WriteTemporary(const std::string& data, const std::string& target,
                    std::string& temp) {
  const int fd = CreateTemporary(target, temp);
  if (fd < 0) return false;
  CopyMode(fd, target);
  const bool ok = WriteAll(fd, data) && fsync(fd) == 0;
  if (close(fd) == 0 && ok) return true;
  RemoveFile(temp);
  return false;
}

bool ReplaceTarget(const std::string& temp, const std::string& target) {
  return rename(temp.c_str(), target.c_str()) == 0;
}

// A target the process may not write is left alone, as creating over it
// would fail.
bool TargetWritable(const std::string& path) {
  return access(path.c_str(), F_OK) != 0 || access(path.c_str(), W_OK) == 0;
}

#endif

}  // namespace

void SetBaseDirectory(const std::string& directory) {
  g_base_directory = directory;
}

const std::string& BaseDirectory() { return g_base_directory; }

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Lead bytes of a Shift_JIS double-byte character, the code page of the
// paths a Japanese Windows host hands over.
bool IsShiftJisLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// True when the last byte is "/", or a backslash that starts a character (not
// the trail byte of a double-byte character such as 0x83 0x5C).
bool EndsWithSeparator(const std::string& directory) {
  const size_t last = directory.size() - 1;
  if (directory[last] == '/') return true;
  if (directory[last] != '\\') return false;
  size_t i = 0;
  while (i < last) i += IsShiftJisLead(static_cast<unsigned char>(directory[i])) ? 2 : 1;
  return i == last;
}

}  // namespace

std::string WithTrailingSeparator(const std::string& directory) {
  if (directory.empty() || EndsWithSeparator(directory)) return directory;
  return directory + kPathSeparator;
}

namespace {

// Reads `path` into `data`: true when it was read or does not exist (`data`
// empty), false when it exists but could not be opened or read.
bool ReadFileInto(const std::string& path, std::string& data) {
  data.clear();
  if (g_file_override != nullptr && g_file_override->read != nullptr &&
      g_file_override->read(g_file_override->context, path, data)) {
    return true;
  }
  errno = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
      std::fopen(path.c_str(), "rb"), &std::fclose);
  // fopen needs memory for the stream: that failure is no missing file.
  if (!file && errno == ENOMEM) throw std::bad_alloc();
  if (!file) return errno == ENOENT || errno == ENOTDIR;
  if (ReadStream(file.get(), data)) return true;
  data.clear();
  return false;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  try {
    std::string data;
    return ReadFileInto(path, data) ? data : std::string();
  } catch (const std::bad_alloc&) {
    throw;  // not "no file": a caller would take the file for empty
  } catch (...) {
    return std::string();
  }
}

bool ReadFileForUpdate(const std::string& path, std::string& data) {
  try {
    return ReadFileInto(path, data);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    data.clear();
    return false;
  }
}

bool ReplaceWholeFile(const std::string& data, const std::string& path) {
  try {
    if (g_file_override != nullptr && g_file_override->writes_suppressed) return false;
    if (path.empty() || !TargetWritable(path)) return false;
    std::string temp;
    if (!WriteTemporary(data, path, temp)) return false;
    if (ReplaceTarget(temp, path)) return true;
    RemoveFile(temp);
    return false;
  } catch (...) {
    return false;
  }
}

void WriteWholeFile(const std::string& data, const std::string& path) {
  ReplaceWholeFile(data, path);
}

void SetFileOverride(const TFileOverride* override) { g_file_override = override; }

void ResetFileUtl() {
  g_base_directory.clear();
  g_file_override = nullptr;
}
