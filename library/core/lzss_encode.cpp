#include "core/lzss_encode.h"

#include <cstring>
#include <memory>

#include "core/checksum.h"
#include "core/le.h"

namespace pbo {

namespace {

constexpr size_t kWindow = 4095;     // farthest distance
constexpr size_t kVirtual = 18;      // spaces assumed before the input
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;
constexpr size_t kPadding = 32;      // zeros after the input for word loads
constexpr int kHashBits = 15;
constexpr size_t kChainSize = 8192;  // a power of two above the window

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Index of the first differing byte of two little-endian words (x != 0).
size_t FirstDifferentByte(uint64_t x) {
  const uint32_t low = static_cast<uint32_t>(x);
  if (low != 0) return static_cast<size_t>(__builtin_ctz(low)) / 8;
  return 4 + static_cast<size_t>(__builtin_ctz(static_cast<uint32_t>(x >> 32))) / 8;
}

// Length of the common prefix of a and b, at most m (m <= 24).
size_t MatchLength(const uint8_t* a, const uint8_t* b, size_t m) {
  for (size_t off = 0; off < m; off += 8) {
    const uint64_t x = Load64(a + off) ^ Load64(b + off);
    if (x != 0) {
      const size_t k = off + FirstDifferentByte(x);
      return k < m ? k : m;
    }
  }
  return m;
}

// Match search over hash chains of 3-byte prefixes. It works on a copy of
// the input with the 18 virtual spaces in front, so that position q of the
// copy is input position q - 18 and no search needs a special case for them.
// Every candidate with the same prefix is visited from the nearest to the
// farthest and judged exactly as the reference rule judges it, so the
// selected match is the same; the chains only skip candidates that cannot
// reach length 3.
class ChainSearch {
 public:
  ChainSearch(const uint8_t* data, size_t n)
      : text_(new uint8_t[kVirtual + n + kPadding]),
        head_(new int32_t[size_t{1} << kHashBits]),
        prev_(new int32_t[kChainSize]) {
    std::memset(text_.get(), ' ', kVirtual);
    std::memcpy(text_.get() + kVirtual, data, n);
    std::memset(text_.get() + kVirtual + n, 0, kPadding);
    for (size_t h = 0; h < (size_t{1} << kHashBits); ++h) head_[h] = -1;
  }

  // Selects the match for input position i with lookahead m (3..18).
  // @return true with the copy position *q (input position *q - 18) and
  //         length *k, or false when no candidate reaches length 3.
  bool Find(size_t i, size_t m, size_t* q_out, size_t* k_out) {
    const size_t cur = i + kVirtual;
    Insert(cur);
    const uint8_t* const text = text_.get();
    const uint8_t* const look = text + cur;
    const int32_t low = static_cast<int32_t>(cur > kWindow ? cur - kWindow : 0);
    const uint32_t prefix = Load32(look) & 0xFFFFFF;
    size_t best = kMinMatch;
    int32_t selected = -1;
    for (int32_t q = head_[Hash(prefix)]; q >= low; q = prev_[q & (kChainSize - 1)]) {
      const uint8_t* cand = text + q;
      // A candidate matters only if it reaches the best length so far.
      if (cand[best - 1] != look[best - 1]) continue;
      if ((Load32(cand) & 0xFFFFFF) != prefix) continue;
      const size_t k = MatchLength(cand, look, m);
      if (k >= best) {
        best = k;
        selected = q;
        if (k == m) break;
      }
    }
    if (selected < 0) return false;
    *q_out = static_cast<size_t>(selected);
    *k_out = best;
    return true;
  }

 private:
  static uint32_t Hash(uint32_t prefix) {
    return (prefix * 0x9E3779B1u) >> (32 - kHashBits);
  }

  // Enters every copy position below `end` into its chain.
  void Insert(size_t end) {
    const uint8_t* const text = text_.get();
    for (; inserted_ < end; ++inserted_) {
      const uint32_t h = Hash(Load32(text + inserted_) & 0xFFFFFF);
      prev_[inserted_ & (kChainSize - 1)] = head_[h];
      head_[h] = static_cast<int32_t>(inserted_);
    }
  }

  std::unique_ptr<uint8_t[]> text_;
  std::unique_ptr<int32_t[]> head_;
  std::unique_ptr<int32_t[]> prev_;
  size_t inserted_ = 0;
};

}  // namespace

std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t n,
                                   EncodeProgress* progress) {
  // Worst case: every group holds eight literals and its flag byte.
  std::vector<uint8_t> out(n + (n + 7) / 8 + 4);
  uint8_t* const base = out.data();
  size_t o = 0;
  ChainSearch search(data, n);
  size_t i = 0;
  while (i < n) {
    const size_t flag_pos = o++;
    unsigned flags = 0;
    for (unsigned bit = 1; bit != 0x100 && i < n; bit <<= 1) {
      size_t q;
      size_t k;
      if (n - i >= kMinMatch &&
          search.Find(i, n - i < kMaxMatch ? n - i : kMaxMatch, &q, &k)) {
        const size_t d = i + kVirtual - q;
        base[o++] = static_cast<uint8_t>(d);
        base[o++] = static_cast<uint8_t>(((d >> 8) << 4) | (k - kMinMatch));
        i += k;
      } else {
        flags |= bit;
        base[o++] = data[i++];
      }
    }
    base[flag_pos] = static_cast<uint8_t>(flags);
    if (progress != nullptr) progress->OnGroupEnd(i);
  }
  StoreLE32(base + o, EntryChecksum(data, n));
  out.resize(o + 4);
  return out;
}

int32_t FindMatch(const uint8_t* data, size_t n, size_t i, size_t m) {
  // The reference rule, literally: every window position from the nearest
  // to the farthest, with no index. CompressBlock selects the same matches
  // through ChainSearch; this one stays as the definition they agree with.
  auto byte = [data](int64_t x) -> uint8_t { return x < 0 ? ' ' : data[x]; };
  (void)n;
  const int64_t pos = static_cast<int64_t>(i);
  int64_t start = pos - static_cast<int64_t>(kWindow);
  if (start < -static_cast<int64_t>(kVirtual)) start = -static_cast<int64_t>(kVirtual);
  size_t best = kMinMatch;
  int32_t selected = -1;
  for (int64_t p = pos - 1; p >= start; --p) {
    if (byte(p) != byte(pos)) continue;
    size_t k = 1;
    while (k < m && byte(p + static_cast<int64_t>(k)) == byte(pos + static_cast<int64_t>(k))) ++k;
    if (k >= best) {
      best = k;
      selected = static_cast<int32_t>(p * 100 + static_cast<int64_t>(k));
      if (k == m) break;
    }
  }
  return selected;
}

}  // namespace pbo
