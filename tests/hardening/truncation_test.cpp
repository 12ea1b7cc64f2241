// The sample archive cut at every byte offset and unpacked. Its last entry
// has data, so every cut short of the full length loses something and must
// be reported; what was written before the cut stays whole, and a file cut
// short stays only when the box names it.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "core/entry.h"
#include "fault_matrix.h"
#include "unpack_fixture.h"

namespace pbo_test {
namespace {

// Bytes before the data area: the prefix, each header entry and the
// terminating entry.
size_t HeaderEnd(size_t prefix) {
  size_t end = prefix + pbo::kEntryFixedSize;
  for (const SampleFile& f : SampleFiles()) end += f.name.size() + pbo::kEntryFixedSize;
  return end;
}

TEST(UnpackTruncated, EveryCutIsReportedAndLeavesOnlySoundFiles) {
  struct Variant {
    const char* what;
    std::vector<uint8_t> prefix;
    size_t max_pull;
  } variants[] = {
      {"plain archive", {}, 256},
      {"with product header", SampleProductHeader(), 256},
      {"plain archive, 7-byte reads", {}, 7},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.what);
    const std::vector<uint8_t> full = SampleArchive(v.prefix);
    const size_t header_end = HeaderEnd(v.prefix.size());
    for (size_t cut = 0; cut <= full.size(); ++cut) {
      SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(full.size()));
      MemoryPlatform p = UnpackPlatform(
          std::vector<uint8_t>(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut)));
      p.max_pull = v.max_pull;
      Snapshot before = TakeSnapshot(p);
      bool result = RunUnpack(p);
      EXPECT_EQ(result, cut == full.size());
      ExpectSoundUnpack(p, before, result);
      // A header table that ends early is found before the old output
      // folder is touched.
      if (cut < header_end) {
        EXPECT_EQ(TakeSnapshot(p), before);
      }
      if (HasFailure()) return;  // one cut tells the story
    }
    std::cout << "[ matrix   ] truncation, " << v.what << ": " << full.size()
              << " cuts\n";
  }
}

}  // namespace
}  // namespace pbo_test
