// The message layer of the language server: JSON-RPC messages framed by a
// "Content-Length" header, read from and written to file descriptors.
#pragma once

#include <optional>
#include <string>

// Reads framed messages from one descriptor through its own buffer.
struct TMessageReader {
  int fd = 0;
  std::string buffer;
  bool closed = false;
};

// The next message body, or nullopt at the end of the input (or when the
// framing is broken beyond repair: a header block without a usable length
// is skipped, a body cut short by the end of the input ends the stream).
std::optional<std::string> ReadMessage(TMessageReader& reader);

// True when a complete message or more input is waiting, so that work
// triggered by the last message can wait for the next one.
bool InputPending(TMessageReader& reader, int wait_milliseconds);

// Writes `body` with its header to `fd`; false when the descriptor failed.
bool WriteMessage(int fd, const std::string& body);
