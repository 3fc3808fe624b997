// The language server's state and its handling of one protocol message:
// the open documents, the ghosts they belong to (checked again when their
// files change), and the diagnostics published for each ghost's files.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

#include "lsp_documents.h"
#include "lsp_ghost.h"

struct TServer {
  int out_fd = 1;
  TDocuments documents;
  std::map<std::string, TGhost> ghosts;                    // by folder
  std::set<std::string> stale;                             // folders to check again
  std::map<std::string, std::set<std::string>> published;  // folder: URIs with diagnostics sent
  bool shut_down = false;
};

// Handles one message (a request, a notification or a stray response).
// Gives the process's exit status after an "exit" notification.
std::optional<int> HandleMessage(TServer& server, const std::string& body);

// Checks every stale ghost again and publishes its diagnostics.
void RefreshGhosts(TServer& server);
