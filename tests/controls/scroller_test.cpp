// The scrolling text control: its messages, its worker thread, and what it
// shows on the screen at given scroll offsets.
#include <gtest/gtest.h>

#include <string>

#include "controls/AboutScroller.h"
#include "screen.h"

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 120;
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// Long enough that it stays out of the worker's wrap in every test here.
constexpr LONG kHeldDelay = 600000;

bool IsGreenOnBlack(COLORREF c) { return Red(c) == 0 && Blue(c) == 0; }
bool IsTextGreen(COLORREF c) { return Green(c) > 128 && Red(c) == 0 && Blue(c) == 0; }
bool IsBlack(COLORREF c) { return c == kBlack; }

HFONT TestFont() {
  static HFONT font = CreateFontA(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                  DEFAULT_PITCH, "Tahoma");
  return font;
}

// Height of `text` word-wrapped at the control's width in the test font.
int WrappedHeight(const char* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, TestFont());
  RECT r = {0, 0, kWidth, kHeight};
  DrawTextA(dc, text, -1, &r, DT_CENTER | DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  return r.bottom - r.top;
}

int TextWidth(const char* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, TestFont());
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  SelectObject(dc, old);
  DeleteDC(dc);
  return size.cx;
}

HWND CreateScroller(HWND parent) {
  return CreateWindowExA(0, ABOUT_SCROLLER_CLASS, "", WS_CHILD | WS_VISIBLE, 10, 10, kWidth,
                         kHeight, parent, reinterpret_cast<HMENU>(1), GetModuleHandleA(nullptr),
                         nullptr);
}

bool ThreadEnds(DWORD threadId, DWORD timeoutMs) {
  HANDLE h = OpenThread(SYNCHRONIZE, FALSE, threadId);
  if (!h) return true;  // already gone
  bool ended = WaitForSingleObject(h, timeoutMs) == WAIT_OBJECT_0;
  CloseHandle(h);
  return ended;
}

class ScrollerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = CreateHostWindow(60, 60, kWidth + 20, kHeight + 20);
    scroller_ = CreateScroller(host_);
    ASSERT_NE(scroller_, nullptr);
    state_ = Scroller_State(scroller_);
    ASSERT_NE(state_, nullptr);
    SendMessageA(scroller_, WM_SETFONT, reinterpret_cast<WPARAM>(TestFont()), FALSE);
  }
  void TearDown() override { DestroyWindow(host_); }

  // Parks the worker in a long sleep after its first step, so the test sets
  // the offset itself and each frame is exactly the one it asks for.
  void HoldWorker() {
    Scroller_SetDelay(scroller_, kHeldDelay);
    PumpUntil([&] { return state_->offset >= 1; }, 2000);
    PumpFor(50);
  }
  Pixels ShowOffset(LONG offset) {
    InterlockedExchange(&state_->offset, offset);
    RepaintNow(scroller_);
    return CaptureClient(scroller_);
  }
  void ShowGreenText(const char* text) {
    SetWindowTextA(scroller_, text);
    Scroller_SetColors(scroller_, kGreen, kBlack);
  }

  HWND host_ = nullptr;
  HWND scroller_ = nullptr;
  ScrollerState* state_ = nullptr;
};

const char kThreeLines[] =
    "First line of the readme\r\n\r\nSecond line that is long enough to wrap at the "
    "control's width\r\n\r\nLast line";

TEST_F(ScrollerTest, FixedMessageResults) {
  struct Case {
    const char* name;
    UINT msg;
    LRESULT expected;
  };
  const Case cases[] = {
      {"WM_ERASEBKGND suppresses the erase", WM_ERASEBKGND, 1},
      {"WM_TIMER is swallowed", WM_TIMER, 1},
      {"WM_NCHITTEST is transparent", WM_NCHITTEST, HTTRANSPARENT},
      {"SCM_TICK", SCM_TICK, 0},
      {"SCM_SETDELAY", SCM_SETDELAY, 0},
  };
  HoldWorker();
  for (const Case& c : cases) {
    WPARAM wp = c.msg == SCM_SETDELAY ? kHeldDelay : 0;
    EXPECT_EQ(SendMessageA(scroller_, c.msg, wp, 0), c.expected) << c.name;
  }
}

