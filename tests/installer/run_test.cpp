// The real texinstall.exe driven through its windows as a player drives it:
// the install button, the file dialog, the message boxes. Each run gets a
// private temporary folder; the archive is a generated game-like "O.pbo".
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "fixture.h"

namespace {

using fixture::Bytes;
using fixture::Entry;
using Lines = std::vector<std::string>;

const char kCode2[] = "dialog Error|Error occured during patching. Errorcode=2\\r\\nFile not patched: O.pbo";
const char kCode4[] = "dialog Error|Error occured during patching. Errorcode=4\\r\\nFile not patched: O.pbo";

Lines Statuses(const Lines& events) {
  Lines out;
  for (const std::string& e : events) {
    if (e.rfind("status ", 0) == 0) out.push_back(e.substr(7));
  }
  return out;
}

// Message boxes seen, in order ("caption|text").
Lines Boxes(const Lines& events) {
  Lines out;
  for (const std::string& e : events) {
    if (e.rfind("dialog Error", 0) == 0) out.push_back(e);
  }
  return out;
}

int FileDialogs(const Lines& events) {
  int n = 0;
  for (const std::string& e : events) {
    n += e.rfind("dialog ", 0) == 0 && e.rfind("dialog Error", 0) != 0 &&
         e.rfind("dialog Vostrel", 0) != 0;
  }
  return n;
}

std::string SystemFolder() {
  char path[MAX_PATH];
  GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = scratch_.Make("tmp");
    CreateDirectoryA(temp_.c_str(), nullptr);
    game_ = scratch_.Make("game\\");
    original_ = fixture::SampleEntries();
    archive_bytes_ = fixture::WriteArchive(original_);
    ASSERT_TRUE(fixture::WriteWhole(game_ + "O.pbo", archive_bytes_));
    exe_ = fixture::FromHost(TEXINSTALL_EXE);
  }

  fixture::InstallerDriver& Driver() {
    if (!driver_) {
      driver_.reset(new fixture::InstallerDriver(exe_, temp_, scratch_.path() + "\\events.log"));
    }
    return *driver_;
  }

  // Starts the installer, presses install, answers the file dialog with
  // `choice` (empty: cancel) and waits for "Status: Done"; then closes it.
  // The percentage label's last text is kept in percent_after_.
  Lines Run(const std::string& choice) {
    fixture::InstallerDriver& driver = Driver();
    EXPECT_TRUE(driver.Start());
    driver.Press(106);
    EXPECT_TRUE(driver.RunUntil("status Status: Done",
                                [&] { driver.AnswerFileDialog(choice); }));
    const Lines events = driver.Events();
    // Status and percentage are greyed again once the run is over. The
    // installer greys them just after it shows "Status: Done", so give it a
    // moment to get there.
    const HWND main = driver.main_window();
    for (int i = 0; i < 100 && (IsWindowEnabled(GetDlgItem(main, 103)) ||
                                IsWindowEnabled(GetDlgItem(main, 104)));
         ++i) {
      Sleep(50);
    }
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, 103)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, 104)));
    char percent[32] = {};
    GetWindowTextA(GetDlgItem(main, 104), percent, sizeof(percent));
    percent_after_ = percent;
    EXPECT_EQ(driver.Close(), 0);
    for (const std::string& e : events) std::printf("  event: %s\n", e.c_str());
    return events;
  }

  void ExpectArchiveUntouched(const std::string& name = "O.pbo") {
    Bytes now;
    ASSERT_TRUE(fixture::ReadWhole(game_ + name, &now));
    EXPECT_TRUE(now == archive_bytes_);
    EXPECT_FALSE(fixture::Exists(game_ + name + ".bak"));
  }

  // Runs the installer afresh on `archive`, which the library refuses:
  // its box (starting with `library_box`), then code 2; nothing is packed
  // and the temporary folders are gone.
  void ExpectUnpackRefused(const Bytes& archive, const std::string& library_box) {
    archive_bytes_ = archive;
    ASSERT_TRUE(fixture::WriteWhole(game_ + "O.pbo", archive_bytes_));
    driver_.reset();
    DeleteFileA((scratch_.path() + "\\events.log").c_str());

    ExpectStoppedAtUnpacking(Run(game_ + "O.pbo"), library_box);
    ExpectArchiveUntouched();
    ExpectTemporaryFoldersGone();
  }

  // The run stopped after "Unpacking": the library's box (starting with
  // `library_box`), then code 2, then the clean-up.
  static void ExpectStoppedAtUnpacking(const Lines& events, const std::string& library_box) {
    EXPECT_EQ(Statuses(events),
              Lines({"Status: Idle", "Status: Extracting resources", "Status: Unpacking O.pbo",
                     "Status: Deleting temporary files", "Status: Done"}));
    const Lines boxes = Boxes(events);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].rfind(library_box, 0), 0u) << boxes[0];
    EXPECT_EQ(boxes[1], kCode2);
  }

  void ExpectTemporaryFoldersGone() {
    EXPECT_FALSE(fixture::Exists(temp_ + "\\extract"));
    EXPECT_FALSE(fixture::Exists(temp_ + "\\unpack"));
  }

  fixture::ScratchFolder scratch_;
  std::string temp_, game_, exe_;
  std::vector<Entry> original_;
  Bytes archive_bytes_;
  std::unique_ptr<fixture::InstallerDriver> driver_;
  std::string percent_after_;
};

