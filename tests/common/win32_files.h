// Files on the disk for the Win32 test suites: whole files read and written
// in one call, folders made along a path and deleted with their contents, and
// names for fresh temporary folders. Paths are ANSI paths with backslashes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace testfiles {

using Bytes = std::vector<uint8_t>;

// Reads a whole file, opened so that others may go on reading and writing it.
// @return false when the file cannot be opened or not all of it is read;
//         *out is emptied first and holds whatever could be read.
inline bool ReadWhole(const std::string& path, Bytes* out) {
  out->clear();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  out->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  const BOOL ok =
      out->empty() ||
      ReadFile(file, out->data(), static_cast<DWORD>(out->size()), &got, nullptr);
  CloseHandle(file);
  return ok && got == out->size();
}

// Creates or truncates a file and writes `data`; no folders are made.
// @return false when the file cannot be created or written whole.
inline bool WriteWhole(const std::string& path, const Bytes& data) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = data.empty() ||
                  (WriteFile(file, data.data(), static_cast<DWORD>(data.size()),
                             &written, nullptr) &&
                   written == data.size());
  return CloseHandle(file) && ok;
}

// @return true when a file or folder (or a link) exists at `path`.
inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates `path` and every missing folder on the way to it ("C:\a\b" makes
// "C:\a" and then "C:\a\b"). Folders that cannot be made are passed over.
inline void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos;
       at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
}

// Deletes a file, or a folder with everything in it; read-only items are made
// writable first. A folder link met inside is never entered: it goes to
// `remove_link` when one is given (under Wine a link needs the host's help),
// otherwise it is removed as an empty folder.
// @return true when nothing is left at `path`.
inline bool DeleteTree(const std::string& path,
                       void (*remove_link)(const std::string&) = nullptr) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileA(path.c_str()) != 0;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      const DWORD link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
      if ((found.dwFileAttributes & link) != link) {
        DeleteTree(child, remove_link);
      } else if (remove_link != nullptr) {
        remove_link(child);
      } else {
        RemoveDirectoryA(child.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  return RemoveDirectoryA(path.c_str()) != 0;
}

// A path below the system's temporary folder that no other scratch folder
// of this process has had: <temp><prefix><process id>_<n>, n counting from
// 1 per process. Nothing is created.
inline std::string NewTempFolderPath(const std::string& prefix) {
  static int counter = 0;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + prefix + std::to_string(GetCurrentProcessId()) +
         "_" + std::to_string(++counter);
}

}  // namespace testfiles
