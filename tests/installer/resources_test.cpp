// The resource set of the built texinstall.exe, read back through the
// system's resource functions from the file loaded as data.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "fixture.h"

namespace {

using fixture::Bytes;

// "type/name" -> language and bytes. Integer types and names are written as
// "#n", so RT_BITMAP 104 is "#2/#104".
struct Found {
  WORD language;
  Bytes data;
};

std::string IdText(LPCSTR id) {
  if (IS_INTRESOURCE(id)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(id));
  return id;
}

class ResourcesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryExA(fixture::FromHost(TEXINSTALL_EXE).c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr);
    EnumResourceTypesA(module_, &OnType, 0);
  }
  static void TearDownTestSuite() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  static BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR) {
    EnumResourceNamesA(module, type, &OnName, 0);
    return TRUE;
  }
  static BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR) {
    EnumResourceLanguagesA(module, type, name, &OnLanguage, 0);
    return TRUE;
  }
  static BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                                  LONG_PTR) {
    HRSRC info = FindResourceExA(module, type, name, language);
    Found found{language, {}};
    if (info != nullptr) {
      const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, info)));
      found.data.assign(data, data + SizeofResource(module, info));
    }
    const std::string key = IdText(type) + "/" + IdText(name);
    if (all_.count(key) != 0) ++duplicates_;
    all_[key] = found;
    return TRUE;
  }

  static const Found* Get(const std::string& key) {
    auto it = all_.find(key);
    return it == all_.end() ? nullptr : &it->second;
  }

  static HMODULE module_;
  static std::map<std::string, Found> all_;
  static int duplicates_;
};

HMODULE ResourcesTest::module_ = nullptr;
std::map<std::string, Found> ResourcesTest::all_;
int ResourcesTest::duplicates_ = 0;

TEST_F(ResourcesTest, CarriesExactlyTheResourceSetOneLanguageEach) {
  std::set<std::string> keys;
  for (const auto& item : all_) keys.insert(item.first);
  std::set<std::string> expected = {
      "BINRES/#3", "DLL/PBOKIT", "#2/#104", "#14/MAINICON", "#14/#100",
      "#3/#1", "#3/#2", "#3/#3", "#3/#4", "#12/LINKCURSOR", "#1/#1",
      "#5/MAIN_WINDOW", "#5/INFO_WINDOW", "#24/#1"};
  for (int i = 1; i <= 21; ++i) expected.insert("RCDATA1/PATCH" + std::to_string(i));
  EXPECT_EQ(keys, expected);  // no version resource, nothing else
  EXPECT_EQ(duplicates_, 0);

  const std::map<std::string, WORD> languages = {
      {"BINRES/#3", 1043}, {"DLL/PBOKIT", 1043}, {"RCDATA1/PATCH7", 1043},
      {"#2/#104", 1043},   {"#14/MAINICON", 1043}, {"#3/#4", 1043},
      {"#12/LINKCURSOR", 1049}, {"#1/#1", 1049}, {"#5/MAIN_WINDOW", 0},
      {"#5/INFO_WINDOW", 0}, {"#24/#1", 0}};
  for (const auto& item : languages) {
    ASSERT_NE(Get(item.first), nullptr) << item.first;
    EXPECT_EQ(Get(item.first)->language, item.second) << item.first;
  }
}

TEST_F(ResourcesTest, PayloadAndLibraryAreTheBuiltFilesByteForByte) {
  const std::vector<uint32_t> sizes = {
      174918, 174918, 174918, 174918, 2796388, 2796388, 2796388, 349678, 699229, 699229, 699229,
      349678, 699229, 699213, 2796388, 699213, 2796388, 174934, 349678, 2796388, 699229};
  const std::vector<fixture::PackFile> files = fixture::PackFiles();
  ASSERT_EQ(files.size(), 21u);
  uint64_t total = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].resource);
    EXPECT_EQ(files[i].resource, "PATCH" + std::to_string(i + 1));
    const Found* found = Get("RCDATA1/" + files[i].resource);
    ASSERT_NE(found, nullptr);
    Bytes file;
    ASSERT_TRUE(fixture::ReadWhole(files[i].data_path, &file));
    EXPECT_EQ(found->data.size(), sizes[i]);
    EXPECT_TRUE(found->data == file);
    ASSERT_GE(found->data.size(), 2u);
    EXPECT_EQ(found->data[0], 0x01);
    EXPECT_EQ(found->data[1], 0xFF);
    total += found->data.size();
  }
  EXPECT_EQ(total, 23596539u);

  Bytes library;
  ASSERT_TRUE(fixture::ReadWhole(fixture::FromHost(PBOKIT_DLL), &library));
  ASSERT_NE(Get("DLL/PBOKIT"), nullptr);
  EXPECT_TRUE(Get("DLL/PBOKIT")->data == library);
  // The installer asks for the library in lower case.
  EXPECT_NE(FindResourceA(module_, "pbokit", "DLL"), nullptr);
}

