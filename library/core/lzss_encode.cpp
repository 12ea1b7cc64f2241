#include "core/lzss_encode.h"

#include <cstring>
#include <memory>

#include "core/checksum.h"
#include "core/le.h"

namespace pbo {

namespace {

constexpr size_t kWindow = 4095;   // farthest distance
constexpr size_t kVirtual = 18;    // spaces assumed before the input
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;
constexpr size_t kPadding = 32;    // zeros after the input for word loads

// Match search tables. Position q of the working copy (input position
// q - 18) is entered in two hash chains: one of positions with the same
// 3-byte prefix hash, one with the same 5-byte prefix hash. Links are
// distances to the previous position of the chain, kept for the last
// kRing positions; kNone (or more) means none within the window. The
// chain heads take up to 2^15 and 2^14 entries; a small input gets smaller
// tables (any size finds the same candidates, as every one is compared), so
// that packing many small files does not clear 192 KB of heads for each.
constexpr int kMaxBits3 = 15;
constexpr int kMinBits3 = 8;
constexpr size_t kRing = 4096;
constexpr size_t kRingMask = kRing - 1;
constexpr uint32_t kNone = 0xFFFF;
constexpr size_t kLongPrefix = 5;

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Index of the first differing byte of two little-endian words (x != 0).
size_t FirstDifferentByte(uint64_t x) {
  return static_cast<size_t>(__builtin_ctzll(x)) >> 3;
}

// The top bits of the prefix's product with a large odd constant; `shift`
// is 64 less the number of bits kept.
uint32_t Hash(uint64_t prefix, int shift) {
  return static_cast<uint32_t>((prefix * 0x9E3779B185EBCA87ull) >> shift);
}

uint16_t Capped(uint32_t distance) {
  return static_cast<uint16_t>(distance < kNone ? distance : kNone);
}

struct Keys {
  uint32_t h3;
  uint32_t h5;
};

class Chains {
 public:
  // Tables for searching `positions` positions (input and virtual spaces).
  explicit Chains(size_t positions) {
    int bits3 = kMinBits3;
    while (bits3 < kMaxBits3 && (size_t{1} << bits3) < positions) ++bits3;
    shift3_ = 64 - bits3;
    shift5_ = 64 - (bits3 - 1);
    const size_t heads3 = size_t{1} << bits3;
    const size_t heads5 = heads3 / 2;
    head3_.reset(new int32_t[heads3]);
    head5_.reset(new int32_t[heads5]);
    links_.reset(new uint16_t[2 * kRing]);
    for (size_t h = 0; h < heads3; ++h) head3_[h] = -1;
    for (size_t h = 0; h < heads5; ++h) head5_[h] = -1;
  }

  int shift3() const { return shift3_; }
  int shift5() const { return shift5_; }

  // Raw views for the hot loop (kept in locals so that the output's byte
  // stores cannot make the compiler reload them).
  int32_t* head3() const { return head3_.get(); }
  int32_t* head5() const { return head5_.get(); }
  uint16_t* link3() const { return links_.get(); }
  uint16_t* link5() const { return links_.get() + kRing; }

