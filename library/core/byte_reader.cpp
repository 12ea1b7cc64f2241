#include "core/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace pbo {

namespace {
constexpr size_t kMinBufferSize = 64;  // Ensure() promises up to 64 bytes
}  // namespace

ByteReader::ByteReader(const uint8_t* data, size_t size)
    : cur_(data), end_(data + size), buffer_start_(data) {}

ByteReader::ByteReader(ByteSource& source, size_t buffer_size)
    : source_(&source),
      buffer_(new uint8_t[std::max(buffer_size, kMinBufferSize)]),
      buffer_size_(std::max(buffer_size, kMinBufferSize)) {
  cur_ = end_ = buffer_start_ = buffer_.get();
}

uint64_t ByteReader::position() const {
  return consumed_before_buffer_ + static_cast<uint64_t>(cur_ - buffer_start_);
}

bool ByteReader::Refill() {
  if (source_ == nullptr || at_end_) return false;
  // Move the unread bytes to the front so that they stay contiguous with the
  // ones pulled next.
  const size_t keep = buffered();
  consumed_before_buffer_ += static_cast<uint64_t>(cur_ - buffer_start_);
  if (keep != 0 && cur_ != buffer_.get()) std::memmove(buffer_.get(), cur_, keep);
  buffer_start_ = cur_ = buffer_.get();
  end_ = cur_ + keep;
  if (keep == buffer_size_) return true;
  const size_t got = source_->Pull(buffer_.get() + keep, buffer_size_ - keep);
  if (got == 0) {
    at_end_ = true;
    return false;
  }
  end_ += got;
  return true;
}

size_t ByteReader::Ensure(size_t want) {
  while (buffered() < want && Refill()) {
  }
  return buffered();
}

size_t ByteReader::Read(uint8_t* dst, size_t n) {
  size_t done = 0;
  while (done < n) {
    const size_t avail = buffered();
    if (avail != 0) {
      const size_t take = std::min(avail, n - done);
      std::memcpy(dst + done, cur_, take);
      cur_ += take;
      done += take;
      continue;
    }
    if (source_ == nullptr || at_end_) break;
    if (n - done >= buffer_size_) {
      // Large reads go straight into the caller's memory.
      const size_t got = source_->Pull(dst + done, n - done);
      if (got == 0) {
        at_end_ = true;
        break;
      }
      consumed_before_buffer_ += got;
      done += got;
    } else if (!Refill()) {
      break;
    }
  }
  return done;
}

bool ByteReader::ReadByte(uint8_t* b) {
  if (cur_ == end_ && !Refill()) return false;
  *b = *cur_++;
  return true;
}

uint64_t ByteReader::Skip(uint64_t n) {
  uint64_t done = 0;
  while (done < n) {
    const uint64_t avail = buffered();
    if (avail == 0) {
      if (!Refill()) break;
      continue;
    }
    const uint64_t take = std::min(avail, n - done);
    cur_ += take;
    done += take;
  }
  return done;
}

}  // namespace pbo
