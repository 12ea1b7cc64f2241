// PackFolder in both modes on the in-memory platform: the preamble, the
// ".bak" rules, the archive bytes, scan order, progress, and the failures
// that must leave the previous archive in place.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive_builder.h"
#include "core/lzss_encode.h"
#include "memory_platform.h"
#include "workflow/workflows.h"

namespace pbo_test {
namespace {

using pbo::PackMode;
constexpr int32_t kSampleStamp = 1120737600;  // 2005-07-07 12:00:00 UTC

std::vector<TestEntry> Entries(MemoryPlatform& p, const std::string& archive) {
  std::vector<TestEntry> entries;
  EXPECT_TRUE(SplitArchive(p.Bytes(archive), &entries)) << archive;
  return entries;
}

std::vector<std::string> Names(const std::vector<TestEntry>& entries) {
  std::vector<std::string> names;
  for (const TestEntry& e : entries) names.push_back(e.name);
  return names;
}

TEST(PackPreamble, MissingFolderIsReportedWithThePathAsPassedAndNothingElse) {
  std::string long_source = "C:\\" + std::string(300, 'x');
  struct Case {
    const char* source;
    const char* destination;
    std::string named;
  } cases[] = {
      {"C:\\nope", "", "C:\\nope"},
      {"C:\\nope\\", nullptr, "C:\\nope\\"},
      {nullptr, nullptr, ""},
      {long_source.c_str(), "", long_source.substr(0, 255)},
      {"C:\\src", "D:\\out", "D:\\out"},  // no backslash added
  };
  for (const Case& c : cases) {
    for (PackMode mode : {PackMode::kStored, PackMode::kCompressed}) {
      MemoryPlatform p;
      p.AddFile("C:\\src\\a.txt", "a");
      EXPECT_FALSE(pbo::PackFolder(p, c.source, c.destination, mode));
      EXPECT_EQ(p.reports, std::vector<std::string>{
                               "box Directory does not exists: \r\n" + c.named +
                               "\r\nProcess abortred."});
      EXPECT_EQ(p.Tree("C:"), (std::vector<std::string>{"src\\", "src\\a.txt"}));
    }
  }
}

TEST(PackPreamble, OutputPathFollowsSourceAndDestination) {
  struct Case {
    const char* source;
    const char* destination;
    const char* archive;
  } cases[] = {
      {"C:\\work\\O\\", "", "C:\\work\\O.pbo"},
      {"C:\\work\\O", nullptr, "C:\\work\\O.pbo"},
      {"C:\\work\\O", "D:\\out", "D:\\out\\O.pbo"},
      {"C:\\work\\O\\", "D:\\out\\", "D:\\out\\O.pbo"},
  };
  for (const Case& c : cases) {
    MemoryPlatform p;
    p.AddFile("C:\\work\\O\\a.txt", "abc");
    p.AddFolder("D:\\out");
    ASSERT_TRUE(pbo::PackFolder(p, c.source, c.destination, PackMode::kStored))
        << c.source;
    EXPECT_EQ(Names(Entries(p, c.archive)), std::vector<std::string>{"a.txt"});
  }
}

TEST(PackPreamble, OldArchiveMovesToBakReplacingAnOlderBackup) {
  MemoryPlatform p;
  p.AddFile("C:\\w\\O\\a.txt", "new");
  p.AddFile("C:\\w\\O.pbo", "previous archive");
  p.AddFile("C:\\w\\O.pbo.bak", "older backup");
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\w\\O", "", PackMode::kStored));
  EXPECT_EQ(p.Content("C:\\w\\O.pbo.bak"), "previous archive");
  EXPECT_EQ(Names(Entries(p, "C:\\w\\O.pbo")), std::vector<std::string>{"a.txt"});

  // Without an archive of that name an old backup is left alone.
  MemoryPlatform q;
  q.AddFile("C:\\w\\O\\a.txt", "new");
  q.AddFile("C:\\w\\O.pbo.bak", "older backup");
  ASSERT_TRUE(pbo::PackFolder(q, "C:\\w\\O", "", PackMode::kStored));
  EXPECT_EQ(q.Content("C:\\w\\O.pbo.bak"), "older backup");
}

TEST(PackPreamble, BackupThatCannotBeMadeStopsWithNothingChanged) {
  for (auto op : {MemoryPlatform::kDeleteFile, MemoryPlatform::kRenameFile}) {
    MemoryPlatform p;
    p.AddFile("C:\\w\\O\\a.txt", "new");
    p.AddFile("C:\\w\\O.pbo", "previous archive");
    p.AddFile("C:\\w\\O.pbo.bak", "older backup");
    p.FailCall(op, 1);
    EXPECT_FALSE(pbo::PackFolder(p, "C:\\w\\O", "", PackMode::kStored));
    EXPECT_EQ(p.boxes, std::vector<std::string>{
                           "Cann't create backup file: \r\nC:\\w\\O.pbo.bak\r\n"
                           "File can be opened by other process."});
    EXPECT_EQ(p.Content("C:\\w\\O.pbo"), "previous archive");
    if (op == MemoryPlatform::kDeleteFile) {
      EXPECT_EQ(p.Content("C:\\w\\O.pbo.bak"), "older backup");
    }
  }
}

TEST(PackPreamble, OutputThatCannotBeCreatedPutsTheBackupBack) {
  MemoryPlatform p;
  p.AddFile("C:\\w\\O\\a.txt", "new");
  p.AddFile("C:\\w\\O.pbo", "previous archive");
  p.FailCall(MemoryPlatform::kCreateWrite, 1);
  EXPECT_FALSE(pbo::PackFolder(p, "C:\\w\\O", "", PackMode::kStored));
  EXPECT_EQ(p.boxes, std::vector<std::string>{
                         "Cann't create file: \r\nC:\\w\\O.pbo\r\n"
                         "File can be opened by other process."});
  EXPECT_EQ(p.Content("C:\\w\\O.pbo"), "previous archive");
  EXPECT_FALSE(p.Exists("C:\\w\\O.pbo.bak"));
  // The bar was set up before the failure; the label was not touched.
  EXPECT_EQ(p.Positions(), std::vector<int>{0});
  EXPECT_TRUE(p.Texts().empty());

  // A folder in the archive's place cannot be replaced by a file.
  MemoryPlatform q;
  q.AddFile("C:\\w\\O\\a.txt", "new");
  q.AddFolder("C:\\w\\O.pbo");
  EXPECT_FALSE(pbo::PackFolder(q, "C:\\w\\O", "", PackMode::kCompressed));
  ASSERT_EQ(q.boxes.size(), 1u);
  EXPECT_TRUE(q.IsFolder("C:\\w\\O.pbo"));
}

// The stored archive, byte for byte: entries in scan order (a subfolder's
// files where the subfolder was listed), method 0, original size 0, the time
// stamp, the data size; then the data of the non-empty files.
TEST(PackStored, ArchiveBytesFollowScanOrder) {
  MemoryPlatform p;
  p.AddFile("C:\\src\\z.txt", "zz");
  p.AddFile("C:\\src\\tex\\b.paa", "bbb");
  p.AddFile("C:\\src\\tex\\deep\\c", "c");
  p.AddFile("C:\\src\\empty", "");
  p.AddFolder("C:\\src\\nothing\\inside");
  p.SetListingOrder("C:\\src", {"tex", "z.txt", "nothing", "empty"});
  p.SetListingOrder("C:\\src\\tex", {"deep", "b.paa"});
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", PackMode::kStored));

  std::vector<uint8_t> expected;
  auto entry = [&](const std::string& name, uint32_t size) {
    expected.insert(expected.end(), name.begin(), name.end());
    uint8_t fields[21] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0x40, 0x19, 0xCD, 0x42,  // time stamp 1120737600
                          static_cast<uint8_t>(size), 0, 0, 0};
    expected.insert(expected.end(), fields, fields + 21);
  };
  entry("tex\\deep\\c", 1);
  entry("tex\\b.paa", 3);
  entry("z.txt", 2);
  entry("empty", 0);
  expected.insert(expected.end(), 21, 0);
  for (char c : std::string("cbbbzz")) expected.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(p.Bytes("C:\\src.pbo"), expected);
  EXPECT_TRUE(p.boxes.empty());
  EXPECT_EQ(p.OpenHandles(), 0);
}

TEST(PackBoth, FolderWithoutFilesGivesTheTerminatingEntryAlone) {
  for (PackMode mode : {PackMode::kStored, PackMode::kCompressed}) {
    MemoryPlatform p;
    p.AddFolder("C:\\src\\sub\\subsub");
    ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", mode));
    EXPECT_EQ(p.Bytes("C:\\src.pbo"), std::vector<uint8_t>(21, 0));
    EXPECT_EQ(p.reports, (std::vector<std::string>{"range 0 1000", "pos 0",
                                                   "text read entries"}));
  }
}

// The abc.txt example: header entry with the provisional size replaced by
// the compressed length 8 at offset 7 + 17, then the terminator, then one
// group of three literals and the checksum 294.
TEST(PackCompressed, SingleSmallFileGivesTheKnownBytes) {
  MemoryPlatform p;
  p.AddFile("C:\\src\\abc.txt", "abc");
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", PackMode::kCompressed));
  std::vector<uint8_t> expected = Bytes("abc.txt");
  uint8_t fields[21] = {0,                       // end of the name
                        0x73, 0x72, 0x70, 0x43,  // method "srpC"
                        3,    0,    0,    0,     // original size
                        0,    0,    0,    0,     // reserved
                        0x40, 0x19, 0xCD, 0x42,  // time stamp 1120737600
                        8,    0,    0,    0};    // data size, at offset 24
  expected.insert(expected.end(), fields, fields + 21);
  expected.insert(expected.end(), 21, 0);
  for (uint8_t b : {0x07, 0x61, 0x62, 0x63, 0x26, 0x01, 0x00, 0x00}) expected.push_back(b);
  EXPECT_EQ(p.Bytes("C:\\src.pbo"), expected);
}

TEST(PackCompressed, DataIsTheEncoderOutputAndEachSizeLandsInItsOwnEntry) {
  MemoryPlatform p;
  std::string first = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";  // name of 5
  std::string second = "the quick brown fox jumps over the lazy dog " + first;
  p.AddFile("C:\\src\\1.txt", first);
  p.AddFile("C:\\src\\22222.txt", second);  // name of 9
  p.AddFile("C:\\src\\empty", "");
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", PackMode::kCompressed));
  std::vector<uint8_t> archive = p.Bytes("C:\\src.pbo");
  std::vector<TestEntry> entries = Entries(p, "C:\\src.pbo");
  ASSERT_EQ(entries.size(), 3u);
  const std::string* contents[] = {&first, &second, nullptr};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i].method, kSrpc);
    EXPECT_EQ(entries[i].timestamp, kSampleStamp);
    if (contents[i] == nullptr) {  // empty file: sizes 0, no data at all
      EXPECT_EQ(entries[i].original_size, 0);
      EXPECT_TRUE(entries[i].data.empty());
      continue;
    }
    const std::string& c = *contents[i];
    EXPECT_EQ(entries[i].original_size, static_cast<int32_t>(c.size()));
    EXPECT_EQ(entries[i].data,
              pbo::CompressBlock(reinterpret_cast<const uint8_t*>(c.data()), c.size()));
  }
  // Data sizes at 5 + 17 and, after the first entry's 5 + 21 bytes, at
  // 26 + 9 + 17.
  EXPECT_EQ(static_cast<size_t>(archive[22]), entries[0].data.size());
  EXPECT_EQ(static_cast<size_t>(archive[52]), entries[1].data.size());
}