 private:
  std::unique_ptr<int32_t[]> head3_;
  std::unique_ptr<int32_t[]> head5_;
  std::unique_ptr<uint16_t[]> links_;
  int shift3_ = 0;
  int shift5_ = 0;
};

// Common prefix length of the candidate at `cand` and the lookahead whose
// first three words are look0..look2, at most m.
inline size_t MatchLength(const uint8_t* cand, uint64_t look0, uint64_t look1,
                          uint64_t look2, size_t m) {
  const uint64_t x = Load64(cand) ^ look0;
  size_t k = x != 0 ? FirstDifferentByte(x) : 8;
  if (__builtin_expect(k == 8, 0)) {
    const uint64_t y = Load64(cand + 8) ^ look1;
    if (y != 0) {
      k = 8 + FirstDifferentByte(y);
    } else {
      const uint64_t z = Load64(cand + 16) ^ look2;
      k = z != 0 ? 16 + FirstDifferentByte(z) : 24;
    }
  }
  return k < m ? k : m;
}

}  // namespace

// The search works on a copy of the input with the 18 virtual spaces in
// front, so that position q of the copy is input position q - 18 and no
// comparison needs a special case for them.
//
// Only candidates that share the lookahead's first 3 bytes can be selected,
// and they are all on the lookahead's 3-byte chain, nearest first. When some
// candidate matches at least 5 bytes, the selected match is one of those,
// and they are all on the 5-byte chain: that shorter chain is walked
// instead. Either walk judges each candidate as the reference rule does
// (taken when at least as long as the best so far; a full-length one ends
// the search), so the selection is the same.
std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t n,
                                   EncodeProgress* progress) {
  if (n == 0) return {};  // an empty file has no entry data, not even a checksum
  std::unique_ptr<uint8_t[]> copy(new uint8_t[kVirtual + n + kPadding]);
  uint8_t* const text = copy.get();
  std::memset(text, ' ', kVirtual);
  std::memcpy(text + kVirtual, data, n);
  std::memset(text + kVirtual + n, 0, kPadding);

  const Chains chains(kVirtual + n);
  int32_t* const head3 = chains.head3();
  int32_t* const head5 = chains.head5();
  uint16_t* const link3 = chains.link3();
  uint16_t* const link5 = chains.link5();
  const int shift3 = chains.shift3();
  const int shift5 = chains.shift5();
  // Hashes of the 3- and 5-byte prefixes of the 8 bytes `v` (little-endian)
  // at a position.
  auto keys_of = [shift3, shift5](uint64_t v) {
    return Keys{Hash(v & 0xFFFFFFull, shift3), Hash(v & 0xFFFFFFFFFFull, shift5)};
  };
  auto insert = [=](int32_t q, Keys keys) {
    const size_t slot = static_cast<size_t>(q) & kRingMask;
    const int32_t prev = head3[keys.h3];
    link3[slot] = Capped(static_cast<uint32_t>(q - prev));
    head3[keys.h3] = q;
    link5[slot] = Capped(static_cast<uint32_t>(q - head5[keys.h5]));
    head5[keys.h5] = q;
  };
  for (int32_t q = 0; q < static_cast<int32_t>(kVirtual); ++q) insert(q, keys_of(Load64(text + q)));

  // Worst case: every group holds eight literals and its flag byte.
  std::vector<uint8_t> out(n + (n + 7) / 8 + 4);
  uint8_t* const base = out.data();
  size_t o = 0;
  size_t i = 0;
  while (i < n) {
    const size_t flag_pos = o++;
    unsigned flags = 0;
    for (unsigned bit = 1; bit != 0x100 && i < n; bit <<= 1) {
      const size_t left = n - i;
      if (left < kMinMatch) {
        flags |= bit;
        base[o++] = data[i++];
        continue;
      }
      const size_t m = left < kMaxMatch ? left : kMaxMatch;
      const int32_t cur = static_cast<int32_t>(i + kVirtual);
      const int32_t low = cur > static_cast<int32_t>(kWindow) ? cur - static_cast<int32_t>(kWindow) : 0;
      const uint8_t* const look = text + cur;
      const uint64_t look0 = Load64(look);
      const uint64_t look1 = Load64(look + 8);
      const uint64_t look2 = Load64(look + 16);
      const Keys keys = keys_of(look0);

      size_t best = kMinMatch;
      int32_t selected = -1;
      auto walk = [&](int32_t q, const uint16_t* link) {
        for (; q >= low; q -= link[static_cast<size_t>(q) & kRingMask]) {
          const size_t k = MatchLength(text + q, look0, look1, look2, m);
          const bool take = k >= best;
          best = take ? k : best;
          selected = take ? q : selected;
          if (__builtin_expect(k == m, 0)) break;
        }
      };
      // The 5-byte chain is walked when its nearest entry really shares the
      // lookahead's first 5 bytes (tested without a branch on the window, as
      // hash collisions and stale entries are common and unpredictable). A
      // 5-byte match behind a colliding nearest entry is not missed: the
      // 3-byte walk then meets it.
      const int32_t head = head5[keys.h5];
      const int32_t in_window = -static_cast<int32_t>(head >= low);
      const int32_t q5 = (head & in_window) | ((cur - 1) & ~in_window);
      const bool has_long = (head >= low) & (((Load64(text + q5) ^ look0) & 0xFFFFFFFFFFull) == 0);
      if (m >= kLongPrefix && has_long) {
        best = kLongPrefix;
        walk(q5, link5);  // selects at least the nearest entry itself
      }
      if (selected < 0) walk(head3[keys.h3], link3);
      insert(cur, keys);

      if (selected < 0) {
        flags |= bit;
        base[o++] = data[i++];
        continue;
      }
      const size_t d = static_cast<size_t>(cur - selected);
      base[o++] = static_cast<uint8_t>(d);
      base[o++] = static_cast<uint8_t>(((d >> 8) << 4) | (best - kMinMatch));
      // Positions inside the match become candidates for later searches.
      for (int32_t q = cur + 1; q < cur + static_cast<int32_t>(best); ++q)
        insert(q, keys_of(Load64(text + q)));
      i += best;
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
  // through hash chains; this one stays as the definition they agree with.
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
