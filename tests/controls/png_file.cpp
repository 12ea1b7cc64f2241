#include "png_file.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

uint32_t Crc32(const std::string& bytes) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutChunk(std::string* file, const char* type, const std::string& data) {
  PutBigEndian(file, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  *file += body;
  PutBigEndian(file, Crc32(body));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& raw) {
  std::string z("\x78\x01", 2);
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  size_t pos = 0;
  do {
    size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  PutBigEndian(&z, (b << 16) | a);
  return z;
}

}  // namespace

bool WritePng(const char* path, const Pixels& pixels) {
  std::string header;
  PutBigEndian(&header, static_cast<uint32_t>(pixels.width));
  PutBigEndian(&header, static_cast<uint32_t>(pixels.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace

  std::string raw;
  raw.reserve(static_cast<size_t>(pixels.height) * (pixels.width * 3 + 1));
  for (int y = 0; y < pixels.height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < pixels.width; ++x) {
      COLORREF c = pixels.At(x, y);
      raw.push_back(static_cast<char>(Red(c)));
      raw.push_back(static_cast<char>(Green(c)));
      raw.push_back(static_cast<char>(Blue(c)));
    }
  }

  std::string file("\x89PNG\r\n\x1a\n", 8);
  PutChunk(&file, "IHDR", header);
  PutChunk(&file, "IDAT", StoredZlib(raw));
  PutChunk(&file, "IEND", std::string());

  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}
