// The three working functions through the DLL when the system gets in the
// way: files locked or opened for writing by someone else, files that vanish
// or change size between the scan and the data step, paths taken by the
// wrong kind of item, read-only and held archives. Each failing call gives 0
// and one box; the previous archive stays byte for byte under its own name,
// no partial archive is left and nothing appears outside the call's folders.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "harness.h"

namespace pbotest {
namespace {

// Runs `g_on_first_point` once, when the label first gets a percentage: the
// moment after the first file has been packed and before the next is read.
std::function<void()> g_on_first_point;
WNDPROC g_label_proc = nullptr;

LRESULT CALLBACK HookedLabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETTEXT && lp != 0 && g_on_first_point) {
    const std::string text = reinterpret_cast<const char*>(lp);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, " %") == 0) {
      std::function<void()> act;
      act.swap(g_on_first_point);
      act();
    }
  }
  return CallWindowProcA(g_label_proc, hwnd, msg, wp, lp);
}

const char kOtherProcess[] = "\r\nFile can be opened by other process.";

class FaultTest : public testing::Test {
 protected:
  void SetUp() override {
    g_label_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        windows_.label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookedLabelProc)));
  }
  void TearDown() override {
    SetWindowLongPtrA(windows_.label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_label_proc));
    g_on_first_point = nullptr;
    Release();
  }

  // Notes `path` to be opened as another program would, by OpenHeld (after
  // the snapshot, which could not read a file locked against reading), and
  // kept open until Release.
  void Hold(const std::string& path, DWORD access, DWORD share) {
    to_hold_.push_back({path, access, share});
  }
  void OpenHeld() {
    for (const Holding& h : to_hold_) {
      HANDLE handle = CreateFileA(h.path.c_str(), h.access, h.share, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(handle, INVALID_HANDLE_VALUE) << h.path;
      held_.push_back(handle);
    }
    to_hold_.clear();
  }
  void Release() {
    for (HANDLE h : held_) CloseHandle(h);
    held_.clear();
    to_hold_.clear();
  }

  // Expects exactly one library box whose text starts with `head`.
  void ExpectOneBox(const std::string& head) {
    const std::vector<Box> boxes = watcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error has occured");
    EXPECT_EQ(boxes[0].owner, windows_.owner);
    EXPECT_EQ(boxes[0].text.rfind(head, 0), 0u) << boxes[0].text;
  }

  void Fresh() {
    Release();
    watcher_.Clear();
    windows_.Clear();
    g_on_first_point = nullptr;
    RemoveTree(scratch_.path());
    MakeFolders(scratch_.path());
  }

  Library lib_;
  Windows windows_;
  BoxWatcher watcher_;
  ScratchFolder scratch_;
  struct Holding {
    std::string path;
    DWORD access, share;
  };
  std::vector<Holding> to_hold_;
  std::vector<HANDLE> held_;
};

struct Packer {
  const char* name;
  PFN_PackPbo Library::*fn;
};
const Packer kPackers[] = {{"_PackPbo", &Library::pack},
                           {"_CompressPbo", &Library::compress}};