TEST_F(RunTest, PatchesTheChosenArchiveAndKeepsTheOldOneAsBackup) {
  // Left over from an interrupted earlier run: must not reach the archive.
  const std::string stale = scratch_.Make("tmp\\unpack\\O\\Tree\\stale.paa");
  ASSERT_TRUE(fixture::WriteWhole(stale, Bytes(9, 's')));
  const Lines events = Run(game_ + "O.pbo");
  EXPECT_EQ(Statuses(events),
            Lines({"Status: Idle", "Status: Extracting resources", "Status: Unpacking O.pbo",
                   "Status: Copying files", "Status: Packing O.pbo",
                   "Status: Successfully patched: O.pbo", "Status: Deleting temporary files",
                   "Status: Done"}));
  EXPECT_EQ(Boxes(events), Lines());
  EXPECT_EQ(FileDialogs(events), 1);
  EXPECT_EQ(percent_after_, "100 %");  // the library's last text stays

  Bytes backup, patched;
  ASSERT_TRUE(fixture::ReadWhole(game_ + "O.pbo.bak", &backup));
  EXPECT_TRUE(backup == archive_bytes_);
  ASSERT_TRUE(fixture::ReadWhole(game_ + "O.pbo", &patched));
  std::vector<Entry> entries;
  ASSERT_TRUE(fixture::ReadArchive(patched, &entries));

  std::map<std::string, Bytes> expected;
  for (const Entry& e : original_) expected[e.name] = e.content;
  for (const fixture::PackFile& file : fixture::PackFiles()) {
    ASSERT_TRUE(fixture::ReadWhole(file.data_path, &expected[file.entry]));
  }
  std::set<std::string> seen;
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(seen.insert(e.name).second) << "entry twice";
    EXPECT_FALSE(e.compressed);
    EXPECT_EQ(e.name.find('/'), std::string::npos);
    ASSERT_EQ(expected.count(e.name), 1u) << "entry not in the original";
    EXPECT_TRUE(e.content == expected[e.name]);
  }
  EXPECT_EQ(seen.size(), expected.size());
  // The order is that of a depth-first folder scan: the entries below any
  // one folder stand together (a subfolder's block may sit among its
  // parent's files, but nothing else does).
  std::map<std::string, std::vector<size_t>> below;
  for (size_t i = 0; i < entries.size(); ++i) {
    for (size_t slash = entries[i].name.find('\\'); slash != std::string::npos;
         slash = entries[i].name.find('\\', slash + 1)) {
      below[entries[i].name.substr(0, slash + 1)].push_back(i);
    }
  }
  EXPECT_EQ(below.size(), 4u);  // Skal, Tree, Data and Data\Sub
  for (const auto& folder : below) {
    EXPECT_EQ(folder.second.back() - folder.second.front() + 1, folder.second.size())
        << folder.first << " is split";
  }

  ExpectTemporaryFoldersGone();
  Bytes installed, built;
  ASSERT_TRUE(fixture::ReadWhole(SystemFolder() + "\\pbokit.dll", &installed));
  ASSERT_TRUE(fixture::ReadWhole(fixture::FromHost(PBOKIT_DLL), &built));
  EXPECT_TRUE(installed == built);
}

