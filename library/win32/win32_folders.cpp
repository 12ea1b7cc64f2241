#include "win32/win32_folders.h"

#include <windows.h>

namespace pbo {
namespace {

bool IsDotEntry(const char* name) {
  return name[0] == '.' &&
         (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Length of the root of `path`, the part that cannot be created: a drive
// ("C:" or "C:" and a backslash), a share (two backslashes, server, share
// and a backslash) or a single leading backslash.
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') {
    return (path.size() >= 3 && path[2] == '\\') ? 3 : 2;
  }
  if (path.compare(0, 2, "\\\\") == 0) {
    size_t slash = path.find('\\', 2);            // after the server
    if (slash == std::string::npos) return path.size();
    slash = path.find('\\', slash + 1);           // after the share
    return slash == std::string::npos ? path.size() : slash + 1;
  }
  return (!path.empty() && path[0] == '\\') ? 1 : 0;
}

}  // namespace

bool ListFolderItems(const std::string& path, std::vector<FolderItem>* items) {
  items->clear();
  WIN32_FIND_DATAA found;
  const std::string pattern = path + "\\*.*";
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    FolderItem item;
    item.name = found.cFileName;
    item.is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.is_link =
        (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    item.size = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    item.last_write = (uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) |
                      found.ftLastWriteTime.dwLowDateTime;
    items->push_back(std::move(item));
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return true;
}

bool FileIdentity(const std::string& path, uint64_t* id) {
  // Backup semantics lets CreateFile open a folder; no access is asked for.
  HANDLE handle = CreateFileA(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(handle, &info) != FALSE;
  CloseHandle(handle);
  if (!ok) return false;
  const uint64_t index =
      (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  // Mix the volume in so equal indexes on two volumes stay apart.
  *id = index ^ (uint64_t{info.dwVolumeSerialNumber} * 0x9E3779B97F4A7C15ull);
  return true;
}

bool CreateFolderPath(const std::string& path) {
  std::string folder = path;
  while (folder.size() > RootLength(folder) && folder.back() == '\\') {
    folder.pop_back();
  }
  if (folder.empty()) return false;
  if (FolderExists(folder)) return true;
  // Create each level from the root down; levels that exist already fail
  // harmlessly.
  for (size_t at = folder.find('\\', RootLength(folder));
       at != std::string::npos; at = folder.find('\\', at + 1)) {
    CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(folder.c_str(), nullptr);
  return FolderExists(folder);
}

void DeleteFolderTree(const std::string& path) {
  const DWORD own = GetFileAttributesA(path.c_str());
  if (own == INVALID_FILE_ATTRIBUTES) return;
  const bool is_link = (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!is_link) {
    WIN32_FIND_DATAA found;
    const std::string pattern = path + "\\*.*";
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (IsDotEntry(found.cFileName)) continue;
        const std::string child = path + "\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          DeleteFolderTree(child);
        } else {
          if (found.dwFileAttributes != FILE_ATTRIBUTE_ARCHIVE) {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_ARCHIVE);
          }
          DeleteFileA(child.c_str());
        }
      } while (FindNextFileA(find, &found));
      FindClose(find);
    }
  }
  // A read-only folder cannot be removed; clear that first.
  if (own & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace pbo