TEST_F(ResourcesTest, ReadmeIsTenCrLfSeparatedLinesWithNoEnding) {
  const Found* found = Get("BINRES/#3");
  ASSERT_NE(found, nullptr);
  Bytes file;
  ASSERT_TRUE(fixture::ReadWhole(fixture::FromHost(PACK_DATA_DIR) + "\\readme.txt", &file));
  EXPECT_TRUE(found->data == file);
  const std::string text(found->data.begin(), found->data.end());
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t crlf; (crlf = text.find("\r\n", at)) != std::string::npos; at = crlf + 2) {
    lines.push_back(text.substr(at, crlf - at));
  }
  lines.push_back(text.substr(at));
  ASSERT_EQ(lines.size(), 19u);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].empty(), i % 2 == 1) << "line " << i;
    EXPECT_EQ(lines[i].find_first_of("\r\n\t"), std::string::npos) << "line " << i;
  }
  for (unsigned char c : text) EXPECT_LT(c, 0x80);
  EXPECT_NE(lines[2].find("\"O.pbo\""), std::string::npos);
  EXPECT_EQ(lines[8].rfind("1.", 0), 0u);
  EXPECT_EQ(lines[10].rfind("2.", 0), 0u);
  EXPECT_EQ(lines[12].rfind("3.", 0), 0u);
  EXPECT_NE(lines[8].find("addons"), std::string::npos);
  EXPECT_NE(lines[18].find("@example.org"), std::string::npos);
}

TEST_F(ResourcesTest, PictureIconsAndCursorHaveTheirFormats) {
  const Found* bitmap = Get("#2/#104");
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->data.size(), 136780u);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap->data.data(), sizeof(header));
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 353);
  EXPECT_EQ(header.biHeight, 129);  // positive: rows bottom-up
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(header.biClrUsed, 0u);
  // Not a blank picture.
  std::set<uint8_t> values(bitmap->data.begin() + 40, bitmap->data.end());
  EXPECT_GT(values.size(), 50u);

  // Group records: 6-byte header, then 14-byte entries ending in the id.
  struct Group {
    const char* key;
    std::vector<WORD> images;
  };
  for (const Group& group : {Group{"#14/MAINICON", {1, 2}}, Group{"#14/#100", {3, 4}}}) {
    const Found* found = Get(group.key);
    ASSERT_NE(found, nullptr) << group.key;
    ASSERT_EQ(found->data.size(), 34u) << group.key;
    for (size_t i = 0; i < 2; ++i) {
      const uint8_t* entry = found->data.data() + 6 + 14 * i;
      EXPECT_EQ(entry[0], i == 0 ? 32 : 16);  // width
      EXPECT_EQ(entry[2], 16);                // colours
      WORD id;
      std::memcpy(&id, entry + 12, 2);
      EXPECT_EQ(id, group.images[i]) << group.key;
    }
  }
  const std::vector<size_t> icon_sizes = {744, 296, 744, 296};
  for (int id = 1; id <= 4; ++id) {
    const Found* image = Get("#3/#" + std::to_string(id));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->data.size(), icon_sizes[id - 1]);
    EXPECT_EQ(image->data[14], 4) << "4 bits per pixel";
  }
  EXPECT_TRUE(Get("#3/#1")->data == Get("#3/#3")->data);
  EXPECT_TRUE(Get("#3/#2")->data == Get("#3/#4")->data);

  const Found* cursor_group = Get("#12/LINKCURSOR");
  ASSERT_NE(cursor_group, nullptr);
  EXPECT_EQ(cursor_group->data.size(), 20u);
  const Found* cursor = Get("#1/#1");
  ASSERT_NE(cursor, nullptr);
  ASSERT_EQ(cursor->data.size(), 308u);
  WORD hot_x, hot_y;
  std::memcpy(&hot_x, cursor->data.data(), 2);
  std::memcpy(&hot_y, cursor->data.data() + 2, 2);
  EXPECT_EQ(hot_x, 6);
  EXPECT_EQ(hot_y, 0);
  EXPECT_EQ(cursor->data[4 + 14], 1) << "monochrome";
  // The hot spot is on the hand: opaque in the AND mask (rows bottom-up,
  // the mask after the 128 bytes of colour bits).
  const uint8_t* mask_top_row = cursor->data.data() + 4 + 40 + 8 + 128 + 31 * 4;
  EXPECT_EQ(mask_top_row[0] & (0x80 >> 6), 0);
}