TEST_F(RunTest, CancelledFileDialogChangesNothingAndCleansUp) {
  const Lines events = Run("");
  EXPECT_EQ(Statuses(events), Lines({"Status: Idle", "Status: Extracting resources",
                                     "Status: Deleting temporary files", "Status: Done"}));
  EXPECT_EQ(Boxes(events), Lines());
  ExpectArchiveUntouched();
  ExpectTemporaryFoldersGone();
}

TEST_F(RunTest, ArchiveGoneBeforeUnpackingGivesLibraryBoxThenCode2) {
  // Keep a copy to compare with; the hook deletes the chosen file as soon as
  // the unpacking is announced.
  Driver().AddEnvironment("INSTALLER_DELETE_AT=Status: Unpacking O.pbo");
  Driver().AddEnvironment("INSTALLER_DELETE_PATH=" + game_ + "O.pbo");
  ExpectStoppedAtUnpacking(Run(game_ + "O.pbo"), "dialog Error has occured|");
  EXPECT_FALSE(fixture::Exists(game_ + "O.pbo"));
  EXPECT_FALSE(fixture::Exists(game_ + "O.pbo.bak"));
  ExpectTemporaryFoldersGone();
}

TEST_F(RunTest, CorruptArchiveIsNotPackedOver) {
  // Cut inside the header table: the library reports it and nothing is packed.
  archive_bytes_.resize(100);
  ASSERT_TRUE(fixture::WriteWhole(game_ + "O.pbo", archive_bytes_));
  const Lines events = Run(game_ + "O.pbo");
  const Lines boxes = Boxes(events);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].rfind("dialog Error has occured|", 0), 0u) << boxes[0];
  EXPECT_EQ(boxes[1], kCode2);
  EXPECT_EQ(Statuses(events).back(), "Status: Done");
  ExpectArchiveUntouched();
  ExpectTemporaryFoldersGone();
}

TEST_F(RunTest, OutputThatCannotBeCreatedGivesCode4AndLosesNothing) {
  // Another process reads the archive and lets nobody write, rename or
  // delete it: unpacking works, the new archive cannot be created.
  HANDLE held = CreateFileA((game_ + "O.pbo").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const Lines events = Run(game_ + "O.pbo");
  CloseHandle(held);
  EXPECT_EQ(Statuses(events),
            Lines({"Status: Idle", "Status: Extracting resources", "Status: Unpacking O.pbo",
                   "Status: Copying files", "Status: Packing O.pbo",
                   "Status: Deleting temporary files", "Status: Done"}));
  const Lines boxes = Boxes(events);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].rfind("dialog Error has occured|Cann't create ", 0), 0u) << boxes[0];
  EXPECT_EQ(boxes[1], kCode4);
  ExpectArchiveUntouched();
  ExpectTemporaryFoldersGone();
}

// Every file below `root`, relative, sorted.
Lines FilesBelow(const std::string& root, const std::string& prefix = std::string()) {
  Lines out;
  WIN32_FIND_DATAA item;
  HANDLE find = FindFirstFileA((root + "\\*").c_str(), &item);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    const std::string name = item.cFileName;
    if (name == "." || name == "..") continue;
    if (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const Lines inner = FilesBelow(root + "\\" + name, prefix + name + "\\");
      out.insert(out.end(), inner.begin(), inner.end());
    } else {
      out.push_back(prefix + name);
    }
  } while (FindNextFileA(find, &item));
  FindClose(find);
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(RunTest, HostileEntryNameStopsTheRunBeforeAnythingIsPacked) {
  // A name among the good ones that would write beside the unpack folder,
  // into the temporary folder, or onto a drive's root.
  const char* names[] = {"..\\evil.txt", "Data\\..\\..\\..\\evil.txt", "C:\\evil.txt"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::vector<Entry> entries = original_;
    entries.insert(entries.begin() + 100, Entry{name, Bytes(5, 'e'), false});
    ExpectUnpackRefused(fixture::WriteArchive(entries),
                        std::string("dialog Error has occured|Unsafe file name in archive: "
                                    "\\r\\n") + name + "\\r\\n");
    // Nothing but the archive and the run's own log anywhere in the
    // scratch folder, and nothing on the drive's root.
    EXPECT_EQ(FilesBelow(scratch_.path()), Lines({"events.log", "game\\O.pbo"}));
    EXPECT_FALSE(fixture::Exists("C:\\evil.txt"));
  }
}

