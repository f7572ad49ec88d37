// The user's language, the localized string and menu loaders and the
// dialog's texts, with the user's locale steered through the import table.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "res/localize.h"
#include "res/resource.h"
#include "support.h"

namespace {

// The program's language as start-up sets it, for a user of `locale`.
class UserLocale {
public:
    explicit UserLocale(LCID locale) : user_(locale)
    {
        Language_Reset();
        result_ = InitLanguage(GetModuleHandleA(nullptr));
    }
    ~UserLocale() { Language_Reset(); }
    bool Installed() const { return user_.Installed(); }
    int Result() const { return result_; }

private:
    test::FakeUserLocale user_;
    int result_ = 0;
};

const LCID kSwissGerman = 0x0807, kBritish = 0x0809, kFrench = 0x040C;

// The ANSI text of a string as the test process's code page gives it.
std::string Ansi(const wchar_t* text)
{
    char buffer[500];
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return n > 0 ? std::string(buffer) : std::string();
}

struct MenuGuard {
    HMENU menu;
    ~MenuGuard()
    {
        if (menu) DestroyMenu(menu);
    }
};

std::string MenuText(HMENU popup, UINT command)
{
    char text[100] = {};
    GetMenuStringA(popup, command, text, sizeof text, MF_BYCOMMAND);
    return text;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

using test::WindowGuard;

using test::WindowText;

std::map<HWND, std::string> TextsOfDescendants(HWND dialog)
{
    std::map<HWND, std::string> texts;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM out) CALLBACK -> BOOL {
            (*reinterpret_cast<std::map<HWND, std::string>*>(out))[child] = WindowText(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

}  // namespace

TEST(Language, OffsetFromThePrimaryLanguageOfTheUserLocale)
{
    const struct {
        LCID locale;
        uint32_t offset;
    } cases[] = {
        {0x0407, 20000},   // German (Germany)
        {0x0807, 20000},   // German (Switzerland)
        {0x0C07, 20000},   // German (Austria)
        {0x10407, 20000},  // German with phone-book sorting
        {0x0409, 10000},   // English (United States)
        {0x0809, 10000},   // English (United Kingdom)
        {0x0C09, 10000},   // English (Australia)
        {0x040C, 0},       // French
        {0x0411, 0},       // Japanese
        {0x0417, 0},       // Romansh: 0x17, not German's 7
        {0x0419, 0},       // Russian: 0x19, not English's 9
        {0x0000, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "locale 0x" << std::hex << c.locale);
        UserLocale user(c.locale);
        ASSERT_TRUE(user.Installed());
        EXPECT_EQ(1, user.Result());
        EXPECT_EQ(c.offset, g_language.ResourceOffset);
        EXPECT_EQ(GetModuleHandleA(nullptr), g_language.module);
    }
}

TEST(Language, StringsWithEachOffset)
{
    const std::string english = "Wingzap - %d Milliseconds/Chicken";
    const std::string german = "Wingzap - %d Millisekunden/Huhn";
    const struct {
        LCID locale;
        unsigned id;
        int result;
        std::string text;
    } cases[] = {
        {kSwissGerman, IDS_TOOLTIP, 1, german},
        {kSwissGerman, IDS_ENABLE, 1, "&Einschalten"},
        {kSwissGerman, IDS_DISABLE, 1, "&Ausschalten"},
        {kSwissGerman, IDC_SPEED_LABEL, 1, Ansi(L"Zeit zwischen H\u00fchnern (sec):")},
        {kSwissGerman, IDC_LINE_MISSED, 1, Ansi(L"%-4d\tH\u00fchner verfehlt")},
        {kSwissGerman, IDC_LINE_MEAN, 1, "%-5d\tMillisekunden/Huhn"},
        {kSwissGerman, IDOK, 0, ""},
        {kSwissGerman, IDC_SPEED_EDIT, 0, ""},
        {kBritish, IDS_TOOLTIP, 1, english},
        {kBritish, IDS_ENABLE, 1, "&Enable"},
        {kBritish, IDS_DISABLE, 1, "&Disable"},
        {kBritish, IDC_SPEED_LABEL, 0, ""},
        {kBritish, IDOK, 0, ""},
        {kFrench, IDS_TOOLTIP, 1, english},
        {kFrench, IDS_DISABLE, 1, "&Disable"},
        {kFrench, IDC_SPEED_LABEL, 0, ""},
        {kFrench, 20000 + IDS_TOOLTIP, 1, german},  // offset 0 loads any id as it is
        {kFrench, IDOK, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "locale 0x" << std::hex << c.locale << std::dec << ", id " << c.id);
        UserLocale user(c.locale);
        ASSERT_TRUE(user.Installed());
        char buffer[200];
        std::memset(buffer, 0, sizeof buffer);
        EXPECT_EQ(c.result, LoadLocalizedString(c.id, buffer, sizeof buffer));
        if (c.result) {
            EXPECT_EQ(c.text, std::string(buffer));
        }
    }
}

TEST(Language, StringsAreCutToTheBuffer)
{
    const struct {
        LCID locale;
        int size;
        int result;
        const char* text;
    } cases[] = {
        {kSwissGerman, 8, 1, "Wingzap"},
        {kSwissGerman, 12, 1, "Wingzap - %"},
        {kBritish, 8, 1, "Wingzap"},
        {kBritish, 2, 1, "W"},
        {kFrench, 33, 1, "Wingzap - %d Milliseconds/Chicke"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "locale 0x" << std::hex << c.locale << std::dec << ", size " << c.size);
        UserLocale user(c.locale);
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(c.result, LoadLocalizedString(IDS_TOOLTIP, buffer, c.size));
        EXPECT_EQ(std::string(c.text), std::string(buffer));
        EXPECT_EQ('x', buffer[c.size]) << "nothing written past the buffer";
    }
}

// Menus exist only at 250, 306, 20250 and 20306: English users, whose
// offset finds nothing, fall back to the plain menu like strings do.
TEST(Language, MenusWithEachOffset)
{
    const struct {
        LCID locale;
        unsigned id;
        std::vector<unsigned> requests;
        bool found;
        int items;
        const char* toggle;
        const char* quit;
    } cases[] = {
        {kSwissGerman, IDM_TRAY, {20250}, true, 6, "&Deaktivieren", "&Beenden"},
        {kSwissGerman, IDM_TRAY_NT, {20306}, true, 7, "&Deaktivieren", "&Beenden"},
        {kBritish, IDM_TRAY, {10250, 250}, true, 6, "&Disable", "&Quit"},
        {kBritish, IDM_TRAY_NT, {10306, 306}, true, 7, "&Disable", "&Quit"},
        {kFrench, IDM_TRAY, {250}, true, 6, "&Disable", "&Quit"},
        {kFrench, IDM_TRAY_NT, {306}, true, 7, "&Disable", "&Quit"},
        {kSwissGerman, 251, {20251, 251}, false, 0, "", ""},
        {kBritish, 251, {10251, 251}, false, 0, "", ""},
        {kFrench, 251, {251}, false, 0, "", ""},
        // 20000 + 50000 does not fit in 16 bits: the id is cut, not widened
        {kSwissGerman, 50000, {4464, 50000}, false, 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "locale 0x" << std::hex << c.locale << std::dec << ", menu " << c.id);
        UserLocale user(c.locale);
        // Ids of the menus the loader asked for, in order.
        std::vector<unsigned> requests;
        bool requestNotAnId = false;
        test::Spy<decltype(LoadMenuA)> load("USER32.dll", "LoadMenuA");
        load.note = [&](HINSTANCE, LPCSTR name) {
            if (!IS_INTRESOURCE(name)) requestNotAnId = true;
            requests.push_back(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
        };
        ASSERT_TRUE(load.Installed());
        MenuGuard menu{LoadLocalizedMenu(static_cast<uint16_t>(c.id))};
        EXPECT_EQ(c.requests, requests);
        EXPECT_FALSE(requestNotAnId);
        EXPECT_EQ(c.found, menu.menu != nullptr);
        if (!menu.menu || !c.found) continue;
        HMENU popup = GetSubMenu(menu.menu, 0);
        ASSERT_NE(nullptr, popup);
        EXPECT_EQ(c.items, GetMenuItemCount(popup));
        EXPECT_EQ(c.toggle, MenuText(popup, CMD_TOGGLE_ENABLED));
        EXPECT_EQ(c.quit, MenuText(popup, CMD_QUIT));
        EXPECT_EQ(c.items == 7, GetMenuState(popup, CMD_RESET_WINDOWS, MF_BYCOMMAND) != UINT(-1));
    }
}

// The options dialog as the resources hold it: German users get the seven
// German texts, everybody else keeps the template's texts, and controls
// without a string are never touched.
TEST(Language, DialogControlsInTheUsersLanguage)
{
    const std::map<int, std::string> german = {
        {IDC_SPEED_LABEL, Ansi(L"Zeit zwischen H\u00fchnern (sec):")},
        {IDC_USE_SOUND, "Sound"},
        {IDC_GROUP_STATISTIC, "Statistik"},
        {IDC_GROUP_OPTIONS, "Optionen"},
        {IDC_LINE_HITS, "%-4d\tTreffer"},
        {IDC_LINE_MEAN, "%-5d\tMillisekunden/Huhn"},
        {IDC_LINE_MISSED, Ansi(L"%-4d\tH\u00fchner verfehlt")},
    };
    const std::map<int, std::string> english = {
        {IDC_SPEED_LABEL, "Speed (Seconds Between Chicken):"},
        {IDC_USE_SOUND, "&Use Sound"},
        {IDC_GROUP_STATISTIC, "Statistic"},
        {IDC_GROUP_OPTIONS, "Options"},
        {IDC_LINE_HITS, "%-4d\tChicken Hit"},
        {IDC_LINE_MEAN, "%-5d\tMilliseconds/Chicken"},
        {IDC_LINE_MISSED, "%-4d\tChicken Missed"},
    };
    const struct {
        LCID locale;
        const std::map<int, std::string>* texts;
    } cases[] = {{kSwissGerman, &german}, {0x0407, &german}, {kBritish, &english}, {kFrench, &english}};
    const int kNestedId = 7000;

    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "locale 0x" << std::hex << c.locale);
        UserLocale user(c.locale);
        WindowGuard dialog{CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                              PlainDialogProc, 0)};
        ASSERT_NE(nullptr, dialog.window);
        // A control below another one, to see that descendants are visited.
        HWND holder = CreateWindowExA(0, "Static", "holder", WS_CHILD, 0, 0, 10, 10, dialog.window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kNestedId)), nullptr, nullptr);
        HWND nested = CreateWindowExA(0, "Static", "nested", WS_CHILD, 0, 0, 10, 10, holder,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_USE_SOUND)), nullptr, nullptr);
        ASSERT_NE(nullptr, nested);
        SetWindowTextA(dialog.window, "caption");
        const std::map<HWND, std::string> before = TextsOfDescendants(dialog.window);
        ASSERT_GE(before.size(), 14u);

        EXPECT_EQ(1, LocalizeDialogControls(dialog.window));

        EXPECT_EQ("caption", WindowText(dialog.window)) << "the dialog itself keeps its text";
        for (const auto& entry : before) {
            HWND control = entry.first;
            int id = GetDlgCtrlID(control);
            SCOPED_TRACE(testing::Message() << "control " << id << " \"" << entry.second << "\"");
            auto expected = c.texts->find(id);
            if (control == nested) {
                EXPECT_EQ(c.texts == &german ? std::string("Sound") : std::string("nested"), WindowText(control));
            } else if (expected != c.texts->end()) {
                EXPECT_EQ(expected->second, WindowText(control));
            } else {
                EXPECT_EQ(entry.second, WindowText(control)) << "no string for this control";
            }
        }
        // The template's texts are the English ones.
        for (const auto& e : english) EXPECT_EQ(e.second, before.at(GetDlgItem(dialog.window, e.first))) << e.first;
    }
}
