// The resources of the setup stub as built: the dialog template control by control, the
// picture, the icon group, the manifest and the version shown in the file's properties.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The stub lies next to the test program.
std::string stub_path() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1) + "setup-stub.exe";
}

class StubResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(stub_path().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << stub_path();
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    std::vector<uint8_t> resource(LPCSTR type, int id) {
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
        if (found == nullptr) return {};
        const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module_, found)));
        return std::vector<uint8_t>(data, data + SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

// Reads the dialog template's fields in order.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    uint16_t u16() {
        uint16_t v = 0;
        if (at_ + 2 <= bytes_.size()) std::memcpy(&v, &bytes_[at_], 2);
        at_ += 2;
        return v;
    }
    uint32_t u32() {
        uint32_t v = 0;
        if (at_ + 4 <= bytes_.size()) std::memcpy(&v, &bytes_[at_], 4);
        at_ += 4;
        return v;
    }
    uint8_t u8() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    // A string or an ordinal (0xFFFF followed by the number), as "#n" for ordinals.
    std::string text_or_ordinal() {
        const uint16_t first = u16();
        if (first == 0xFFFF) return "#" + std::to_string(u16());
        std::string s;
        for (uint16_t c = first; c != 0; c = u16()) s += static_cast<char>(c);
        return s;
    }
    void align4() { at_ = (at_ + 3) & ~size_t{3}; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

struct ExpectedControl {
    int32_t id;
    const char* window_class;  // as its ordinal: #128 button, #129 edit, #130 static
    uint32_t style;            // without WS_CHILD and WS_VISIBLE
    const char* text;
    int16_t x, y, cx, cy;
    bool visible;
};

constexpr uint32_t kTab = WS_TABSTOP;
// The ids as numbers, not by their names, so that this table pins their values too.
const ExpectedControl kControls[] = {
    {1, "#128", BS_PUSHBUTTON | kTab, "OK", 62, 216, 100, 18, true},
    {2, "#128", BS_PUSHBUTTON | kTab, "", 178, 216, 100, 18, true},
    {101, "#130", SS_CENTER | SS_CENTERIMAGE, "", 3, 10, 324, 35, true},
    {-1, "#130", SS_BITMAP, "#1", 39, 57, 139, 89, true},
    {102, "#130", SS_RIGHT, "", 13, 162, 73, 10, true},
    {103, "#129", ES_AUTOHSCROLL | WS_BORDER | kTab, "", 94, 161, 204, 12, true},
    {7, "#128", BS_PUSHBUTTON | kTab, "...", 300, 161, 13, 13, true},
    {104, "#128", BS_GROUPBOX, "", 197, 70, 100, 74, true},
    {201, "#128", BS_AUTOCHECKBOX | kTab, "Deutsch", 209, 90, 80, 10, true},
    {202, "#128", BS_AUTOCHECKBOX | kTab, "English", 209, 108, 80, 10, true},
    {203, "#128", BS_AUTOCHECKBOX | kTab, "", 209, 126, 85, 10, true},
    {105, "#128", BS_AUTOCHECKBOX | kTab, "", 94, 180, 149, 10, true},
    {106, "#128", BS_AUTOCHECKBOX | kTab, "", 94, 198, 149, 10, true},
    {107, "#130", SS_LEFT, "", 64, 186, 243, 10, false},
};

TEST_F(StubResources, TheDialogTemplateIsTheSetupDialog) {
    const auto bytes = resource(MAKEINTRESOURCEA(5), 100);  // RT_DIALOG
    ASSERT_FALSE(bytes.empty());
    TemplateReader r(bytes);
    EXPECT_EQ(r.u16(), 1);       // dlgVer: an extended template
    EXPECT_EQ(r.u16(), 0xFFFF);  // signature
    EXPECT_EQ(r.u32(), 0u);      // help id
    EXPECT_EQ(r.u32(), static_cast<uint32_t>(WS_EX_TOPMOST));
    EXPECT_EQ(r.u32(), static_cast<uint32_t>(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME |
                                             DS_SETFONT | DS_3DLOOK));
    const uint16_t count = r.u16();
    EXPECT_EQ(count, std::size(kControls));
    EXPECT_EQ(r.u16(), 0);    // x
    EXPECT_EQ(r.u16(), 0);    // y
    EXPECT_EQ(r.u16(), 330);  // cx
    EXPECT_EQ(r.u16(), 237);  // cy
    EXPECT_EQ(r.text_or_ordinal(), "");  // no menu
    EXPECT_EQ(r.text_or_ordinal(), "");  // no class
    EXPECT_EQ(r.text_or_ordinal(), "");  // no title
    EXPECT_EQ(r.u16(), 8);               // point size
    EXPECT_EQ(r.u16(), 0);               // weight
    EXPECT_EQ(r.u8(), 0);                // not italic
    EXPECT_EQ(r.u8(), 1);                // DEFAULT_CHARSET
    EXPECT_EQ(r.text_or_ordinal(), "MS Sans Serif");

    for (size_t i = 0; i < count && i < std::size(kControls); ++i) {
        const ExpectedControl& want = kControls[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        r.align4();
        EXPECT_EQ(r.u32(), 0u);  // help id
        EXPECT_EQ(r.u32(), 0u);  // extended style
        const uint32_t style = r.u32();
        const uint32_t base = WS_CHILD | (want.visible ? WS_VISIBLE : 0);
        EXPECT_EQ(style, base | want.style);
        EXPECT_EQ(style & WS_GROUP, 0u);
        EXPECT_EQ(static_cast<int16_t>(r.u16()), want.x);
        EXPECT_EQ(static_cast<int16_t>(r.u16()), want.y);
        EXPECT_EQ(static_cast<int16_t>(r.u16()), want.cx);
        EXPECT_EQ(static_cast<int16_t>(r.u16()), want.cy);
        EXPECT_EQ(static_cast<int32_t>(r.u32()), want.id);
        EXPECT_EQ(r.text_or_ordinal(), want.window_class);
        EXPECT_EQ(r.text_or_ordinal(), want.text);
        EXPECT_EQ(r.u16(), 0);  // no creation data
    }
}

TEST_F(StubResources, ThePictureIs205By142In16Colours) {
    const auto bytes = resource(MAKEINTRESOURCEA(2), 1);  // RT_BITMAP
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 205);
    EXPECT_EQ(header.biHeight, 142);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    const size_t row = ((205 * 4 + 31) / 32) * 4;
    EXPECT_EQ(bytes.size(), sizeof header + 16 * 4 + row * 142);
}

TEST_F(StubResources, TheIconGroupHoldsFourImages) {
    const auto bytes = resource(MAKEINTRESOURCEA(14), 1);  // RT_GROUP_ICON
    ASSERT_GE(bytes.size(), 6u);
    TemplateReader r(bytes);
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.u16(), 1);  // icons
    ASSERT_EQ(r.u16(), 4);
    const struct {
        int size;
        int colours;  // 0 for 256
        int bits;
    } want[] = {{16, 16, 4}, {16, 0, 8}, {32, 16, 4}, {32, 0, 8}};
    for (const auto& w : want) {
        EXPECT_EQ(r.u8(), w.size);
        EXPECT_EQ(r.u8(), w.size);
        EXPECT_EQ(r.u8(), w.colours);
        r.u8();
        EXPECT_EQ(r.u16(), 1);  // planes
        EXPECT_EQ(r.u16(), w.bits);
        const uint32_t bytes_in_image = r.u32();
        const uint16_t image_id = r.u16();
        EXPECT_EQ(resource(MAKEINTRESOURCEA(3), image_id).size(), bytes_in_image);  // RT_ICON
    }
}

