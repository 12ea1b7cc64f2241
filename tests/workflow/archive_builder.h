// Hand-made archives for the workflow tests, laid out byte by byte here
// rather than by the library, and a reader that splits an archive back into
// its entries by their data sizes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pbo_test {

constexpr uint32_t kSrpc = 0x43707273;  // "srpC": a compressed entry

struct TestEntry {
  std::string name;
  uint32_t method = 0;
  int32_t original_size = 0;
  int32_t timestamp = 0;
  int32_t data_size = 0;
  std::vector<uint8_t> data;  // the bytes in the data area
};

std::vector<uint8_t> Bytes(const std::string& text);
std::string Text(const std::vector<uint8_t>& bytes);

// A stored entry (method 0 unless given) holding `content`.
TestEntry Stored(const std::string& name, const std::string& content,
                 uint32_t method = 0);
// A compressed entry whose data is the given groups and checksum; the data
// size is their length.
TestEntry Compressed(const std::string& name, int32_t original_size,
                     const std::vector<uint8_t>& data);
// A compressed entry of `content` written with literal groups only (eight
// literals per flag byte 0xFF), closed by the right checksum.
TestEntry Literal(const std::string& name, const std::string& content);

// The header table (each entry, then 21 zero bytes), then the entries' data.
// `prefix` goes before everything (a product header, for instance).
std::vector<uint8_t> BuildArchive(const std::vector<TestEntry>& entries,
                                  const std::vector<uint8_t>& prefix = {});

// Splits an archive without product header into its entries, taking every
// entry's data by its data size. @return false when the bytes do not add up.
bool SplitArchive(const std::vector<uint8_t>& archive,
                  std::vector<TestEntry>* entries);

// 3-byte sequences never repeat in these n bytes (n <= 4096, no spaces), so
// the encoder writes them as literals only.
std::string Unrepeating(size_t n);

}  // namespace pbo_test
