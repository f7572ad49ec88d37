// The resources of the shipped 32-bit exe, read as data: formats, sizes,
// the art's rules, sounds, cursor, icons, menus, dialog, strings, version.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support.h"
#include "version.h"

using test::Dib;
using test::ParseDib;
using test::ProductResources;
using test::ResourceBytes;

namespace {

struct BitmapFormat {
    unsigned first, last;
    int width, height, bitsPerPixel;
    size_t bytes;
};

const BitmapFormat kBitmaps[] = {
    {169, 187, 90, 60, 24, 16360}, {189, 207, 90, 60, 1, 768},
    {208, 226, 90, 60, 24, 16360}, {227, 245, 90, 60, 1, 768},
    {268, 286, 100, 90, 24, 27040}, {287, 305, 100, 90, 1, 1488},
    {253, 253, 72, 250, 24, 40 + 216 * 250},
    {129, 129, 81, 59, 24, 40 + 244 * 59},
    {131, 131, 81, 59, 1, 40 + 8 + 12 * 59},
};

Dib Bitmap(unsigned id) { return test::ResourceDib(ProductResources(), id); }

TEST(Bitmaps, EachHasItsFormatAndSize)
{
    ASSERT_NE(ProductResources(), nullptr) << test::ProductExePath();
    for (const BitmapFormat& f : kBitmaps) {
        for (unsigned id = f.first; id <= f.last; ++id) {
            SCOPED_TRACE(id);
            std::vector<uint8_t> bytes = ResourceBytes(ProductResources(), RT_BITMAP, id);
            EXPECT_EQ(bytes.size(), f.bytes);
            Dib dib = ParseDib(bytes);
            ASSERT_TRUE(dib.valid);
            EXPECT_EQ(dib.width, f.width);
            EXPECT_EQ(dib.height, f.height);  // positive: bottom row first
            EXPECT_EQ(dib.bitsPerPixel, f.bitsPerPixel);
            EXPECT_EQ(dib.planes, 1);
            EXPECT_EQ(dib.compression, BI_RGB);
            if (f.bitsPerPixel == 1)
                EXPECT_EQ(dib.colorTable, (std::vector<uint32_t>{0x000000, 0xFFFFFF}));
            else
                EXPECT_TRUE(dib.colorTable.empty());
        }
    }
    EXPECT_TRUE(ResourceBytes(ProductResources(), RT_BITMAP, 188).empty());
}

TEST(Bitmaps, LeftBankMirrorsRightBank)
{
    for (unsigned i = 0; i < FRAMES_PER_BANK; ++i) {
        for (unsigned offset : {0u, 1u}) {  // colour frame, mask
            SCOPED_TRACE(testing::Message() << "frame " << i << (offset ? " mask" : " colour"));
            Dib right = Bitmap((offset ? IDB_RIGHT_MASK0 : IDB_RIGHT_FRAME0) + i);
            Dib left = Bitmap((offset ? IDB_LEFT_MASK0 : IDB_LEFT_FRAME0) + i);
            ASSERT_TRUE(right.valid && left.valid);
            int differing = 0;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 90; ++x)
                    differing += right.At(x, y) != left.At(89 - x, y);
            EXPECT_EQ(differing, 0);
        }
    }
}

struct BankRule {
    const char* name;
    unsigned firstFrame, firstMask;
    int left, top, right, bottom;   // where the chicken may be
    std::vector<uint32_t> hidden;   // what the colour frame holds where the mask is 1
};

const BankRule kBanks[] = {
    {"right", IDB_RIGHT_FRAME0, IDB_RIGHT_MASK0, 12, 4, 87, 55, {0x000000}},
    {"left", IDB_LEFT_FRAME0, IDB_LEFT_MASK0, 2, 4, 77, 55, {0x000000}},
    {"fall", IDB_FALL_FRAME0, IDB_FALL_MASK0, 22, 11, 83, 88, {0xFFFF00, 0xFBFC15}},
};

