// Peak heap use of the workflows on archives far larger than the bound they
// must keep: the unpacker streams the archive, stored entries are copied in
// chunks, and packing holds at most one file (and its compressed data).
// The archive and the source files are generated as they are read and the
// output is discarded, so only the workflows' own memory is counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "archive_builder.h"
#include "memory_platform.h"
#include "workflow/workflows.h"

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};
constexpr size_t kHeader = 16;  // keeps the caller's block 16-byte aligned

void* CountedAlloc(size_t n) {
  void* block = std::malloc(n + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(block) = n;
  size_t live = g_live += n;
  size_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void CountedFree(void* p) {
  if (p == nullptr) return;
  char* block = static_cast<char*>(p) - kHeader;
  g_live -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(size_t n) { return CountedAlloc(n); }
void* operator new[](size_t n) { return CountedAlloc(n); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, size_t) noexcept { CountedFree(p); }
// The nothrow forms too (std::stable_sort's buffer uses them): a sanitizer
// runtime would otherwise serve them without the size header.
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try { return CountedAlloc(n); } catch (...) { return nullptr; }
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  try { return CountedAlloc(n); } catch (...) { return nullptr; }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedFree(p); }

namespace pbo_test {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

// Bytes without repeats the encoder could use (splitmix64 of the position).
uint8_t PatternByte(uint64_t i) {
  uint64_t z = (i + 1) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint8_t>(z ^ (z >> 31));
}

// Bytes handed out as they are pulled: a fixed head, then `body` bytes that
// repeat `block` (or follow a pattern when the block is empty).
class GeneratedFile : public pbo::ReadFile {
 public:
  GeneratedFile(const std::vector<uint8_t>& head, const std::vector<uint8_t>& block,
                uint64_t body)
      : head_(head), block_(block), size_(head.size() + body) {}
  uint64_t size() const override { return size_; }
  size_t Pull(uint8_t* dst, size_t capacity) override {
    size_t n = 0;
    while (n < capacity && pos_ < size_) {
      if (pos_ < head_.size()) {
        dst[n++] = head_[pos_++];
      } else if (block_.empty()) {
        dst[n++] = PatternByte(pos_++ - head_.size());
      } else {
        uint64_t at = (pos_ - head_.size()) % block_.size();
        size_t take = static_cast<size_t>(
            std::min<uint64_t>({capacity - n, size_ - pos_, block_.size() - at}));
        std::copy_n(block_.data() + at, take, dst + n);
        n += take;
        pos_ += take;
      }
    }
    return n;
  }

 private:
  const std::vector<uint8_t>& head_;
  const std::vector<uint8_t>& block_;
  uint64_t size_;
  uint64_t pos_ = 0;
};

class DiscardFile : public pbo::WriteFile {
 public:
  explicit DiscardFile(uint64_t* written) : written_(written) {}
  bool Write(const uint8_t*, size_t n) override {
    *written_ += n;
    return true;
  }
  bool WriteAt(uint64_t, const uint8_t*, size_t) override { return true; }
  bool Close() override { return true; }

 private:
  uint64_t* written_;
};

// The archive "C:\big.pbo" and every other file are generated as they
// are read; written files are counted and dropped; reports are not kept.
class GeneratingPlatform : public MemoryPlatform {
 public:
  std::unique_ptr<pbo::ReadFile> OpenRead(const std::string& path) override {
    if (path == "C:\\big.pbo") {
      return std::make_unique<GeneratedFile>(archive_head, archive_block, archive_body);
    }
    return std::make_unique<GeneratedFile>(empty_, empty_, file_size);
  }
  std::unique_ptr<pbo::WriteFile> CreateWrite(const std::string&) override {
    return std::make_unique<DiscardFile>(&written);
  }
  void SetProgressPos(int) override {}
  void SetProgressText(const std::string&) override {}
  void PumpMessages() override {}

  std::vector<uint8_t> archive_head;   // the header table
  std::vector<uint8_t> archive_block;  // the data area repeats this block
  uint64_t archive_body = 0;
  uint64_t file_size = 0;
  uint64_t written = 0;

 private:
  std::vector<uint8_t> empty_;
};

// Runs `work` and returns the most heap it held at once beyond what was in
// use before.
template <typename Work>
size_t PeakDuring(Work work) {
  size_t base = g_live.load();
  g_peak = base;
  work();
  return g_peak.load() - base;
}

TEST(MemoryUse, UnpackingStreamsTheArchive) {
  // The data area repeats one compressed entry's data L (1 MiB of content):
  // 24 stored entries of 8 L each (about 9 MiB) alternate with 24
  // compressed entries of L, about 243 MiB in all.
  GeneratingPlatform p;
  TestEntry compressed = Literal("", std::string(kMiB, 'x'));
  std::vector<TestEntry> headers;
  for (int i = 0; i < 24; ++i) {
    TestEntry stored = Stored("s" + std::to_string(i), "");
    stored.data_size = static_cast<int32_t>(8 * compressed.data.size());
    headers.push_back(stored);
    headers.push_back(compressed);
    headers.back().name = "c" + std::to_string(i);
    headers.back().data.clear();
  }
  p.archive_head = BuildArchive(headers);
  p.archive_block = compressed.data;
  p.archive_body = 24 * 9 * compressed.data.size();
  p.AddFile("C:\\big.pbo", "");
  p.AddFolder("C:\\out");

  size_t peak = PeakDuring(
      [&] { EXPECT_TRUE(pbo::UnpackArchive(p, "C:\\big.pbo", "C:\\out")); });
  EXPECT_TRUE(p.boxes.empty());
  EXPECT_EQ(p.written, 24 * (8 * compressed.data.size() + kMiB));
  // The largest entry held in memory is a compressed one of 1 MiB; a
  // stored entry (9 MiB) is never held whole.
  EXPECT_LT(peak, 4 * kMiB) << "peak heap " << peak;
}

TEST(MemoryUse, PackingHoldsOneFileAtMost) {
  struct Case {
    pbo::PackMode mode;
    uint64_t file_size;
    size_t bound;
  } cases[] = {
      // Stored files go through in chunks.
      {pbo::PackMode::kStored, 16 * kMiB, 2 * kMiB},
      // A compressed one is held whole with the encoder's copy and its
      // compressed data (9/8 of it), but never two at once.
      {pbo::PackMode::kCompressed, 8 * kMiB, 32 * kMiB},
  };
  for (const Case& c : cases) {
    GeneratingPlatform p;
    p.file_size = c.file_size;
    for (int i = 0; i < 8; ++i) {
      std::string path = "C:\\src\\f" + std::to_string(i);
      p.AddFile(path, "");
      p.SetListedSize(path, c.file_size);
    }
    size_t peak = PeakDuring(
        [&] { EXPECT_TRUE(pbo::PackFolder(p, "C:\\src", "", c.mode)); });
    EXPECT_TRUE(p.boxes.empty());
    EXPECT_GE(p.written, 8 * c.file_size);
    EXPECT_LT(peak, c.bound) << "peak heap " << peak;
  }
}

}  // namespace
}  // namespace pbo_test
