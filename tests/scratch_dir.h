// Test helpers for real files: a temporary directory removed afterwards,
// byte-exact file writing and listing, and making a file or directory
// read-only even for root (through the immutable flag, where the file system
// allows it), undone when the guard goes.
#pragma once

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class ScratchDir {
 public:
  // A new directory in `base`, by default the temporary folder ($TMPDIR).
  explicit ScratchDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    std::string pattern = (base / "shiori-files-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The directory with its trailing separator, ready for concatenation.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

// The sorted names in a directory.
inline std::vector<std::string> ListNames(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// True when this process cannot open `path` for writing.
inline bool RefusesWrites(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR);
  if (fd >= 0) close(fd);
  return fd < 0;
}

// Takes the write permission bits away; as root also sets the immutable flag,
// since root ignores permission bits. Everything is restored on destruction.
class ReadOnlyGuard {
 public:
  explicit ReadOnlyGuard(const std::string& path) : path_(path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0) mode_ = info.st_mode & 07777;
    chmod(path.c_str(), mode_ & ~0222);
    if (geteuid() == 0) immutable_ = SetImmutable(true);
  }
  ~ReadOnlyGuard() {
    if (immutable_) SetImmutable(false);
    chmod(path_.c_str(), mode_);
  }
  ReadOnlyGuard(const ReadOnlyGuard&) = delete;
  ReadOnlyGuard& operator=(const ReadOnlyGuard&) = delete;

  // Whether writes are really refused to this process.
  bool effective() const { return geteuid() != 0 || immutable_; }

 private:
  bool SetImmutable(bool on) {
#ifdef __linux__
    const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
#else
    (void)on;
    return false;
#endif
  }

  std::string path_;
  mode_t mode_ = 0644;
  bool immutable_ = false;
};