TEST(PackStored, ProgressPointPerFileWithData) {
  MemoryPlatform p;
  p.AddFile("C:\\src\\a", std::string(100, 'a'));
  p.AddFile("C:\\src\\empty", "");
  p.AddFile("C:\\src\\b", std::string(300, 'b'));
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", PackMode::kStored));
  EXPECT_EQ(p.reports, (std::vector<std::string>{
                           "range 0 1000", "pos 0", "text read entries",
                           "pos 250", "text 25 %", "pump",
                           "pos 1000", "text 100 %", "pump"}));
}

// Encoder group ends make a progress point when the bytes done over the whole
// call reach a multiple of 1000; each file ends with a point of its own.
TEST(PackCompressed, ProgressAtThousandsOfTheWholeCallAndAtEachFileEnd) {
  MemoryPlatform p;
  p.AddFile("C:\\src\\a", Unrepeating(200));
  p.AddFile("C:\\src\\b", Unrepeating(3000));  // 375 groups of 8 literals
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", PackMode::kCompressed));
  // Total 3200: 200 (end of a), 1000, 2000, 3000, 3200 (end of b).
  EXPECT_EQ(p.Positions(), (std::vector<int>{0, 62, 312, 625, 937, 1000}));
  EXPECT_EQ(p.Texts(), (std::vector<std::string>{"read entries", "6 %", "31 %",
                                                 "62 %", "93 %", "100 %"}));
}

