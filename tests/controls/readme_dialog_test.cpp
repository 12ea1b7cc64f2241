// The readme window, opened modally over an owner window as the main window
// opens it. A second thread plays the user while this thread runs the modal
// loop; it only records what it sees, and the test checks afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "controls/AboutScroller.h"
#include "controls/HyperLink.h"
#include "readme_dialog.h"
#include "resource.h"
#include "screen.h"

namespace {

bool IsTextGreen(COLORREF c) { return Green(c) > 128 && Red(c) == 0 && Blue(c) == 0; }
bool IsGreenOnBlack(COLORREF c) { return Red(c) == 0 && Blue(c) == 0; }

std::string WindowText(HWND w) {
  std::string s(static_cast<size_t>(GetWindowTextLengthA(w)) + 1, '\0');
  s.resize(static_cast<size_t>(GetWindowTextA(w, &s[0], static_cast<int>(s.size()))));
  return s;
}

std::string ReadmeResource() {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(self, MAKEINTRESOURCEA(IDR_README), "BINRES");
  if (!info) return std::string();
  const char* data = static_cast<const char*>(LockResource(LoadResource(self, info)));
  return std::string(data, SizeofResource(self, info));
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

struct Session {
  DWORD uiThread;
  HWND owner;
  std::function<void(HWND)> script;
  HWND dialog = nullptr;
  HANDLE worker = nullptr;  // the scroller's worker thread, opened while it ran
};

BOOL CALLBACK FindOwnedDialog(HWND w, LPARAM param) {
  Session* s = reinterpret_cast<Session*>(param);
  char cls[16] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") == 0 && GetWindow(w, GW_OWNER) == s->owner) {
    s->dialog = w;
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI PlayUser(LPVOID param) {
  Session* s = static_cast<Session*>(param);
  WaitFor([&] {
    EnumThreadWindows(s->uiThread, FindOwnedDialog, reinterpret_cast<LPARAM>(s));
    return s->dialog != nullptr && IsWindowVisible(s->dialog);
  }, 10000);
  if (!s->dialog) return 1;
  ScrollerState* state = Scroller_State(GetDlgItem(s->dialog, IDC_INFO_SCROLLER));
  if (state) s->worker = OpenThread(SYNCHRONIZE, FALSE, state->threadId);
  s->script(s->dialog);
  // Whatever the script did, do not leave the test hanging in the modal loop.
  if (!WaitFor([&] { return !IsWindow(s->dialog); }, 5000))
    PostMessageA(s->dialog, WM_COMMAND, IDC_INFO_OK, 0);
  return 0;
}

class ReadmeDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { owner_ = CreateHostWindow(100, 100, 300, 200); }
  void TearDown() override {
    DestroyWindow(owner_);
    for (HANDLE h : workers_) CloseHandle(h);
  }

  // Shows the readme window until it closes, with `script` run on a second
  // thread against it. @return the dialog's handle (gone by then), 0 if it
  // never appeared.
  HWND ShowWhile(const std::function<void(HWND)>& script) {
    Session session{GetCurrentThreadId(), owner_, script};
    HANDLE player = CreateThread(nullptr, 0, PlayUser, &session, 0, nullptr);
    ShowReadmeDialog(owner_);
    PumpUntil([&] { return WaitForSingleObject(player, 0) == WAIT_OBJECT_0; }, 20000);
    CloseHandle(player);
    lastWorker_ = session.worker;
    if (session.worker) workers_.push_back(session.worker);
    return session.dialog;
  }
  bool LastWorkerEnded() const {
    return lastWorker_ && WaitForSingleObject(lastWorker_, 3000) == WAIT_OBJECT_0;
  }

  HWND owner_ = nullptr;
  HANDLE lastWorker_ = nullptr;
  std::vector<HANDLE> workers_;
};

TEST_F(ReadmeDialogTest, ShowsTheReadmeGreenOnBlackWithIconAndLinkTarget) {
  bool ownerDisabled = false, hasIcon = false;
  COLORREF text = 0, back = 0;
  std::string shown, label, target;
  HWND dialog = ShowWhile([&](HWND d) {
    ownerDisabled = !IsWindowEnabled(owner_);
    hasIcon = SendMessageA(d, WM_GETICON, ICON_BIG, 0) != 0;
    HWND scroller = GetDlgItem(d, IDC_INFO_SCROLLER);
    text = Scroller_GetTextColor(scroller);
    back = Scroller_GetBkColor(scroller);
    shown = Scroller_State(scroller)->text;
    HWND link = GetDlgItem(d, IDC_INFO_LINK);
    label = WindowText(link);
    const char* prop = static_cast<const char*>(GetPropA(link, LINK_TARGET_PROP));
    target = prop ? prop : "";
    PostMessageA(GetDlgItem(d, IDC_INFO_OK), BM_CLICK, 0, 0);
  });
  ASSERT_NE(dialog, nullptr) << "the readme window did not open";
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_TRUE(hasIcon);
  EXPECT_EQ(text, RGB(0, 255, 0));
  EXPECT_EQ(back, RGB(0, 0, 0));
  EXPECT_EQ(shown, ReadmeResource());
  EXPECT_FALSE(shown.empty());
  EXPECT_EQ(target, label);
  EXPECT_EQ(target, INFO_LINK_ADDRESS);
}

TEST_F(ReadmeDialogTest, EscapeDoesNotCloseButOkAndCloseBoxDo) {
  struct Closer {
    const char* name;
    std::function<void(HWND)> close;
  };
  const Closer closers[] = {
      {"OK button", [](HWND d) { PostMessageA(GetDlgItem(d, IDC_INFO_OK), BM_CLICK, 0, 0); }},
      {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Closer& c : closers) {
    bool openAfterEscape = false, closed = false;
    HWND dialog = ShowWhile([&](HWND d) {
      PostMessageA(d, WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessageA(d, WM_KEYUP, VK_ESCAPE, 0);
      PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
      Sleep(500);
      openAfterEscape = IsWindow(d) && IsWindowVisible(d);
      c.close(d);
      closed = WaitFor([&] { return !IsWindow(d); }, 4000);
    });
    ASSERT_NE(dialog, nullptr) << c.name;
    EXPECT_TRUE(openAfterEscape) << c.name;
    EXPECT_TRUE(closed) << c.name;
    EXPECT_TRUE(LastWorkerEnded()) << c.name << ": the scroller's worker outlived the window";
  }
}

// The text rises from the bottom edge every time the window opens, however
// far it had risen before.
TEST_F(ReadmeDialogTest, ReopeningStartsTheTextFromTheBottomAgain) {
  for (int opening = 1; opening <= 2; ++opening) {
    int height = 0, earlyGreenAtTop = -1, firstGreenRow = -1, nonGreenOnBlack = -1;
    bool rose = false;
    ShowWhile([&](HWND d) {
      HWND scroller = GetDlgItem(d, IDC_INFO_SCROLLER);
      ScrollerState* state = Scroller_State(scroller);
      RECT client;
      GetClientRect(scroller, &client);
      height = client.bottom;
      Scroller_SetDelay(scroller, 10);
      // While the offset stays below half the height, the upper half is empty.
      Pixels early = CaptureClient(scroller);
      if (state->offset < height / 2) earlyGreenAtTop = early.Count(0, height / 2, IsTextGreen);
      // Watch the text come in: its first rows appear at the bottom edge.
      WaitFor([&] {
        Pixels p = CaptureClient(scroller);
        firstGreenRow = p.FirstRow(IsTextGreen);
        return firstGreenRow >= 0;
      }, 8000);
      rose = WaitFor([&] { return state->offset > height + 20; }, 8000);
      Pixels risen = CaptureClient(scroller);
      nonGreenOnBlack = risen.width * risen.height - risen.Count(0, risen.height, IsGreenOnBlack);
      PostMessageA(GetDlgItem(d, IDC_INFO_OK), BM_CLICK, 0, 0);
    });
    ASSERT_GT(height, 0) << "opening " << opening;
    EXPECT_EQ(earlyGreenAtTop, 0) << "opening " << opening;
    EXPECT_GT(firstGreenRow, height / 2) << "opening " << opening << ": text entered from above";
    EXPECT_TRUE(rose) << "opening " << opening;
    EXPECT_EQ(nonGreenOnBlack, 0) << "opening " << opening;
  }
}

}  // namespace
