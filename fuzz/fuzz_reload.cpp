// Fuzz target: a ghost built from the input, loaded afresh through the
// exports for every input. The input up to its first NUL byte is the
// ghost's one dictionary (listed with ",e", so a dictionary carrying the
// sealing header is sealed on load); each NUL-separated part after it is
// one request. Every answer must be a complete message: "SHIORI/2.5", the
// lines, the closing empty line and the NUL after the reported length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "shiori_exports.h"

namespace {

// Requests after this many are not sent: each answer costs a whole talk.
constexpr int kMaxRequests = 8;
const char kFreeTalkRequest[] = "GET Sentence SHIORI/2.5\r\nSender: fuzz\r\n\r\n";

const std::string& GhostDirectory() {
  static const std::string directory = [] {
    const std::string path = fuzz::ScratchDirectory() + "reload/";
    std::filesystem::create_directories(path);
    std::ofstream(path + "tamune.ini", std::ios::binary) << "dic.txt,e\r\n";
    return path;
  }();
  return directory;
}

void PutFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

char* HostBlock(std::string_view bytes) {
  char* block = static_cast<char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

void Ask(std::string_view text) {
  long length = static_cast<long>(text.size());
  char* answer = request(HostBlock(text), &length);
  if (answer == nullptr || length < 14 || std::memcmp(answer, "SHIORI/2.5", 10) != 0 ||
      answer[length] != 0 || std::memcmp(answer + length - 4, "\r\n\r\n", 4) != 0)
    __builtin_trap();
  std::free(answer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ModuleAttach();
  GhostDirectory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string& directory = GhostDirectory();
  std::error_code ignored;
  std::filesystem::remove(directory + "values.dat", ignored);
  std::filesystem::remove(directory + "dic.xdi", ignored);
  PutFile(directory + "dic.txt", input.substr(0, nul));

  fuzz::ResetConversationModule();
  load(HostBlock(directory), static_cast<long>(directory.size()));
  if (nul == std::string_view::npos) {
    Ask(kFreeTalkRequest);
  } else {
    std::size_t start = nul + 1;
    for (int sent = 0; sent < kMaxRequests && start <= input.size(); ++sent) {
      std::size_t end = input.find('\0', start);
      if (end == std::string_view::npos) end = input.size();
      Ask(input.substr(start, end - start));
      start = end + 1;
    }
  }
  unload();
  return 0;
}
