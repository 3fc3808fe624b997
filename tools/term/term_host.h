// The two libraries as the terminal host sees them: loaded with dlopen and
// called through their exports only, with the block rules of a host (every
// block handed in is malloc'd; every block handed out is the host's to free).
#pragma once

#include <string>

struct TShioriLibrary {
  void* handle = nullptr;
  int (*load)(char*, long) = nullptr;
  char* (*request)(char*, long*) = nullptr;
  int (*unload)() = nullptr;
};

struct TMakotoLibrary {
  void* handle = nullptr;
  int (*load)(char*, long) = nullptr;
  char* (*execute)(char*, long*) = nullptr;
  int (*unload)() = nullptr;
};

// False with a message in `error` when the library cannot be opened or
// lacks an export.
bool OpenShiori(const std::string& path, TShioriLibrary& library, std::string& error);
bool OpenMakoto(const std::string& path, TMakotoLibrary& library, std::string& error);
void CloseLibrary(void* handle);

// `load` with the directory; the library frees the block.
void LoadShiori(const TShioriLibrary& library, const std::string& directory);
// One request; the response as the library wrote it (empty for none).
std::string SendRequest(const TShioriLibrary& library, const std::string& request);
void UnloadShiori(const TShioriLibrary& library);

// `load` with the directory; the block stays the host's and is freed here.
void LoadMakoto(const TMakotoLibrary& library, const std::string& directory);
// The script rewritten by the translation module.
std::string TranslateTalk(const TMakotoLibrary& library, const std::string& script);
void UnloadMakoto(const TMakotoLibrary& library);
