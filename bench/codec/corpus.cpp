#include "corpus.h"

#include <cmath>
#include <random>
#include <string>

namespace pbo_bench {

namespace {

// Text: words drawn with Zipf-like weights, sentences and line breaks.
void FillText(std::mt19937& rng, std::vector<uint8_t>& v, size_t n) {
  static const char* const kWords[] = {
      "the", "of", "and", "to", "a", "in", "is", "it", "you", "that", "he",
      "was", "for", "on", "are", "with", "as", "his", "they", "be", "at",
      "one", "have", "this", "from", "or", "had", "by", "word", "but", "what",
      "some", "we", "can", "out", "other", "were", "all", "there", "when",
      "up", "use", "your", "how", "said", "an", "each", "she", "which", "do",
      "their", "time", "if", "will", "way", "about", "many", "then", "them",
      "texture", "replacement", "pack", "installer", "archive", "terrain",
      "grass", "forest", "village", "road", "river", "mountain", "soldier",
      "vehicle", "detail", "resolution", "colour", "shadow", "surface"};
  constexpr size_t kCount = sizeof kWords / sizeof kWords[0];
  std::vector<double> weights(kCount);
  for (size_t w = 0; w < kCount; ++w) weights[w] = 1.0 / static_cast<double>(w + 1);
  std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
  bool capital = true;
  size_t line = 0;
  while (v.size() < n) {
    std::string w = kWords[pick(rng)];
    if (capital) w[0] = static_cast<char>(w[0] - 'a' + 'A');
    capital = false;
    v.insert(v.end(), w.begin(), w.end());
    line += w.size() + 1;
    const unsigned r = rng() % 100;
    if (r < 8) {
      v.push_back('.');
      capital = true;
    } else if (r < 14) {
      v.push_back(',');
    }
    if (line > 70) {
      v.push_back('\r');
      v.push_back('\n');
      line = 0;
    } else {
      v.push_back(' ');
    }
  }
}

// x86-like code: prologues, moves with small displacements, calls with
// near targets, immediates, padding between functions.
void FillCode(std::mt19937& rng, std::vector<uint8_t>& v, size_t n) {
  auto push32 = [&v](uint32_t x) {
    for (int b = 0; b < 4; ++b) v.push_back(static_cast<uint8_t>(x >> (8 * b)));
  };
  while (v.size() < n) {
    const uint8_t prologue[] = {0x55, 0x8B, 0xEC, 0x83, 0xEC};
    v.insert(v.end(), prologue, prologue + 5);
    v.push_back(static_cast<uint8_t>(4 * (1 + rng() % 16)));
    const int body = 5 + static_cast<int>(rng() % 30);
    for (int k = 0; k < body; ++k) {
      switch (rng() % 6) {
        case 0:  // mov eax, [ebp+disp8]
          v.push_back(0x8B);
          v.push_back(static_cast<uint8_t>(0x45 + 8 * (rng() % 4)));
          v.push_back(static_cast<uint8_t>(0x100 - 4 * (1 + rng() % 8)));
          break;
        case 1:  // push imm32 (small)
          v.push_back(0x68);
          push32(rng() % 0x1000);
          break;
        case 2:  // call rel32 (near)
          v.push_back(0xE8);
          push32(static_cast<uint32_t>(-static_cast<int32_t>(rng() % 0x8000)));
          break;
        case 3:  // mov [reg+disp32], imm32
          v.push_back(0xC7);
          v.push_back(0x05);
          push32(0x00401000 + (rng() % 64) * 4);
          push32(rng() % 4 ? 0 : rng());
          break;
        case 4:  // test / jcc
          v.push_back(0x85);
          v.push_back(0xC0);
          v.push_back(static_cast<uint8_t>(0x74 + rng() % 2));
          v.push_back(static_cast<uint8_t>(rng() % 0x40));
          break;
        default:  // add esp, imm8
          v.push_back(0x83);
          v.push_back(0xC4);
          v.push_back(static_cast<uint8_t>(4 * (rng() % 8)));
          break;
      }
    }
    const uint8_t epilogue[] = {0x8B, 0xE5, 0x5D, 0xC3};
    v.insert(v.end(), epilogue, epilogue + 4);
    while (v.size() % 16 != 0) v.push_back(0xCC);
  }
}

// Runs and zeros: long zero stretches, runs of one byte, short noise.
void FillRuns(std::mt19937& rng, std::vector<uint8_t>& v, size_t n) {
  while (v.size() < n) {
    switch (rng() % 4) {
      case 0:
        v.insert(v.end(), 100 + rng() % 4000, 0);
        break;
      case 1:
        v.insert(v.end(), 3 + rng() % 60, static_cast<uint8_t>(rng()));
        break;
      case 2:
        v.insert(v.end(), 1 + rng() % 300, 0xFF);
        break;
      default:
        for (int k = static_cast<int>(rng() % 8); k > 0; --k) v.push_back(static_cast<uint8_t>(rng()));
        break;
    }
  }
}

// Texture: 256x256 RGBA images of smooth gradients with a little noise.
void FillTexture(std::mt19937& rng, std::vector<uint8_t>& v, size_t n) {
  for (int image = 0; v.size() < n; ++image) {
    const double fx = 0.01 + 0.005 * (image % 5);
    const double fy = 0.02 + 0.003 * (image % 7);
    for (int y = 0; y < 256; ++y) {
      for (int x = 0; x < 256; ++x) {
        const double base = 128 + 60 * std::sin(fx * x + image) + 50 * std::cos(fy * y);
        for (int ch = 0; ch < 3; ++ch) {
          const int noise = static_cast<int>(rng() % 5) - 2;
          int c = static_cast<int>(base) + ch * 20 + noise;
          c = c < 0 ? 0 : c > 255 ? 255 : c;
          v.push_back(static_cast<uint8_t>(c));
        }
        v.push_back(0xFF);
      }
    }
  }
}

}  // namespace

const char* CorpusName(Corpus c) {
  switch (c) {
    case Corpus::kRandom: return "random";
    case Corpus::kText: return "text";
    case Corpus::kCode: return "code";
    case Corpus::kRuns: return "runs";
    case Corpus::kTexture: return "texture";
  }
  return "?";
}

std::vector<uint8_t> MakeCorpus(Corpus c, size_t n) {
  std::mt19937 rng(20240611u + static_cast<unsigned>(c));
  std::vector<uint8_t> v;
  v.reserve(n + 70000);
  switch (c) {
    case Corpus::kRandom:
      while (v.size() < n) v.push_back(static_cast<uint8_t>(rng()));
      break;
    case Corpus::kText: FillText(rng, v, n); break;
    case Corpus::kCode: FillCode(rng, v, n); break;
    case Corpus::kRuns: FillRuns(rng, v, n); break;
    case Corpus::kTexture: FillTexture(rng, v, n); break;
  }
  v.resize(n);
  return v;
}

}  // namespace pbo_bench
