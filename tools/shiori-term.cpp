// shiori-term: a minimal terminal host for the conversation module. Loads the
// shared library, hands it a ghost directory, then sends every request read
// from standard input and prints the responses.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

constexpr char kDefaultDirectory[] = "examples/ghost/";

#ifdef SHIORI_LIBRARY_PATH
constexpr char kDefaultLibrary[] = SHIORI_LIBRARY_PATH;
#else
constexpr char kDefaultLibrary[] = "";
#endif

constexpr char kUsage[] =
    "Usage: shiori-term [--lib PATH] [DIRECTORY]\n"
    "\n"
    "Loads the conversation module (libshiori.so) with DIRECTORY as its ghost\n"
    "directory (default: examples/ghost/), then reads requests from standard\n"
    "input and prints each response. A request is a request line and header\n"
    "lines, e.g.\n"
    "\n"
    "    GET Version SHIORI/2.5\n"
    "    Sender: shiori-term\n"
    "\n"
    "and an empty line (or the end of input) sends it. Lines are sent with\n"
    "CR LF endings.\n"
    "\n"
    "Options:\n"
    "  --lib PATH   the shared library to load (default: the one built with\n"
    "               this program)\n"
    "  --help       show this text\n";

struct TOptions {
  std::string library = kDefaultLibrary;
  std::string directory = kDefaultDirectory;
  bool help = false;
};

using TLoadFunction = int (*)(char*, long);
using TRequestFunction = char* (*)(char*, long*);
using TUnloadFunction = int (*)();

struct TShiori {
  void* handle = nullptr;
  TLoadFunction load = nullptr;
  TRequestFunction request = nullptr;
  TUnloadFunction unload = nullptr;
};

bool Reject(std::string& error, const std::string& message) {
  error = message;
  return false;
}

// Fills `options`; false with a message in `error` on bad arguments.
bool ParseArguments(int argc, char** argv, TOptions& options, std::string& error) {
  bool directory_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--lib") {
      if (i + 1 >= argc) return Reject(error, "--lib needs a path");
      options.library = argv[++i];
    } else if (argument.size() > 1 && argument[0] == '-') {
      return Reject(error, "unknown option: " + argument);
    } else if (directory_given) {
      return Reject(error, "more than one directory given: " + argument);
    } else {
      options.directory = argument;
      directory_given = true;
    }
  }
  return true;
}

// The module appends file names directly to its directory: keep the separator.
bool CheckDirectory(std::string& directory, std::string& error) {
  std::error_code code;
  if (!std::filesystem::is_directory(directory, code)) {
    error = "not a directory: " + directory;
    return false;
  }
  if (directory.back() != '/') directory += '/';
  return true;
}

bool OpenShiori(const std::string& path, TShiori& shiori, std::string& error) {
  if (path.empty()) return Reject(error, "no library known; give one with --lib PATH");
  shiori.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (shiori.handle == nullptr) return Reject(error, dlerror());
  shiori.load = reinterpret_cast<TLoadFunction>(dlsym(shiori.handle, "load"));
  shiori.request = reinterpret_cast<TRequestFunction>(dlsym(shiori.handle, "request"));
  shiori.unload = reinterpret_cast<TUnloadFunction>(dlsym(shiori.handle, "unload"));
  if (shiori.load && shiori.request && shiori.unload) return true;
  error = path + " does not export load, request and unload";
  return false;
}

// A host block: the module frees it before the call returns.
char* NewHostBlock(const std::string& text) {
  char* block = static_cast<char*>(std::malloc(text.size() + 1));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

std::string SendRequest(const TShiori& shiori, const std::string& text) {
  long length = static_cast<long>(text.size());
  char* response = shiori.request(NewHostBlock(text), &length);
  if (response == nullptr) return std::string();
  std::string answer(response, static_cast<size_t>(length));
  std::free(response);
  return answer;
}

// Reads one request: lines up to an empty line or the end of input, each
// sent with CR LF, and the empty line that ends a request. False when the
// input held no more request lines.
bool ReadRequest(std::istream& input, std::string& request) {
  request.clear();
  std::string line;
  while (std::getline(input, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      if (request.empty()) continue;
      break;
    }
    request += line + "\r\n";
  }
  if (request.empty()) return false;
  request += "\r\n";
  return true;
}

// load, every request from `input` with its response printed, unload.
void Converse(const TShiori& shiori, const std::string& directory, std::istream& input,
              std::ostream& output) {
  shiori.load(NewHostBlock(directory), static_cast<long>(directory.size()));
  std::string request;
  while (ReadRequest(input, request)) {
    output << SendRequest(shiori, request) << "\r\n" << std::flush;
  }
  shiori.unload();
}

int Fail(const std::string& message) {
  std::cerr << "shiori-term: " << message << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  std::string error;
  if (!ParseArguments(argc, argv, options, error)) {
    std::cerr << "shiori-term: " << error << "\n\n" << kUsage;
    return 2;
  }
  if (options.help) {
    std::cout << kUsage;
    return 0;
  }
  if (!CheckDirectory(options.directory, error)) return Fail(error);
  TShiori shiori;
  if (!OpenShiori(options.library, shiori, error)) return Fail(error);

  try {
    Converse(shiori, options.directory, std::cin, std::cout);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  dlclose(shiori.handle);
  return 0;
}
