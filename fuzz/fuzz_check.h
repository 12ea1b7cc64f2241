// Shared by the fuzz targets: a check that stays on in release builds (a
// finding is reported by aborting, which both libFuzzer and the replay
// program notice), and a byte source that feeds the input in small pieces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/byte_reader.h"

#define FUZZ_CHECK(cond)                                                  \
  do {                                                                    \
    if (!(cond)) {                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                       \
    }                                                                     \
  } while (0)

namespace pbo_fuzz {

// The input as a stream that hands out at most `piece` bytes per pull, so a
// streaming reader refills its buffer often and at odd places.
class PieceSource : public pbo::ByteSource {
 public:
  PieceSource(const uint8_t* data, size_t size, size_t piece)
      : data_(data), size_(size), piece_(piece) {}
  size_t Pull(uint8_t* dst, size_t capacity) override {
    size_t n = size_ - pos_ < capacity ? size_ - pos_ : capacity;
    if (n > piece_) n = piece_;
    for (size_t k = 0; k < n; ++k) dst[k] = data_[pos_ + k];
    pos_ += n;
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t piece_;
  size_t pos_ = 0;
};

}  // namespace pbo_fuzz