// The 256-colour images list only the colours they use (biClrUsed); the system must still
// read them as 8-bit images and show each pixel in its palette colour.
TEST_F(StubResources, The256ColourIconsShowTheirShortPalettesColours) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    for (const int image_id : {2, 4}) {  // the group's second and fourth images
        SCOPED_TRACE("icon image " + std::to_string(image_id));
        auto bytes = resource(MAKEINTRESOURCEA(3), image_id);  // RT_ICON
        ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::memcpy(&header, bytes.data(), sizeof header);
        ASSERT_EQ(header.biBitCount, 8);
        ASSERT_GE(header.biClrUsed, 2u);
        ASSERT_LE(header.biClrUsed, 256u);
        const int size = header.biWidth;
        const size_t stride = (static_cast<size_t>(size) + 3) & ~size_t{3};
        const size_t and_stride = ((static_cast<size_t>(size) + 31) / 32) * 4;
        const size_t palette_at = sizeof header;
        const size_t pixels_at = palette_at + 4 * header.biClrUsed;
        ASSERT_EQ(bytes.size(), pixels_at + stride * size + and_stride * size);

        HICON icon = CreateIconFromResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), TRUE,
                                              0x00030000, size, size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAPINFO want{};
        want.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        want.bmiHeader.biWidth = size;
        want.bmiHeader.biHeight = size;  // bottom-up, as the icon's rows are stored
        want.bmiHeader.biPlanes = 1;
        want.bmiHeader.biBitCount = 32;
        want.bmiHeader.biCompression = BI_RGB;
        std::vector<uint32_t> shown(static_cast<size_t>(size) * size);
        EXPECT_EQ(GetDIBits(screen, info.hbmColor, 0, size, shown.data(), &want, DIB_RGB_COLORS),
                  size);
        int opaque = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const uint8_t mask = bytes[pixels_at + stride * size + and_stride * y + x / 8];
                if (mask & (0x80 >> (x % 8))) continue;  // transparent
                const uint8_t index = bytes[pixels_at + stride * y + x];
                ASSERT_LT(index, header.biClrUsed);
                uint32_t colour;
                std::memcpy(&colour, &bytes[palette_at + 4 * index], 4);
                EXPECT_EQ(shown[static_cast<size_t>(y) * size + x] & 0xFFFFFF, colour & 0xFFFFFF)
                    << x << "," << y;
                ++opaque;
            }
        }
        EXPECT_GT(opaque, size * size / 4);  // the parcel covers much of the image
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    ReleaseDC(nullptr, screen);
}

