// Runs the installer once on a generated game archive, headless, and tells
// what changed: the demonstration behind script/run and the pictures of
// script/screenshots.
//
// Usage: installer_demo.exe WORK_FOLDER [INSTALLER] [--shots HANDSHAKE_FOLDER]
// The archive is written to WORK_FOLDER\game\O.pbo and the installer gets
// WORK_FOLDER\tmp as its temporary folder. With --shots the program stops at
// three moments (idle, running, done), writes HANDSHAKE_FOLDER\<moment>.ready
// holding the main window's rectangle "x y width height", and waits for
// <moment>.taken before it goes on.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "driver.h"
#include "fixture.h"

namespace {

using fixture::Bytes;

void WaitForShot(const std::string& handshake, const char* moment, HWND window) {
  if (handshake.empty()) return;
  RECT r;
  GetWindowRect(window, &r);
  char text[64];
  std::snprintf(text, sizeof(text), "%ld %ld %ld %ld", r.left, r.top, r.right - r.left,
                r.bottom - r.top);
  const std::string base = handshake + "\\" + moment;
  fixture::WriteWhole(base + ".ready", Bytes(text, text + std::strlen(text)));
  for (int i = 0; i < 600 && !fixture::Exists(base + ".taken"); ++i) Sleep(50);
}

}  // namespace

int main(int argc, char** argv) {
  std::string work, exe = fixture::FromHost(TEXINSTALL_EXE), handshake;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--shots" && i + 1 < argc) {
      handshake = argv[++i];
    } else if (work.empty()) {
      work = arg;
    } else {
      exe = arg;
    }
  }
  if (work.empty()) {
    std::fprintf(stderr, "usage: installer_demo WORK_FOLDER [INSTALLER] [--shots FOLDER]\n");
    return 2;
  }
  fixture::DeleteTree(work);
  CreateDirectoryA(work.c_str(), nullptr);
  const std::string game = work + "\\game\\";
  const std::string temp = work + "\\tmp";
  CreateDirectoryA(game.c_str(), nullptr);
  CreateDirectoryA(temp.c_str(), nullptr);
  const auto original = fixture::SampleEntries();
  const Bytes archive = fixture::WriteArchive(original);
  fixture::WriteWhole(game + "O.pbo", archive);
  std::printf("sample archive: %s (%u entries, %u bytes)\n", (game + "O.pbo").c_str(),
              static_cast<unsigned>(original.size()), static_cast<unsigned>(archive.size()));

  fixture::InstallerDriver driver(exe, temp, work + "\\events.log");
  if (!driver.Start()) {
    std::fprintf(stderr, "the installer did not start\n");
    return 1;
  }
  WaitForShot(handshake, "idle", driver.main_window());
  driver.Press(106);
  const auto answer = [&] { driver.AnswerFileDialog(game + "O.pbo"); };
  bool done = true;
  if (!handshake.empty()) {
    // Hold the run still in the middle of the packing, progress bar moving.
    done = driver.RunUntil("status Status: Unpacking O.pbo", answer);
    driver.WaitForProgress("Status: Packing O.pbo", 20, 80, 60000);
    driver.Suspend();
    Sleep(100);
    WaitForShot(handshake, "running", driver.main_window());
    driver.Resume();
  }
  done = done && driver.RunUntil("status Status: Done", answer);
  if (!done) std::fprintf(stderr, "the installer did not finish\n");
  for (const std::string& event : driver.Events()) std::printf("  %s\n", event.c_str());
  WaitForShot(handshake, "done", driver.main_window());
  const int exit_code = driver.Close();

  std::vector<fixture::Entry> patched;
  Bytes bytes;
  if (!fixture::ReadWhole(game + "O.pbo", &bytes) || !fixture::ReadArchive(bytes, &patched)) {
    std::fprintf(stderr, "no readable archive after the run\n");
    return 1;
  }
  std::map<std::string, const fixture::Entry*> before;
  for (const auto& e : original) before[e.name] = &e;
  int replaced = 0, kept = 0;
  std::printf("entries replaced:\n");
  for (const auto& e : patched) {
    const fixture::Entry* old = before.count(e.name) ? before[e.name] : nullptr;
    if (old != nullptr && old->content == e.content) {
      ++kept;
      continue;
    }
    ++replaced;
    std::printf("  %-36s %8u -> %8u bytes%s\n", e.name.c_str(),
                old ? static_cast<unsigned>(old->content.size()) : 0u,
                static_cast<unsigned>(e.content.size()), old ? "" : " (new)");
  }
  std::printf("%d entries replaced, %d unchanged; archive %u -> %u bytes\n", replaced, kept,
              static_cast<unsigned>(archive.size()), static_cast<unsigned>(bytes.size()));
  std::printf("backup of the original: %s%s\n", (game + "O.pbo.bak").c_str(),
              fixture::Exists(game + "O.pbo.bak") ? "" : " (missing!)");
  std::printf("installer exit code: %d\n", exit_code);
  return done && exit_code == 0 ? 0 : 1;
}
