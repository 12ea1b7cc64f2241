// UnpackArchive on the in-memory platform: output folder, reading with and
// without product header, entry kinds, progress, the mismatch box, and the
// failures that must be reported instead of passing as success.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive_builder.h"
#include "memory_platform.h"
#include "workflow/workflows.h"

namespace pbo_test {
namespace {

constexpr char kArchive[] = "C:\\game\\O.pbo";
constexpr char kDest[] = "C:\\tmp\\unpack";
constexpr char kOut[] = "C:\\tmp\\unpack\\O";

MemoryPlatform WithArchive(const std::vector<uint8_t>& archive) {
  MemoryPlatform p;
  p.AddFile(kArchive, archive);
  p.AddFolder(kDest);
  return p;
}

TEST(Unpack, MissingArchiveIsReportedAndNothingIsSent) {
  for (bool folder_there : {false, true}) {
    MemoryPlatform p;
    if (folder_there) p.AddFolder(kArchive);  // a folder is no archive
    EXPECT_FALSE(pbo::UnpackArchive(p, kArchive, kDest));
    EXPECT_EQ(p.reports, std::vector<std::string>{
                             "box File does not exists: \r\nC:\\game\\O.pbo\r\n"
                             "Process abortred."});
  }
}

TEST(Unpack, OutputFolderIsNamedAfterTheArchive) {
  struct Case {
    const char* archive;
    const char* destination;
    const char* file;
  } cases[] = {
      {"C:\\game\\O.pbo", "C:\\tmp\\unpack", "C:\\tmp\\unpack\\O\\a.txt"},
      {"C:\\game\\O.pbo", "C:\\tmp\\unpack\\", "C:\\tmp\\unpack\\O\\a.txt"},
      {"C:\\game\\O.pbo", "", "C:\\game\\O\\a.txt"},
      {"C:\\game\\O.pbo", nullptr, "C:\\game\\O\\a.txt"},
      {"C:\\game\\my.data.pbo", "", "C:\\game\\my.data\\a.txt"},
      {"C:\\game.v2\\O", "C:\\x", "C:\\x\\O\\a.txt"},
      {"C:\\game.v2\\O.pbo", "", "C:\\game.v2\\O\\a.txt"},
  };
  for (const Case& c : cases) {
    MemoryPlatform p;
    p.AddFile(c.archive, BuildArchive({Stored("a.txt", "abc")}));
    EXPECT_TRUE(pbo::UnpackArchive(p, c.archive, c.destination)) << c.archive;
    EXPECT_EQ(p.Content(c.file), "abc") << c.file;
  }
}

TEST(Unpack, ProductHeaderIsSkippedOnlyWhenItsMarkerIsThere) {
  for (bool marked : {true, false}) {
    std::vector<uint8_t> header(46, 0);
    std::string marker = marked ? "Vavoziveve" : "Vavozivev\xA5";
    std::copy(marker.begin(), marker.end(), header.begin() + 34);
    MemoryPlatform p = WithArchive(BuildArchive({Stored("a.txt", "abc")}, header));
    // Read from offset 0, the zero first byte is a terminating entry.
    EXPECT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
    EXPECT_EQ(p.Exists("C:\\tmp\\unpack\\O\\a.txt"), marked);
  }
}

TEST(Unpack, EntryKindsAndNamesAreWrittenOut) {
  std::vector<uint8_t> spaces = {0x00, 0x01, 0x0F, 0x40, 0x02, 0x00, 0x00};
  MemoryPlatform p = WithArchive(BuildArchive({
      Stored("a.txt", "plain"),
      Stored("odd\\method.bin", "copied as is", 0x12345678),
      Compressed("empty.bin", 0, {}),  // no data at all
      Compressed("tex/spaces.txt", 18, spaces),
      Literal("tex/sub/lit.txt", "literals only"),
      Stored("last.txt", "end"),
  }));
  ASSERT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
  EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\a.txt"), "plain");
  EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\odd\\method.bin"), "copied as is");
  EXPECT_TRUE(p.IsFile("C:\\tmp\\unpack\\O\\empty.bin"));
  EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\empty.bin"), "");
  EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\tex\\spaces.txt"), std::string(18, ' '));
  EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\tex\\sub\\lit.txt"), "literals only");
  EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\last.txt"), "end");
  EXPECT_TRUE(p.boxes.empty());
  EXPECT_EQ(p.OpenHandles(), 0);
}

TEST(Unpack, OldOutputFolderIsRemovedButNotWhatItsLinksLeadTo) {
  for (bool empty_archive : {false, true}) {
    MemoryPlatform p = WithArchive(
        BuildArchive(empty_archive ? std::vector<TestEntry>{}
                                   : std::vector<TestEntry>{Stored("a.txt", "new")}));
    p.AddFile("C:\\tmp\\unpack\\O\\a.txt", "old");
    p.AddFile("C:\\tmp\\unpack\\O\\stale\\deep\\gone.txt", "old");
    p.AddFile("C:\\keep\\kept.txt", "kept");
    p.AddLink("C:\\tmp\\unpack\\O\\stale\\link", "C:\\keep");
    ASSERT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
    EXPECT_EQ(p.Tree(kOut), empty_archive ? std::vector<std::string>{}
                                          : std::vector<std::string>{"a.txt"});
    EXPECT_EQ(p.Content("C:\\keep\\kept.txt"), "kept");
  }
}

TEST(Unpack, TimeStampsAreAppliedWhereTheYearAllows) {
  TestEntry dated = Stored("dated.txt", "d");
  dated.timestamp = 1120737600;  // 2005-07-07 12:00:00 UTC
  TestEntry early = Stored("early.txt", "e");
  early.timestamp = 0;  // 1970: left with the time it was written
  MemoryPlatform p = WithArchive(BuildArchive({dated, early}));
  ASSERT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
  EXPECT_EQ(p.LastWrite("C:\\tmp\\unpack\\O\\dated.txt"), kSampleFileTime);
  EXPECT_EQ(p.LastWrite("C:\\tmp\\unpack\\O\\early.txt"), kSampleFileTime + 1);
}

TEST(Unpack, StatusTextsAndProgressPointPerEntry) {
  MemoryPlatform p = WithArchive(BuildArchive(
      {Stored("a", std::string(100, 'a')), Stored("b", std::string(300, 'b'))}));
  ASSERT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
  EXPECT_EQ(p.reports, (std::vector<std::string>{
                           "range 0 1000", "pos 0", "text load file",
                           "text read entries", "text 0 %",
                           "pos 250", "text 25 %", "pump",
                           "pos 1000", "text 100 %", "pump"}));
}

// The decoder reports at multiples of 1000 bytes done over the whole call
// (counted from the stored entry before it), then the entry's own point.
TEST(Unpack, DecoderMakesPointsAtThousands) {
  MemoryPlatform p = WithArchive(BuildArchive(
      {Stored("a", std::string(200, 'a')), Literal("b", Unrepeating(3000))}));
  ASSERT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
  EXPECT_EQ(p.Positions(), (std::vector<int>{0, 62, 312, 625, 937, 1000}));
}

TEST(Unpack, EntriesWithoutBytesShowFullProgress) {
  MemoryPlatform p = WithArchive(
      BuildArchive({Stored("a", ""), Compressed("b", 0, {})}));
  ASSERT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
  EXPECT_EQ(p.Positions(), (std::vector<int>{0, 1000, 1000}));
  EXPECT_EQ(p.Texts(), (std::vector<std::string>{"load file", "read entries",
                                                 "0 %", "100 %", "100 %"}));
}

// A mismatch is shown with both sums as signed numbers; the file is written
// and the rest of the archive unpacked, and the call still succeeds.
TEST(Unpack, ChecksumMismatchIsShownAndUnpackingGoesOn) {
  struct Case {
    uint32_t stored;
    const char* shown;
  } cases[] = {{295, "295"}, {0xFFFFFFFFu, "-1"}, {0x80000000u, "-2147483648"}};
  for (const Case& c : cases) {
    TestEntry abc = Literal("tex\\abc.txt", "abc");
    for (int i = 0; i < 4; ++i) abc.data[4 + i] = static_cast<uint8_t>(c.stored >> (8 * i));
    MemoryPlatform p = WithArchive(BuildArchive({abc, Stored("next", "n")}));
    EXPECT_TRUE(pbo::UnpackArchive(p, kArchive, kDest));
    EXPECT_EQ(p.boxes, std::vector<std::string>{
                           "CRC is not matched. File is corrupted: tex\\abc.txt\r\n"
                           "Original crc:\t" + std::string(c.shown) +
                           "\r\nCurrent crc:\t294"});
    EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\tex\\abc.txt"), "abc");
    EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\next"), "n");
  }
}

// Failures after the archive is open: a box naming the archive or the entry
// and the cause, result 0.
TEST(Unpack, FailuresAreReported) {
  std::vector<uint8_t> good = BuildArchive(
      {Stored("a.txt", std::string(1500, 'a')), Literal("b.txt", "bbbb")});
  std::vector<uint8_t> cut_table(good.begin(), good.begin() + 30);
  std::vector<uint8_t> cut_data(good.begin(), good.end() - 1000 - 11);
  using Setup = std::function<void(MemoryPlatform&)>;
  auto none = [](MemoryPlatform&) {};
  struct Case {
    const char* what;
    std::vector<uint8_t> archive;
    Setup setup;
    std::string box;
  } cases[] = {
      {"archive cannot be opened", good,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kOpenRead, 1); },
       "Cann't open file: \r\nC:\\game\\O.pbo\r\nFile can be opened by other process."},
      {"read error", good,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kPull, 1); },
       "Cann't read file: \r\nC:\\game\\O.pbo\r\nRead error."},
      {"header table cut off", cut_table, none,
       "Cann't read file: \r\nC:\\game\\O.pbo\r\nHeader table ends before its last entry."},
      {"stored data cut off", cut_data, none,
       "File is corrupted: \r\na.txt\r\nArchive ends before the end of its data."},
      {"file cannot be created", good,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kCreateWrite, 1); },
       "Cann't create file: \r\nC:\\tmp\\unpack\\O\\a.txt\r\n"
       "File can be opened by other process."},
      {"write fails", good,
       [](MemoryPlatform& p) {
         p.FailPath(MemoryPlatform::kWrite, "C:\\tmp\\unpack\\O\\b.txt");
       },
       "Cann't write file: \r\nC:\\tmp\\unpack\\O\\b.txt\r\nWrite error."},
      {"close fails", good,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kClose, 1); },
       "Cann't write file: \r\nC:\\tmp\\unpack\\O\\a.txt\r\nWrite error."},
      {"output folder cannot be created", good,
       [](MemoryPlatform& p) { p.FailCall(MemoryPlatform::kCreateFolders, 1); },
       "Cann't create directory: \r\nC:\\tmp\\unpack\\O\r\nProcess abortred."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform p = WithArchive(c.archive);
    c.setup(p);
    EXPECT_FALSE(pbo::UnpackArchive(p, kArchive, kDest));
    EXPECT_EQ(p.boxes, std::vector<std::string>{c.box});
    EXPECT_EQ(p.OpenHandles(), 0);
  }
}

