// _DecompressPbo through the DLL against archives whose entry names try to
// reach outside the output folder or are no plain file names. Each archive
// holds a good entry first and the bad one second: a refused archive writes
// nothing at all, not even the good file, and an old output folder stays.
#include <gtest/gtest.h>

#include "harness.h"

namespace pbotest {
namespace {

// Places outside the scratch folder that a hostile name could reach: the
// drive roots, the current folder and the current drive's root.
std::vector<std::string> OutsidePlaces() {
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  const std::string current = cwd;
  std::vector<std::string> out;
  for (const char* name : {"x", "evil.txt", "b"}) {
    out.push_back(std::string("C:\\") + name);
    out.push_back(current + "\\" + name);
    out.push_back(current.substr(0, 2) + "\\" + name);
  }
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  out.push_back(std::string(temp) + "x");
  return out;
}

std::vector<bool> Existing(const std::vector<std::string>& paths) {
  std::vector<bool> out;
  for (const std::string& p : paths) out.push_back(Exists(p));
  return out;
}

// What the library gives for a name.
enum class Outcome {
  kRefused,       // "Unsafe file name" before anything on disk changes
  kCannotCreate,  // legal but too long for the system: the good entry is
                  // written, the long one reported, the result 0
};

struct Case {
  std::string what;
  std::string name;     // as stored in the archive
  Outcome outcome = Outcome::kRefused;
};

std::vector<Case> HostileNames() {
  std::vector<Case> cases = {
      // Leaving the folder; the output folder lies six levels down in the
      // scratch folder, so any escape would still land where it is seen.
      {"parent", "..\\x"},
      {"two parents", "..\\..\\x"},
      {"down then up past the root", "a\\..\\..\\x"},
      {"down then up inside", "a\\..\\x"},
      {"forward slashes up", "a/../../x"},
      {"current folder part", ".\\x"},
      {"current folder inside", "a\\.\\x"},
      {"dots alone", ".."},
      // Rooted, drive, UNC and device prefixes.
      {"rooted", "\\x"},
      {"rooted by slash", "/x"},
      {"drive absolute", "C:\\x"},
      {"drive relative", "C:x"},
      {"UNC", "\\\\srv\\s\\x"},
      {"UNC by slashes", "//srv/s/x"},
      {"long-path prefix", "\\\\?\\C:\\x"},
      {"device prefix", "\\\\.\\x"},
      {"NT prefix", "\\??\\C:\\x"},
      // Streams and characters the system does not allow.
      {"colon", "a:b"},
      {"default stream", "a::$DATA"},
      {"named stream", "good.txt:hidden"},
      {"less than", "a<b"},
      {"greater than", "a>b"},
      {"quote", "a\"b"},
      {"bar", "a|b"},
      {"question mark", "a?b"},
      {"star", "a*"},
      // Empty parts.
      {"trailing backslash", "a\\"},
      {"double backslash", "a\\\\b"},
      // Parts the system would silently change.
      {"trailing dot", "x."},
      {"trailing space", "x "},
      {"folder with trailing dot", "d.\\x"},
      {"folder with trailing space", "d \\x"},
      {"only dots", "..."},
      // Device names, in any part, any case, with or without extension.
      {"CON", "CON"},
      {"con lower", "con"},
      {"nul.txt", "nul.txt"},
      {"Aux in a folder part", "d\\Aux\\x"},
      {"COM1 with trailing space", "COM1 "},
      {"COM1 .txt", "COM1 .txt"},
      {"PRN", "PRN"},
      {"COM0", "COM0"},
      {"com9.log", "com9.log"},
      {"LPT0", "LPT0"},
      {"lpt9", "tex\\lpt9"},
      {"COM superscript one", "COM\xB9"},
      {"CONIN$", "CONIN$"},
      {"conout$.txt", "conout$.txt"},
      // Cut to 255 characters, the stored 256-character name ends with a
      // backslash: the check sees the name as it would be written.
      {"256 characters cut to a trailing backslash",
       std::string(254, 'a') + "\\x"},
      {"256 characters cut to a trailing dot", std::string(254, 'a') + ".x"},
  };
  for (int c = 0x01; c <= 0x1F; ++c) {
    cases.push_back({"control character " + std::to_string(c),
                     std::string("a") + static_cast<char>(c) + "b"});
  }
  // Legal names too long for any path below the output folder: the system
  // refuses the file, which is reported, and nothing lands outside.
  cases.push_back({"255 characters", std::string(255, 'L'), Outcome::kCannotCreate});
  cases.push_back({"256 characters, read as 255", std::string(256, 'L'),
                   Outcome::kCannotCreate});
  return cases;
}

class HostileTest : public testing::Test {
 protected:
  void SetUp() override {
    archive_ = scratch_ / "game\\O.pbo";
    destination_ = scratch_ / "d1\\d2\\d3\\d4\\unpack";
    out_ = destination_ + "\\O";
  }

