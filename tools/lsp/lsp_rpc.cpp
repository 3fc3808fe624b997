// Content-Length framing over file descriptors, as the protocol's base
// layer defines it: header lines ended by CR LF, an empty line, the body.
#include "lsp_rpc.h"

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

constexpr char kHeaderEnd[] = "\r\n\r\n";
constexpr char kLengthName[] = "content-length:";
constexpr size_t kMaxMessage = size_t{256} << 20;  // a body beyond this is no message

// Appends what one read gives; false at the end of the input.
bool Fill(TMessageReader& reader) {
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(reader.fd, chunk, sizeof chunk);
    if (got > 0) {
      reader.buffer.append(chunk, static_cast<size_t>(got));
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    reader.closed = true;
    return false;
  }
}

// The value of the Content-Length header of `header`, or -1.
long long ContentLength(const std::string& header) {
  size_t line = 0;
  while (line < header.size()) {
    size_t end = header.find("\r\n", line);
    if (end == std::string::npos) end = header.size();
    std::string name;
    size_t i = line;
    for (; i < end && header[i] != ':'; ++i) name += static_cast<char>(std::tolower(header[i]));
    if (i < end && name + ":" == kLengthName) {
      char* stop = nullptr;
      const long long value = std::strtoll(header.c_str() + i + 1, &stop, 10);
      if (stop != header.c_str() + i + 1 && value >= 0) return value;
      return -1;
    }
    line = end + 2;
  }
  return -1;
}

}  // namespace

std::optional<std::string> ReadMessage(TMessageReader& reader) {
  for (;;) {
    const size_t header_end = reader.buffer.find(kHeaderEnd);
    if (header_end == std::string::npos) {
      if (reader.closed || !Fill(reader)) return std::nullopt;
      continue;
    }
    const long long length = ContentLength(reader.buffer.substr(0, header_end));
    const size_t body_start = header_end + 4;
    if (length < 0 || static_cast<unsigned long long>(length) > kMaxMessage) {
      reader.buffer.erase(0, body_start);  // no usable length: skip this header block
      continue;
    }
    while (reader.buffer.size() < body_start + static_cast<size_t>(length)) {
      if (reader.closed || !Fill(reader)) return std::nullopt;
    }
    std::string body = reader.buffer.substr(body_start, static_cast<size_t>(length));
    reader.buffer.erase(0, body_start + static_cast<size_t>(length));
    return body;
  }
}

bool InputPending(TMessageReader& reader, int wait_milliseconds) {
  if (reader.buffer.find(kHeaderEnd) != std::string::npos) return true;
  if (reader.closed) return false;
  pollfd watch{reader.fd, POLLIN, 0};
  return poll(&watch, 1, wait_milliseconds) > 0;
}

bool WriteMessage(int fd, const std::string& body) {
  const std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  size_t done = 0;
  while (done < message.size()) {
    const ssize_t wrote = write(fd, message.data() + done, message.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}
