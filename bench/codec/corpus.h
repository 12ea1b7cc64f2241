// Reproducible benchmark inputs, one per class of data an archive holds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pbo_bench {

enum class Corpus { kRandom, kText, kCode, kRuns, kTexture };

constexpr Corpus kCorpora[] = {Corpus::kRandom, Corpus::kText, Corpus::kCode,
                               Corpus::kRuns, Corpus::kTexture};

const char* CorpusName(Corpus c);

// @return n bytes of the class, the same for the same arguments on every run.
std::vector<uint8_t> MakeCorpus(Corpus c, size_t n);

}  // namespace pbo_bench
