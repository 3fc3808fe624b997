// The editor's open documents (their unsaved text, in UTF-8), file URIs
// and paths, lines, and the ghost folder a file belongs to.
#pragma once

#include <map>
#include <string>
#include <vector>

struct TDocument {
  std::string uri;
  std::string path;  // absolute; empty for a URI that is not a file
  std::string text;  // UTF-8, as the editor holds it
  long long version = 0;
};

// Open documents by URI.
using TDocuments = std::map<std::string, TDocument>;

// The path of a "file:" URI (percent escapes decoded), or empty.
std::string PathOfUri(const std::string& uri);
// The "file:" URI of an absolute path, escaped as editors write it.
std::string UriOfPath(const std::string& path);

// The lines of a text, without their ends (CR LF, a lone CR or a lone LF
// ends a line, as the checker and the editor count them).
std::vector<std::string> SplitLines(const std::string& text);

// The folder (with its trailing "/") that holds "tamune.ini": the file's
// own folder or its nearest parent with one; empty when there is none.
std::string GhostFolderOf(const std::string& path);

// The whole file, or empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// The open document of a path, or nullptr.
const TDocument* OpenDocumentOfPath(const TDocuments& documents, const std::string& path);
