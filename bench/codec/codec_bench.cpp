// Encoder and decoder throughput per data class, and the speed of the
// literal window search (FindMatch) on a smaller slice for comparison.
// Run: build/native/bench/codec/codec_bench          (Google Benchmark)
//      build/native/bench/codec/codec_bench --table  (a Markdown summary)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/byte_reader.h"
#include "core/lzss_decode.h"
#include "core/lzss_encode.h"
#include "corpus.h"

namespace {

using pbo_bench::Corpus;

constexpr size_t kCorpusSize = 4 << 20;
constexpr size_t kSliceSize = 48 << 10;

const std::vector<uint8_t>& Data(Corpus c) {
  static std::vector<uint8_t> cache[5];
  std::vector<uint8_t>& v = cache[static_cast<int>(c)];
  if (v.empty()) v = pbo_bench::MakeCorpus(c, kCorpusSize);
  return v;
}

const std::vector<uint8_t>& Packed(Corpus c) {
  static std::vector<uint8_t> cache[5];
  std::vector<uint8_t>& v = cache[static_cast<int>(c)];
  if (v.empty()) v = pbo::CompressBlock(Data(c).data(), Data(c).size());
  return v;
}

// The encoder the way the search rule is written: FindMatch at every item.
std::vector<uint8_t> LiteralCompress(const uint8_t* data, size_t n) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < n) {
    const size_t flag_pos = out.size();
    out.push_back(0xFF);
    unsigned flags = 0;
    for (unsigned bit = 1; bit != 0x100 && i < n; bit <<= 1) {
      const int32_t code = n - i >= 3 ? pbo::FindMatch(data, n, i, n - i < 18 ? n - i : 18) : -1;
      if (code == -1) {  // other negative codes are matches into the virtual spaces
        flags |= bit;
        out.push_back(data[i++]);
        continue;
      }
      int32_t p;
      int32_t k;
      pbo::SplitMatch(code, &p, &k);
      const size_t d = static_cast<size_t>(static_cast<int64_t>(i) - p);
      out.push_back(static_cast<uint8_t>(d));
      out.push_back(static_cast<uint8_t>(((d >> 8) << 4) | static_cast<size_t>(k - 3)));
      i += static_cast<size_t>(k);
    }
    out[flag_pos] = static_cast<uint8_t>(flags);
  }
  uint32_t sum = 0;
  for (size_t k = 0; k < n; ++k) sum += data[k];
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(sum >> (8 * b)));
  return out;
}

void Encode(benchmark::State& state, Corpus c) {
  const std::vector<uint8_t>& in = Data(c);
  size_t packed = 0;
  for (auto _ : state) {
    std::vector<uint8_t> out = pbo::CompressBlock(in.data(), in.size());
    packed = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
  state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(in.size());
}

// Many small files, as a pack of configs and scripts has: the corpus in
// pieces of state.range(0) bytes, each its own block.
void EncodePieces(benchmark::State& state, Corpus c) {
  const std::vector<uint8_t>& in = Data(c);
  const size_t piece = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    for (size_t at = 0; at + piece <= in.size(); at += piece) {
      std::vector<uint8_t> out = pbo::CompressBlock(in.data() + at, piece);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * (in.size() / piece * piece)));
}

void Decode(benchmark::State& state, Corpus c) {
  const std::vector<uint8_t>& in = Data(c);
  const std::vector<uint8_t>& packed = Packed(c);
  std::vector<uint8_t> out;
  for (auto _ : state) {
    pbo::ByteReader reader(packed.data(), packed.size());
    const pbo::DecodeResult r =
        pbo::DecodeEntry(reader, static_cast<int32_t>(in.size()), &out);
    if (!r.checksum_matches() || out.size() != in.size()) {
      state.SkipWithError("decoded data differs");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

// Encodes a slice with the literal search and with CompressBlock; the two
// outputs must be the same. Reports the literal search's speed.
void LiteralSearch(benchmark::State& state, Corpus c) {
  const uint8_t* in = Data(c).data();
  const std::vector<uint8_t> fast = pbo::CompressBlock(in, kSliceSize);
  for (auto _ : state) {
    std::vector<uint8_t> out = LiteralCompress(in, kSliceSize);
    if (out != fast) {
      state.SkipWithError("literal search and CompressBlock differ");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSliceSize));
}

int Register() {
  for (Corpus c : pbo_bench::kCorpora) {
    const std::string name = pbo_bench::CorpusName(c);
    benchmark::RegisterBenchmark(("Encode/" + name).c_str(), Encode, c)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Decode/" + name).c_str(), Decode, c)->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("EncodePieces/text", EncodePieces, Corpus::kText)
      ->Arg(256)
      ->Arg(2048)
      ->Unit(benchmark::kMillisecond);
  for (Corpus c : pbo_bench::kCorpora) {
    const std::string name = pbo_bench::CorpusName(c);
    benchmark::RegisterBenchmark(("LiteralSearch/" + name).c_str(), LiteralSearch, c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  return 0;
}

const int kRegistered = Register();

// Processor time of the calling thread, so that other load on the machine
// disturbs the figures less.
double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// MB/s (10^6 bytes per second) of the best of `runs` runs of f over `bytes`.
template <class F>
double BestRate(size_t bytes, int runs, F f) {
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    const double start = CpuSeconds();
    f();
    const double seconds = CpuSeconds() - start;
    if (seconds < best) best = seconds;
  }
  return static_cast<double>(bytes) / best / 1e6;
}

int PrintTable() {
  std::printf("| class | ratio | encoder MB/s | decoder MB/s | literal search MB/s | encoder speed-up |\n");
  std::printf("|---|---|---|---|---|---|\n");
  bool same = true;
  for (Corpus c : pbo_bench::kCorpora) {
    const std::vector<uint8_t>& in = Data(c);
    const std::vector<uint8_t>& packed = Packed(c);
    const double enc = BestRate(in.size(), 5, [&] { pbo::CompressBlock(in.data(), in.size()); });
    std::vector<uint8_t> out;
    const double dec = BestRate(in.size(), 20, [&] {
      pbo::ByteReader reader(packed.data(), packed.size());
      pbo::DecodeEntry(reader, static_cast<int32_t>(in.size()), &out);
    });
    same = same && out == in;
    std::vector<uint8_t> literal;
    const double lit = BestRate(kSliceSize, 1, [&] { literal = LiteralCompress(in.data(), kSliceSize); });
    same = same && literal == pbo::CompressBlock(in.data(), kSliceSize);
    std::printf("| %s | %.3f | %.0f | %.0f | %.2f | %.0fx |\n", pbo_bench::CorpusName(c),
                static_cast<double>(packed.size()) / static_cast<double>(in.size()), enc, dec, lit,
                enc / lit);
  }
  std::printf("\n%zu MB per class; literal search on the first %zu KB; outputs %s.\n",
              kCorpusSize >> 20, kSliceSize >> 10, same ? "identical" : "DIFFER");
  return same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  for (int a = 1; a < argc; ++a) {
    if (std::strcmp(argv[a], "--table") == 0) return PrintTable();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