TEST_F(ScrollerTest, ColoursStartAsSystemButtonColoursAndReadBack) {
  EXPECT_EQ(Scroller_GetTextColor(scroller_), GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(Scroller_GetBkColor(scroller_), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(SendMessageA(scroller_, SCM_SETCOLORS, RGB(1, 2, 3), RGB(250, 251, 252)), 0);
  EXPECT_EQ(Scroller_GetTextColor(scroller_), RGB(1, 2, 3));
  EXPECT_EQ(Scroller_GetBkColor(scroller_), RGB(250, 251, 252));
}

TEST_F(ScrollerTest, GetFontAnswersTheFontLastSet) {
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(scroller_, WM_GETFONT, 0, 0)), TestFont());
  HFONT other = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  SendMessageA(scroller_, WM_SETFONT, reinterpret_cast<WPARAM>(other), FALSE);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(scroller_, WM_GETFONT, 0, 0)), other);
}

TEST_F(ScrollerTest, NextWindowKeepsDelayAndFontButResetsColoursAndOffset) {
  HoldWorker();
  Scroller_SetDelay(scroller_, 1234);
  Scroller_SetColors(scroller_, kGreen, kBlack);
  InterlockedExchange(&state_->offset, 57);
  DestroyWindow(scroller_);

  HWND next = CreateScroller(host_);
  ASSERT_EQ(Scroller_State(next), state_);
  EXPECT_EQ(state_->delay, 1234);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(next, WM_GETFONT, 0, 0)), TestFont());
  EXPECT_EQ(Scroller_GetTextColor(next), GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(Scroller_GetBkColor(next), GetSysColor(COLOR_BTNFACE));
  EXPECT_LE(state_->offset, 1);  // 0, or 1 if the new worker already stepped
  Scroller_SetDelay(next, kHeldDelay);
}

TEST_F(ScrollerTest, SetTextKeepsTheFirst8191Characters) {
  std::string longText;
  for (int i = 0; longText.size() < 10000; ++i) longText += static_cast<char>('a' + i % 26);
  EXPECT_TRUE(SetWindowTextA(scroller_, longText.c_str()));
  EXPECT_EQ(std::string(state_->text), longText.substr(0, kScrollerTextMax));
  // The window text itself is the default procedure's copy, kept whole.
  EXPECT_EQ(GetWindowTextLengthA(scroller_), 10000);

  SetWindowTextA(scroller_, "short");
  EXPECT_STREQ(state_->text, "short");
  SetWindowTextA(scroller_, "");
  EXPECT_STREQ(state_->text, "");
  SetWindowTextA(scroller_, "before");
  SendMessageA(scroller_, WM_SETTEXT, 0, 0);  // no text at all clears it
  EXPECT_STREQ(state_->text, "");
}

TEST_F(ScrollerTest, OnlyTickAndSetFontWithRedrawRequestARepaint) {
  struct Case {
    const char* name;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    bool repaints;
  };
  static const char kText[] = "new text";
  const Case cases[] = {
      {"WM_SETTEXT", WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kText), false},
      {"SCM_SETCOLORS", SCM_SETCOLORS, kGreen, kBlack, false},
      {"WM_SETFONT without redraw", WM_SETFONT, reinterpret_cast<WPARAM>(TestFont()), 0, false},
      {"WM_SETFONT with redraw", WM_SETFONT, reinterpret_cast<WPARAM>(TestFont()), 1, true},
      {"SCM_TICK", SCM_TICK, 0, 0, true},
  };
  HoldWorker();
  for (const Case& c : cases) {
    ValidateRect(scroller_, nullptr);
    SendMessageA(scroller_, c.msg, c.wp, c.lp);
    EXPECT_EQ(GetUpdateRect(scroller_, nullptr, FALSE) != FALSE, c.repaints) << c.name;
  }
}