  Library lib_;
  Windows windows_;
  BoxWatcher watcher_;
  ScratchFolder scratch_;
  std::string archive_, destination_, out_;
};

TEST_F(HostileTest, BadEntryNameRefusesTheWholeArchive) {
  const std::vector<std::string> outside = OutsidePlaces();
  const std::vector<bool> outside_before = Existing(outside);
  for (const Case& c : HostileNames()) {
    SCOPED_TRACE(c.what);
    watcher_.Clear();
    RemoveTree(scratch_.path());
    MakeFolders(scratch_.path());
    WriteFileText(out_ + "\\marker.txt", "from an earlier run");
    Bytes a;
    AppendEntry(&a, {"good.txt", 0, 0, 0, 0, 4});
    AppendEntry(&a, {c.name, 0, 0, 0, 0, 3});
    AppendEntry(&a, {});
    AppendText(&a, "good" "bad");
    WriteFileBytes(archive_, a);
    const Tree before = Snapshot(scratch_.path());

    EXPECT_EQ(lib_.decompress(windows_.owner, archive_.c_str(),
                              destination_.c_str(), windows_.bar, windows_.label),
              0);

    // The name as the library holds it: slashes turned, cut to 255.
    std::string held = c.name.substr(0, 255);
    for (char& ch : held) if (ch == '/') ch = '\\';
    const std::vector<Box> boxes = watcher_.boxes();
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.size() != 1) continue;  // go on with the other names
    EXPECT_EQ(boxes[0].caption, "Error has occured");
    EXPECT_EQ(boxes[0].owner, windows_.owner);
    if (c.outcome == Outcome::kRefused) {
      EXPECT_EQ(boxes[0].text.rfind("Unsafe file name in archive: \r\n" + held + "\r\n", 0), 0u)
          << boxes[0].text;
      EXPECT_EQ(Snapshot(scratch_.path()), before) << "the disk changed";
    } else {
      EXPECT_EQ(boxes[0].text.rfind("Cann't create file: \r\n" + out_ + "\\" + held + "\r\n", 0),
                0u)
          << boxes[0].text;
      Tree after = before;
      after.erase("d1\\d2\\d3\\d4\\unpack\\O\\marker.txt");
      after["d1\\d2\\d3\\d4\\unpack\\O\\good.txt"] = "good";
      EXPECT_EQ(Snapshot(scratch_.path()), after);
    }
    EXPECT_EQ(Existing(outside), outside_before) << "a file appeared outside";
  }
}

// A name that is legal however odd it looks is written where it says.
TEST_F(HostileTest, OddButLegalNamesAreWrittenInside) {
  const std::string names[] = {
      "..x",  "x..y", ".hidden", "a.b.c", " lead", "tex\\CON1", "COM10",
      "LPT", "CONIN", "nul_", "auxiliary.txt", "\xE9t\xE9.txt",
  };
  Bytes a;
  for (const std::string& n : names) AppendEntry(&a, {n, 0, 0, 0, 0, 1});
  AppendEntry(&a, {});
  AppendText(&a, std::string(std::size(names), 'z'));
  WriteFileBytes(archive_, a);
  ASSERT_EQ(lib_.decompress(windows_.owner, archive_.c_str(),
                            destination_.c_str(), windows_.bar, windows_.label),
            1);
  EXPECT_TRUE(watcher_.boxes().empty());
  for (const std::string& n : names) {
    Bytes got;
    EXPECT_TRUE(ReadFileBytes(out_ + "\\" + n, &got)) << n;
    EXPECT_EQ(got, ToBytes("z")) << n;
  }
  EXPECT_EQ(ListFilesBelow(scratch_ / "d1").size(), std::size(names));
}

}  // namespace
}  // namespace pbotest