TEST(Bitmaps, ChickenStaysInsideItsBoxAndSurroundingsHoldTheirColours)
{
    for (const BankRule& bank : kBanks) {
        for (unsigned i = 0; i < FRAMES_PER_BANK; ++i) {
            SCOPED_TRACE(testing::Message() << bank.name << " frame " << i);
            Dib colour = Bitmap(bank.firstFrame + i);
            Dib mask = Bitmap(bank.firstMask + i);
            ASSERT_TRUE(colour.valid && mask.valid);
            int chicken = 0, outside = 0, wrongSurrounding = 0;
            for (int y = 0; y < mask.height; ++y) {
                for (int x = 0; x < mask.width; ++x) {
                    if (mask.At(x, y) == 0) {
                        ++chicken;
                        outside += x < bank.left || x > bank.right || y < bank.top || y > bank.bottom;
                    } else {
                        uint32_t c = colour.At(x, y);
                        bool known = false;
                        for (uint32_t h : bank.hidden) known |= c == h;
                        wrongSurrounding += !known;
                    }
                }
            }
            EXPECT_EQ(outside, 0);
            EXPECT_EQ(wrongSurrounding, 0);
            // A chicken, not a speck: it fills a good part of its box.
            int box = (bank.right - bank.left + 1) * (bank.bottom - bank.top + 1);
            EXPECT_GT(chicken, box / 5);
        }
    }
}

TEST(Bitmaps, FramesOfAnAnimationDiffer)
{
    for (const BankRule& bank : kBanks) {
        for (unsigned i = 0; i < FRAMES_PER_BANK; ++i) {
            unsigned next = (i + 1) % FRAMES_PER_BANK;
            EXPECT_NE(ResourceBytes(ProductResources(), RT_BITMAP, bank.firstFrame + i),
                      ResourceBytes(ProductResources(), RT_BITMAP, bank.firstFrame + next))
                << bank.name << " frames " << i << " and " << next;
        }
    }
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

TEST(Sounds, AreWaveImagesOfTheirFormatAndLength)
{
    const struct { unsigned id; uint32_t sampleBytes; } sounds[] = {
        {IDW_SHOT, 54716}, {IDW_SPARE, 46594}, {IDW_LAUNCH, 60152}, {IDW_HIT, 54716}};
    for (const auto& s : sounds) {
        SCOPED_TRACE(s.id);
        std::vector<uint8_t> b = ResourceBytes(ProductResources(), "WAVE", s.id);
        ASSERT_EQ(b.size(), 44u + s.sampleBytes);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(Le32(b, 4), 36u + s.sampleBytes);
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(Le32(b, 16), 16u);
        EXPECT_EQ(Le16(b, 20), 1);       // PCM
        EXPECT_EQ(Le16(b, 22), 1);       // mono
        EXPECT_EQ(Le32(b, 24), 22050u);
        EXPECT_EQ(Le32(b, 28), 44100u);
        EXPECT_EQ(Le16(b, 32), 2);
        EXPECT_EQ(Le16(b, 34), 16);
        EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
        EXPECT_EQ(Le32(b, 40), s.sampleBytes);
    }
    EXPECT_NE(ResourceBytes(ProductResources(), "WAVE", IDW_SHOT),
              ResourceBytes(ProductResources(), "WAVE", IDW_HIT));
}

TEST(Cursor, IsOneMonochromeCrosshairWithItsHotSpot)
{
    std::vector<uint8_t> group = ResourceBytes(ProductResources(), RT_GROUP_CURSOR, IDC_CROSSHAIR);
    ASSERT_EQ(group.size(), 6u + 14u);
    EXPECT_EQ(Le16(group, 2), 2);  // cursor
    ASSERT_EQ(Le16(group, 4), 1);
    EXPECT_EQ(Le16(group, 6), 32);  // width
    EXPECT_EQ(Le16(group, 8), 64);  // height of both masks
    EXPECT_EQ(Le16(group, 12), 1);  // bits per pixel
    std::vector<uint8_t> image = ResourceBytes(ProductResources(), RT_CURSOR, Le16(group, 18));
    ASSERT_GT(image.size(), 4u);
    EXPECT_EQ(Le16(image, 0), 15);  // hot spot x
    EXPECT_EQ(Le16(image, 2), 16);  // hot spot y
    Dib masks = ParseDib(std::vector<uint8_t>(image.begin() + 4, image.end()));
    ASSERT_TRUE(masks.valid);
    ASSERT_EQ(masks.height, 64);
    // Stored bottom-up, the XOR mask first: read from the top, the AND mask
    // comes first.
    auto andBit = [&](int x, int y) { return masks.At(x, y); };
    auto xorBit = [&](int x, int y) { return masks.At(x, y + 32); };
    auto white = [&](int x, int y) { return andBit(x, y) == 0 && xorBit(x, y) == 1; };
    auto clear = [&](int x, int y) { return andBit(x, y) == 1 && xorBit(x, y) == 0; };
    EXPECT_TRUE(clear(15, 16)) << "the small ring is open in its centre";
    int whites = 0, blacks = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            whites += white(x, y);
            blacks += andBit(x, y) == 0 && xorBit(x, y) == 0;
        }
    EXPECT_GT(whites, 60);
    EXPECT_GT(blacks, whites) << "every white line has a black outline";
    EXPECT_TRUE(white(15, 1) || white(15, 2)) << "the vertical line reaches the top";
    EXPECT_TRUE(white(1, 16) || white(2, 16)) << "the horizontal line reaches the left";
}