TEST(Unpack, DataThatDoesNotDecodeIsReportedAfterWritingWhatDecoded) {
  struct Case {
    const char* what;
    int32_t original_size;
    std::vector<uint8_t> data;
    std::string decoded;
  } cases[] = {
      // flag 01: literal 'x', then a reference 00 00 of distance 0
      {"zero distance", 10, {0x01, 'x', 0x00, 0x00}, "x"},
      // flag 00: a reference of length 18 where only 4 bytes are wanted
      {"past the original size", 4, {0x00, 0x01, 0x0F}, ""},
      // flag FF: two of four literals, then the archive ends
      {"data ends", 4, {0xFF, 'a', 'b'}, "ab"},
      // all four literals, then two of the four checksum bytes
      {"checksum cut", 4, {0x0F, 'a', 'b', 'c', 'd', 0x8A, 0x01}, "abcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform p = WithArchive(
        BuildArchive({Compressed("bad.bin", c.original_size, c.data),
                      Stored("after.txt", "")}));
    EXPECT_FALSE(pbo::UnpackArchive(p, kArchive, kDest));
    ASSERT_EQ(p.boxes.size(), 1u);
    EXPECT_EQ(p.boxes[0].rfind("File is corrupted: \r\nbad.bin\r\n", 0), 0u) << p.boxes[0];
    EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\bad.bin"), c.decoded);
    EXPECT_FALSE(p.Exists("C:\\tmp\\unpack\\O\\after.txt"));
  }
}