// An unpacking that stops or passes over an entry would leave a partial
// folder; packing that over the archive would lose the rest of the game's
// files. The library's box, then code 2, and the archive stays as it was.
TEST_F(RunTest, UnpackThatStopsPartwayPacksNothing) {
  struct Case {
    const char* what;
    std::function<Bytes()> archive;
    const char* box;  // start of the library's box in the event log
  };
  const Case cases[] = {
      {"archive cut inside its data area",
       [&] {
         Bytes cut = fixture::WriteArchive(original_);
         cut.resize(cut.size() * 3 / 5);
         return cut;
       },
       "dialog Error has occured|File is corrupted: "},
      {"entry's folder is a file of an earlier entry",
       [&] {
         std::vector<Entry> entries = original_;
         entries.push_back(Entry{"config.cpp\\extra.txt", Bytes(3, 'x'), false});
         return fixture::WriteArchive(entries);
       },
       "dialog Error has occured|Cann't create directory: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectUnpackRefused(c.archive(), c.box);
  }
}

TEST_F(RunTest, FileOfAnotherNameIsRefused) {
  ASSERT_TRUE(MoveFileA((game_ + "O.pbo").c_str(), (game_ + "Other.pbo").c_str()));
  const Lines events = Run(game_ + "Other.pbo");
  EXPECT_EQ(Statuses(events), Lines({"Status: Idle", "Status: Extracting resources",
                                     "Status: Deleting temporary files", "Status: Done"}));
  const Lines boxes = Boxes(events);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("O.pbo"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("File not patched: Other.pbo"), std::string::npos) << boxes[0];
  ExpectArchiveUntouched("Other.pbo");
  EXPECT_FALSE(fixture::Exists(game_ + "O.pbo"));
  ExpectTemporaryFoldersGone();
}

TEST_F(RunTest, SecondPressDuringARunStartsNothing) {
  fixture::InstallerDriver& driver = Driver();
  ASSERT_TRUE(driver.Start());
  driver.Press(106);
  // Press again while the file dialog is open: its modal loop hands the
  // press to the main window's procedure.
  ASSERT_TRUE(driver.RunUntil("status Status: Done", [&] {
    driver.Press(106);
    Sleep(500);
    driver.AnswerFileDialog(game_ + "O.pbo");
  }));
  Sleep(1000);  // a second run would open its file dialog now
  const Lines events = driver.Events();
  EXPECT_EQ(driver.Close(), 0);
  EXPECT_EQ(FileDialogs(events), 1);
  EXPECT_EQ(Statuses(events),
            Lines({"Status: Idle", "Status: Extracting resources", "Status: Unpacking O.pbo",
                   "Status: Copying files", "Status: Packing O.pbo",
                   "Status: Successfully patched: O.pbo", "Status: Deleting temporary files",
                   "Status: Done"}));
  Bytes backup;
  ASSERT_TRUE(fixture::ReadWhole(game_ + "O.pbo.bak", &backup));
  EXPECT_TRUE(backup == archive_bytes_);
  ExpectTemporaryFoldersGone();
}

TEST_F(RunTest, LibraryThatCannotBeBoundGivesItsBoxThenCode2) {
  // A "pbokit.dll" beside the installer comes first in the search order, so
  // the copy written to the system folder is never reached.
  Bytes other_library;
  ASSERT_TRUE(fixture::ReadWhole(fixture::FromHost(EVENT_HOOK_DLL), &other_library));
  struct Case {
    const char* what;
    Bytes library;
    const char* box;
  };
  const Case cases[] = {
      {"not a library", Bytes(300, 'x'), "dialog Error|DLL not found : pbokit.dll"},
      {"a library without the export", other_library,
       "dialog Error|Function not found : _DecompressPbo"},
  };
  for (size_t i = 0; i < 2; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    const std::string app = scratch_.Make("app" + std::to_string(i) + "\\");
    ASSERT_TRUE(CopyFileA(fixture::FromHost(TEXINSTALL_EXE).c_str(),
                          (app + "texinstall.exe").c_str(), FALSE));
    ASSERT_TRUE(fixture::WriteWhole(app + "pbokit.dll", c.library));
    exe_ = app + "texinstall.exe";
    driver_.reset();
    DeleteFileA((scratch_.path() + "\\events.log").c_str());
    const Lines events = Run(game_ + "O.pbo");
    EXPECT_EQ(Boxes(events), Lines({c.box, kCode2}));
    EXPECT_EQ(Statuses(events),
              Lines({"Status: Idle", "Status: Extracting resources", "Status: Unpacking O.pbo",
                     "Status: Deleting temporary files", "Status: Done"}));
    ExpectArchiveUntouched();
    ExpectTemporaryFoldersGone();
  }
}

TEST_F(RunTest, UnwritableLibraryFileGivesCode1AfterThePayloadAndDeletesNothing) {
  // Another process holds the system folder's library open.
  const std::string library = SystemFolder() + "\\pbokit.dll";
  Bytes built;
  ASSERT_TRUE(fixture::ReadWhole(fixture::FromHost(PBOKIT_DLL), &built));
  if (!fixture::Exists(library)) {
    ASSERT_TRUE(fixture::WriteWhole(library, built));
  }
  HANDLE held = CreateFileA(library.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  fixture::InstallerDriver& driver = Driver();
  ASSERT_TRUE(driver.Start());
  driver.Press(106);
  EXPECT_TRUE(driver.RunUntil("status Status: Done", [] { ADD_FAILURE() << "file dialog"; }));
  const Lines events = driver.Events();
  EXPECT_EQ(driver.Close(), 0);
  CloseHandle(held);
  EXPECT_EQ(Statuses(events),
            Lines({"Status: Idle", "Status: Extracting resources", "Status: Done"}));
  EXPECT_EQ(Boxes(events), Lines({"dialog Error|Error occured during patching. Errorcode=1"}));
  // All 21 textures were written and stay.
  for (const fixture::PackFile& file : fixture::PackFiles()) {
    Bytes written, generated;
    ASSERT_TRUE(fixture::ReadWhole(temp_ + "\\extract\\O\\" + file.entry, &written)) << file.entry;
    ASSERT_TRUE(fixture::ReadWhole(file.data_path, &generated));
    EXPECT_TRUE(written == generated) << file.entry;
  }
  ExpectArchiveUntouched();
}

TEST_F(RunTest, CutOffTemporaryFolderWritesAndDeletesNothing) {
  // A temporary folder longer than the system's path limit.
  temp_ = scratch_.path() + "\\" + std::string(280, 'x');
  const Lines events = Run(game_ + "O.pbo");
  EXPECT_EQ(Statuses(events),
            Lines({"Status: Idle", "Status: Extracting resources", "Status: Done"}));
  const Lines boxes = Boxes(events);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0],
            "dialog Error|The temporary folder or the system folder could not be found.");
  EXPECT_EQ(boxes[1], "dialog Error|Error occured during patching. Errorcode=1");
  ExpectArchiveUntouched();
  // Nothing was written relative to the current folders either.
  EXPECT_FALSE(fixture::Exists("extract"));
  EXPECT_FALSE(fixture::Exists(scratch_.path() + "\\app"));
}