struct IconImage { int width, height, colors, bits; unsigned id; };

std::vector<IconImage> IconGroup(unsigned id)
{
    std::vector<uint8_t> b = ResourceBytes(ProductResources(), RT_GROUP_ICON, id);
    std::vector<IconImage> images;
    if (b.size() < 6 || Le16(b, 2) != 1) return images;
    for (unsigned i = 0; i < Le16(b, 4) && 6 + 14 * (i + 1) <= b.size(); ++i) {
        size_t e = 6 + 14 * i;
        images.push_back({b[e] ? b[e] : 256, b[e + 1] ? b[e + 1] : 256, b[e + 2], Le16(b, e + 6), Le16(b, e + 12)});
    }
    return images;
}

TEST(Icons, GroupsHoldTheirSixteenColourImages)
{
    std::vector<IconImage> app = IconGroup(IDI_APP), on = IconGroup(IDI_ENABLED), off = IconGroup(IDI_DISABLED);
    // Each at 32 and 16 pixels: a scaled display's tray scales the nearer.
    const auto sized = [](const std::vector<IconImage>& group, int size) -> const IconImage* {
        for (const IconImage& i : group) {
            EXPECT_EQ(i.colors, 16);
            EXPECT_EQ(i.bits, 4);
            if (i.width == size && i.height == size) return &i;
        }
        return nullptr;
    };
    for (const std::vector<IconImage>* group : {&app, &on, &off}) {
        EXPECT_EQ(group->size(), 2u);
        EXPECT_NE(sized(*group, 32), nullptr);
        ASSERT_NE(sized(*group, 16), nullptr);
    }
    // The tray picture is the class icon; the disabled one is crossed out in red.
    for (int size : {16, 32}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> small = ResourceBytes(ProductResources(), RT_ICON, sized(app, size)->id);
        std::vector<uint8_t> enabled = ResourceBytes(ProductResources(), RT_ICON, sized(on, size)->id);
        std::vector<uint8_t> disabled = ResourceBytes(ProductResources(), RT_ICON, sized(off, size)->id);
        EXPECT_EQ(small, enabled);
        ASSERT_FALSE(disabled.empty());
        Dib x = ParseDib(disabled);
        x.height /= 2;  // the picture; the AND mask follows it
        ASSERT_EQ(x.colorTable.size(), 16u);
        int red = 0;
        for (int y = 0; y < size; ++y)
            for (int c = 0; c < size; ++c) {
                uint32_t rgb = x.colorTable[x.At(c, y)];
                red += (rgb >> 16) >= 0xC0 && ((rgb >> 8) & 0xFF) < 0x40 && (rgb & 0xFF) < 0x40;
            }
        EXPECT_GE(red, size) << "a red X across the picture";
        // Both diagonals carry red.
        const int in = size / 8, out = size - 1 - size / 8;
        EXPECT_NE(x.colorTable[x.At(in, in)] & 0xFF0000, 0u);
        EXPECT_NE(x.colorTable[x.At(out, in)] & 0xFF0000, 0u);
    }
}

struct MenuItem { const char* text; UINT id; };  // text nullptr: separator

const MenuItem kInfo{"&Info...", CMD_INFO}, kSep{nullptr, 0}, kToggle{"&Disable", CMD_TOGGLE_ENABLED},
    kWindows{"Reset &Windows", CMD_RESET_WINDOWS}, kStats{"Reset &Statistics", CMD_RESET_STATISTICS},
    kQuit{"&Quit", CMD_QUIT}, kToggleDe{"&Deaktivieren", CMD_TOGGLE_ENABLED},
    kWindowsDe{"&Fenster r\xFC" "cksetzen", CMD_RESET_WINDOWS},
    kStatsDe{"&Statistik r\xFC" "cksetzen", CMD_RESET_STATISTICS}, kQuitDe{"&Beenden", CMD_QUIT};