TEST_F(ScrollerTest, ClicksGoToTheWindowBeneath) {
  RECT r;
  GetWindowRect(scroller_, &r);
  POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  EXPECT_EQ(WindowFromPoint(centre), host_);
}

TEST_F(ScrollerTest, WorkerAndTextEndWithTheWindow) {
  DWORD threadId = state_->threadId;
  ASSERT_NE(threadId, 0u);
  ASSERT_FALSE(ThreadEnds(threadId, 0));
  DestroyWindow(scroller_);
  EXPECT_TRUE(ThreadEnds(threadId, 2000));
  EXPECT_EQ(state_->thread, nullptr);
  EXPECT_EQ(state_->text, nullptr);
}

// Only one window of the class can be served: the newest takes the record
// over, and the earlier one's worker stops instead of ticking the new window.
TEST_F(ScrollerTest, SecondWindowTakesTheRecordOver) {
  DWORD firstWorker = state_->threadId;
  HWND second = CreateScroller(host_);
  DWORD secondWorker = state_->threadId;
  EXPECT_NE(secondWorker, firstWorker);
  EXPECT_TRUE(ThreadEnds(firstWorker, 2000));
  SetWindowTextA(second, "second");

  DestroyWindow(scroller_);  // the earlier window leaves the record alone
  EXPECT_FALSE(ThreadEnds(secondWorker, 200));
  EXPECT_STREQ(state_->text, "second");

  DestroyWindow(second);
  EXPECT_TRUE(ThreadEnds(secondWorker, 2000));
}

// Counts the worker's ticks on their way to the control.
int g_ticks = 0;
WNDPROC g_original = nullptr;
LRESULT CALLBACK CountTicks(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == SCM_TICK) ++g_ticks;
  return CallWindowProcA(g_original, w, m, wp, lp);
}

TEST_F(ScrollerTest, DelayPacesTheWorker) {
  struct Case {
    LONG delay;
    int minTicks;
    int maxTicks;
  };
  // Over 600 ms: no pause steps as fast as the ticks are taken; 250 ms
  // allows at most a few steps.
  const Case cases[] = {{0, 40, 1 << 30}, {250, 1, 4}};
  g_original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(scroller_, GWLP_WNDPROC));
  SetWindowLongPtrA(scroller_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountTicks));
  SetWindowTextA(scroller_, kThreeLines);
  for (const Case& c : cases) {
    Scroller_SetDelay(scroller_, c.delay);
    PumpFor(300);  // the step under way ends with its old pause
    g_ticks = 0;
    PumpFor(600);
    EXPECT_GE(g_ticks, c.minTicks) << "delay " << c.delay;
    EXPECT_LE(g_ticks, c.maxTicks) << "delay " << c.delay;
  }
  Scroller_SetDelay(scroller_, kHeldDelay);
}

TEST_F(ScrollerTest, FirstFrameShowsOnlyTheBackground) {
  ShowGreenText(kThreeLines);
  RepaintNow(scroller_);
  Pixels frame = CaptureClient(scroller_);
  ASSERT_EQ(frame.width, kWidth);
  EXPECT_EQ(frame.Count(0, frame.height, IsBlack), kWidth * kHeight);
}

TEST_F(ScrollerTest, TextRisesFromTheBottomEdgeInGreenOnBlack) {
  HoldWorker();
  ShowGreenText(kThreeLines);
  for (LONG offset : {LONG{12}, LONG{kHeight / 2}, LONG{kHeight}}) {
    Pixels frame = ShowOffset(offset);
    int top = kHeight - offset;  // first image row of the text on screen
    EXPECT_EQ(frame.Count(0, top, IsBlack), kWidth * top) << "offset " << offset;
    EXPECT_GT(frame.Count(top, kHeight, IsTextGreen), 10) << "offset " << offset;
    EXPECT_EQ(frame.Count(0, kHeight, IsGreenOnBlack), kWidth * kHeight) << "offset " << offset;
    EXPECT_LT(frame.FirstRow(IsTextGreen) - top, 6) << "offset " << offset;
  }
}