TEST_F(RunTest, MainWindowIgnoresEnterAndEscapeAndWaitsForTheReadme) {
  fixture::InstallerDriver& driver = Driver();
  ASSERT_TRUE(driver.Start());
  const HWND main = driver.main_window();
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, 103)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, 104)));
  char text[64] = {};
  GetWindowTextA(GetDlgItem(main, 104), text, sizeof(text));
  EXPECT_STREQ(text, "0 %");

  // Escape and Enter reach the window as commands 2 and 1; it stays open.
  SendMessageA(main, WM_COMMAND, IDCANCEL, 0);
  SendMessageA(main, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(IsWindow(main));
  EXPECT_TRUE(IsWindowVisible(main));

  // The readme button opens the readme window modally over the main window.
  driver.Press(105);
  HWND readme = nullptr;
  for (int i = 0; i < 100 && readme == nullptr; ++i) {
    Sleep(100);
    readme = driver.WindowTitled("! --> Readme First <-- !");
  }
  ASSERT_NE(readme, nullptr);
  EXPECT_FALSE(IsWindowEnabled(main));
  PostMessageA(readme, WM_CLOSE, 0, 0);
  for (int i = 0; i < 100 && IsWindow(readme); ++i) Sleep(100);
  EXPECT_FALSE(IsWindow(readme));
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(driver.Close(), 0);
  EXPECT_EQ(Statuses(driver.Events()), Lines({"Status: Idle"}));
}

}  // namespace