// A classic dialog template, parsed.
struct Control {
  DWORD style;
  short x, y, cx, cy;
  WORD id;
  std::string cls;   // "#n" for an ordinal class
  std::string text;  // "#n" for an ordinal text
};
struct Dialog {
  DWORD style, ex_style;
  short x, y, cx, cy;
  std::string menu, cls, title, face;
  WORD points;
  std::vector<Control> controls;
};

class TemplateReader {
 public:
  explicit TemplateReader(const Bytes& data) : data_(data) {}
  WORD Word() {
    WORD w = 0;
    if (at_ + 2 <= data_.size()) std::memcpy(&w, data_.data() + at_, 2);
    at_ += 2;
    return w;
  }
  DWORD Dword() {
    const DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
  }
  std::string Text() {
    std::string out;
    for (WORD w; (w = Word()) != 0 && at_ <= data_.size();) out += static_cast<char>(w);
    return out;
  }
  std::string TextOrOrdinal() {
    if (at_ + 2 <= data_.size() && data_[at_] == 0xFF && data_[at_ + 1] == 0xFF) {
      Word();
      return "#" + std::to_string(Word());
    }
    return Text();
  }
  void AlignDword() { at_ = (at_ + 3) & ~static_cast<size_t>(3); }
  size_t at() const { return at_; }

 private:
  const Bytes& data_;
  size_t at_ = 0;
};

Dialog ParseDialog(const Bytes& data) {
  TemplateReader in(data);
  Dialog d;
  d.style = in.Dword();
  d.ex_style = in.Dword();
  const WORD count = in.Word();
  d.x = static_cast<short>(in.Word());
  d.y = static_cast<short>(in.Word());
  d.cx = static_cast<short>(in.Word());
  d.cy = static_cast<short>(in.Word());
  d.menu = in.TextOrOrdinal();
  d.cls = in.TextOrOrdinal();
  d.title = in.Text();
  d.points = 0;
  if (d.style & DS_SETFONT) {
    d.points = in.Word();
    d.face = in.Text();
  }
  for (WORD i = 0; i < count; ++i) {
    in.AlignDword();
    Control c;
    c.style = in.Dword();
    EXPECT_EQ(in.Dword(), 0u) << "control " << i << " has an extended style";
    c.x = static_cast<short>(in.Word());
    c.y = static_cast<short>(in.Word());
    c.cx = static_cast<short>(in.Word());
    c.cy = static_cast<short>(in.Word());
    c.id = in.Word();
    c.cls = in.TextOrOrdinal();
    c.text = in.TextOrOrdinal();
    EXPECT_EQ(in.Word(), 0) << "control " << i << " has creation data";
    d.controls.push_back(c);
  }
  EXPECT_EQ(in.at(), data.size());
  return d;
}

void ExpectControls(const std::vector<Control>& got, const std::vector<Control>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i));
    EXPECT_EQ(got[i].id, want[i].id);
    // Class names are matched without regard to case by the system, and the
    // resource compiler stores them in upper case.
    EXPECT_EQ(lstrcmpiA(got[i].cls.c_str(), want[i].cls.c_str()), 0)
        << got[i].cls << " vs " << want[i].cls;
    EXPECT_EQ(got[i].text, want[i].text);
    EXPECT_EQ(got[i].style, want[i].style);
    EXPECT_EQ(std::vector<short>({got[i].x, got[i].y, got[i].cx, got[i].cy}),
              std::vector<short>({want[i].x, want[i].y, want[i].cx, want[i].cy}));
  }
}

