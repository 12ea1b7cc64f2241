// The encoder's fast search against the literal search rule.
#include <gtest/gtest.h>

#include <vector>

#include "core/lzss_encode.h"
#include "reference_lzss.h"
#include "sample_data.h"

namespace pbo {
namespace {

using Bytes = std::vector<uint8_t>;
using pbo_test::MakeSample;
using pbo_test::ReferenceCompress;
using pbo_test::Sample;

constexpr Sample kAllSamples[] = {Sample::kRandom, Sample::kText, Sample::kRuns,
                                  Sample::kBinary, Sample::kTwoSymbols};

// Inputs long enough to slide the window several times over.
TEST(CompressBlock, MatchesTheLiteralRuleOnEveryKindOfInput) {
  for (Sample kind : kAllSamples) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      const Bytes input = MakeSample(kind, 20000 + seed * 777, seed);
      ASSERT_EQ(CompressBlock(input.data(), input.size()),
                ReferenceCompress(input.data(), input.size()))
          << pbo_test::SampleName(kind) << " seed " << seed;
    }
  }
}

// Lengths 1..40 end at every item of a group, with 0, 1 and 2 bytes left
// (literals by the short-input rule) and with lookaheads shorter than 18.
TEST(CompressBlock, MatchesTheLiteralRuleAtEveryEndOfInput) {
  for (Sample kind : kAllSamples) {
    const Bytes base = MakeSample(kind, 300, 7);
    for (size_t n = 1; n <= base.size(); ++n) {
      ASSERT_EQ(CompressBlock(base.data(), n), ReferenceCompress(base.data(), n))
          << pbo_test::SampleName(kind) << " length " << n;
    }
  }
}

// Near the input's start the window reaches into the 18 virtual spaces;
// inputs of spaces mixed with other bytes make those the best candidates.
TEST(CompressBlock, MatchesTheLiteralRuleAgainstTheVirtualSpaces) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    Bytes input(1 + rng() % 60);
    for (uint8_t& b : input) b = rng() % 4 ? ' ' : static_cast<uint8_t>('x' + rng() % 2);
    ASSERT_EQ(CompressBlock(input.data(), input.size()),
              ReferenceCompress(input.data(), input.size()))
        << "round " << round;
  }
}

TEST(FindMatch, EncodesPositionAndLengthAsOneNumber) {
  // "   abc": at position 0 the farthest virtual space, p = -18, length 3.
  const Bytes input = {' ', ' ', ' ', 'a', 'b', 'c'};
  const int32_t code = FindMatch(input.data(), input.size(), 0, 6);
  EXPECT_EQ(code, -18 * 100 + 3);
  int32_t p;
  int32_t k;
  SplitMatch(code, &p, &k);
  EXPECT_EQ(p, -18);
  EXPECT_EQ(k, 3);
  SplitMatch(-497, &p, &k);
  EXPECT_EQ(p, -5);
  EXPECT_EQ(k, 3);
  // No match.
  EXPECT_EQ(FindMatch(input.data(), input.size(), 3, 3), -1);
}

class GroupEnds : public EncodeProgress {
 public:
  void OnGroupEnd(size_t encoded) override { calls.push_back(encoded); }
  std::vector<size_t> calls;
};

TEST(CompressBlock, ReportsTheInputPositionAfterEveryGroup) {
  // 17 distinct bytes: groups of 8, 8 and 1 literals.
  Bytes input;
  for (uint8_t b = 'a'; b < 'a' + 17; ++b) input.push_back(b);
  GroupEnds seen;
  CompressBlock(input.data(), input.size(), &seen);
  EXPECT_EQ(seen.calls, (std::vector<size_t>{8, 16, 17}));

  // 40 x a: one group of four items (literal, 18, 18, 3).
  const Bytes run(40, 'a');
  GroupEnds run_seen;
  CompressBlock(run.data(), run.size(), &run_seen);
  EXPECT_EQ(run_seen.calls, (std::vector<size_t>{40}));
}

}  // namespace
}  // namespace pbo
