// Method dispatch, document synchronisation and diagnostics publication.
#include "lsp_server.h"

#include "lsp_charset.h"
#include "lsp_features.h"
#include "lsp_rpc.h"

using nlohmann::json;

namespace {

enum TErrorCode {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInternalError = -32603
};
enum TSyncKind { kSyncIncremental = 2 };

void Send(TServer& server, const json& message) {
  WriteMessage(server.out_fd, message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Reply(TServer& server, const json& id, const json& result) {
  Send(server, {{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

void ReplyError(TServer& server, const json& id, int code, const std::string& message) {
  Send(server, {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

json Capabilities() {
  return {{"positionEncoding", "utf-16"},
          {"textDocumentSync",
           {{"openClose", true}, {"change", kSyncIncremental}, {"save", {{"includeText", false}}}}},
          {"hoverProvider", true},
          {"definitionProvider", true},
          {"referencesProvider", true},
          {"documentSymbolProvider", true},
          {"completionProvider", {{"triggerCharacters", {"%", "_", "@"}}}}};
}

// The byte offset in `text` of a protocol position (clamped to the text).
size_t OffsetOf(const std::string& text, const json& position) {
  int line = position.value("line", 0);
  size_t start = 0;
  while (line > 0 && start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) return text.size();
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    --line;
  }
  if (line > 0) return text.size();
  size_t end = text.find_first_of("\r\n", start);
  if (end == std::string::npos) end = text.size();
  return start + ByteOfUtf16(text.substr(start, end - start), position.value("character", 0));
}

void ApplyChange(TDocument& document, const json& change) {
  const std::string text = change.value("text", "");
  if (!change.contains("range")) {
    document.text = text;
    return;
  }
  const size_t begin = OffsetOf(document.text, change["range"]["start"]);
  const size_t end = std::max(begin, OffsetOf(document.text, change["range"]["end"]));
  document.text.replace(begin, end - begin, text);
}

void MarkStale(TServer& server, const std::string& path) {
  const std::string folder = GhostFolderOf(path);
  if (!folder.empty()) server.stale.insert(folder);
}

void DocumentNotification(TServer& server, const std::string& method, const json& params) {
  const json& item = params.at("textDocument");
  const std::string uri = item.at("uri").get<std::string>();
  if (method == "textDocument/didOpen") {
    server.documents[uri] = {uri, PathOfUri(uri), item.value("text", ""),
                             item.value("version", 0LL)};
  } else if (method == "textDocument/didChange") {
    auto found = server.documents.find(uri);
    if (found == server.documents.end()) return;
    for (const json& change : params.at("contentChanges")) ApplyChange(found->second, change);
    found->second.version = item.value("version", found->second.version);
  } else if (method == "textDocument/didClose") {
    server.documents.erase(uri);
  }
  MarkStale(server, PathOfUri(uri));
}

void Publish(TServer& server, const std::string& folder, const TGhost& ghost) {
  std::set<std::string> sent;
  for (auto& [uri, diagnostics] : DiagnosticsByUri(ghost)) {
    Send(server, {{"jsonrpc", "2.0"},
                  {"method", "textDocument/publishDiagnostics"},
                  {"params", {{"uri", uri}, {"diagnostics", diagnostics}}}});
    sent.insert(uri);
  }
  for (const std::string& uri : server.published[folder]) {
    if (sent.count(uri) != 0) continue;
    Send(server, {{"jsonrpc", "2.0"},
                  {"method", "textDocument/publishDiagnostics"},
                  {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
  }
  server.published[folder] = sent;
}

// The ghost of a document (checked now when stale), or nullptr.
const TGhost* GhostOf(TServer& server, const std::string& path) {
  const std::string folder = GhostFolderOf(path);
  if (folder.empty()) return nullptr;
  if (server.stale.count(folder) != 0 || server.ghosts.count(folder) == 0) {
    server.stale.insert(folder);
    RefreshGhosts(server);
  }
  const auto found = server.ghosts.find(folder);
  return found == server.ghosts.end() ? nullptr : &found->second;
}

// Answers a request about a position or a document of a ghost.
json DocumentRequest(TServer& server, const std::string& method, const json& params) {
  const std::string uri = params.at("textDocument").at("uri").get<std::string>();
  const std::string path = PathOfUri(uri);
  const TGhost* ghost = GhostOf(server, path);
  const bool list_answer = method != "textDocument/hover";
  if (ghost == nullptr) return list_answer ? json::array() : json(nullptr);
  const TGhostFile* file = GhostFile(*ghost, path);
  TGhostFile unlisted;  // an open file that the list does not name
  if (file == nullptr) {
    const TDocument* open = OpenDocumentOfPath(server.documents, path);
    if (open == nullptr) return list_answer ? json::array() : json(nullptr);
    unlisted = {path.substr(ghost->folder.size()), path, uri, {}, SplitLines(open->text)};
    file = &unlisted;
  }
  if (method == "textDocument/documentSymbol") return DocumentSymbols(*ghost, *file);
  int line = 0;
  size_t byte = 0;
  PositionToByte(*file, params.at("position"), line, byte);
  if (method == "textDocument/hover") return Hover(*ghost, *file, line, byte);
  if (method == "textDocument/definition") return Definition(*ghost, *file, line, byte);
  if (method == "textDocument/completion") return Completion(*ghost, *file, line, byte);
  const bool with_declaration =
      params.value("context", json::object()).value("includeDeclaration", true);
  return References(*ghost, *file, line, byte, with_declaration);
}

bool IsDocumentRequest(const std::string& method) {
  return method == "textDocument/hover" || method == "textDocument/definition" ||
         method == "textDocument/references" || method == "textDocument/completion" ||
         method == "textDocument/documentSymbol";
}

void Request(TServer& server, const json& id, const std::string& method, const json& params) {
  if (method == "initialize") {
    Reply(server, id,
          {{"capabilities", Capabilities()},
           {"serverInfo", {{"name", "shiori-lsp"}, {"version", "0.1.0"}}}});
  } else if (method == "shutdown") {
    server.shut_down = true;
    Reply(server, id, nullptr);
  } else if (IsDocumentRequest(method)) {
    Reply(server, id, DocumentRequest(server, method, params));
  } else {
    ReplyError(server, id, kMethodNotFound, "unknown method " + method);
  }
}

}  // namespace

void RefreshGhosts(TServer& server) {
  const std::set<std::string> stale = std::move(server.stale);
  server.stale.clear();
  for (const std::string& folder : stale) {
    const auto previous = server.ghosts.find(folder);
    TGhost ghost = LoadGhost(folder, server.documents,
                             previous == server.ghosts.end() ? nullptr : &previous->second);
    Publish(server, folder, ghost);
    server.ghosts[folder] = std::move(ghost);
  }
}

std::optional<int> HandleMessage(TServer& server, const std::string& body) {
  const json message = json::parse(body, nullptr, false);
  if (message.is_discarded() || !message.is_object()) {
    ReplyError(server, nullptr, kParseError, "the message is not a JSON object");
    return std::nullopt;
  }
  const json id = message.value("id", json());
  const std::string method = message.contains("method") && message["method"].is_string()
                                 ? message["method"].get<std::string>()
                                 : "";
  const json params = message.value("params", json::object());
  try {
    if (method.empty()) {
      if (!message.contains("result") && !message.contains("error"))
        ReplyError(server, id, kInvalidRequest, "no method");
    } else if (method == "exit") {
      return server.shut_down ? 0 : 1;
    } else if (message.contains("id")) {
      Request(server, id, method, params);
    } else if (method.rfind("textDocument/did", 0) == 0) {
      DocumentNotification(server, method, params);
    } else if (method == "workspace/didChangeWatchedFiles") {
      for (const json& change : params.value("changes", json::array()))
        MarkStale(server, PathOfUri(change.value("uri", "")));
    }
  } catch (const std::exception& error) {
    if (message.contains("id")) ReplyError(server, id, kInternalError, error.what());
  }
  return std::nullopt;
}