TEST(Menus, EachIsOnePopupWithItsItems)
{
    const struct { unsigned id; std::vector<MenuItem> items; } menus[] = {
        {250, {kInfo, kSep, kToggle, kStats, kSep, kQuit}},
        {306, {kInfo, kSep, kToggle, kWindows, kStats, kSep, kQuit}},
        {20250, {kInfo, kSep, kToggleDe, kStatsDe, kSep, kQuitDe}},
        {20306, {kInfo, kSep, kToggleDe, kWindowsDe, kStatsDe, kSep, kQuitDe}},
    };
    for (const auto& m : menus) {
        SCOPED_TRACE(m.id);
        HMENU bar = LoadMenuA(ProductResources(), MAKEINTRESOURCEA(m.id));
        ASSERT_NE(bar, nullptr);
        ASSERT_EQ(GetMenuItemCount(bar), 1);
        char text[100] = "";
        GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, "TrayMenu");
        HMENU popup = GetSubMenu(bar, 0);
        ASSERT_NE(popup, nullptr);
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(m.items.size()));
        for (size_t i = 0; i < m.items.size(); ++i) {
            SCOPED_TRACE(i);
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
            info.dwTypeData = text;
            info.cch = sizeof text;
            text[0] = 0;
            ASSERT_TRUE(GetMenuItemInfoA(popup, static_cast<UINT>(i), TRUE, &info));
            EXPECT_EQ(info.hSubMenu, nullptr);
            if (!m.items[i].text) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR);
            } else {
                EXPECT_EQ(info.fState & (MFS_CHECKED | MFS_GRAYED), 0u);
                EXPECT_FALSE(info.fType & MFT_SEPARATOR);
                EXPECT_STREQ(text, m.items[i].text);
                EXPECT_EQ(info.wID, m.items[i].id);
            }
        }
        DestroyMenu(bar);
    }
    for (unsigned absent : {10250u, 10306u, 251u})
        EXPECT_EQ(LoadMenuA(ProductResources(), MAKEINTRESOURCEA(absent)), nullptr) << absent;
}

// Reads a dialog template as the resource holds it.
struct Reader {
    const std::vector<uint8_t>& b;
    size_t at = 0;
    uint16_t Word() { uint16_t v = Le16(b, at); at += 2; return v; }
    uint32_t Dword() { uint32_t v = Le32(b, at); at += 4; return v; }
    void Align() { at = (at + 3) & ~size_t(3); }
    // A string or an ordinal; ordinals come back as "#n".
    std::string SzOrOrd()
    {
        if (Le16(b, at) == 0xFFFF) { at += 2; return "#" + std::to_string(Word()); }
        std::wstring w;
        while (uint16_t c = Word()) w += static_cast<wchar_t>(c);
        char out[600] = "";
        WideCharToMultiByte(1252, 0, w.c_str(), -1, out, sizeof out, nullptr, nullptr);
        return out;
    }
};

struct Control { int id; const char* cls; uint32_t style, exStyle; short x, y, cx, cy; const char* text; };

const Control kControls[] = {
    {1004, "button", 0x50010003, 0, 73, 108, 98, 10, "&Use Sound"},
    {1003, "static", 0x50000000, 0, 72, 123, 125, 8, "Speed (Seconds Between Chicken):"},
    {1002, "edit", 0x50810080, 0, 201, 121, 24, 12, ""},
    {-1, "static", 0x50021001, 0, 63, 7, 173, 26, "\nW I N G Z A P"},
    {1, "button", 0x50010001, 0x20, 95, 147, 50, 14, "OK"},
    {2, "button", 0x50010000, 0x20, 152, 147, 50, 14, "Cancel"},
    {-1, "static", 0x5000000E, 0, 7, 7, 48, 166, "#253"},
    {1015, "static", 0x50020000, 0, 70, 75, 152, 8, "%-5d\tMilliseconds/Chicken"},
    {1016, "static", 0x50020000, 0, 70, 62, 152, 8, "%-4d\tChicken Missed"},
    {1014, "static", 0x50020000, 0, 70, 49, 150, 8, "%-4d\tChicken Hit"},
    {1012, "button", 0x50000007, 0, 63, 37, 173, 53, "Statistic"},
    {1013, "button", 0x50000007, 0, 63, 95, 173, 44, "Options"},
    {-1, "static", 0x50020002, 0x20, 206, 153, 30, 8, WINGZAP_VERSION_SHORT},
};

std::string ClassOf(const std::string& raw)
{
    if (raw == "#128") return "button";
    if (raw == "#129") return "edit";
    if (raw == "#130") return "static";
    std::string lower = raw;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return lower;
}

