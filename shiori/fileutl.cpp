// The module directory and whole-file access. Reading opens for reading only;
// writing goes to a temporary file beside the target that is then renamed
// over it, so the target is either the old file or the complete new one. On
// Windows every file is opened by its UTF-16 name (wide calls), so that a
// directory the system code page cannot spell is still reached through the
// UTF-8 path of loadu.
#include "fileutl.h"

#include <algorithm>
#include <cerrno>
#include <climits>
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
TPathCharset g_base_charset = TPathCharset::Ansi;
unsigned g_temp_counter = 0;
const TFileOverride* g_file_override = nullptr;

// Past this a size is not believed: a directory opened as a file may report
// any size at all. Such a stream is read in chunks like one of unknown size.
constexpr long kBelievedSize = 256L << 20;

// The size of a stream just opened, its position left at the start; -1 when
// it cannot be told or believed (the stream is then read in chunks alone),
// -2 when the position could not be put back.
long StreamSize(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(file);
  if (std::fseek(file, 0, SEEK_SET) != 0) return -2;
  return size >= 0 && size <= kBelievedSize ? size : -1;
}

// Appends every byte of an open stream; false on a read error. A file of known
// size is read in one call straight into the string; whatever follows (a
// file that grew meanwhile, a stream of unknown size) in chunks.
bool ReadStream(std::FILE* file, std::string& out) {
  const long size = StreamSize(file);
  if (size == -2) return false;
  if (size > 0) {
    const size_t mark = out.size();
    out.resize(mark + static_cast<size_t>(size));
    const size_t got = std::fread(&out[mark], 1, static_cast<size_t>(size), file);
    out.resize(mark + got);
    if (got < static_cast<size_t>(size)) return std::ferror(file) == 0;
  }
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

// Appends `size` bytes of text in `code_page` to `wide`; false when they are
// no text of that code page.
bool AppendWide(UINT code_page, const char* bytes, size_t size, std::wstring& wide) {
  if (size == 0) return true;
  if (size > static_cast<size_t>(INT_MAX)) return false;
  const int n = static_cast<int>(size);
  const int need = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, n, nullptr, 0);
  if (need <= 0) return false;
  const size_t at = wide.size();
  wide.resize(at + static_cast<size_t>(need));
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, n, &wide[at], need) == need;
}

// The UTF-16 name of `path`: a UTF-8 base directory at its start is read as
// UTF-8, everything else in the ANSI code page. False when the bytes do not
// convert (such a file cannot be named, so it is never opened).
bool WidePath(const std::string& path, std::wstring& wide) {
  wide.clear();
  size_t rest = 0;
  if (g_base_charset == TPathCharset::Utf8 && !g_base_directory.empty() &&
      path.compare(0, g_base_directory.size(), g_base_directory) == 0) {
    if (!AppendWide(CP_UTF8, path.data(), g_base_directory.size(), wide)) return false;
    rest = g_base_directory.size();
  }
  return AppendWide(CP_ACP, path.data() + rest, path.size() - rest, wide) && !wide.empty();
}

std::FILE* OpenForReading(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) {
    errno = EINVAL;
    return nullptr;
  }
  return _wfopen(wide.c_str(), L"rb");
}

// Creates a new temporary file beside `target`; its name goes to `temp`.
HANDLE CreateTemporary(const std::string& target, std::string& temp) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temp = TemporaryName(target, GetCurrentProcessId());
    std::wstring wide;
    if (!WidePath(temp, wide)) break;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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

void RemoveFile(const std::string& path) {
  std::wstring wide;
  if (WidePath(path, wide)) DeleteFileW(wide.c_str());
}

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
  std::wstring wide_temp, wide_target;
  return WidePath(temp, wide_temp) && WidePath(target, wide_target) &&
         MoveFileExW(wide_temp.c_str(), wide_target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// A read-only target is left alone, as creating over it would fail; so is
// one whose name does not convert.
bool TargetWritable(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ||
         (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

#else

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

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

void SetBaseDirectory(const std::string& directory, TPathCharset charset) {
  g_base_directory = directory;
  g_base_charset = charset;
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
bool EndsWithSeparator(const std::string& directory, TPathCharset charset) {
  const size_t last = directory.size() - 1;
  if (directory[last] == '/') return true;
  if (directory[last] != '\\') return false;
  if (charset == TPathCharset::Utf8) return true;
  size_t i = 0;
  while (i < last) i += IsShiftJisLead(static_cast<unsigned char>(directory[i])) ? 2 : 1;
  return i == last;
}

}  // namespace

std::string WithTrailingSeparator(const std::string& directory, TPathCharset charset) {
  if (directory.empty() || EndsWithSeparator(directory, charset)) return directory;
  return directory + kPathSeparator;
}

namespace {

// The length of the UTF-8 sequence that `lead` starts (0 for a byte that
// starts none), and the range its second byte must lie in, which rules out
// overlong forms, surrogates and code points above U+10FFFF.
int Utf8SequenceLength(unsigned char lead, unsigned char& low, unsigned char& high) {
  low = 0x80;
  high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 2;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead < 0xF0) return 3;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  return lead <= 0xF4 ? 4 : 0;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char low = 0, high = 0;
    const int length = Utf8SequenceLength(static_cast<unsigned char>(text[i]), low, high);
    if (length == 0 || text.size() - i < static_cast<size_t>(length)) return false;
    for (int k = 1; k < length; ++k) {
      const unsigned char byte = static_cast<unsigned char>(text[i + k]);
      if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) return false;
    }
    i += static_cast<size_t>(length);
  }
  return true;
}

namespace {

// Appends the bytes of `path` to `data`: true when it was read or does not
// exist (nothing appended), false when it exists but could not be opened or
// read (`data` as it was).
bool AppendFile(const std::string& path, std::string& data) {
  const size_t mark = data.size();
  if (g_file_override != nullptr && g_file_override->read != nullptr) {
    std::string supplied;
    if (g_file_override->read(g_file_override->context, path, supplied)) {
      data += supplied;
      return true;
    }
  }
  errno = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
      OpenForReading(path), &std::fclose);
  // fopen needs memory for the stream: that failure is no missing file.
  if (!file && errno == ENOMEM) throw std::bad_alloc();
  if (!file) return errno == ENOENT || errno == ENOTDIR;
  if (ReadStream(file.get(), data)) return true;
  data.resize(mark);
  return false;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::string data;
  AppendWholeFile(path, data);
  return data;
}

long FileSize(const std::string& path) {
  try {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        OpenForReading(path), &std::fclose);
    return file ? std::max(StreamSize(file.get()), 0L) : 0;
  } catch (...) {
    return 0;
  }
}

bool AppendWholeFile(const std::string& path, std::string& data) {
  const size_t mark = data.size();
  try {
    AppendFile(path, data);
  } catch (const std::bad_alloc&) {
    throw;  // not "no file": a caller would take the file for empty
  } catch (...) {
    data.resize(mark);
  }
  return data.size() > mark;
}

bool ReadFileForUpdate(const std::string& path, std::string& data) {
  data.clear();
  try {
    return AppendFile(path, data);
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
  g_base_charset = TPathCharset::Ansi;
  g_file_override = nullptr;
}
