// The hyperlink control: its plain and hover looks on the screen, the mouse
// capture and hand cursor that go with hovering, and opening its target.
#include <gtest/gtest.h>

#include <string>

#include "controls/AboutScroller.h"
#include "controls/HyperLink.h"
#include "controls/controls.h"
#include "screen.h"

namespace {

constexpr int kLeft = 300;
constexpr int kTop = 300;
constexpr int kLinkX = 20;
constexpr int kLinkY = 20;
constexpr int kLinkWidth = 200;
constexpr int kLinkHeight = 16;
const POINT kFarAway = {1000, 740};

// Text may be drawn smoothed: ink is any clearly darker grey, blue ink any
// pixel clearly bluer than it is red.
bool IsInk(COLORREF c) { return Red(c) < 160 && Blue(c) < Red(c) + 24; }
bool IsBlueInk(COLORREF c) { return Blue(c) > Red(c) + 48; }

HWND CreateLink(HWND parent, const char* label) {
  return CreateWindowExA(0, HYPERLINK_CLASS, label, WS_CHILD | WS_VISIBLE, kLinkX, kLinkY,
                         kLinkWidth, kLinkHeight, parent, reinterpret_cast<HMENU>(2),
                         GetModuleHandleA(nullptr), nullptr);
}

HCURSOR HandCursor() { return LoadCursorA(GetModuleHandleA(nullptr), LINK_CURSOR_NAME); }

// A copy of the probe program under a name of its own, so each test sees
// only its own marker file.
class Probe {
 public:
  Probe() {
    char self[MAX_PATH], temp[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string source(self);
    source = source.substr(0, source.find_last_of('\\') + 1) + "link_probe.exe";
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "link_probe_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(GetTickCount()) + ".exe";
    copied_ = CopyFileA(source.c_str(), path_.c_str(), FALSE) != FALSE;
    DeleteFileA(Marker().c_str());
  }
  ~Probe() {
    DeleteFileA(Marker().c_str());
    for (int i = 0; i < 50 && !DeleteFileA(path_.c_str()); ++i) Sleep(100);
  }
  bool copied() const { return copied_; }
  const char* target() const { return path_.c_str(); }
  // @return whether the probe ran within `ms` milliseconds (pumping meanwhile).
  bool Ran(DWORD ms) const {
    return PumpUntil([&] { return GetFileAttributesA(Marker().c_str()) != INVALID_FILE_ATTRIBUTES; },
                     ms);
  }

 private:
  std::string Marker() const { return path_ + ".ran"; }
  std::string path_;
  bool copied_ = false;
};

class HyperLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCursorPos(kFarAway.x, kFarAway.y);
    host_ = CreateHostWindow(kLeft, kTop, kLinkWidth + 40, kLinkHeight + 40);
    link_ = CreateLink(host_, "www.example.org");
    ASSERT_NE(link_, nullptr);
    RepaintNow(host_);
  }
  void TearDown() override {
    DestroyWindow(host_);
    SetCursorPos(kFarAway.x, kFarAway.y);
  }

