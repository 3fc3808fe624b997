// The translation module's library boundary: the four exports, the copy of
// the host's blocks and the block allocation of the platform. No exception
// leaves an export.
#include "makoto_exports.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "makoto.h"
#include "makoto_request.h"

namespace {

// A fixed block the host owns and frees later.
void* AllocBlock(std::size_t size) noexcept {
#ifdef _WIN32
  return GlobalAlloc(GMEM_FIXED, size);
#else
  return std::malloc(size);
#endif
}

// Releases a block the host handed in.
void FreeBlock(void* block) noexcept {
#ifdef _WIN32
  if (block != nullptr) GlobalFree(block);
#else
  std::free(block);
#endif
}

const char* BytesOf(THostBlock block) { return static_cast<const char*>(static_cast<void*>(block)); }

// The directory path: at most `length` bytes, ending early at a NUL.
std::string CopyPath(THostBlock block, long length) {
  if (block == nullptr || length <= 0) return {};
  const char* bytes = BytesOf(block);
  const void* nul = std::memchr(bytes, 0, static_cast<std::size_t>(length));
  const std::size_t size = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes)
                               : static_cast<std::size_t>(length);
  return std::string(bytes, size);
}

// The script: exactly `length` bytes; a negative length copies nothing.
std::string CopyScript(THostBlock block, long length) {
  if (block == nullptr || length <= 0) return {};
  return std::string(BytesOf(block), static_cast<std::size_t>(length));
}

// The request text: at most `length` bytes, ending early at a NUL (as the
// directory path).
std::string CopyRequest(THostBlock block, long length) { return CopyPath(block, length); }

// A new block with the text and a NUL after it; the length (without the
// NUL) goes to `length`. A failed allocation gives no block and length 0.
THostBlock ToBlockWithNul(const std::string& text, long* length) noexcept {
  void* block = text.size() < static_cast<unsigned long>(LONG_MAX) ? AllocBlock(text.size() + 1)
                                                                    : nullptr;
  if (block == nullptr) {
    *length = 0;
    return nullptr;
  }
  std::memcpy(block, text.c_str(), text.size() + 1);
  *length = static_cast<long>(text.size());
  return static_cast<THostBlock>(block);
}

// A new block of exactly the text's bytes (no NUL); the length goes to
// `length`. A failed allocation gives no block and length 0.
THostBlock ToBlock(const std::string& text, long* length) noexcept {
  void* block = text.size() <= static_cast<unsigned long>(LONG_MAX)
                    ? AllocBlock(text.empty() ? 1 : text.size())
                    : nullptr;
  if (block == nullptr) {
    *length = 0;
    return nullptr;
  }
  if (!text.empty()) std::memcpy(block, text.data(), text.size());
  *length = static_cast<long>(text.size());
  return static_cast<THostBlock>(block);
}

}  // namespace

// Copies the directory path (the block stays the host's), loads both
// tables and seeds the generator. Always 1.
GHOST_EXPORT THostBool GHOST_CALL load(THostBlock h, long len) {
  try {
    makoto::ResetModule();
    makoto::LoadTables(CopyPath(h, len));
  } catch (...) {
    try {
      makoto::ResetModule();
    } catch (...) {
    }
  }
  makoto::SeedRandomFromTime();
  return 1;
}

// Releases both tables. Always 1.
GHOST_EXPORT THostBool GHOST_CALL unload(void) {
  try {
    makoto::ResetModule();
  } catch (...) {
  }
  return 1;
}

// Takes the script block (and frees it), returns the rewritten script in a
// new block of exactly its length. Should the rewriting fail, the script
// comes back unchanged; should even its copy fail, the host's own block
// comes back as it was, with its length.
GHOST_EXPORT THostBlock GHOST_CALL execute(THostBlock h, long* len) {
  std::string script;
  try {
    script = CopyScript(h, len ? *len : 0);
  } catch (...) {
    return len != nullptr ? h : nullptr;
  }
  FreeBlock(h);
  if (len == nullptr) return nullptr;
  std::string result;
  try {
    result = makoto::TranslateScript(script);
  } catch (...) {
    result.swap(script);
  }
  return ToBlock(result, len);
}

// Answers one "MAKOTO/2.0" request with the rewriting `execute` does. Should
// even the answer fail to be built, the 400 answer comes back.
GHOST_EXPORT THostBlock GHOST_CALL request(THostBlock h, long* len) {
  std::string answer;
  try {
    const std::string text = CopyRequest(h, len ? *len : 0);
    FreeBlock(h);
    h = nullptr;
    if (len == nullptr) return nullptr;
    answer = makoto::AnswerRequest(text);
  } catch (...) {
    FreeBlock(h);
    if (len == nullptr) return nullptr;
    return ToBlockWithNul(makoto::kBadRequestAnswer, len);
  }
  return ToBlockWithNul(answer, len);
}
