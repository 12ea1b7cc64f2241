#include "paths.h"

#include <windows.h>

#include <cstring>

char TempPath[261];
char SystemPath[261];

namespace {

// "C:\..." or "\\server\share...".
bool IsAbsolute(const char* path) {
  if (path[0] == '\\' && path[1] == '\\') return path[2] != '\0';
  return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':' && path[2] == '\\';
}

}  // namespace

void NoteFolderPaths() {
  std::memset(TempPath, 0, sizeof(TempPath));
  std::memset(SystemPath, 0, sizeof(SystemPath));
  // Both queries return the length needed, larger than the buffer, when the
  // path does not fit; the buffer's content is then not a path.
  DWORD n = GetTempPathA(260, TempPath);
  if (n == 0 || n >= 260) TempPath[0] = '\0';
  n = GetSystemDirectoryA(SystemPath, 261);
  if (n == 0 || n >= 261) SystemPath[0] = '\0';
}

bool FolderPathsValid() {
  const size_t temp_length = std::strlen(TempPath);
  return temp_length > 0 && TempPath[temp_length - 1] == '\\' && IsAbsolute(TempPath) &&
         IsAbsolute(SystemPath);
}