TEST(PackBoth, NamesAreRelativeAndLongOnesAreCutWithTheRightData) {
  std::string long_name = std::string(150, 'd') + "\\" + std::string(150, 'f');
  for (PackMode mode : {PackMode::kStored, PackMode::kCompressed}) {
    MemoryPlatform p;
    p.AddFile("C:\\src\\" + long_name, "long");
    ASSERT_TRUE(pbo::PackFolder(p, "C:\\src\\", "", mode));
    std::vector<TestEntry> entries = Entries(p, "C:\\src.pbo");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, long_name.substr(0, 255));
    EXPECT_EQ(entries[0].data_size, mode == PackMode::kStored ? 4 : 9);
    EXPECT_TRUE(p.boxes.empty());
  }
}

TEST(PackBoth, TableGrowsPastTenThousandFiles) {
  MemoryPlatform p;
  for (int i = 0; i < 10001; ++i) p.AddFile("C:\\src\\f" + std::to_string(i), "x");
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", PackMode::kStored));
  std::vector<TestEntry> entries = Entries(p, "C:\\src.pbo");
  ASSERT_EQ(entries.size(), 10001u);
  EXPECT_EQ(entries.back().name, "f10000");
}

TEST(PackBoth, FolderLinksLeadingBackAreNotEnteredAgain) {
  MemoryPlatform p;
  p.AddFile("C:\\src\\a.txt", "a");
  p.AddFile("C:\\src\\sub\\b.txt", "b");
  p.AddLink("C:\\src\\sub\\up", "C:\\src");         // back to the source
  p.AddLink("C:\\src\\sub\\self", "C:\\src\\sub");  // back to its own folder
  p.AddFile("C:\\other\\c.txt", "c");
  p.AddLink("C:\\src\\ext", "C:\\other");  // elsewhere: scanned like a folder
  ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "", PackMode::kStored));
  EXPECT_EQ(Names(Entries(p, "C:\\src.pbo")),
            (std::vector<std::string>{"a.txt", "sub\\b.txt", "ext\\c.txt"}));
}

