// _DecompressPbo through the DLL: where the output goes, hand-made archives
// of every shape the reader accepts, the removal of an old output folder,
// file times, and the damaged or hostile archives it refuses.
#include <gtest/gtest.h>

#include <iterator>
#include <map>

#include "harness.h"

namespace pbotest {
namespace {

using Files = std::map<std::string, std::string>;

class UnpackTest : public testing::Test {
 protected:
  BOOL Unpack(const std::string& archive, const std::string& destination) {
    return lib_.decompress(windows_.owner, archive.c_str(),
                           destination.c_str(), windows_.bar, windows_.label);
  }
  // Every file below `folder` with its content.
  Files Contents(const std::string& folder) {
    Files out;
    for (const std::string& name : ListFilesBelow(folder)) {
      Bytes b;
      EXPECT_TRUE(ReadFileBytes(folder + "\\" + name, &b)) << name;
      out[name] = std::string(b.begin(), b.end());
    }
    return out;
  }
  // A one-entry stored archive holding a.txt = "abc".
  Bytes SmallArchive() {
    Bytes a;
    AppendEntry(&a, {"a.txt", 0, 0, 0, 0, 3});
    AppendEntry(&a, {});
    AppendText(&a, "abc");
    return a;
  }

  Library lib_;
  Windows windows_;
  BoxWatcher watcher_;
  ScratchFolder scratch_;
};

TEST_F(UnpackTest, OutputFolderIsNamedAfterTheArchive) {
  MakeFolders(scratch_ / "unpack");
  struct Case {
    std::string archive, destination, folder;
  };
  const Case cases[] = {
      {"O.pbo", scratch_ / "unpack", "unpack\\O"},
      {"O.pbo", scratch_ / "unpack\\", "unpack\\O"},
      {"O.pbo", "", "O"},
      {"two.dots.pbo", "", "two.dots"},
      {"dir.x\\O.pbo", "", "dir.x\\O"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive + " into '" + c.destination + "'");
    WriteFileBytes(scratch_ / c.archive, SmallArchive());
    EXPECT_EQ(Unpack(scratch_ / c.archive, c.destination), 1);
    EXPECT_EQ(Contents(scratch_ / c.folder), (Files{{"a.txt", "abc"}}));
    RemoveTree(scratch_ / c.folder);
    DeleteFileA((scratch_ / c.archive).c_str());
  }
  EXPECT_TRUE(watcher_.boxes().empty());
}

TEST_F(UnpackTest, MissingArchiveIsNamedAndNothingIsSent) {
  MakeFolders(scratch_ / "folder.pbo");  // a folder is not an archive
  for (const std::string& path : {scratch_ / "nope.pbo", scratch_ / "folder.pbo"}) {
    SCOPED_TRACE(path);
    watcher_.Clear();
    EXPECT_EQ(Unpack(path, ""), 0);
    const std::vector<Box> boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error has occured");
    EXPECT_EQ(boxes[0].text,
              "File does not exists: \r\n" + path + "\r\nProcess abortred.");
    EXPECT_EQ(boxes[0].owner, windows_.owner);
    EXPECT_TRUE(windows_.events().empty());
  }
}

TEST_F(UnpackTest, ReadsEveryAcceptedArchiveShape) {
  struct Case {
    const char* what;
    Bytes archive;
    Files files;
  };
  std::vector<Case> cases;
  {
    // 46-byte product header with the marker at 34, then a stored entry.
    Bytes a(34, 'p');
    AppendText(&a, "Vavoziveve");
    a.resize(46, 'q');
    const Bytes rest = SmallArchive();
    a.insert(a.end(), rest.begin(), rest.end());
    cases.push_back({"product header", a, {{"a.txt", "abc"}}});
  }
  {
    Bytes a;
    AppendEntry(&a, {"tex/sub/a.txt", 0, 0, 0, 0, 2});
    AppendEntry(&a, {"tex\\b.txt", 0, 0, 0, 0, 2});
    AppendEntry(&a, {});
    AppendText(&a, "AABB");
    cases.push_back({"forward slashes", a, {{"tex\\sub\\a.txt", "AA"}, {"tex\\b.txt", "BB"}}});
  }
  {
    Bytes a;
    AppendEntry(&a, {"zero.txt", 0, 0, 0, 0, 1});
    AppendEntry(&a, {"odd.txt", 0x12345678, 99, 7, 0, 2});
    AppendEntry(&a, {"near.txt", 0x43707272, 0, 0, 0, 3});
    AppendEntry(&a, {});
    AppendText(&a, "Z" "OD" "NRC");
    cases.push_back({"stored under odd packing methods", a,
                     {{"zero.txt", "Z"}, {"odd.txt", "OD"}, {"near.txt", "NRC"}}});
  }
  {
    // An empty compressed entry has no data at all: the next entry's data
    // follows directly. Then "abc" and 18 spaces compressed.
    Bytes a;
    AppendEntry(&a, {"empty.txt", kCompressed, 0, 0, 0, 0});
    AppendEntry(&a, {"abc.txt", kCompressed, 3, 0, 0, 8});
    AppendEntry(&a, {"spaces.txt", kCompressed, 18, 0, 0, 7});
    AppendEntry(&a, {"after.txt", 0, 0, 0, 0, 2});
    AppendEntry(&a, {});
    // flag 07: literals a b c; checksum 294
    a.insert(a.end(), {0x07, 'a', 'b', 'c', 0x26, 0x01, 0x00, 0x00});
    // flag 00: back reference distance 1, length 18 from before the start;
    // checksum 18 * 0x20 = 576
    a.insert(a.end(), {0x00, 0x01, 0x0F, 0x40, 0x02, 0x00, 0x00});
    AppendText(&a, "ok");
    cases.push_back({"compressed entries, one empty", a,
                     {{"empty.txt", ""}, {"abc.txt", "abc"},
                      {"spaces.txt", std::string(18, ' ')}, {"after.txt", "ok"}}});
  }
  {
    Bytes a;
    AppendEntry(&a, {});
    cases.push_back({"no entries", a, {}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(scratch_ / "O.pbo", c.archive);
    EXPECT_EQ(Unpack(scratch_ / "O.pbo", ""), 1);
    EXPECT_EQ(Contents(scratch_ / "O"), c.files);
    RemoveTree(scratch_ / "O");
  }
  EXPECT_TRUE(watcher_.boxes().empty());
}

// Whatever an earlier run left in the output folder goes first, read-only,
// hidden and system files and nested folders included, so that nothing
// absent from the archive survives; an archive without entries leaves no
// output folder at all.
TEST_F(UnpackTest, OldOutputFolderIsRemovedWhole) {
  Bytes empty;
  AppendEntry(&empty, {});
  const Bytes* archives[] = {nullptr, &empty};
  const Bytes small = SmallArchive();
  archives[0] = &small;
  for (const Bytes* archive : archives) {
    WriteFileBytes(scratch_ / "O.pbo", *archive);
    const std::string out = scratch_ / "O";
    WriteFileText(out + "\\a.txt", "stale content of a longer file");
    WriteFileText(out + "\\readonly.txt", "r");
    WriteFileText(out + "\\hidden.txt", "h");
    WriteFileText(out + "\\nested\\deeper\\system.txt", "s");
    SetFileAttributesA((out + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((out + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((out + "\\nested\\deeper\\system.txt").c_str(),
                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((out + "\\nested").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(Unpack(scratch_ / "O.pbo", ""), 1);
    if (archive == &small) {
      EXPECT_EQ(Contents(out), (Files{{"a.txt", "abc"}}));
      EXPECT_FALSE(Exists(out + "\\nested"));
    } else {
      EXPECT_FALSE(Exists(out));
    }
    RemoveTree(out);
  }
  EXPECT_TRUE(watcher_.boxes().empty());
}

// A folder link inside an old output folder is removed as a link, never by
// emptying the folder it leads to. (Wine cannot remove a link to a folder
// at all; it stays there, and so does everything it leads to.)
TEST_F(UnpackTest, LinkInOldOutputFolderLeavesItsTargetAlone) {
  WriteFileText(scratch_ / "elsewhere\\keep.txt", "keep");
  WriteFileText(scratch_ / "elsewhere\\sub\\deep.txt", "deep");
  MakeFolders(scratch_ / "O");
  if (!MakeFolderLink(scratch_ / "O\\link", scratch_ / "elsewhere")) {
    GTEST_SKIP() << "folder links are not available here";
  }
  WriteFileBytes(scratch_ / "O.pbo", SmallArchive());
  EXPECT_EQ(Unpack(scratch_ / "O.pbo", ""), 1);
  Bytes got;
  EXPECT_TRUE(ReadFileBytes(scratch_ / "O\\a.txt", &got));
  EXPECT_EQ(Contents(scratch_ / "elsewhere"),
            (Files{{"keep.txt", "keep"}, {"sub\\deep.txt", "deep"}}));
  EXPECT_TRUE(watcher_.boxes().empty());
  // Before its target goes: Wine cannot see a link whose target is gone.
  RemoveFolderLink(scratch_ / "O\\link");
}

// The stamp is read as local time by the zone's base bias; a local year
// before 1980 leaves the file's time alone. While daylight saving is in
// effect the time set is earlier by the shift, undoing what the packers add.
TEST_F(UnpackTest, TimeStampSetsLastWriteTimeToEvenSeconds) {
  const uint64_t kUnchanged = 0;
  const uint64_t kSecond = 10000000;
  const int32_t local_1980 = 315532800 + BaseBiasMinutes() * 60;
  const uint64_t shift = static_cast<uint64_t>(DaylightShiftNow()) * kSecond;
  struct Case {
    int32_t stamp;
    uint64_t ticks;  // kUnchanged: the time of writing stays
  };
  const Case cases[] = {
      {1120737600, UtcTicks(2005, 7, 7, 12, 0, 0) - shift},
      {1120737601, UtcTicks(2005, 7, 7, 12, 0, 0) - shift},  // odd: rounds down
      {local_1980, UtcTicks(1980, 1, 1, 0, 0, 0) + BaseBiasMinutes() * 60 * kSecond - shift},
      {local_1980 - 1, kUnchanged},  // local 1979-12-31 23:59:59
      {0, kUnchanged},
      {-1000000000, kUnchanged},
  };
  Bytes archive;
  for (size_t i = 0; i < std::size(cases); ++i) {
    AppendEntry(&archive, {"f" + std::to_string(i), 0, 0, 0, cases[i].stamp, 1});
  }
  AppendEntry(&archive, {});
  AppendText(&archive, std::string(std::size(cases), 'x'));
  WriteFileBytes(scratch_ / "O.pbo", archive);

  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t before =
      ((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime) - 50000000;
  ASSERT_EQ(Unpack(scratch_ / "O.pbo", ""), 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("stamp " + std::to_string(cases[i].stamp));
    const uint64_t got = LastWriteTicks(scratch_ / ("O\\f" + std::to_string(i)));
    if (cases[i].ticks == kUnchanged) {
      EXPECT_GE(got, before);
    } else {
      EXPECT_EQ(got, cases[i].ticks);
    }
  }
}

TEST_F(UnpackTest, ChecksumMismatchIsShownSignedAndTheFileKept) {
  struct Case {
    uint32_t stored;
    const char* shown;
  };
  const Case cases[] = {{0x80000000u, "-2147483648"}, {0xFFFFFFFFu, "-1"}, {98, "98"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    watcher_.Clear();
    Bytes a;
    AppendEntry(&a, {"tex\\x.txt", kCompressed, 1, 0, 0, 6});
    AppendEntry(&a, {"next.txt", 0, 0, 0, 0, 1});
    AppendEntry(&a, {});
    a.insert(a.end(), {0x01, 'a'});  // one literal; its checksum would be 97
    AppendLE32(&a, c.stored);
    AppendText(&a, "n");
    WriteFileBytes(scratch_ / "O.pbo", a);
    EXPECT_EQ(Unpack(scratch_ / "O.pbo", ""), 1);
    const std::vector<Box> boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error has occured");
    EXPECT_EQ(boxes[0].owner, windows_.owner);
    EXPECT_EQ(boxes[0].text,
              std::string("CRC is not matched. File is corrupted: tex\\x.txt\r\n"
                          "Original crc:\t") +
                  c.shown + "\r\nCurrent crc:\t97");
    EXPECT_EQ(Contents(scratch_ / "O"), (Files{{"tex\\x.txt", "a"}, {"next.txt", "n"}}));
    RemoveTree(scratch_ / "O");
  }
}

// A cut archive is reported and answered with 0; entries before the damage
// stay written.
TEST_F(UnpackTest, TruncatedArchiveIsReportedWithZero) {
  Bytes full;
  AppendEntry(&full, {"a.txt", 0, 0, 0, 0, 3});
  AppendEntry(&full, {"b.txt", kCompressed, 3, 0, 0, 8});
  AppendEntry(&full, {});
  AppendText(&full, "abc");
  full.insert(full.end(), {0x07, 'x', 'y', 'z', 0x6F, 0x01, 0x00, 0x00});
  const size_t header = 2 * 21 + 10 + 21;
  const std::string archive = scratch_ / "O.pbo";
  struct Case {
    const char* what;
    size_t keep;
    std::string text;
    Files files;
  };
  const Case cases[] = {
      {"inside a name", 3,
       "Cann't read file: \r\n" + archive + "\r\nHeader table ends before its last entry.", {}},
      {"inside the terminator", header - 5,
       "Cann't read file: \r\n" + archive + "\r\nHeader table ends before its last entry.", {}},
      {"inside stored data", header + 2,
       "File is corrupted: \r\na.txt\r\nArchive ends before the end of its data.",
       {{"a.txt", "ab"}}},
      {"inside compressed groups", header + 3 + 2,
       "File is corrupted: \r\nb.txt\r\ncompressed data ends before the end of the file",
       {{"a.txt", "abc"}, {"b.txt", "x"}}},
      {"inside the checksum", header + 3 + 6,
       "File is corrupted: \r\nb.txt\r\ncompressed data ends inside the checksum",
       {{"a.txt", "abc"}, {"b.txt", "xyz"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    watcher_.Clear();
    WriteFileBytes(archive, Bytes(full.begin(), full.begin() + c.keep));
    EXPECT_EQ(Unpack(archive, ""), 0);
    const std::vector<Box> boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].owner, windows_.owner);
    EXPECT_EQ(Contents(scratch_ / "O"), c.files);
    RemoveTree(scratch_ / "O");
  }
}

// An entry name that would leave the output folder or is no plain file name
// stops the call before anything on disk changes, an old output folder
// included.
TEST_F(UnpackTest, HostileEntryNamesAreRefusedBeforeAnyWrite) {
  MakeFolders(scratch_ / "unpack");
  WriteFileText(scratch_ / "unpack\\O\\old.txt", "old");
  const char* names[] = {"..\\x",       "tex\\..\\..\\x", "tex/../../x",
                         "\\x",         "C:\\x",          "C:x",
                         "a:b",         "CON",            "tex\\aux.txt",
                         "\\\\server\\share\\x"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    watcher_.Clear();
    Bytes a;
    AppendEntry(&a, {"fine.txt", 0, 0, 0, 0, 1});
    AppendEntry(&a, {name, 0, 0, 0, 0, 1});
    AppendEntry(&a, {});
    AppendText(&a, "fx");
    WriteFileBytes(scratch_ / "O.pbo", a);
    EXPECT_EQ(Unpack(scratch_ / "O.pbo", scratch_ / "unpack"), 0);
    const std::vector<Box> boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    std::string shown = name;
    for (char& ch : shown) if (ch == '/') ch = '\\';
    EXPECT_EQ(boxes[0].text.rfind("Unsafe file name in archive: \r\n" + shown + "\r\n", 0), 0u)
        << boxes[0].text;
    EXPECT_EQ(ListFilesBelow(scratch_.path()),
              (std::vector<std::string>{"O.pbo", "unpack\\O\\old.txt"}));
    EXPECT_FALSE(Exists("C:\\x"));
  }
}

}  // namespace
}  // namespace pbotest
