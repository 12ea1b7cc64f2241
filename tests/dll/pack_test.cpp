// _PackPbo and _CompressPbo through the DLL: argument tests, output path and
// backup rules, archive bytes, time stamps, and what a failed pack leaves.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>

#include "harness.h"

namespace pbotest {
namespace {

const char kMissingFolder[] = "Directory does not exists: \r\n";
const char kAborted[] = "\r\nProcess abortred.";

// Both packers, called the same way.
struct Packer {
  const char* name;
  PFN_PackPbo Library::*fn;
};
const Packer kPackers[] = {{"_PackPbo", &Library::pack},
                           {"_CompressPbo", &Library::compress}};

class PackTest : public testing::Test {
 protected:
  BOOL Pack(const Packer& packer, const std::string& source,
            const std::string& destination) {
    return (lib_.*packer.fn)(windows_.owner, source.c_str(),
                             destination.c_str(), windows_.bar,
                             windows_.label);
  }

  Library lib_;
  Windows windows_;
  BoxWatcher watcher_;
  ScratchFolder scratch_;
};

TEST_F(PackTest, MissingFolderIsNamedAsPassedAndNothingHappens) {
  WriteFileText(scratch_ / "O\\a.txt", "abc");
  const std::string long_source =
      scratch_.path() + "\\" + std::string(300, 'L');
  struct Case {
    const char* what;
    std::string source, destination, named;
  };
  const Case cases[] = {
      {"missing source", scratch_ / "nope", "", scratch_ / "nope"},
      {"missing source with a backslash", scratch_ / "nope\\", "",
       scratch_ / "nope\\"},
      {"source over 255 characters, cut", long_source, "",
       long_source.substr(0, 255)},
      {"missing destination, no backslash added", scratch_ / "O",
       scratch_ / "out", scratch_ / "out"},
      {"destination is a file", scratch_ / "O", scratch_ / "O\\a.txt",
       scratch_ / "O\\a.txt"},
  };
  for (const Packer& packer : kPackers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(packer.name) + ": " + c.what);
      windows_.Clear();
      watcher_.Clear();
      EXPECT_EQ(Pack(packer, c.source, c.destination), 0);
      const std::vector<Box> boxes = watcher_.boxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].caption, "Error has occured");
      EXPECT_EQ(boxes[0].text, kMissingFolder + c.named + kAborted);
      EXPECT_EQ(boxes[0].owner, windows_.owner);
      EXPECT_TRUE(windows_.events().empty()) << "the bar or label was touched";
      EXPECT_EQ(ListFilesBelow(scratch_.path()),
                std::vector<std::string>{"O\\a.txt"});
    }
  }
}

TEST_F(PackTest, OutputPathFollowsSourceAndDestination) {
  WriteFileText(scratch_ / "work\\O\\a.txt", "abc");
  MakeFolders(scratch_ / "out");
  struct Case {
    std::string source, destination, archive;
  };
  const Case cases[] = {
      {scratch_ / "work\\O\\", "", "work\\O.pbo"},
      {scratch_ / "work\\O", "", "work\\O.pbo"},
      {scratch_ / "work\\O", scratch_ / "out", "out\\O.pbo"},
      {scratch_ / "work\\O", scratch_ / "out\\", "out\\O.pbo"},
  };
  for (const Packer& packer : kPackers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(packer.name) + ": " + c.source + " -> " +
                   c.destination);
      EXPECT_EQ(Pack(packer, c.source, c.destination), 1);
      EXPECT_EQ(ListFilesBelow(scratch_.path()),
                (std::vector<std::string>{c.archive, "work\\O\\a.txt"}));
      DeleteFileA((scratch_ / c.archive).c_str());
    }
  }
  EXPECT_TRUE(watcher_.boxes().empty());
}

