// Platform on Win32: the files, folders and times of the system, and the
// reports to the caller's progress bar, label and owner window.
#pragma once
#include <windows.h>

#include "workflow/platform.h"

namespace pbo {

class Win32Platform final : public Platform {
 public:
  // `owner` owns the error boxes; `bar` and `label` receive the progress.
  // Any of them may be null: the messages then go nowhere.
  Win32Platform(HWND owner, HWND bar, HWND label)
      : owner_(owner), bar_(bar), label_(label) {}

  bool IsFolder(const std::string& path) override;
  bool IsFile(const std::string& path) override;
  bool ListFolder(const std::string& path,
                  std::vector<FolderItem>* items) override;
  bool Identity(const std::string& path, uint64_t* id) override;

  std::unique_ptr<ReadFile> OpenRead(const std::string& path) override;
  std::unique_ptr<WriteFile> CreateWrite(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;

  bool CreateFolders(const std::string& path) override;
  bool DeleteTree(const std::string& path) override;

  int32_t FileTimeToStamp(uint64_t last_write) override;
  int32_t TimeZoneBias() override;
  bool SetFileStamp(const std::string& path, int32_t stamp,
                    int32_t bias) override;

  void SetProgressRange(int low, int high) override;
  void SetProgressPos(int pos) override;
  void SetProgressText(const std::string& text) override;
  void PumpMessages() override;
  void ErrorBox(const std::string& text) override;

 private:
  HWND owner_;
  HWND bar_;
  HWND label_;
};

}  // namespace pbo
