// The services the pack, compress and unpack workflows need from the system:
// files, folders, listing, times, progress reporting and the error box.
// The DLL implements it on Win32; the native tests implement it in memory or
// on POSIX, and inject faults through it.
//
// Paths are ANSI strings with backslashes between components, as the
// library's callers pass them. Every call reports failure by its result;
// none throws.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/byte_reader.h"

namespace pbo {

// A file open for writing. Close() reports whether everything written
// reached the file; the destructor closes without reporting.
class WriteFile {
 public:
  virtual ~WriteFile() = default;
  // @return true when all n bytes were written.
  virtual bool Write(const uint8_t* data, size_t n) = 0;
  // Writes n bytes at `offset` and moves back to the end of the file.
  // @return true when all n bytes were written.
  virtual bool WriteAt(uint64_t offset, const uint8_t* data, size_t n) = 0;
  virtual bool Close() = 0;
};

// A file open for reading; also a ByteSource for streaming readers.
class ReadFile : public ByteSource {
 public:
  // Size of the file when it was opened.
  virtual uint64_t size() const = 0;
};

struct FolderItem {
  std::string name;             // the item's own name, no path
  bool is_folder = false;
  bool is_link = false;         // a folder link / reparse point
  uint64_t size = 0;            // file size as listed
  uint64_t last_write = 0;      // FILETIME: 100 ns ticks since 1601-01-01 UTC
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- queries
  virtual bool IsFolder(const std::string& path) = 0;
  // True for an existing file that is not a folder.
  virtual bool IsFile(const std::string& path) = 0;
  // Lists a folder's items (hidden and system ones included, "." and ".."
  // excluded) in the system's listing order. @return false if the listing
  // cannot be opened.
  virtual bool ListFolder(const std::string& path,
                          std::vector<FolderItem>* items) = 0;
  // A number that identifies a folder or file (the same for every path that
  // reaches it through links). @return false when it cannot be found.
  virtual bool Identity(const std::string& path, uint64_t* id) = 0;

  // --- files
  // Opens for reading, others may read but not write. Null on failure.
  virtual std::unique_ptr<ReadFile> OpenRead(const std::string& path) = 0;
  // Creates or truncates a file for writing. Null on failure.
  virtual std::unique_ptr<WriteFile> CreateWrite(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  // Renames a file; fails when `to` exists.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;

  // --- folders
  // Creates a folder and every missing parent; true if it exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;
  // Deletes a folder tree: read-only, hidden and system items included; a
  // folder link is removed itself, never its target's contents. Failures to
  // delete single items are ignored. @return true if the folder is gone.
  virtual bool DeleteTree(const std::string& path) = 0;

  // --- times
  // The archive time stamp of a file's last-write time (FILETIME, UTC).
  virtual int32_t FileTimeToStamp(uint64_t last_write) = 0;
  // Time-zone bias in minutes (UTC = local + bias), read once per unpack.
  virtual int32_t TimeZoneBias() = 0;
  // Sets a file's last-write time from an archive time stamp by the DOS
  // date/time rule; a local year outside 1980..2107 leaves the file alone.
  // @return false on any failure (callers ignore it).
  virtual bool SetFileStamp(const std::string& path, int32_t stamp,
                            int32_t bias) = 0;

  // --- reporting to the caller's window
  virtual void SetProgressRange(int low, int high) = 0;
  virtual void SetProgressPos(int pos) = 0;
  virtual void SetProgressText(const std::string& text) = 0;
  virtual void PumpMessages() = 0;
  // The library's error box: caption "Error has occured", OK only.
  virtual void ErrorBox(const std::string& text) = 0;
};

}  // namespace pbo