TEST_F(PackTest, ExistingArchiveMovesToBakReplacingAnOlderBackup) {
  WriteFileText(scratch_ / "O\\a.txt", "abc");
  const std::string archive = scratch_ / "O.pbo";
  for (const Packer& packer : kPackers) {
    for (const bool older_backup : {false, true}) {
      SCOPED_TRACE(std::string(packer.name) +
                   (older_backup ? " with an older .bak" : " without .bak"));
      WriteFileText(archive, "previous archive");
      if (older_backup) WriteFileText(archive + ".bak", "older backup");
      EXPECT_EQ(Pack(packer, scratch_ / "O", ""), 1);
      Bytes bak, fresh;
      ASSERT_TRUE(ReadFileBytes(archive + ".bak", &bak));
      EXPECT_EQ(bak, ToBytes("previous archive"));
      ASSERT_TRUE(ReadFileBytes(archive, &fresh));
      size_t data = 0;
      ASSERT_EQ(ParseHeader(fresh, &data).size(), 1u);
      DeleteFileA((archive + ".bak").c_str());
    }
  }
  EXPECT_TRUE(watcher_.boxes().empty());
}

TEST_F(PackTest, OutputThatCannotBeCreatedIsReportedAfterTheRangeIsSet) {
  WriteFileText(scratch_ / "O\\a.txt", "abc");
  MakeFolders(scratch_ / "O.pbo");  // a folder where the archive should go
  for (const Packer& packer : kPackers) {
    SCOPED_TRACE(packer.name);
    windows_.Clear();
    watcher_.Clear();
    EXPECT_EQ(Pack(packer, scratch_ / "O", ""), 0);
    const std::vector<Box> boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Cann't create file: \r\n" + scratch_ / "O.pbo" +
                                 "\r\nFile can be opened by other process.");
    EXPECT_EQ(windows_.Trace(),
              (std::vector<std::string>{"range 0..1000", "pos 0"}));
  }
}

TEST_F(PackTest, SingleFileArchivesHaveExactBytes) {
  const std::string file = scratch_ / "O\\abc.txt";
  WriteFileText(file, "abc");
  SetLastWriteTicks(file, UtcTicks(2005, 7, 7, 12, 0, 0));
  const int32_t stamp = 1120737600 + DaylightShiftNow();
  auto header = [&](uint32_t method, int32_t original, int32_t size) {
    Bytes b;
    AppendEntry(&b, {"abc.txt", method, original, 0, stamp, size});
    AppendEntry(&b, {});
    return b;
  };
  Bytes stored = header(0, 0, 3);
  AppendText(&stored, "abc");
  Bytes compressed = header(kCompressed, 3, 8);
  // flag 07: three literals; then the checksum 0x61+0x62+0x63 = 294.
  compressed.insert(compressed.end(), {0x07, 'a', 'b', 'c', 0x26, 0x01, 0, 0});
  const Bytes* want[] = {&stored, &compressed};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(kPackers[i].name);
    EXPECT_EQ(Pack(kPackers[i], scratch_ / "O", ""), 1);
    Bytes got;
    ASSERT_TRUE(ReadFileBytes(scratch_ / "O.pbo", &got));
    EXPECT_EQ(got, *want[i]);
    DeleteFileA((scratch_ / "O.pbo").c_str());
  }
}

TEST_F(PackTest, FolderWithoutFilesGivesTheTerminatorAlone) {
  MakeFolders(scratch_ / "O\\empty\\deeper");
  for (const Packer& packer : kPackers) {
    SCOPED_TRACE(packer.name);
    EXPECT_EQ(Pack(packer, scratch_ / "O", ""), 1);
    Bytes got;
    ASSERT_TRUE(ReadFileBytes(scratch_ / "O.pbo", &got));
    EXPECT_EQ(got, Bytes(21, 0));
    DeleteFileA((scratch_ / "O.pbo").c_str());
  }
}

