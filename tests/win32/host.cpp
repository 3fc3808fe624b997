// A scripted host: loads the conversation and translation libraries the way
// a desktop-character shell does, hands them its memory blocks, runs a
// script of requests and prints every response as an escaped transcript.
// The same source builds for Windows (LoadLibrary, GlobalAlloc) and for
// Linux (dlopen, malloc), so the two transcripts can be compared.
//
// Usage: host SHIORI_LIB MAKOTO_LIB GHOST_DIR SCRIPT
// Script: requests are runs of non-empty lines (sent joined with CR LF and a
// final CR LF), ended by an empty line. A line "makoto: TEXT" sends TEXT to
// the translation module. Lines starting with "#" are comments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
typedef HGLOBAL Block;
typedef BOOL(__cdecl* LoadFn)(HGLOBAL, long);
typedef HGLOBAL(__cdecl* RequestFn)(HGLOBAL, long*);
typedef BOOL(__cdecl* UnloadFn)(void);
typedef void* LibHandle;
static LibHandle OpenLib(const char* path) { return (LibHandle)LoadLibraryA(path); }
static void* Sym(LibHandle lib, const char* name) {
  return (void*)GetProcAddress((HMODULE)lib, name);
}
static void* BlockAlloc(size_t n) { return (void*)GlobalAlloc(GMEM_FIXED, n); }
static void BlockFree(void* p) { GlobalFree((HGLOBAL)p); }
#else
#include <dlfcn.h>
typedef char* Block;
typedef int (*LoadFn)(char*, long);
typedef char* (*RequestFn)(char*, long*);
typedef int (*UnloadFn)(void);
typedef void* LibHandle;
static LibHandle OpenLib(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* Sym(LibHandle lib, const char* name) { return dlsym(lib, name); }
static void* BlockAlloc(size_t n) { return malloc(n); }
static void BlockFree(void* p) { free(p); }
#endif

namespace {

struct Module {
  LoadFn load = nullptr;
  RequestFn call = nullptr;  // "request" or "execute"
  UnloadFn unload = nullptr;
};

bool OpenModule(const char* path, const char* call_name, Module& m) {
  LibHandle lib = OpenLib(path);
  if (!lib) return false;
  m.load = (LoadFn)Sym(lib, "load");
  m.call = (RequestFn)Sym(lib, call_name);
  m.unload = (UnloadFn)Sym(lib, "unload");
  return m.load && m.call && m.unload;
}

// A block holding the text, without a NUL, as a host hands it over.
void* HostBlock(const std::string& text) {
  void* block = BlockAlloc(text.size() ? text.size() : 1);
  if (!text.empty()) std::memcpy(block, text.data(), text.size());
  return block;
}

std::string Escape(const char* data, long length) {
  std::string out;
  char buf[8];
  for (long i = 0; i < length; ++i) {
    const unsigned char b = static_cast<unsigned char>(data[i]);
    if (b == '\r') out += "\\r";
    else if (b == '\n') out += "\\n\n";
    else if (b == '\\') out += "\\\\";
    else if (b < 0x20 || b >= 0x7F) {
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out += buf;
    } else out += static_cast<char>(b);
  }
  return out;
}

// Sends one text through request/execute and prints the escaped answer.
void Send(const Module& m, const char* label, const std::string& text, bool nul_expected) {
  long length = static_cast<long>(text.size());
  void* block = HostBlock(text);
  void* answer = (void*)m.call((Block)block, &length);
  if (!answer) {
    std::printf("!! %s gave no block\n", label);
    return;
  }
  const char* bytes = static_cast<const char*>(answer);
  std::printf("<< %s (%ld bytes)\n%s\n", label, length, Escape(bytes, length).c_str());
  if (nul_expected && bytes[length] != '\0') std::printf("!! block does not end in NUL\n");
  BlockFree(answer);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: host SHIORI_LIB MAKOTO_LIB GHOST_DIR SCRIPT\n");
    return 2;
  }
  Module shiori, makoto;
  if (!OpenModule(argv[1], "request", shiori) || !OpenModule(argv[2], "execute", makoto)) {
    std::fprintf(stderr, "host: cannot load the libraries\n");
    return 1;
  }
  std::ifstream script(argv[4], std::ios::binary);
  if (!script) {
    std::fprintf(stderr, "host: cannot read %s\n", argv[4]);
    return 1;
  }
  const std::string dir = argv[3];
  std::printf("load shiori: %d\n", (int)shiori.load((Block)HostBlock(dir), (long)dir.size()));
  void* makoto_dir = HostBlock(dir);  // makoto's load leaves the block to the host
  std::printf("load makoto: %d\n", (int)makoto.load((Block)makoto_dir, (long)dir.size()));
  BlockFree(makoto_dir);

  std::string line, request;
  auto flush = [&]() {
    if (!request.empty()) Send(shiori, "shiori", request, true);
    request.clear();
  };
  while (std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '#') continue;
    if (line.rfind("makoto: ", 0) == 0) {
      flush();
      Send(makoto, "makoto", line.substr(8), false);
    } else if (line.empty()) {
      flush();
    } else {
      request += line + "\r\n";
    }
  }
  flush();
  std::printf("unload shiori: %d\n", (int)shiori.unload());
  std::printf("unload makoto: %d\n", (int)makoto.unload());
  return 0;
}