TEST_F(StubResources, TheManifestAsksForCommonControls6OnThisProcessorAndForElevation) {
    const auto bytes = resource(MAKEINTRESOURCEA(24), 1);  // RT_MANIFEST
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_NE(manifest.find("name=\"Setup.exe\""), std::string::npos);
    EXPECT_NE(manifest.find("version=\"5.1.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("<description>Setup</description>"), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
#ifdef _WIN64
    const char* processor = "processorArchitecture=\"amd64\"";
#else
    const char* processor = "processorArchitecture=\"x86\"";
#endif
    EXPECT_NE(manifest.find(processor), std::string::npos);
    EXPECT_EQ(manifest.find("processorArchitecture=\"x86\"") != std::string::npos &&
                  manifest.find("processorArchitecture=\"amd64\"") != std::string::npos,
              false);
    // Elevation declared, not guessed by Windows from the file's name (a guess that is
    // switched off in many installations, leaving the setup unelevated and virtualised).
    EXPECT_NE(manifest.find("</dependency><trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"
                            "<security><requestedPrivileges><requestedExecutionLevel "
                            "level=\"requireAdministrator\" uiAccess=\"false\"/>"
                            "</requestedPrivileges></security></trustInfo></assembly>"),
              std::string::npos)
        << manifest;
}

// What the file's properties show, read the way Windows reads it.
std::string version_text(const std::vector<uint8_t>& block, const char* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || value == nullptr)
        return "<missing>";
    return std::string(static_cast<const char*>(value));
}

TEST(StubVersion, TheFilePropertiesNameTheProductAndItsVersion) {
    const std::string path = stub_path();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << path;
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 21u);  // 1.21.0.0
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 21u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);  // no debug or pre-release

    EXPECT_EQ(version_text(block, "CompanyName"), "Obrelux");
    EXPECT_EQ(version_text(block, "ProductName"), "Zentrivo");
    EXPECT_EQ(version_text(block, "FileDescription"), "Zentrivo Setup");
    EXPECT_EQ(version_text(block, "ProductVersion"), "1.21");
    EXPECT_EQ(version_text(block, "FileVersion"), "1.21");
    EXPECT_EQ(version_text(block, "OriginalFilename"), "setup.exe");

    // The table the shell picks: US English, Unicode.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

}  // namespace
