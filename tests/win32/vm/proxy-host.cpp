// A host that drives the conversation module the way a Linux shell's proxy
// for Windows modules does: it is started with the module's directory, loads
// the module from there, and then exchanges framed messages on its standard
// streams. Each request is a 4-byte little-endian length followed by that
// many bytes; each response is sent back the same way. A length of 0 asks
// for unload: the host calls unload and ends (so does the end of input).
//
// Usage: proxy-host DIR [LIBRARY]
// DIR is handed to load (with a trailing separator added when missing);
// the library is DIR + "shiori.dll" unless LIBRARY names it (the Linux build,
// which makes the reference stream, is given libshiori.so that way).
// Exit status: 0 after unload, 1 when the module cannot be loaded or the
// input ends inside a frame.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
typedef HGLOBAL Block;
typedef BOOL(__cdecl* LoadFn)(HGLOBAL, long);
typedef HGLOBAL(__cdecl* RequestFn)(HGLOBAL, long*);
typedef BOOL(__cdecl* UnloadFn)(void);
static const char kSeparator = '\\';
static void* OpenLib(const std::string& path) { return (void*)LoadLibraryA(path.c_str()); }
static void* Sym(void* lib, const char* name) { return (void*)GetProcAddress((HMODULE)lib, name); }
static void* BlockAlloc(size_t n) { return (void*)GlobalAlloc(GMEM_FIXED, n); }
static void BlockFree(void* p) { GlobalFree((HGLOBAL)p); }
static void BinaryStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}
#else
#include <dlfcn.h>
typedef char* Block;
typedef int (*LoadFn)(char*, long);
typedef char* (*RequestFn)(char*, long*);
typedef int (*UnloadFn)(void);
static const char kSeparator = '/';
static void* OpenLib(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
static void* Sym(void* lib, const char* name) { return dlsym(lib, name); }
static void* BlockAlloc(size_t n) { return malloc(n); }
static void BlockFree(void* p) { free(p); }
static void BinaryStreams() {}
#endif

namespace {

bool ReadExactly(void* data, size_t n) { return n == 0 || std::fread(data, 1, n, stdin) == n; }

void WriteFrame(const char* data, uint32_t n) {
  const unsigned char length[4] = {(unsigned char)n, (unsigned char)(n >> 8), (unsigned char)(n >> 16),
                                   (unsigned char)(n >> 24)};
  std::fwrite(length, 1, 4, stdout);
  if (n) std::fwrite(data, 1, n, stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: proxy-host DIR [LIBRARY]\n");
    return 2;
  }
  BinaryStreams();
  std::string dir = argv[1];
  if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += kSeparator;
  const std::string library = argc == 3 ? argv[2] : dir + "shiori.dll";
  void* lib = OpenLib(library);
  LoadFn load = lib ? (LoadFn)Sym(lib, "load") : nullptr;
  RequestFn request = lib ? (RequestFn)Sym(lib, "request") : nullptr;
  UnloadFn unload = lib ? (UnloadFn)Sym(lib, "unload") : nullptr;
  if (!load || !request || !unload) {
    std::fprintf(stderr, "proxy-host: cannot load %s with load, request and unload\n", library.c_str());
    return 1;
  }

  void* dir_block = BlockAlloc(dir.size());  // load frees it
  std::memcpy(dir_block, dir.data(), dir.size());
  load((Block)dir_block, (long)dir.size());

  std::string text;
  for (;;) {
    unsigned char length[4];
    const size_t got = std::fread(length, 1, 4, stdin);
    if (got == 0) break;  // end of input: unload as for a length of 0
    if (got != 4) {
      std::fprintf(stderr, "proxy-host: input ends inside a length\n");
      return 1;
    }
    const uint32_t n = length[0] | (uint32_t)length[1] << 8 | (uint32_t)length[2] << 16 |
                       (uint32_t)length[3] << 24;
    if (n == 0) break;
    text.resize(n);
    if (!ReadExactly(&text[0], n)) {
      std::fprintf(stderr, "proxy-host: input ends inside a request of %u bytes\n", (unsigned)n);
      return 1;
    }
    void* block = BlockAlloc(n);  // request frees it
    std::memcpy(block, text.data(), n);
    long answer_length = (long)n;
    void* answer = (void*)request((Block)block, &answer_length);
    if (!answer || answer_length < 0) {
      std::fprintf(stderr, "proxy-host: request gave no response\n");
      return 1;
    }
    WriteFrame(static_cast<const char*>(answer), (uint32_t)answer_length);
    BlockFree(answer);
  }
  unload();
  return 0;
}
