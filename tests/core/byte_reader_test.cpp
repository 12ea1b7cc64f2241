// The streaming byte reader against the memory reader: the same bytes,
// counts and positions for any mix of calls, whatever the source's pieces.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "chunk_source.h"
#include "core/byte_reader.h"

namespace pbo {
namespace {

using Bytes = std::vector<uint8_t>;

// Applies the same random script of calls to both readers and compares.
void CompareScript(const Bytes& data, size_t chunk, size_t buffer, uint32_t seed) {
  pbo_test::ChunkSource source(data, chunk);
  ByteReader streamed(source, buffer);
  ByteReader memory(data.data(), data.size());
  std::mt19937 rng(seed);
  for (int step = 0; step < 400; ++step) {
    SCOPED_TRACE(::testing::Message() << "chunk " << chunk << " buffer " << buffer
                                      << " step " << step);
    switch (rng() % 4) {
      case 0: {
        const size_t n = rng() % (rng() % 8 == 0 ? 3 * buffer : 40);
        Bytes a(n, 0xCC), b(n, 0xCC);
        ASSERT_EQ(streamed.Read(a.data(), n), memory.Read(b.data(), n));
        ASSERT_EQ(a, b);
        break;
      }
      case 1: {
        uint8_t a = 0, b = 0;
        ASSERT_EQ(streamed.ReadByte(&a), memory.ReadByte(&b));
        ASSERT_EQ(a, b);
        break;
      }
      case 2: {
        const uint64_t n = rng() % 200;
        ASSERT_EQ(streamed.Skip(n), memory.Skip(n));
        break;
      }
      default: {
        const size_t want = 1 + rng() % 64;
        const size_t got = streamed.Ensure(want);
        const size_t left = data.size() - memory.position();
        ASSERT_EQ(got >= want || got == left, true);
        ASSERT_LE(got, left);
        // The contiguous bytes are the next ones of the data.
        const size_t take = std::min(got, want);
        ASSERT_TRUE(std::equal(streamed.data(), streamed.data() + take,
                               data.begin() + static_cast<std::ptrdiff_t>(memory.position())));
        streamed.Advance(take);
        memory.Skip(take);
        break;
      }
    }
    ASSERT_EQ(streamed.position(), memory.position());
  }
  EXPECT_FALSE(streamed.failed());
}

TEST(ByteReader, StreamingMatchesMemoryForAnyPieceSizes) {
  Bytes data(5000);
  std::mt19937 rng(3);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{64}, size_t{1000}}) {
    for (size_t buffer : {size_t{64}, size_t{100}, size_t{4096}}) {
      CompareScript(data, chunk, buffer, static_cast<uint32_t>(chunk * 31 + buffer));
    }
  }
}

TEST(ByteReader, StopsAtTheEndAndAtAReadError) {
  const Bytes data = {1, 2, 3, 4, 5};
  ByteReader memory(data.data(), data.size());
  uint8_t buf[8];
  EXPECT_EQ(memory.Read(buf, 8), 5u);
  uint8_t b;
  EXPECT_FALSE(memory.ReadByte(&b));
  EXPECT_EQ(memory.Ensure(4), 0u);
  EXPECT_EQ(memory.Skip(3), 0u);
  EXPECT_FALSE(memory.failed());

  // The source fails after 3 bytes: the reader ends there and says so.
  pbo_test::ChunkSource failing(data, 2, 3);
  ByteReader streamed(failing, 64);
  EXPECT_EQ(streamed.Read(buf, 8), 3u);
  EXPECT_EQ(streamed.position(), 3u);
  EXPECT_TRUE(streamed.failed());
}

}  // namespace
}  // namespace pbo