// An entry whose folder cannot be made is reported and passed over; the
// entries after it are still found and written, and the call fails.
TEST(Unpack, EntryWhoseFolderFailsIsSkippedAndTheRestFollow) {
  for (bool compressed : {false, true}) {
    TestEntry blocked = compressed ? Literal("x\\blocked.txt", "skip me please")
                                   : Stored("x\\blocked.txt", "skip me please");
    MemoryPlatform p = WithArchive(
        BuildArchive({Stored("x", "a file where the folder should be"), blocked,
                      Stored("after.txt", "after"), Literal("more.txt", "more")}));
    EXPECT_FALSE(pbo::UnpackArchive(p, kArchive, kDest));
    EXPECT_EQ(p.boxes, std::vector<std::string>{
                           "Cann't create directory: \r\nC:\\tmp\\unpack\\O\\x\r\n"
                           "File is not unpacked: x\\blocked.txt"});
    EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\after.txt"), "after");
    EXPECT_EQ(p.Content("C:\\tmp\\unpack\\O\\more.txt"), "more");
    EXPECT_EQ(p.Positions().back(), 1000);
  }
}

// Names that would reach outside the output folder, or that Windows would
// take for something else, refuse the whole archive before the old output
// folder is touched.
TEST(Unpack, UnsafeNamesRefuseTheArchiveBeforeAnythingChanges) {
  const char* bad[] = {
      "\\rooted.txt", "a\\\\b.txt", "dir\\", "C:x.txt", "C:\\abs.txt",
      "\\\\server\\share\\x", "\\\\?\\C:\\x", "\\\\.\\PhysicalDrive0",
      "..\\up.txt", "a\\..\\..\\up.txt", ".\\here.txt", "a\\.\\b", "..",
      "file.txt:stream", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b",
      "tab\there", "bell\a", "trail.", "trail \\x", "dots...\\x",
      "CON", "con.txt", "tex\\Nul.paa", "aux\\x", "PRN.", "COM1", "lpt9.log",
      "com0", "CONIN$", "conout$.txt", "COM\xB9", "CON .txt",
      "../slash.txt",  // read as ..\slash.txt
  };
  for (const char* name : bad) {
    SCOPED_TRACE(name);
    MemoryPlatform p = WithArchive(
        BuildArchive({Stored("fine.txt", "ok"), Stored(name, "evil")}));
    p.AddFile("C:\\tmp\\unpack\\O\\old.txt", "old");
    EXPECT_FALSE(pbo::UnpackArchive(p, kArchive, kDest));
    std::string shown = name;
    for (char& ch : shown) {
      if (ch == '/') ch = '\\';
    }
    ASSERT_EQ(p.boxes.size(), 1u);
    EXPECT_EQ(p.boxes[0].rfind("Unsafe file name in archive: \r\n" + shown + "\r\n", 0), 0u)
        << p.boxes[0];
    EXPECT_EQ(p.Tree("C:\\tmp"), (std::vector<std::string>{
                                     "unpack\\", "unpack\\o\\", "unpack\\o\\old.txt"}));
  }
}

