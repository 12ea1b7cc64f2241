// Reproducible inputs of the kinds an archive holds, for codec tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pbo_test {

enum class Sample { kRandom, kText, kRuns, kBinary, kTwoSymbols };

inline const char* SampleName(Sample s) {
  switch (s) {
    case Sample::kRandom: return "random";
    case Sample::kText: return "text";
    case Sample::kRuns: return "runs";
    case Sample::kBinary: return "binary";
    case Sample::kTwoSymbols: return "two-symbols";
  }
  return "?";
}

inline std::vector<uint8_t> MakeSample(Sample kind, size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  v.reserve(n + 32);
  switch (kind) {
    case Sample::kRandom:
      while (v.size() < n) v.push_back(static_cast<uint8_t>(rng()));
      break;
    case Sample::kText: {
      static const char* const kWords[] = {
          "the ", "texture ", "of ", "a ", "and ", "archive ", "file ", "is ",
          "packed ", "in ", "entry ", "data ", "header ", "name ", "with ",
          "\r\n", "  ", "The ", "sky ", "grass ", "tree ", "road ", ". ", ", "};
      while (v.size() < n) {
        const std::string w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        v.insert(v.end(), w.begin(), w.end());
      }
      break;
    }
    case Sample::kRuns:
      // Runs of one byte, some long, some shorter than a match, with spaces.
      while (v.size() < n) {
        const uint8_t b = rng() % 3 == 0 ? ' ' : static_cast<uint8_t>(rng() % 4);
        v.insert(v.end(), 1 + rng() % (rng() % 2 ? 40 : 4), b);
      }
      break;
    case Sample::kBinary:
      // Little records with repeated fields and small counters.
      for (uint32_t r = 0; v.size() < n; ++r) {
        const uint8_t rec[] = {0x55, 0x8B, 0xEC, static_cast<uint8_t>(r),
                               static_cast<uint8_t>(rng() % 8), 0, 0, 0,
                               static_cast<uint8_t>(rng()), 0xE8};
        v.insert(v.end(), rec, rec + 3 + rng() % 8);
      }
      break;
    case Sample::kTwoSymbols:
      while (v.size() < n) v.push_back(rng() % 2 ? 'a' : 'b');
      break;
  }
  v.resize(n);
  return v;
}

}  // namespace pbo_test
