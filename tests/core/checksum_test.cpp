// The entry checksum sums bytes eight at a time in 16-bit lanes; these
// cases push the lanes to their limits and the sum past 2^32.
#include <gtest/gtest.h>

#include <vector>

#include "core/checksum.h"

namespace pbo {
namespace {

uint32_t PlainSum(const std::vector<uint8_t>& v, size_t from, size_t to, uint32_t initial) {
  for (size_t k = from; k < to; ++k) initial += v[k];
  return initial;
}

TEST(EntryChecksum, EqualsThePlainSumAtEveryLengthAndSplit) {
  std::vector<uint8_t> ff(5000, 0xFF);  // every lane at its largest value
  std::vector<uint8_t> mixed(5000);
  for (size_t k = 0; k < mixed.size(); ++k) mixed[k] = static_cast<uint8_t>(k * 131 + (k >> 3));
  for (const std::vector<uint8_t>* v : {&ff, &mixed}) {
    for (size_t n : {0, 1, 7, 8, 9, 2047, 2048, 2049, 2056, 4096, 5000}) {
      EXPECT_EQ(EntryChecksum(v->data(), n), PlainSum(*v, 0, n, 0)) << n;
      // Summed in two pieces, the second continuing from the first.
      const size_t half = n / 3;
      EXPECT_EQ(EntryChecksum(v->data() + half, n - half, EntryChecksum(v->data(), half)),
                PlainSum(*v, 0, n, 0))
          << n;
    }
  }
}

TEST(EntryChecksum, WrapsModulo2To32) {
  // 255 * 16843010 = 2^32 + 254
  const std::vector<uint8_t> v(16843010, 0xFF);
  EXPECT_EQ(EntryChecksum(v.data(), v.size()), 254u);
  EXPECT_EQ(EntryChecksum(v.data(), 3, 0xFFFFFFFFu), 764u);
}

}  // namespace
}  // namespace pbo
