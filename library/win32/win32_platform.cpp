#include "win32/win32_platform.h"

#include <commctrl.h>

#include "win32/win32_file.h"
#include "win32/win32_folders.h"
#include "win32/win32_time.h"

namespace pbo {

bool Win32Platform::IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Platform::IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::ListFolder(const std::string& path,
                               std::vector<FolderItem>* items) {
  return ListFolderItems(path, items);
}

bool Win32Platform::Identity(const std::string& path, uint64_t* id) {
  return FileIdentity(path, id);
}

std::unique_ptr<ReadFile> Win32Platform::OpenRead(const std::string& path) {
  return OpenReadFile(path);
}

std::unique_ptr<WriteFile> Win32Platform::CreateWrite(
    const std::string& path) {
  return CreateWriteFile(path);
}

bool Win32Platform::DeleteFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != FALSE;
}

bool Win32Platform::RenameFile(const std::string& from,
                               const std::string& to) {
  // MoveFileA (no flags) refuses to replace an existing target.
  return ::MoveFileA(from.c_str(), to.c_str()) != FALSE;
}

bool Win32Platform::CreateFolders(const std::string& path) {
  return CreateFolderPath(path);
}

bool Win32Platform::DeleteTree(const std::string& path) {
  DeleteFolderTree(path);
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

int32_t Win32Platform::FileTimeToStamp(uint64_t last_write) {
  return StampFromFileTime(last_write);
}

int32_t Win32Platform::TimeZoneBias() { return CurrentTimeZoneBias(); }

bool Win32Platform::SetFileStamp(const std::string& path, int32_t stamp,
                                 int32_t bias) {
  return ApplyStampToFile(path, stamp, bias);
}

// Progress reports are sent, never posted: the bar and the label have
// changed when the call returns.
void Win32Platform::SetProgressRange(int low, int high) {
  SendMessageA(bar_, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void Win32Platform::SetProgressPos(int pos) {
  SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void Win32Platform::SetProgressText(const std::string& text) {
  SendMessageA(label_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Drains the calling thread's queue so the caller's windows stay alive. A
// quit message ends the draining; it has been taken from the queue and is
// deliberately not delivered or posted again.
void Win32Platform::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void Win32Platform::ErrorBox(const std::string& text) {
  MessageBoxA(owner_, text.c_str(), "Error has occured", MB_OK);
}

}  // namespace pbo
