#include "win32/win32_file.h"

#include <windows.h>

#include <algorithm>

namespace pbo {
namespace {

// ReadFile/WriteFile take 32-bit counts; larger requests go in pieces.
constexpr DWORD kMaxChunk = 1u << 30;

class Win32ReadFile final : public ReadFile {
 public:
  Win32ReadFile(HANDLE handle, uint64_t size) : handle_(handle), size_(size) {}
  ~Win32ReadFile() override { CloseHandle(handle_); }
  Win32ReadFile(const Win32ReadFile&) = delete;
  Win32ReadFile& operator=(const Win32ReadFile&) = delete;

  size_t Pull(uint8_t* dst, size_t capacity) override {
    if (failed_) return 0;
    const DWORD want =
        static_cast<DWORD>(std::min<size_t>(capacity, kMaxChunk));
    DWORD got = 0;
    if (!::ReadFile(handle_, dst, want, &got, nullptr)) {
      failed_ = true;
      return 0;
    }
    return got;
  }
  bool failed() const override { return failed_; }
  uint64_t size() const override { return size_; }

 private:
  HANDLE handle_;
  uint64_t size_;
  bool failed_ = false;
};

class Win32WriteFile final : public WriteFile {
 public:
  explicit Win32WriteFile(HANDLE handle) : handle_(handle) {}
  ~Win32WriteFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Win32WriteFile(const Win32WriteFile&) = delete;
  Win32WriteFile& operator=(const Win32WriteFile&) = delete;

  bool Write(const uint8_t* data, size_t n) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    while (n > 0) {
      const DWORD want = static_cast<DWORD>(std::min<size_t>(n, kMaxChunk));
      DWORD written = 0;
      if (!::WriteFile(handle_, data, want, &written, nullptr) ||
          written != want) {
        ok_ = false;
        return false;
      }
      data += written;
      n -= written;
    }
    return true;
  }

  bool WriteAt(uint64_t offset, const uint8_t* data, size_t n) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    const bool ok = SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) &&
                    Write(data, n);
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    const bool back = SetFilePointerEx(handle_, zero, nullptr, FILE_END);
    if (!ok || !back) ok_ = false;
    return ok && back;
  }

  // Reports false when any earlier write failed or the handle would not
  // close, so a short file is never taken for a finished one.
  bool Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    const bool closed = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return ok_ && closed;
  }

 private:
  HANDLE handle_;
  bool ok_ = true;
};

}  // namespace

std::unique_ptr<ReadFile> OpenReadFile(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size)) {
    CloseHandle(handle);
    return nullptr;
  }
  return std::make_unique<Win32ReadFile>(handle,
                                         static_cast<uint64_t>(size.QuadPart));
}

std::unique_ptr<WriteFile> CreateWriteFile(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32WriteFile>(handle);
}

}  // namespace pbo