TEST(Dialog, TemplateHoldsItsThirteenControls)
{
    std::vector<uint8_t> b = ResourceBytes(ProductResources(), RT_DIALOG, IDD_OPTIONS);
    ASSERT_GT(b.size(), 26u);
    Reader r{b};
    EXPECT_EQ(r.Word(), 1);       // extended template
    EXPECT_EQ(r.Word(), 0xFFFF);
    r.Dword();                    // help id
    EXPECT_EQ(r.Dword(), 0x200u); // WS_EX_CLIENTEDGE
    EXPECT_EQ(r.Dword(), 0x80000AC4u);
    uint16_t count = r.Word();
    EXPECT_EQ(count, 13);
    int16_t box[4];
    for (int16_t& v : box) v = static_cast<int16_t>(r.Word());
    EXPECT_EQ(std::vector<int16_t>(box, box + 4), (std::vector<int16_t>{0, 0, 243, 168}));
    EXPECT_EQ(r.SzOrOrd(), "");  // menu
    EXPECT_EQ(r.SzOrOrd(), "");  // class
    EXPECT_EQ(r.SzOrOrd(), "");  // title
    EXPECT_EQ(r.Word(), 8);      // points
    EXPECT_EQ(r.Word(), 0);      // weight
    EXPECT_EQ(b[r.at], 0);       // not italic
    EXPECT_EQ(b[r.at + 1], 1);   // DEFAULT_CHARSET
    r.at += 2;
    EXPECT_EQ(r.SzOrOrd(), "MS Sans Serif");
    for (uint16_t i = 0; i < count && i < 13; ++i) {
        const Control& c = kControls[i];
        SCOPED_TRACE(i + 1);
        r.Align();
        r.Dword();  // help id
        EXPECT_EQ(r.Dword(), c.exStyle);
        EXPECT_EQ(r.Dword(), c.style);
        short x = static_cast<short>(r.Word()), y = static_cast<short>(r.Word());
        short cx = static_cast<short>(r.Word()), cy = static_cast<short>(r.Word());
        EXPECT_EQ(x, c.x); EXPECT_EQ(y, c.y); EXPECT_EQ(cx, c.cx); EXPECT_EQ(cy, c.cy);
        EXPECT_EQ(static_cast<int>(r.Dword()), c.id);
        EXPECT_EQ(ClassOf(r.SzOrOrd()), c.cls);
        EXPECT_EQ(r.SzOrOrd(), c.text);
        r.at += r.Word();  // creation data
    }
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(Dialog, CreatesItsControlsWithTheirIdsClassesAndTexts)
{
    HWND dialog = CreateDialogParamA(ProductResources(), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, QuietDialog, 0);
    ASSERT_NE(dialog, nullptr);
    char title[50] = "?";
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "");
    size_t i = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT), ++i) {
        ASSERT_LT(i, std::size(kControls));
        const Control& c = kControls[i];
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(child))), c.id);
        char cls[50] = "", text[100] = "";
        GetClassNameA(child, cls, sizeof cls);
        EXPECT_EQ(ClassOf(cls), c.cls);
        if (c.text[0] != '#') {
            GetWindowTextA(child, text, sizeof text);
            EXPECT_STREQ(text, c.text);
        } else {
            EXPECT_NE(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "shows bitmap 253";
        }
    }
    EXPECT_EQ(i, std::size(kControls));
    DestroyWindow(dialog);
}

TEST(Strings, EachReadsByteForByte)
{
    const struct { unsigned id; const char* text; } strings[] = {
        {267, "Wingzap - %d Milliseconds/Chicken"},
        {309, "&Enable"},
        {310, "&Disable"},
        {20267, "Wingzap - %d Millisekunden/Huhn"},
        {20309, "&Einschalten"},
        {20310, "&Ausschalten"},
        {21003, "Zeit zwischen H\xFChnern (sec):"},
        {21004, "Sound"},
        {21012, "Statistik"},
        {21013, "Optionen"},
        {21014, "%-4d\tTreffer"},
        {21015, "%-5d\tMillisekunden/Huhn"},
        {21016, "%-4d\tH\xFChner verfehlt"},
    };
    for (const auto& s : strings) {
        char text[500] = "";
        int length = LoadStringA(ProductResources(), s.id, text, sizeof text);
        EXPECT_EQ(length, static_cast<int>(strlen(s.text))) << s.id;
        EXPECT_STREQ(text, s.text) << s.id;
    }
    std::vector<unsigned> absent = {1, 2, 10267, 10309, 10310, 21005, 268};
    for (unsigned id = 1003; id <= 1016; ++id) absent.push_back(id);
    for (unsigned id : absent) {
        char text[500] = "";
        EXPECT_EQ(LoadStringA(ProductResources(), id, text, sizeof text), 0) << id;
    }
}

