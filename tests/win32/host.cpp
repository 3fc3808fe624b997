// A scripted host: loads the conversation and translation libraries the way
// a desktop-character shell does, hands them its memory blocks, runs a
// script of requests and prints every response as an escaped transcript.
// The same source builds for Windows (LoadLibrary, GlobalAlloc) and for
// Linux (dlopen, malloc), so the two transcripts can be compared.
//
// Usage: host SHIORI_LIB MAKOTO_LIB GHOST_DIR SCRIPT [loadu]
// With "loadu" the conversation module gets GHOST_DIR through loadu, in
// UTF-8 (on Windows converted from the wide command line, so that a name the
// system code page cannot spell arrives whole), after one loadu of a path
// that is no UTF-8; otherwise through load, in the system code page. The
// translation module always gets it through load.
// Script: requests are runs of non-empty lines (sent joined with CR LF and a
// final CR LF), ended by an empty line. A line "makoto: TEXT" sends TEXT to
// the translation module through execute and, when it exports request, as a
// "MAKOTO/2.0" request whose answer must carry execute's result. A line
// "makoto-request: A|B|..." sends the request of the lines A, B, ... (each
// "|" stands for CR LF). Lines starting with "#" are comments.
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
#include <shellapi.h>
// Argument `index` of the wide command line, in UTF-8.
static std::string Utf8Argument(char**, int index) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string utf8;
  if (wide != nullptr && index < count) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
      utf8.resize(n);
      WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, &utf8[0], n, nullptr, nullptr);
      utf8.resize(n - 1);
    }
  }
  LocalFree(wide);
  return utf8;
}
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
static std::string Utf8Argument(char** argv, int index) { return argv[index]; }
#endif

namespace {

struct Module {
  LoadFn load = nullptr;
  LoadFn loadu = nullptr;      // shiori's, when exported
  RequestFn call = nullptr;  // "request" or "execute"
  RequestFn request = nullptr;  // makoto's "request", when exported
  UnloadFn unload = nullptr;
};

bool OpenModule(const char* path, const char* call_name, Module& m) {
  LibHandle lib = OpenLib(path);
  if (!lib) return false;
  m.load = (LoadFn)Sym(lib, "load");
  m.loadu = (LoadFn)Sym(lib, "loadu");
  m.call = (RequestFn)Sym(lib, call_name);
  m.request = (RequestFn)Sym(lib, "request");
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

// Sends one text through `call` (request or execute), prints the escaped
// answer and gives it.
std::string Send(RequestFn call, const char* label, const std::string& text, bool nul_expected) {
  long length = static_cast<long>(text.size());
  void* block = HostBlock(text);
  void* answer = (void*)call((Block)block, &length);
  if (!answer) {
    std::printf("!! %s gave no block\n", label);
    return std::string();
  }
  const char* bytes = static_cast<const char*>(answer);
  std::printf("<< %s (%ld bytes)\n%s\n", label, length, Escape(bytes, length).c_str());
  if (nul_expected && bytes[length] != '\0') std::printf("!! block does not end in NUL\n");
  std::string text_back(bytes, length > 0 ? static_cast<size_t>(length) : 0);
  BlockFree(answer);
  return text_back;
}

// A talk script through execute and, when the module has it, through a
// "MAKOTO/2.0" request, whose answer must carry the same rewritten script.
void Translate(const Module& makoto, const std::string& script) {
  const std::string executed = Send(makoto.call, "makoto", script, false);
  if (!makoto.request) return;
  const std::string answer =
      Send(makoto.request, "makoto request", "EXECUTE MAKOTO/2.0\r\nSender: host\r\n"
           "Charset: Shift_JIS\r\nString: " + script + "\r\n\r\n", true);
  if (answer != "MAKOTO/2.0 200 OK\r\nString: " + executed + "\r\n\r\n") {
    std::printf("!! the request's answer does not carry execute's result\n");
  }
}

// The lines of "A|B|..." each ended by CR LF in place of its "|".
std::string RequestLines(const std::string& lines) {
  std::string out;
  for (const char c : lines) out += c == '|' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// The directory through loadu, after one loadu of the same path made no
// UTF-8 (a lone surrogate), which must load nothing and answer 0.
void LoadUtf8(const Module& shiori, const std::string& dir) {
  if (!shiori.loadu) {
    std::printf("!! no loadu export\n");
    return;
  }
  const std::string bad = dir + "\xED\xA0\x80";
  std::printf("loadu shiori with no UTF-8: %d\n",
              (int)shiori.loadu((Block)HostBlock(bad), (long)bad.size()));
  std::printf("loadu shiori: %d\n", (int)shiori.loadu((Block)HostBlock(dir), (long)dir.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const bool utf8 = argc == 6 && std::strcmp(argv[5], "loadu") == 0;
  if (argc != 5 && !utf8) {
    std::fprintf(stderr, "usage: host SHIORI_LIB MAKOTO_LIB GHOST_DIR SCRIPT [loadu]\n");
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
  if (utf8) LoadUtf8(shiori, Utf8Argument(argv, 3));
  else std::printf("load shiori: %d\n", (int)shiori.load((Block)HostBlock(dir), (long)dir.size()));
  void* makoto_dir = HostBlock(dir);  // makoto's load leaves the block to the host
  std::printf("load makoto: %d\n", (int)makoto.load((Block)makoto_dir, (long)dir.size()));
  BlockFree(makoto_dir);

  std::string line, request;
  auto flush = [&]() {
    if (!request.empty()) Send(shiori.call, "shiori", request, true);
    request.clear();
  };
  while (std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '#') continue;
    if (line.rfind("makoto: ", 0) == 0) {
      flush();
      Translate(makoto, line.substr(8));
    } else if (line.rfind("makoto-request: ", 0) == 0) {
      flush();
      if (makoto.request) Send(makoto.request, "makoto request", RequestLines(line.substr(16)), true);
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
