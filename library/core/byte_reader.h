// A forward-only byte reader with a read position, over memory or over a
// pulled stream. The header-table reader and the entry decoder consume an
// archive through it, so an archive never has to be held in memory whole.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace pbo {

// Supplier of bytes for a streaming ByteReader (a file, a test buffer...).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to `capacity` (> 0) bytes into `dst`.
  // @return the number of bytes copied; 0 means the end of the data or a
  //         read error (the source remembers which, see failed()).
  virtual size_t Pull(uint8_t* dst, size_t capacity) = 0;
  // @return true once a Pull has ended because of a read error.
  virtual bool failed() const { return false; }
};

class ByteReader {
 public:
  // Reads from `size` bytes at `data`; the memory must outlive the reader.
  ByteReader(const uint8_t* data, size_t size);
  // Reads from `source` through an internal buffer of `buffer_size` bytes
  // (at least 64). The source must outlive the reader.
  explicit ByteReader(ByteSource& source, size_t buffer_size = 1 << 16);

  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  // Copies up to n bytes to dst.
  // @return the count copied: fewer than n only at the end of the data.
  size_t Read(uint8_t* dst, size_t n);
  // Reads one byte. @return false at the end of the data.
  bool ReadByte(uint8_t* b);
  // Moves past up to n bytes. @return the count skipped.
  uint64_t Skip(uint64_t n);

  // Makes at least min(want, bytes left) bytes contiguous at data().
  // `want` must not exceed 64. @return the number of contiguous bytes
  // available at data() (may be more than want; 0 at the end of the data).
  size_t Ensure(size_t want);
  const uint8_t* data() const { return cur_; }
  size_t buffered() const { return static_cast<size_t>(end_ - cur_); }
  // Consumes n bytes of the buffered ones (n <= buffered()).
  void Advance(size_t n) { cur_ += n; }

  // Number of bytes consumed since the reader was made.
  uint64_t position() const;
  // True when a streaming source reported a read error.
  bool failed() const { return source_ != nullptr && source_->failed(); }

 private:
  bool Refill();  // pulls more bytes after the buffered ones; false at end

  ByteSource* source_ = nullptr;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t buffer_size_ = 0;
  const uint8_t* cur_ = nullptr;
  const uint8_t* end_ = nullptr;
  uint64_t consumed_before_buffer_ = 0;  // bytes before buffer_start_
  const uint8_t* buffer_start_ = nullptr;
  bool at_end_ = false;  // the source has reported its end
};

}  // namespace pbo