TEST_F(ScrollerTest, WorkerRaisesTheTextStepByStep) {
  ShowGreenText(kThreeLines);
  Scroller_SetDelay(scroller_, 5);
  ASSERT_TRUE(PumpUntil([&] { return state_->offset > kHeight / 2; }, 10000));
  Scroller_SetDelay(scroller_, kHeldDelay);
  PumpFor(100);
  RepaintNow(scroller_);
  LONG offset = state_->offset;
  Pixels frame = CaptureClient(scroller_);
  EXPECT_EQ(frame.Count(0, kHeight - offset, IsBlack), kWidth * (kHeight - offset));
  EXPECT_GT(frame.Count(kHeight - offset, kHeight, IsTextGreen), 10);
}

TEST_F(ScrollerTest, WrapReturnsToTheEmptyUpperBand) {
  HoldWorker();
  ShowGreenText(kThreeLines);
  const LONG lowerBand = WrappedHeight(kThreeLines) + kHeight;  // T + H

  Pixels lastText = ShowOffset(lowerBand - 8);
  EXPECT_GT(lastText.Count(0, 8, IsTextGreen), 0) << "the last line leaves at the top";

  Pixels empty = ShowOffset(lowerBand);
  EXPECT_EQ(empty.Count(0, kHeight, IsBlack), kWidth * kHeight);
  EXPECT_EQ(state_->offset, lowerBand);

  Pixels wrapped = ShowOffset(lowerBand + 1);
  EXPECT_EQ(state_->offset, 0);
  EXPECT_EQ(wrapped.Count(0, kHeight, IsBlack), kWidth * kHeight);

  Pixels again = ShowOffset(20);
  EXPECT_EQ(again.Count(0, kHeight - 20, IsBlack), kWidth * (kHeight - 20));
  EXPECT_GT(again.Count(kHeight - 20, kHeight, IsTextGreen), 10);
}

TEST_F(ScrollerTest, AmpersandsAreDrawnAsAmpersands) {
  HoldWorker();
  ShowGreenText("&&&&&&&&");
  Pixels frame = ShowOffset(kHeight);  // the line at the top edge
  int drawn = frame.LastColumn(IsTextGreen) - frame.FirstColumn(IsTextGreen) + 1;
  int eight = TextWidth("&&&&&&&&");
  int four = TextWidth("&&&&");  // what mnemonic handling would leave
  EXPECT_GT(drawn, (eight + four) / 2);
  EXPECT_LE(drawn, eight);
}

TEST_F(ScrollerTest, NewColoursShowAtTheNextStep) {
  HoldWorker();
  ShowGreenText(kThreeLines);
  Pixels before = ShowOffset(kHeight);
  Scroller_SetColors(scroller_, RGB(255, 0, 0), RGB(0, 0, 255));
  GdiFlush();
  Pixels unchanged = CaptureClient(scroller_);
  EXPECT_EQ(unchanged.data, before.data);

  SendMessageA(scroller_, SCM_TICK, 0, 0);
  UpdateWindow(scroller_);
  Pixels after = CaptureClient(scroller_);
  EXPECT_EQ(after.Count(0, kHeight, [](COLORREF c) { return c == RGB(0, 0, 255); }) +
                after.Count(0, kHeight, [](COLORREF c) { return Red(c) > 128 && Green(c) == 0; }),
            kWidth * kHeight);
  EXPECT_GT(after.Count(0, kHeight, [](COLORREF c) { return c == RGB(255, 0, 0); }), 10);
}

}  // namespace
