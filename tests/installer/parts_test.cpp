// The installer's parts in this test program's own process: resources of
// this program are read and written, and the folder paths are set by hand.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fixture.h"
#include "paths.h"
#include "payload.h"

namespace {

using fixture::Bytes;

Bytes FileBytes(const std::string& path) {
  Bytes data;
  EXPECT_TRUE(fixture::ReadWhole(path, &data)) << path;
  return data;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(LoadResourceText, ReadsTheWholeResourceZeroBytesIncluded) {
  std::string text = "left over";
  LoadResourceText(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(3), "BINRES", &text);
  EXPECT_EQ(text, std::string("line one\r\n\0\0after zeros", 23));
}

TEST(LoadResourceText, MissingResourceGivesEmptyText) {
  std::string text = "left over";
  LoadResourceText(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(4), "BINRES", &text);
  EXPECT_EQ(text, "");
  text = "left over";
  LoadResourceText(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(3), "NOTYPE", &text);
  EXPECT_EQ(text, "");
}

TEST(WriteResourceToFile, CreatesFoldersAndReplacesALongerFile) {
  fixture::ScratchFolder scratch;
  const std::string path = scratch.path() + "\\a\\b\\c\\tex.pac";
  EXPECT_TRUE(WriteResourceToFile("RCDATA1", "PATCH1", path));
  EXPECT_EQ(FileBytes(path), Text("\x01\xFF" "first texture"));

  // A longer file from an earlier run is replaced whole, not overwritten in part.
  ASSERT_TRUE(fixture::WriteWhole(path, Bytes(5000, 'x')));
  EXPECT_TRUE(WriteResourceToFile("RCDATA1", "patch2", path));  // names match in any case
  EXPECT_EQ(FileBytes(path), Text("\x01\xFF" "second"));
}

TEST(WriteResourceToFile, FailuresReturnFalseAndCreateNothing) {
  fixture::ScratchFolder scratch;
  // A missing resource counts as a failed write.
  const std::string missing = scratch.path() + "\\new\\missing.pac";
  EXPECT_FALSE(WriteResourceToFile("RCDATA1", "PATCH3", missing));
  EXPECT_FALSE(fixture::Exists(missing));
  EXPECT_FALSE(fixture::Exists(scratch.path() + "\\new"));

  // A folder on the way that is a file: the file cannot be created.
  ASSERT_TRUE(fixture::WriteWhole(scratch.path() + "\\blocker", Text("x")));
  EXPECT_FALSE(WriteResourceToFile("RCDATA1", "PATCH1", scratch.path() + "\\blocker\\tex.pac"));

  // The target itself is a folder.
  CreateDirectoryA((scratch.path() + "\\folder").c_str(), nullptr);
  EXPECT_FALSE(WriteResourceToFile("RCDATA1", "PATCH1", scratch.path() + "\\folder"));
}

class ExtractPayloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = scratch_.path() + "\\temp\\";
    system_ = scratch_.Make("system");
    CreateDirectoryA(temp_.c_str(), nullptr);
    CreateDirectoryA(system_.c_str(), nullptr);
    lstrcpyA(TempPath, temp_.c_str());
    lstrcpyA(SystemPath, system_.c_str());
  }
  void TearDown() override {
    TempPath[0] = '\0';
    SystemPath[0] = '\0';
  }
  fixture::ScratchFolder scratch_;
  std::string temp_, system_;
};

TEST_F(ExtractPayloadTest, StopsAtTheFirstMissingTextureBeforeTheLibrary) {
  // This program carries only PATCH1 and PATCH2.
  EXPECT_FALSE(ExtractPayload());
  EXPECT_EQ(FileBytes(temp_ + "extract\\O\\Skal\\kamen02.pac"), Text("\x01\xFF" "first texture"));
  EXPECT_EQ(FileBytes(temp_ + "extract\\O\\Skal\\kamen04.pac"), Text("\x01\xFF" "second"));
  EXPECT_FALSE(fixture::Exists(temp_ + "extract\\O\\Skal\\kamen05.pac"));
  EXPECT_FALSE(fixture::Exists(system_ + "\\pbokit.dll"));
}

TEST_F(ExtractPayloadTest, UnusableFolderPathsWriteNothing) {
  struct Case {
    const char* temp;
    const char* system;
  };
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  SetCurrentDirectoryA(scratch_.path().c_str());
  for (const Case& c : {Case{"", "C:\\windows\\system32"},         // no temporary folder
                        Case{"C:\\temp\\", ""},                    // no system folder
                        Case{"temp\\", "C:\\windows\\system32"},   // relative
                        Case{"C:\\temp", "C:\\windows\\system32"},  // no trailing backslash
                        Case{"C:\\temp\\", "system32"},
                        Case{"C:", "C:\\windows\\system32"}}) {
    SCOPED_TRACE(std::string(c.temp) + " | " + c.system);
    lstrcpyA(TempPath, c.temp);
    lstrcpyA(SystemPath, c.system);
    EXPECT_FALSE(FolderPathsValid());
    EXPECT_FALSE(ExtractPayload());
  }
  SetCurrentDirectoryA(current);
  // Nothing appeared relative to the current folder.
  WIN32_FIND_DATAA item;
  HANDLE find = FindFirstFileA((scratch_.path() + "\\*").c_str(), &item);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::string> names;
  do names.push_back(item.cFileName);
  while (FindNextFileA(find, &item));
  FindClose(find);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, std::vector<std::string>({".", "..", "system", "temp"}));
}

TEST(FolderPaths, NotedPathsAreAbsoluteAndTempEndsWithBackslash) {
  NoteFolderPaths();
  EXPECT_TRUE(FolderPathsValid()) << TempPath << " | " << SystemPath;
  const std::string temp = TempPath;
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_NE(std::string(SystemPath).back(), '\\');
  lstrcpyA(TempPath, "\\\\server\\share\\tmp\\");
  EXPECT_TRUE(FolderPathsValid());
}

}  // namespace