// Ordinal classes of the predefined controls.
const char kButton[] = "#128";
const char kStatic[] = "#130";

TEST_F(ResourcesTest, MainWindowTemplateFieldByField) {
  const Found* found = Get("#5/MAIN_WINDOW");
  ASSERT_NE(found, nullptr);
  ASSERT_FALSE(found->data.size() >= 4 && found->data[2] == 0xFF && found->data[3] == 0xFF)
      << "an extended template";
  const Dialog d = ParseDialog(found->data);
  EXPECT_EQ(d.style, 0x90CA0840u);
  EXPECT_EQ(d.ex_style, 0u);
  EXPECT_EQ(std::vector<short>({d.x, d.y, d.cx, d.cy}), std::vector<short>({0, 0, 260, 155}));
  EXPECT_EQ(d.menu, "");
  EXPECT_EQ(d.cls, "");
  EXPECT_EQ(d.title, "Vostrel Nature Replacement Pack");
  EXPECT_EQ(d.points, 8);
  EXPECT_EQ(d.face, "MS Sans Serif");
  ExpectControls(d.controls,
                 {{0x50000007, 6, 2, 248, 129, 0, kButton, "Preview Version"},
                  {0x5082000E, 12, 12, 235, 86, 101, kStatic, "#104"},
                  {0x50000000, 12, 101, 236, 11, 102, "msctls_progress32", ""},
                  {0x50020000, 12, 118, 150, 8, 103, kStatic, "Status: Idle"},
                  {0x50020002, 215, 118, 32, 8, 104, kStatic, "0 %"},
                  {0x50010000, 6, 136, 124, 14, 105, kButton, "! --> Readme First <-- !"},
                  {0x50010000, 130, 136, 124, 14, 106, kButton, "Install Replacement Pack"}});
  EXPECT_EQ(found->data.size(), 494u);
}

TEST_F(ResourcesTest, ReadmeWindowTemplateFieldByField) {
  const Found* found = Get("#5/INFO_WINDOW");
  ASSERT_NE(found, nullptr);
  const Dialog d = ParseDialog(found->data);
  EXPECT_EQ(d.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                        DS_CENTER | DS_SETFONT));
  EXPECT_EQ(d.ex_style, 0u);
  EXPECT_EQ(std::vector<short>({d.x, d.y, d.cx, d.cy}), std::vector<short>({0, 0, 250, 150}));
  EXPECT_EQ(d.menu, "");
  EXPECT_EQ(d.cls, "");
  EXPECT_EQ(d.title, "! --> Readme First <-- !");
  EXPECT_EQ(d.points, 8);
  EXPECT_EQ(d.face, "MS Sans Serif");
  ASSERT_EQ(d.controls.size(), 5u);
  const std::string link = d.controls[4].text;
  EXPECT_EQ(link.rfind("http://", 0), 0u);
  const std::string tool = d.controls[2].text;
  const std::string notice = d.controls[3].text;
  EXPECT_FALSE(tool.empty());
  EXPECT_NE(notice.find("(c)"), std::string::npos);
  ExpectControls(d.controls,
                 {{0x50010000, 95, 133, 60, 14, 4001, kButton, "OK"},
                  {0x50000000, 7, 6, 236, 96, 4003, "TAboutScroller", ""},
                  {0x50020101, 0, 105, 250, 8, 0xFFFF, kStatic, tool},
                  {0x50020101, 0, 113, 250, 8, 0xFFFF, kStatic, notice},
                  {0x50010000, 55, 121, 140, 8, 4002, "AHyperlinkWndClassEx", link}});
}

TEST_F(ResourcesTest, ManifestSelectsCommonControlsSix) {
  const Found* found = Get("#24/#1");
  ASSERT_NE(found, nullptr);
  const std::string xml(found->data.begin(), found->data.end());
  for (const char* part :
       {"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>",
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">",
        "type=\"win32\"", "version=\"1.0.0.0\"",
        "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"",
        "processorArchitecture=\"*\"", "<dependency>", "</assembly>"}) {
    EXPECT_NE(xml.find(part), std::string::npos) << part;
  }
}

}  // namespace
