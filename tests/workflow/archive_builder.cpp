#include "archive_builder.h"

#include <cstddef>
#include <functional>

namespace pbo_test {
namespace {

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
         uint32_t{p[3]} << 24;
}

}  // namespace

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TestEntry Stored(const std::string& name, const std::string& content,
                 uint32_t method) {
  TestEntry e;
  e.name = name;
  e.method = method;
  e.data = Bytes(content);
  e.data_size = static_cast<int32_t>(e.data.size());
  return e;
}

TestEntry Compressed(const std::string& name, int32_t original_size,
                     const std::vector<uint8_t>& data) {
  TestEntry e;
  e.name = name;
  e.method = kSrpc;
  e.original_size = original_size;
  e.data = data;
  e.data_size = static_cast<int32_t>(data.size());
  return e;
}

TestEntry Literal(const std::string& name, const std::string& content) {
  std::vector<uint8_t> data;
  uint32_t sum = 0;
  for (size_t i = 0; i < content.size(); ++i) {
    if (i % 8 == 0) {
      size_t left = content.size() - i;
      data.push_back(left >= 8 ? 0xFF : static_cast<uint8_t>((1u << left) - 1));
    }
    data.push_back(static_cast<uint8_t>(content[i]));
    sum += static_cast<uint8_t>(content[i]);
  }
  Put32(&data, sum);
  return Compressed(name, static_cast<int32_t>(content.size()), data);
}

std::vector<uint8_t> BuildArchive(const std::vector<TestEntry>& entries,
                                  const std::vector<uint8_t>& prefix) {
  std::vector<uint8_t> out = prefix;
  for (const TestEntry& e : entries) {
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.push_back(0);
    Put32(&out, e.method);
    Put32(&out, static_cast<uint32_t>(e.original_size));
    Put32(&out, 0);
    Put32(&out, static_cast<uint32_t>(e.timestamp));
    Put32(&out, static_cast<uint32_t>(e.data_size));
  }
  out.insert(out.end(), 21, 0);
  for (const TestEntry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  return out;
}

bool SplitArchive(const std::vector<uint8_t>& archive,
                  std::vector<TestEntry>* entries) {
  entries->clear();
  size_t pos = 0;
  for (;;) {
    TestEntry e;
    while (pos < archive.size() && archive[pos] != 0) e.name += static_cast<char>(archive[pos++]);
    if (pos + 21 > archive.size()) return false;
    const uint8_t* f = archive.data() + pos + 1;
    e.method = Get32(f);
    e.original_size = static_cast<int32_t>(Get32(f + 4));
    e.timestamp = static_cast<int32_t>(Get32(f + 12));
    e.data_size = static_cast<int32_t>(Get32(f + 16));
    pos += 21;
    if (e.name.empty()) break;
    entries->push_back(e);
  }
  for (TestEntry& e : *entries) {
    if (e.data_size < 0 || pos + static_cast<size_t>(e.data_size) > archive.size()) return false;
    e.data.assign(archive.begin() + static_cast<ptrdiff_t>(pos),
                  archive.begin() + static_cast<ptrdiff_t>(pos) + e.data_size);
    pos += static_cast<size_t>(e.data_size);
  }
  return pos == archive.size();
}

std::string Unrepeating(size_t n) {
  // A de Bruijn sequence over 16 letters of order 3: every 3-letter word
  // appears once in its 4096 letters.
  const int k = 16, order = 3;
  std::vector<int> a(k * order, 0);
  std::string seq;
  std::function<void(int, int)> db = [&](int t, int p) {
    if (t > order) {
      if (order % p == 0) {
        for (int j = 1; j <= p; ++j) seq += static_cast<char>('A' + a[j]);
      }
      return;
    }
    a[t] = a[t - p];
    db(t + 1, p);
    for (int j = a[t - p] + 1; j < k; ++j) {
      a[t] = j;
      db(t + 1, t);
    }
  };
  db(1, 1);
  return seq.substr(0, n);
}

}  // namespace pbo_test