  // Moves the real pointer and lets the control see the move.
  void MoveTo(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    POINT client = screen;
    ScreenToClient(link_, &client);
    SendMessageA(link_, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
    PumpFor(20);
  }
  POINT OverLink() const { return {kLeft + kLinkX + kLinkWidth / 2, kTop + kLinkY + 5}; }
  POINT BesideLink() const { return {kLeft + kLinkX + kLinkWidth / 2, kTop + kLinkY + kLinkHeight + 10}; }

  HWND host_ = nullptr;
  HWND link_ = nullptr;
};

// Black text, no underline, centred at the top edge.
void ExpectPlainLook(const Pixels& link, const char* when) {
  int first = link.FirstColumn(IsInk), last = link.LastColumn(IsInk);
  EXPECT_GT(link.Count(0, link.height, IsInk), 20) << when;
  EXPECT_EQ(link.Count(0, link.height, IsBlueInk), 0) << when;
  EXPECT_LT(link.LongestRun(IsInk), (last - first + 1) / 2) << when << ": underlined";
  EXPECT_NEAR((first + last) / 2, kLinkWidth / 2, 3) << when << ": not centred";
  EXPECT_LT(link.FirstRow(IsInk), 4) << when << ": not at the top edge";
}

// Blue text with an underline across it.
void ExpectHoverLook(const Pixels& link, const char* when) {
  int first = link.FirstColumn(IsBlueInk), last = link.LastColumn(IsBlueInk);
  EXPECT_GT(link.Count(0, link.height, IsBlueInk), 20) << when;
  EXPECT_EQ(link.Count(0, link.height, IsInk), 0) << when;
  EXPECT_GE(link.LongestRun(IsBlueInk), (last - first + 1) * 9 / 10) << when << ": no underline";
}

TEST_F(HyperLinkTest, HoverTurnsTheLinkBlueAndUnderlinedWithTheHand) {
  ExpectPlainLook(CaptureClient(link_), "after creation");
  EXPECT_EQ(GetCapture(), nullptr);

  MoveTo(OverLink());
  ExpectHoverLook(CaptureClient(link_), "pointer over the link");
  EXPECT_EQ(GetCapture(), link_);
  EXPECT_EQ(GetCursor(), HandCursor());

  // The capture brings every move, so the first one outside is the exit.
  MoveTo(BesideLink());
  ExpectPlainLook(CaptureClient(link_), "pointer left");
  EXPECT_EQ(GetCapture(), nullptr);

  MoveTo(OverLink());
  ExpectHoverLook(CaptureClient(link_), "pointer back");
}

TEST_F(HyperLinkTest, SystemRepaintShowsThePlainLookWhileHovering) {
  MoveTo(OverLink());
  ExpectHoverLook(CaptureClient(link_), "pointer over the link");
  RepaintNow(link_);
  ExpectPlainLook(CaptureClient(link_), "after a system repaint");
  EXPECT_EQ(GetCapture(), link_);
  MoveTo(OverLink());  // still inside: no change
  ExpectPlainLook(CaptureClient(link_), "moving on inside");
}

TEST_F(HyperLinkTest, PointerAlreadyOverANewLinkTakesCaptureButPaintsPlain) {
  DestroyWindow(link_);
  SetCursorPos(OverLink().x, OverLink().y);
  link_ = CreateLink(host_, "www.example.org");
  EXPECT_EQ(GetCapture(), link_);
  EXPECT_EQ(GetCursor(), HandCursor());
  RepaintNow(link_);
  ExpectPlainLook(CaptureClient(link_), "first paint");

  MoveTo(BesideLink());
  MoveTo(OverLink());
  ExpectHoverLook(CaptureClient(link_), "after leaving and coming back");
}

TEST_F(HyperLinkTest, DialogFontDoesNotChangeTheLink) {
  Pixels before = CaptureClient(link_);
  HFONT big = CreateFontA(-30, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0,
                          "Tahoma");
  SendMessageA(link_, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
  RepaintNow(link_);
  EXPECT_EQ(CaptureClient(link_).data, before.data);
  DestroyWindow(link_);
  link_ = nullptr;
  DeleteObject(big);
}

TEST_F(HyperLinkTest, OverlongLabelIsCutForDrawing) {
  SetWindowTextA(link_, std::string(5000, 'W').c_str());
  RepaintNow(link_);
  MoveTo(OverLink());
  EXPECT_GT(CaptureClient(link_).Count(0, kLinkHeight, IsBlueInk), 20);
}

TEST_F(HyperLinkTest, ButtonReleaseOpensTheTarget) {
  for (UINT button : {WM_LBUTTONUP, WM_RBUTTONUP}) {
    Probe probe;
    ASSERT_TRUE(probe.copied());
    ASSERT_TRUE(SetLinkTarget(link_, probe.target()));
    EXPECT_EQ(GetPropA(link_, LINK_TARGET_PROP), probe.target()) << "the address, not a copy";

    UINT press = button == WM_LBUTTONUP ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
    SendMessageA(link_, press, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(probe.Ran(1500)) << "opened on the press of button " << press;
    SendMessageA(link_, button, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(probe.Ran(20000)) << "release message " << button;
  }
}

TEST_F(HyperLinkTest, ReleaseWithoutTargetDoesNothing) {
  Probe probe;
  ASSERT_TRUE(probe.copied());
  SetLinkTarget(link_, probe.target());
  RemovePropA(link_, LINK_TARGET_PROP);
  SendMessageA(link_, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageA(link_, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_FALSE(probe.Ran(3000));
}

TEST(ControlClasses, RegisteredWithTheirClassValues) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  WNDCLASSEXA link = {};
  link.cbSize = sizeof link;
  ASSERT_TRUE(GetClassInfoExA(self, HYPERLINK_CLASS, &link));
  EXPECT_EQ(link.style, UINT{CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS});
  EXPECT_EQ(link.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
  EXPECT_EQ(link.hCursor, nullptr);

  WNDCLASSEXA stat = {}, scroller = {};
  stat.cbSize = scroller.cbSize = sizeof stat;
  ASSERT_TRUE(GetClassInfoExA(nullptr, "STATIC", &stat));
  ASSERT_TRUE(GetClassInfoExA(self, ABOUT_SCROLLER_CLASS, &scroller));
  EXPECT_EQ(scroller.style, stat.style);
  EXPECT_EQ(scroller.hCursor, stat.hCursor);
  EXPECT_EQ(scroller.cbWndExtra, 0);
  EXPECT_EQ(scroller.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

// At program end the scrolling text's class goes; the link's class stays.
TEST(ControlClasses, UnregisterRemovesOnlyTheScrollerClass) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  UnregisterControlClasses(self);
  EXPECT_FALSE(GetClassInfoExA(self, ABOUT_SCROLLER_CLASS, &info));
  EXPECT_TRUE(GetClassInfoExA(self, HYPERLINK_CLASS, &info));
  RegisterControlClasses(self);
  EXPECT_TRUE(GetClassInfoExA(self, ABOUT_SCROLLER_CLASS, &info));
}

}  // namespace