TEST(Unpack, OrdinaryNamesNearTheReservedOnesAreAccepted) {
  const char* good[] = {"con1", "COM10", "lpt", "x.con", "conin", "nul_",
                        "a.b\\c d.txt", ".hidden", "dir.v2\\x", " lead.txt",
                        "com", "auxiliary.txt"};
  for (const char* name : good) {
    MemoryPlatform p = WithArchive(BuildArchive({Stored(name, "ok")}));
    EXPECT_TRUE(pbo::UnpackArchive(p, kArchive, kDest)) << name;
    EXPECT_EQ(p.Content(std::string(kOut) + "\\" + name), "ok") << name;
  }
}

// An archive name without a stem would make the output folder the
// destination itself (or a parent of it), which would then be deleted.
TEST(Unpack, ArchiveNameThatGivesNoFolderIsRefused) {
  for (const char* archive : {"C:\\game\\.pbo", "C:\\game\\..pbo", "C:\\game\\...pbo"}) {
    SCOPED_TRACE(archive);
    MemoryPlatform p;
    p.AddFile(archive, BuildArchive({Stored("a.txt", "a")}));
    p.AddFile("C:\\tmp\\unpack\\keep.txt", "keep");
    for (const char* dest : {kDest, ""}) {
      EXPECT_FALSE(pbo::UnpackArchive(p, archive, dest));
      EXPECT_EQ(p.Content("C:\\tmp\\unpack\\keep.txt"), "keep");
      EXPECT_TRUE(p.IsFile(archive));
    }
    EXPECT_EQ(p.boxes.size(), 2u);
  }
}

TEST(Unpack, OutputFolderPathLongerThanTheLimitIsRefused) {
  std::string dest = "C:\\" + std::string(251, 'd');  // 254 characters
  MemoryPlatform p;
  p.AddFile(kArchive, BuildArchive({Stored("a.txt", "a")}));
  p.AddFolder(dest);
  p.AddFolder(dest + "\\O");
  EXPECT_FALSE(pbo::UnpackArchive(p, kArchive, dest.c_str()));
  EXPECT_EQ(p.boxes, std::vector<std::string>{"Cann't create directory: \r\n" + dest +
                                              "\\O\r\nPath is too long."});
  EXPECT_TRUE(p.IsFolder(dest + "\\O"));
  EXPECT_TRUE(p.IsFolder(dest));
}

}  // namespace
}  // namespace pbo_test
