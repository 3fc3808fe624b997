// Documents, URIs and the ghost folder.
#include "lsp_documents.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace {

constexpr char kFileScheme[] = "file://";
constexpr char kListFile[] = "tamune.ini";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string PathOfUri(const std::string& uri) {
  if (uri.compare(0, sizeof kFileScheme - 1, kFileScheme) != 0) return "";
  size_t start = sizeof kFileScheme - 1;
  start = uri.find('/', start);  // skips an authority such as "localhost"
  if (start == std::string::npos) return "";
  std::string path;
  for (size_t i = start; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 &&
        HexValue(uri[i + 2]) >= 0) {
      path += static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2]));
      i += 2;
    } else if (uri[i] == '?' || uri[i] == '#') {
      break;
    } else {
      path += uri[i];
    }
  }
  return path;
}

std::string UriOfPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = kFileScheme;
  for (const char c : path) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (std::isalnum(b) || std::string_view("/-._~").find(c) != std::string_view::npos) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[b >> 4];
      uri += kHex[b & 15];
    }
  }
  return uri;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

std::string GhostFolderOf(const std::string& path) {
  std::string folder = path.substr(0, path.rfind('/') + 1);
  while (!folder.empty()) {
    if (IsFile(folder + kListFile)) return folder;
    folder.pop_back();  // the trailing "/"
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) break;
    folder.resize(slash + 1);
  }
  return "";
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

const TDocument* OpenDocumentOfPath(const TDocuments& documents, const std::string& path) {
  for (const auto& [uri, document] : documents) {
    if (document.path == path) return &document;
  }
  return nullptr;
}