TEST(PackBoth, ArchiveAndBackupInsideTheSourceAreNotPacked) {
  for (PackMode mode : {PackMode::kStored, PackMode::kCompressed}) {
    MemoryPlatform p;
    p.AddFile("C:\\src\\a.txt", "a");
    p.AddFile("C:\\src\\out\\src.pbo", "previous archive");
    p.AddFile("C:\\src\\out\\other.pbo", "o");
    ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "C:\\src\\OUT", mode));
    EXPECT_EQ(Names(Entries(p, "C:\\src\\out\\src.pbo")),
              (std::vector<std::string>{"a.txt", "out\\other.pbo"}));
    EXPECT_EQ(p.Content("C:\\src\\out\\src.pbo.bak"), "previous archive");
  }
}

// Failures once the output exists: an error box naming the file and the
// cause, the partial archive removed, the previous archive back in place.
TEST(PackBoth, FailureAfterCreationRestoresThePreviousArchive) {
  using Setup = std::function<void(MemoryPlatform&)>;
  struct Case {
    const char* what;
    PackMode mode;
    Setup setup;
    std::string box;
  } cases[] = {
      {"source cannot be opened", PackMode::kStored,
       [](MemoryPlatform& p) { p.FailPath(MemoryPlatform::kOpenRead, "C:\\w\\O\\b"); },
       "Cann't open file: \r\nC:\\w\\O\\b\r\nFile can be opened by other process."},
      {"read error", PackMode::kCompressed,
       [](MemoryPlatform& p) { p.FailPath(MemoryPlatform::kPull, "C:\\w\\O\\b"); },
       "Cann't read file: \r\nC:\\w\\O\\b\r\nRead error."},
      {"file grew since the scan", PackMode::kStored,
       [](MemoryPlatform& p) {
         p.before_call = [&p](MemoryPlatform::Op op, const std::string& path) {
           if (op == MemoryPlatform::kOpenRead && path == "C:\\w\\O\\b") {
             p.before_call = nullptr;
             p.AddFile(path, std::string(3000, 'B'));
           }
         };
       },
       "Cann't read file: \r\nC:\\w\\O\\b\r\nFile size has changed."},
      {"file shrank since the scan", PackMode::kCompressed,
       [](MemoryPlatform& p) {
         p.before_call = [&p](MemoryPlatform::Op op, const std::string& path) {
           if (op == MemoryPlatform::kOpenRead && path == "C:\\w\\O\\b") {
             p.before_call = nullptr;
             p.AddFile(path, "B");
           }
         };
       },
       "Cann't read file: \r\nC:\\w\\O\\b\r\nFile size has changed."},
      {"file of 2 GiB", PackMode::kStored,
       [](MemoryPlatform& p) { p.SetListedSize("C:\\w\\O\\b", 0x80000000ull); },
       "Cann't pack file: \r\nC:\\w\\O\\b\r\nFile is 2 GB or larger."},
      {"short write (disk full)", PackMode::kStored,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kWrite, 3); },
       "Cann't write file: \r\nC:\\w\\O.pbo\r\nWrite error."},
      {"header write", PackMode::kCompressed,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kWrite, 1); },
       "Cann't write file: \r\nC:\\w\\O.pbo\r\nWrite error."},
      {"size field write", PackMode::kCompressed,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kWriteAt, 2); },
       "Cann't write file: \r\nC:\\w\\O.pbo\r\nWrite error."},
      {"close", PackMode::kStored,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kClose, 1); },
       "Cann't write file: \r\nC:\\w\\O.pbo\r\nWrite error."},
  };
  for (const Case& c : cases) {
    for (bool had_archive : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (had_archive ? ", old archive" : ""));
      MemoryPlatform p;
      p.AddFile("C:\\w\\O\\a", std::string(1500, 'a'));
      p.AddFile("C:\\w\\O\\b", std::string(2500, 'b'));
      if (had_archive) p.AddFile("C:\\w\\O.pbo", "previous archive");
      c.setup(p);
      EXPECT_FALSE(pbo::PackFolder(p, "C:\\w\\O", "", c.mode));
      EXPECT_EQ(p.boxes, std::vector<std::string>{c.box});
      EXPECT_EQ(p.Exists("C:\\w\\O.pbo"), had_archive);
      if (had_archive) {
        EXPECT_EQ(p.Content("C:\\w\\O.pbo"), "previous archive");
      }
      EXPECT_FALSE(p.Exists("C:\\w\\O.pbo.bak"));
      EXPECT_EQ(p.OpenHandles(), 0);
    }
  }
}

TEST(PackBoth, BackupThatCannotBeMovedBackIsNamedInTheBox) {
  MemoryPlatform p;
  p.AddFile("C:\\w\\O\\a", "a");
  p.AddFile("C:\\w\\O.pbo", "previous archive");
  p.FailCall(MemoryPlatform::kClose, 1);
  p.FailCall(MemoryPlatform::kRenameFile, 2);  // the move back
  EXPECT_FALSE(pbo::PackFolder(p, "C:\\w\\O", "", PackMode::kStored));
  EXPECT_EQ(p.boxes, std::vector<std::string>{
                         "Cann't write file: \r\nC:\\w\\O.pbo\r\nWrite error.\r\n"
                         "Previous archive is kept as: \r\nC:\\w\\O.pbo.bak"});
  EXPECT_EQ(p.Content("C:\\w\\O.pbo.bak"), "previous archive");
}

}  // namespace
}  // namespace pbo_test