// Source folder src\O with three small files, destination folder out with
// the previous archive; each case disturbs one thing.
TEST_F(FaultTest, FailedPackLeavesThePreviousArchiveInPlace) {
  struct Case {
    std::string what;
    // Disturbs the layout; may set g_on_first_point. @return the destination.
    std::function<std::string()> setup;
    std::function<std::string()> box;  // start of the expected box text
    // How the scratch tree differs afterwards (for changes the test made).
    std::function<void(Tree*)> change;
  };
  const std::string src = scratch_ / "src\\O";
  const std::string out = scratch_ / "out";
  const std::string archive = out + "\\O.pbo";
  const std::string bak = archive + ".bak";
  // The file the scan lists last, so it is read after the first point.
  std::string last;
  auto last_file = [&] { return src + "\\" + last; };
  auto unchanged = [](Tree*) {};
  const std::vector<Case> cases = {
      {"source file opened without sharing",
       [&] { Hold(last_file(), GENERIC_READ, 0); return out; },
       [&] { return "Cann't open file: \r\n" + last_file() + kOtherProcess; }, unchanged},
      {"source file open for writing elsewhere",
       [&] { Hold(last_file(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE); return out; },
       [&] { return "Cann't open file: \r\n" + last_file() + kOtherProcess; }, unchanged},
      {"source file deleted after the scan",
       [&] {
         g_on_first_point = [&] { EXPECT_TRUE(DeleteFileA(last_file().c_str())); };
         return out;
       },
       [&] { return "Cann't open file: \r\n" + last_file() + kOtherProcess; },
       [&](Tree* t) { t->erase("src\\O\\" + last); }},
      {"source file cut after the scan",
       [&] {
         g_on_first_point = [&] { WriteFileText(last_file(), "c"); };
         return out;
       },
       [&] { return "Cann't read file: \r\n" + last_file() + "\r\nFile size has changed."; },
       [&](Tree* t) { (*t)["src\\O\\" + last] = "c"; }},
      {"source file grown after the scan",
       [&] {
         g_on_first_point = [&] { WriteFileText(last_file(), std::string(50, 'g')); };
         return out;
       },
       [&] { return "Cann't read file: \r\n" + last_file() + "\r\nFile size has changed."; },
       [&](Tree* t) { (*t)["src\\O\\" + last] = std::string(50, 'g'); }},
      {"destination is a file",
       [&] { return archive; },
       [&] { return "Directory does not exists: \r\n" + archive + "\r\nProcess abortred."; },
       unchanged},
      {"output path is a folder",
       [&] {
         DeleteFileA(archive.c_str());
         MakeFolders(archive);
         return out;
       },
       [&] { return "Cann't create file: \r\n" + archive + kOtherProcess; }, unchanged},
      {"previous archive held open without delete sharing",
       [&] { Hold(archive, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE); return out; },
       [&] { return "Cann't create backup file: \r\n" + bak + kOtherProcess; }, unchanged},
      {"older backup held open",
       [&] {
         WriteFileText(bak, "older backup");
         Hold(bak, GENERIC_READ, FILE_SHARE_READ);
         return out;
       },
       [&] { return "Cann't create backup file: \r\n" + bak + kOtherProcess; }, unchanged},
      {"older backup read-only",
       [&] {
         WriteFileText(bak, "older backup");
         SetFileAttributesA(bak.c_str(), FILE_ATTRIBUTE_READONLY);
         return out;
       },
       [&] { return "Cann't create backup file: \r\n" + bak + kOtherProcess; }, unchanged},
  };
  for (const Packer& packer : kPackers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(packer.name) + ": " + c.what);
      Fresh();
      WriteFileText(src + "\\a.txt", "first file");
      WriteFileText(src + "\\b.txt", "second file");
      WriteFileText(src + "\\c.txt", "third file");
      WriteFileText(archive, "previous archive");
      last = ListingOrder(src).back();
      const std::string destination = c.setup();
      Tree want = Snapshot(scratch_.path());
      c.change(&want);
      OpenHeld();

      EXPECT_EQ((lib_.*packer.fn)(windows_.owner, src.c_str(), destination.c_str(),
                                  windows_.bar, windows_.label),
                0);
      ExpectOneBox(c.box());
      Release();
      EXPECT_EQ(Snapshot(scratch_.path()), want);
      EXPECT_FALSE(g_on_first_point) << "the pack never reached its first point";
    }
  }
}

