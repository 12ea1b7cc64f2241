// A ByteSource over memory that hands out at most `chunk` bytes per pull,
// to drive a streaming ByteReader across many buffer refills.
#pragma once
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/byte_reader.h"

namespace pbo_test {

class ChunkSource : public pbo::ByteSource {
 public:
  ChunkSource(const std::vector<uint8_t>& data, size_t chunk, size_t fail_at = SIZE_MAX)
      : data_(data), chunk_(chunk), fail_at_(fail_at) {}

  size_t Pull(uint8_t* dst, size_t capacity) override {
    const size_t end = std::min(data_.size(), fail_at_);
    if (pos_ >= end) {
      failed_ = pos_ >= fail_at_ && fail_at_ < data_.size();
      return 0;
    }
    const size_t n = std::min({capacity, chunk_, end - pos_});
    std::memcpy(dst, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  bool failed() const override { return failed_; }

 private:
  const std::vector<uint8_t>& data_;
  size_t chunk_;
  size_t fail_at_;  // a read error stops the data here
  size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace pbo_test