TEST(Version, RecordsTheProjectVersionInGermanAustrianUnicode)
{
    std::string path = test::ProductExePath();
    DWORD handle = 0, size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    // VERSION of project() in CMakeLists.txt, by way of version.h.
    const DWORD ms = MAKELONG(WINGZAP_VERSION_MINOR, WINGZAP_VERSION_MAJOR);
    const DWORD ls = MAKELONG(WINGZAP_VERSION_TWEAK, WINGZAP_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0C07);
    EXPECT_EQ(translation[1], 1200);
    const struct { const char* name; const char* value; } values[] = {
        {"FileVersion", WINGZAP_VERSION_TEXT}, {"ProductVersion", WINGZAP_VERSION_TEXT},
        {"FileDescription", "Wingzap"}, {"InternalName", "Wingzap"}, {"ProductName", "Wingzap"}};
    for (const auto& v : values) {
        char query[100];
        snprintf(query, sizeof query, "\\StringFileInfo\\0C0704B0\\%s", v.name);
        char* text = nullptr;
        ASSERT_TRUE(VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&text), &length)) << v.name;
        EXPECT_STREQ(text, v.value);
    }
}

// The loader's parser takes them, and they say what the program asks of
// Windows: the program's own, and the one the tray's pictures load common
// controls 6 with.
TEST(Manifest, ParsesAndDeclaresDpiAwarenessVersionsAndLevel)
{
    std::string path = test::ProductExePath();
    for (unsigned id : {IDR_MANIFEST, IDR_COMMON_CONTROLS}) {
        ACTCTXA context = {};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = path.c_str();
        context.lpResourceName = MAKEINTRESOURCEA(id);
        HANDLE parsed = CreateActCtxA(&context);
        ASSERT_NE(parsed, INVALID_HANDLE_VALUE) << "manifest " << id << ": error " << GetLastError();
        ReleaseActCtx(parsed);
    }

    std::vector<uint8_t> bytes = ResourceBytes(ProductResources(), MAKEINTRESOURCEA(RT_MANIFEST_TYPE), IDR_MANIFEST);
    std::string text(bytes.begin(), bytes.end());
    for (const char* wanted :
         {">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>", "level=\"asInvoker\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(text.find(wanted), std::string::npos) << wanted;
    EXPECT_EQ(text.find("dependentAssembly"), std::string::npos) << "no library beyond the system's";
    bytes = ResourceBytes(ProductResources(), MAKEINTRESOURCEA(RT_MANIFEST_TYPE), IDR_COMMON_CONTROLS);
    text.assign(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR out)
{
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(language);
    return TRUE;
}

TEST(Languages, EveryResourceIsTaggedOnce)
{
    const struct { LPCSTR type; unsigned id; WORD language; } tags[] = {
        {RT_GROUP_ICON, IDI_APP, 0x0407}, {RT_GROUP_ICON, IDI_ENABLED, 0x0407}, {RT_GROUP_ICON, IDI_DISABLED, 0x0407},
        {RT_GROUP_CURSOR, IDC_CROSSHAIR, 0x0C07}, {RT_BITMAP, 169, 0x0C07}, {RT_BITMAP, 305, 0x0C07},
        {RT_BITMAP, 253, 0x0C07}, {"WAVE", IDW_LAUNCH, 0x0C07}, {RT_MENU, 250, 0x0C07}, {RT_MENU, 20306, 0x0C07},
        {RT_DIALOG, IDD_OPTIONS, 0x0C07}, {RT_STRING, 267 / 16 + 1, 0x0C07}, {RT_VERSION, 1, 0x0C07},
        {MAKEINTRESOURCEA(RT_MANIFEST_TYPE), IDR_MANIFEST, 0x0C07},
        {MAKEINTRESOURCEA(RT_MANIFEST_TYPE), IDR_COMMON_CONTROLS, 0x0C07},
    };
    for (const auto& t : tags) {
        std::vector<WORD> languages;
        EnumResourceLanguagesA(ProductResources(), t.type, MAKEINTRESOURCEA(t.id), CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(languages, std::vector<WORD>{t.language}) << t.id;
    }
}

}  // namespace