// Disturbances the backup step takes in its stride: a read-only archive is
// renamed like any other (a rename is no write), and so is one that another
// program holds open while sharing deletion. The read-only backup then
// blocks the next pack, which stops before it touches anything.
TEST_F(FaultTest, ReadOnlyOrSharedArchiveIsMovedToBak) {
  const std::string src = scratch_ / "src\\O";
  const std::string archive = scratch_ / "out\\O.pbo";
  const std::string bak = archive + ".bak";
  struct Case {
    const char* what;
    std::function<void()> setup;
    bool read_only_backup;  // the attribute moves with the file
  };
  const Case cases[] = {
      {"read-only",
       [&] { SetFileAttributesA(archive.c_str(), FILE_ATTRIBUTE_READONLY); }, true},
      {"held open, deletion shared",
       [&] {
         Hold(archive, GENERIC_READ,
              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
       },
       false},
  };
  for (const Packer& packer : kPackers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(packer.name) + ": " + c.what);
      Fresh();
      WriteFileText(src + "\\a.txt", "abc");
      WriteFileText(archive, "previous archive");
      c.setup();
      OpenHeld();
      const std::string out = scratch_ / "out";
      EXPECT_EQ((lib_.*packer.fn)(windows_.owner, src.c_str(), out.c_str(),
                                  windows_.bar, windows_.label),
                1);
      EXPECT_TRUE(watcher_.boxes().empty());
      Release();
      Bytes old_archive, fresh;
      ASSERT_TRUE(ReadFileBytes(bak, &old_archive));
      EXPECT_EQ(old_archive, ToBytes("previous archive"));
      ASSERT_TRUE(ReadFileBytes(archive, &fresh));
      size_t data = 0;
      EXPECT_EQ(ParseHeader(fresh, &data).size(), 1u);

      // Packing again must replace the backup; a read-only one cannot go.
      EXPECT_EQ((GetFileAttributesA(bak.c_str()) & FILE_ATTRIBUTE_READONLY) != 0,
                c.read_only_backup);
      const Tree before = Snapshot(scratch_.path());
      const BOOL again = (lib_.*packer.fn)(windows_.owner, src.c_str(), out.c_str(),
                                           windows_.bar, windows_.label);
      if (c.read_only_backup) {
        EXPECT_EQ(again, 0);
        ExpectOneBox("Cann't create backup file: \r\n" + bak + kOtherProcess);
        EXPECT_EQ(Snapshot(scratch_.path()), before);
      } else {
        EXPECT_EQ(again, 1);
        EXPECT_TRUE(watcher_.boxes().empty());
        Bytes replaced;
        ASSERT_TRUE(ReadFileBytes(bak, &replaced));
        EXPECT_EQ(replaced, fresh);
      }
      SetFileAttributesA(bak.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
}

// Archive game\O.pbo (a.txt, sub\b.txt) unpacked into the folder unpack,
// where an earlier run left unpack\O\marker.txt; each case disturbs one
// thing.
TEST_F(FaultTest, UnpackFaultsAreReportedAndTouchNothingElse) {
  const std::string archive = scratch_ / "game\\O.pbo";
  const std::string unpack = scratch_ / "unpack";
  const std::string out = unpack + "\\O";
  const std::string marker = out + "\\marker.txt";
  auto files = [](std::initializer_list<const char*> names) {
    Bytes a;
    std::string data;
    for (const char* n : names) {
      AppendEntry(&a, {n, 0, 0, 0, 0, 2});
      data += std::string(n).substr(0, 1) + "!";
    }
    AppendEntry(&a, {});
    AppendText(&a, data);
    return a;
  };
  struct Case {
    std::string what;
    Bytes archive;
    std::function<void()> setup;
    BOOL result;
    std::string box;  // start of the expected box text; empty: no box
    // How the scratch tree differs afterwards.
    std::function<void(Tree*)> change;
  };
  auto unchanged = [](Tree*) {};
  const Bytes plain = files({"a.txt", "sub\\b.txt"});
  const std::vector<Case> cases = {
      {"archive opened without sharing", plain,
       [&] { Hold(archive, GENERIC_READ, 0); }, 0,
       "Cann't open file: \r\n" + archive + kOtherProcess, unchanged},
      {"archive open for writing elsewhere", plain,
       [&] { Hold(archive, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE); }, 0,
       "Cann't open file: \r\n" + archive + kOtherProcess, unchanged},
      {"output folder path is a file", plain,
       [&] { RemoveTree(out); WriteFileText(out, "a file named O"); }, 0,
       "Cann't create directory: \r\n" + out + "\r\nProcess abortred.", unchanged},
      {"destination is a file", plain,
       [&] { RemoveTree(unpack); WriteFileText(unpack, "a file named unpack"); }, 0,
       "Cann't create directory: \r\n" + out + "\r\nProcess abortred.", unchanged},
      {"entry's file path taken by a folder", files({"a\\b.txt", "a", "c.txt"}),
       [] {}, 0, "Cann't create file: \r\n" + out + "\\a" + kOtherProcess,
       [&](Tree* t) {
         t->erase("unpack\\O\\marker.txt");
         (*t)["unpack\\O\\a\\"] = "";
         (*t)["unpack\\O\\a\\b.txt"] = "a!";
       }},
      {"entry's folder taken by a file", files({"a", "a\\b.txt", "c.txt"}),
       [] {}, 0,
       "Cann't create directory: \r\n" + out + "\\a\r\nFile is not unpacked: a\\b.txt",
       [&](Tree* t) {
         // The entry is passed over and the next one still written.
         t->erase("unpack\\O\\marker.txt");
         (*t)["unpack\\O\\a"] = "a!";
         (*t)["unpack\\O\\c.txt"] = "c!";
       }},
      // Silent: an old file that cannot be deleted stays, as documented.
      {"old output file held open", plain,
       [&] { Hold(marker, GENERIC_READ, 0); }, 1, "",
       [&](Tree* t) {
         (*t)["unpack\\O\\a.txt"] = "a!";
         (*t)["unpack\\O\\sub\\"] = "";
         (*t)["unpack\\O\\sub\\b.txt"] = "s!";
       }},
      // Silent: an archive without entries needs no output folder.
      {"no entries, output folder path is a file", files({}),
       [&] { RemoveTree(out); WriteFileText(out, "a file named O"); }, 1, "", unchanged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    WriteFileBytes(archive, c.archive);
    WriteFileText(marker, "from an earlier run");
    c.setup();
    Tree want = Snapshot(scratch_.path());
    c.change(&want);
    OpenHeld();

    EXPECT_EQ(lib_.decompress(windows_.owner, archive.c_str(), unpack.c_str(),
                              windows_.bar, windows_.label),
              c.result);
    if (c.box.empty()) {
      EXPECT_TRUE(watcher_.boxes().empty());
    } else {
      ExpectOneBox(c.box);
    }
    Release();
    EXPECT_EQ(Snapshot(scratch_.path()), want);
  }
}

// Unpacking O\O.pbo into the folder that holds O: the archive lies in its
// own old output folder. It is open while that folder is emptied, so it
// survives, and an entry of its own name cannot overwrite it.
TEST_F(FaultTest, ArchiveInsideItsOwnOutputFolderSurvives) {
  const std::string archive = scratch_ / "O\\O.pbo";
  struct Case {
    const char* what;
    const char* entry;
    BOOL result;
    std::string box;  // start of the expected box text; empty: no box
  };
  const Case cases[] = {
      {"other entry", "a.txt", 1, ""},
      {"entry of the archive's name", "O.pbo", 0,
       "Cann't create file: \r\n" + archive + kOtherProcess},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    Bytes a;
    AppendEntry(&a, {c.entry, 0, 0, 0, 0, 3});
    AppendEntry(&a, {});
    AppendText(&a, "new");
    WriteFileBytes(archive, a);
    WriteFileText(scratch_ / "O\\old.txt", "from an earlier run");

    EXPECT_EQ(lib_.decompress(windows_.owner, archive.c_str(), scratch_.path().c_str(),
                              windows_.bar, windows_.label),
              c.result);
    if (c.box.empty()) {
      EXPECT_TRUE(watcher_.boxes().empty());
    } else {
      ExpectOneBox(c.box);
    }
    Tree want = {{"O\\", ""}, {"O\\O.pbo", std::string(a.begin(), a.end())}};
    if (c.result) want[std::string("O\\") + c.entry] = "new";
    EXPECT_EQ(Snapshot(scratch_.path()), want);
  }
}

// An old output folder that is, or holds, a folder link the system cannot
// remove (Wine cannot): an entry's file must never be written through it
// into the folder it leads to. Where the link goes, unpacking works as usual.
TEST_F(FaultTest, FolderLinkLeftInTheOutputFolderIsNotWrittenThrough) {
  const std::string archive = scratch_ / "O.pbo";
  const std::string out = scratch_ / "O";
  struct Case {
    const char* what;
    std::string link;   // made to lead to the folder "elsewhere"
    std::string entry;  // written through the link, were it followed
  };
  const Case cases[] = {
      {"output folder is a link", out, "keep.txt"},
      {"link inside the output folder", out + "\\link", "Link\\keep.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    WriteFileText(scratch_ / "elsewhere\\keep.txt", "keep");
    MakeFolders(c.link.substr(0, c.link.rfind('\\')));
    if (!MakeFolderLink(c.link, scratch_ / "elsewhere")) {
      GTEST_SKIP() << "folder links are not available here";
    }
    Bytes a;
    AppendEntry(&a, {c.entry, 0, 0, 0, 0, 3});
    AppendEntry(&a, {});
    AppendText(&a, "new");
    WriteFileBytes(archive, a);

    const BOOL result = lib_.decompress(windows_.owner, archive.c_str(), "",
                                        windows_.bar, windows_.label);
    Bytes kept;
    EXPECT_TRUE(ReadFileBytes(scratch_ / "elsewhere\\keep.txt", &kept));
    EXPECT_EQ(kept, ToBytes("keep")) << "written through the link";
    if (Exists(c.link)) {
      EXPECT_EQ(result, 0);
      ExpectOneBox("Cann't delete directory: \r\n" + c.link +
                   "\r\nFolder link cannot be removed.");
      RemoveFolderLink(c.link);
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_TRUE(watcher_.boxes().empty());
      Bytes written;
      EXPECT_TRUE(ReadFileBytes(out + "\\" + c.entry, &written));
      EXPECT_EQ(written, ToBytes("new"));
    }
  }
}

}  // namespace
}  // namespace pbotest