// Hidden, system and read-only files, a folder with extra attributes, an
// empty file and an empty folder: all files come back whole after a pack and
// an unpack, names relative with backslashes, in listing order.
TEST_F(PackTest, EveryKindOfFileSurvivesPackAndUnpack) {
  struct File {
    std::string name;
    std::string content;
    DWORD attributes;
  };
  std::string big(70000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
  const File files[] = {
      {"plain.txt", "plain", 0},
      {"hidden.txt", "hidden", FILE_ATTRIBUTE_HIDDEN},
      {"sys\\system.bin", "system", FILE_ATTRIBUTE_SYSTEM},
      {"tex\\ro.paa", "read-only", FILE_ATTRIBUTE_READONLY},
      {"attr\\inner\\c.txt", big, 0},
      {"empty.txt", "", 0},
  };
  for (const File& f : files) {
    WriteFileText(scratch_ / ("O\\" + f.name), f.content);
    if (f.attributes) SetFileAttributesA((scratch_ / ("O\\" + f.name)).c_str(), f.attributes);
  }
  SetFileAttributesA((scratch_ / "O\\attr").c_str(),
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  MakeFolders(scratch_ / "O\\void");

  // The expected entry order: listing order, subfolders expanded in place.
  std::vector<std::string> order;
  std::function<void(const std::string&, const std::string&)> walk =
      [&](const std::string& folder, const std::string& prefix) {
        for (const std::string& name : ListingOrder(folder)) {
          if (IsFolder(folder + "\\" + name)) {
            walk(folder + "\\" + name, prefix + name + "\\");
          } else {
            order.push_back(prefix + name);
          }
        }
      };
  walk(scratch_ / "O", "");

  for (const Packer& packer : kPackers) {
    SCOPED_TRACE(packer.name);
    ASSERT_EQ(Pack(packer, scratch_ / "O", scratch_.path()), 1);
    Bytes archive;
    ASSERT_TRUE(ReadFileBytes(scratch_ / "O.pbo", &archive));
    size_t data = 0;
    std::vector<std::string> names;
    for (const Entry& e : ParseHeader(archive, &data)) {
      names.push_back(e.name);
      if (e.name == "empty.txt") {
        EXPECT_EQ(e.data_size, 0);
      }
    }
    EXPECT_EQ(names, order);

    MakeFolders(scratch_ / "back");
    ASSERT_EQ(lib_.decompress(windows_.owner, (scratch_ / "O.pbo").c_str(),
                              (scratch_ / "back").c_str(), windows_.bar,
                              windows_.label),
              1);
    for (const File& f : files) {
      Bytes got;
      EXPECT_TRUE(ReadFileBytes(scratch_ / ("back\\O\\" + f.name), &got)) << f.name;
      EXPECT_EQ(got, ToBytes(f.content)) << f.name;
    }
    RemoveTree(scratch_ / "back");
    DeleteFileA((scratch_ / "O.pbo").c_str());
  }
  EXPECT_TRUE(watcher_.boxes().empty());
}

// A folder link that leads back to a folder being scanned is not entered
// again, so the scan ends and no file is packed twice.
TEST_F(PackTest, FolderLinkBackToAParentIsNotFollowed) {
  WriteFileText(scratch_ / "O\\sub\\a.txt", "abc");
  if (!MakeFolderLink(scratch_ / "O\\sub\\loop", scratch_ / "O")) {
    GTEST_SKIP() << "folder links are not available here";
  }
  for (const Packer& packer : kPackers) {
    SCOPED_TRACE(packer.name);
    ASSERT_EQ(Pack(packer, scratch_ / "O", scratch_.path()), 1);
    Bytes archive;
    ASSERT_TRUE(ReadFileBytes(scratch_ / "O.pbo", &archive));
    size_t data = 0;
    const std::vector<Entry> entries = ParseHeader(archive, &data);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "sub\\a.txt");
    DeleteFileA((scratch_ / "O.pbo").c_str());
  }
}

// Whatever the zone; while daylight saving is in effect the stamp is larger
// by the daylight shift (the local time is taken by today's rule, the zone's
// base bias alone is added back).
TEST_F(PackTest, TimeStampIsWholeUtcSecondsSince1970) {
  struct Case {
    uint64_t ticks;
    int32_t stamp;
  };
  const Case cases[] = {
      {UtcTicks(2005, 7, 7, 12, 0, 0), 1120737600},
      {UtcTicks(2005, 7, 7, 12, 0, 0) + 9999999, 1120737600},  // .9999999 s
      {UtcTicks(1970, 1, 1, 0, 0, 0), 0},
      {UtcTicks(1969, 12, 31, 23, 59, 59), -1},
      {UtcTicks(2038, 1, 19, 3, 14, 7), 2147483647},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string name = "f" + std::to_string(i);
    WriteFileText(scratch_ / ("O\\" + name), "x");
    SetLastWriteTicks(scratch_ / ("O\\" + name), cases[i].ticks);
  }
  ASSERT_EQ(lib_.pack(windows_.owner, (scratch_ / "O").c_str(), "",
                      windows_.bar, windows_.label),
            1);
  Bytes archive;
  ASSERT_TRUE(ReadFileBytes(scratch_ / "O.pbo", &archive));
  size_t data = 0;
  const std::vector<Entry> entries = ParseHeader(archive, &data);
  ASSERT_EQ(entries.size(), std::size(cases));
  for (const Entry& e : entries) {
    const size_t i = std::stoul(e.name.substr(1));
    EXPECT_EQ(e.timestamp,
              static_cast<int32_t>(static_cast<uint32_t>(cases[i].stamp) +
                                   static_cast<uint32_t>(DaylightShiftNow())))
        << "case " << i;
  }
}

// A source file that cannot be opened makes the pack fail: the partial
// archive goes and the archive that was there before is back in its place.
// Files are read only while nobody may write them, so a file another
// program has open for writing counts as one that cannot be opened.
TEST_F(PackTest, FailedPackPutsThePreviousArchiveBack) {
  WriteFileText(scratch_ / "O\\a.txt", "abc");
  const std::string locked = scratch_ / "O\\locked.txt";
  WriteFileText(locked, "nobody may read me");
  const std::string archive = scratch_ / "O.pbo";
  struct Lock {
    const char* what;
    DWORD access, share;
  };
  const Lock locks[] = {
      {"opened without sharing", GENERIC_READ, 0},
      {"opened for writing", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
  };
  for (const Lock& l : locks) {
    HANDLE lock = CreateFileA(locked.c_str(), l.access, l.share, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    for (const Packer& packer : kPackers) {
      SCOPED_TRACE(std::string(packer.name) + ", source file " + l.what);
      watcher_.Clear();
      WriteFileText(archive, "previous archive");
      EXPECT_EQ(Pack(packer, scratch_ / "O", ""), 0);
      const std::vector<Box> boxes = watcher_.boxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, "Cann't open file: \r\n" + locked +
                                   "\r\nFile can be opened by other process.");
      Bytes got;
      ASSERT_TRUE(ReadFileBytes(archive, &got));
      EXPECT_EQ(got, ToBytes("previous archive"));
      EXPECT_FALSE(Exists(archive + ".bak"));
    }
    CloseHandle(lock);
  }
}

// An archive that another program holds open cannot be moved to ".bak";
// the pack stops before touching it rather than truncating it.
TEST_F(PackTest, ArchiveHeldOpenIsLeftUntouched) {
  WriteFileText(scratch_ / "O\\a.txt", "abc");
  const std::string archive = scratch_ / "O.pbo";
  WriteFileText(archive, "previous archive");
  HANDLE hold = CreateFileA(archive.c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  for (const Packer& packer : kPackers) {
    SCOPED_TRACE(packer.name);
    watcher_.Clear();
    EXPECT_EQ(Pack(packer, scratch_ / "O", ""), 0);
    const std::vector<Box> boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("Cann't create backup file: \r\n" + archive +
                                      ".bak\r\n", 0),
              0u)
        << boxes[0].text;
  }
  CloseHandle(hold);
  Bytes got;
  ASSERT_TRUE(ReadFileBytes(archive, &got));
  EXPECT_EQ(got, ToBytes("previous archive"));
}

}  // namespace
}  // namespace pbotest
