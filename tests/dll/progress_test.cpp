// What the caller's progress bar and label receive during a call, in order,
// and how the message pump treats the caller's queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "harness.h"

namespace pbotest {
namespace {

using Trace = std::vector<std::string>;

// Bytes in which no three-byte sequence occurs twice, so the encoder finds
// no match and every group holds eight literals (8 input bytes per group).
std::string Incompressible(size_t n) {
  std::string out;
  std::unordered_set<uint32_t> seen;
  uint32_t state = 12345;
  while (out.size() < n) {
    state = state * 1103515245u + 12345u;
    const char c = static_cast<char>(state >> 16);
    if (out.size() >= 2) {
      const uint32_t key = uint32_t{static_cast<uint8_t>(out[out.size() - 2])} << 16 |
                           uint32_t{static_cast<uint8_t>(out.back())} << 8 |
                           static_cast<uint8_t>(c);
      if (!seen.insert(key).second) continue;
    }
    out.push_back(c);
  }
  return out;
}

class ProgressTest : public testing::Test {
 protected:
  Library lib_;
  Windows windows_;
  BoxWatcher watcher_;
  ScratchFolder scratch_;
};

TEST_F(ProgressTest, PackersReportOncePerFileWithData) {
  WriteFileText(scratch_ / "O\\a.txt", std::string(100, 'a'));
  WriteFileText(scratch_ / "O\\b.txt", std::string(300, 'b'));
  WriteFileText(scratch_ / "O\\empty.txt", "");  // no progress point
  // The first point depends on which file the system lists first.
  const std::vector<std::string> listed = ListingOrder(scratch_ / "O");
  const bool a_first = std::find(listed.begin(), listed.end(), "a.txt") <
                       std::find(listed.begin(), listed.end(), "b.txt");
  const Trace want = {"range 0..1000", "pos 0",    "text read entries",
                      a_first ? "pos 250" : "pos 750",
                      a_first ? "text 25 %" : "text 75 %",
                      "pos 1000",      "text 100 %"};
  for (PFN_PackPbo fn : {lib_.pack, lib_.compress}) {
    windows_.Clear();
    ASSERT_EQ(fn(windows_.owner, (scratch_ / "O").c_str(), "", windows_.bar,
                 windows_.label),
              1);
    EXPECT_EQ(windows_.Trace(), want);
    DeleteFileA((scratch_ / "O.pbo").c_str());
  }
}

TEST_F(ProgressTest, PackerWithoutDataStopsAtReadEntries) {
  WriteFileText(scratch_ / "O\\empty.txt", "");
  for (PFN_PackPbo fn : {lib_.pack, lib_.compress}) {
    windows_.Clear();
    ASSERT_EQ(fn(windows_.owner, (scratch_ / "O").c_str(), "", windows_.bar,
                 windows_.label),
              1);
    EXPECT_EQ(windows_.Trace(),
              (Trace{"range 0..1000", "pos 0", "text read entries"}));
    DeleteFileA((scratch_ / "O.pbo").c_str());
  }
}

// 3000 incompressible bytes are 375 groups of eight literals: the bytes done
// reach 1000, 2000 and 3000 at group ends, each a progress point, and the
// end of the file makes one more. Decoding the archive reports the same.
TEST_F(ProgressTest, CompressedDataReportsAtEveryThousandBytes) {
  WriteFileText(scratch_ / "O\\x.bin", Incompressible(3000));
  ASSERT_EQ(lib_.compress(windows_.owner, (scratch_ / "O").c_str(), "",
                          windows_.bar, windows_.label),
            1);
  const Trace points = {"pos 333", "text 33 %", "pos 666", "text 66 %",
                        "pos 1000", "text 100 %", "pos 1000", "text 100 %"};
  Trace want = {"range 0..1000", "pos 0", "text read entries"};
  want.insert(want.end(), points.begin(), points.end());
  EXPECT_EQ(windows_.Trace(), want);

  windows_.Clear();
  MakeFolders(scratch_ / "out");
  ASSERT_EQ(lib_.decompress(windows_.owner, (scratch_ / "O.pbo").c_str(),
                            (scratch_ / "out").c_str(), windows_.bar,
                            windows_.label),
            1);
  want = {"range 0..1000", "pos 0", "text load file", "text read entries",
          "text 0 %"};
  want.insert(want.end(), points.begin(), points.end());
  EXPECT_EQ(windows_.Trace(), want);
  EXPECT_TRUE(watcher_.boxes().empty());
}

TEST_F(ProgressTest, UnpackerReportsAfterEveryEntry) {
  Bytes archive;
  AppendEntry(&archive, {"a.txt", 0, 0, 0, 0, 100});
  AppendEntry(&archive, {"b.txt", 0, 0, 0, 0, 300});
  AppendEntry(&archive, {"empty.txt", 0, 0, 0, 0, 0});
  AppendEntry(&archive, {});
  AppendText(&archive, std::string(100, 'a') + std::string(300, 'b'));
  WriteFileBytes(scratch_ / "O.pbo", archive);
  ASSERT_EQ(lib_.decompress(windows_.owner, (scratch_ / "O.pbo").c_str(), "",
                            windows_.bar, windows_.label),
            1);
  EXPECT_EQ(windows_.Trace(),
            (Trace{"range 0..1000", "pos 0", "text load file",
                   "text read entries", "text 0 %", "pos 250", "text 25 %",
                   "pos 1000", "text 100 %", "pos 1000", "text 100 %"}));
}

// A quit message waiting in the queue when a progress point pumps is taken
// and dropped: messages before it are delivered, pumping stops there, and
// the call ends with its normal result.
TEST_F(ProgressTest, QuitMessageEndsThePumpAndIsNotDeliveredAgain) {
  WriteFileText(scratch_ / "O\\a.txt", "abc");  // one progress point
  ASSERT_EQ(lib_.pack(windows_.owner, (scratch_ / "O").c_str(), "",
                      windows_.bar, windows_.label),
            1);
  struct Call {
    const char* name;
    std::function<BOOL()> run;
  };
  const std::string source = scratch_ / "O";
  const std::string archive = scratch_ / "O.pbo";
  const std::string out = scratch_ / "out";
  MakeFolders(out);
  const Call calls[] = {
      {"_PackPbo", [&] { return lib_.pack(windows_.owner, source.c_str(), out.c_str(), windows_.bar, windows_.label); }},
      {"_CompressPbo", [&] { return lib_.compress(windows_.owner, source.c_str(), out.c_str(), windows_.bar, windows_.label); }},
      {"_DecompressPbo", [&] { return lib_.decompress(windows_.owner, archive.c_str(), out.c_str(), windows_.bar, windows_.label); }},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.name);
    windows_.Clear();
    PostMessageA(windows_.owner, kMarker, 1, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
    PostMessageA(windows_.owner, kMarker, 2, 0);
    EXPECT_EQ(call.run(), 1);
    const Trace trace = windows_.Trace();
    EXPECT_EQ(trace.back(), "marker 1");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "marker 2"), 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the quit message is posted again";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, kMarker, kMarker, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
  }
  EXPECT_TRUE(watcher_.boxes().empty());
}

}  // namespace
}  // namespace pbotest
