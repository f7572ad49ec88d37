// The options and statistics dialog, opened for real in this process and
// driven as a user would: read what it shows, type, click, press Esc.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "res/localize.h"
#include "res/resource.h"
#include "res/sound.h"
#include "store/store.h"
#include "support.h"
#include "ui/options.h"

namespace {

using test::WindowText;

std::string ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

void Click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void Cancel(HWND dialog) { Click(dialog, IDCANCEL); }

// Esc as the keyboard gives it: the dialog manager turns it into Cancel.
void PressEscape(HWND dialog)
{
    PostMessageA(GetDlgItem(dialog, IDC_SPEED_EDIT), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
}

void Type(HWND dialog, const char* text)
{
    SetDlgItemTextA(dialog, IDC_SPEED_EDIT, text);
}

bool Checked(HWND dialog)
{
    return SendMessageA(GetDlgItem(dialog, IDC_USE_SOUND), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND dialog, bool on)
{
    if (Checked(dialog) != on) Click(dialog, IDC_USE_SOUND);
}

using test::KeyExists;

struct Shown;

const LCID kEnglish = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

// The real dialog, driven; the program set up for a user of `lcid` from
// what the registry holds when Start() is called.
class Options : public ::testing::Test {
protected:
    explicit Options(LCID lcid = kEnglish) : lcid_(lcid) {}
    void SetUp() override { ASSERT_TRUE(dialog_.Installed()); }
    void Start(const std::vector<test::StoredValue>& stored = {})
    {
        program_.reset(new test::Program(stored, lcid_));
        ASSERT_TRUE(program_->Loaded());
    }
    // Opens the dialog through the program's own call and runs `script` in it.
    int Open(std::function<void(HWND)> script)
    {
        dialog_.script = std::move(script);
        dialog_.opened = 0;
        dialog_.timedOut = false;
        int result = ShowOptionsDialog();
        EXPECT_EQ(dialog_.opened, 1);
        EXPECT_FALSE(dialog_.timedOut) << "the dialog stayed open";
        return result;
    }
    // Opens the dialog, reads what it shows, and leaves it with `leave`,
    // which changes nothing.
    Shown Look(void (*leave)(HWND) = Cancel);

    LCID lcid_;
    test::FakeDialog dialog_;
    std::unique_ptr<test::Program> program_;
};

class GermanOptions : public Options {
protected:
    GermanOptions() : Options(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT)) {}
};

// ---------------------------------------------------------------------------
// What the dialog shows

struct Shown {
    std::string hits, missed, mean, speed, sound, label, statistic, options, ok, cancel, title;
    bool checked = false;
    bool focusOnCheckBox = false;
};

Shown Read(HWND dialog)
{
    Shown s;
    s.hits = ItemText(dialog, IDC_LINE_HITS);
    s.missed = ItemText(dialog, IDC_LINE_MISSED);
    s.mean = ItemText(dialog, IDC_LINE_MEAN);
    s.speed = ItemText(dialog, IDC_SPEED_EDIT);
    s.sound = ItemText(dialog, IDC_USE_SOUND);
    s.label = ItemText(dialog, IDC_SPEED_LABEL);
    s.statistic = ItemText(dialog, IDC_GROUP_STATISTIC);
    s.options = ItemText(dialog, IDC_GROUP_OPTIONS);
    s.ok = ItemText(dialog, IDOK);
    s.cancel = ItemText(dialog, IDCANCEL);
    s.title = WindowText(dialog);
    s.checked = Checked(dialog);
    s.focusOnCheckBox = GetFocus() == GetDlgItem(dialog, IDC_USE_SOUND);
    return s;
}

Shown Options::Look(void (*leave)(HWND))
{
    Shown s;
    EXPECT_EQ(Open([&](HWND d) {
                  s = Read(d);
                  leave(d);
              }),
              0);
    return s;
}

// The texts of the dialog, each checked on its own.
void ExpectTexts(const Shown& s, const Shown& expected)
{
    EXPECT_EQ(s.hits, expected.hits);
    EXPECT_EQ(s.missed, expected.missed);
    EXPECT_EQ(s.mean, expected.mean);
    EXPECT_EQ(s.speed, expected.speed);
    EXPECT_EQ(s.sound, expected.sound);
    EXPECT_EQ(s.label, expected.label);
    EXPECT_EQ(s.statistic, expected.statistic);
    EXPECT_EQ(s.options, expected.options);
    EXPECT_EQ(s.ok, expected.ok);
    EXPECT_EQ(s.cancel, expected.cancel);
    EXPECT_EQ(s.title, expected.title);
}

std::vector<test::StoredValue> Counters(DWORD hits, DWORD missed, DWORD timeSum)
{
    return {{kCountHits, hits}, {kCountMissedChicken, missed}, {kCountMissedShots, 12345}, {kTimeSum, timeSum}};
}

TEST_F(Options, ShowsTheCountersAndTheSettingsOfAFirstRun)
{
    Start(Counters(7, 3, 4000));
    const Shown s = Look();
    ExpectTexts(s, {"7   \tChicken Hit", "3   \tChicken Missed", "571  \tMilliseconds/Chicken", "60", "&Use Sound",
                    "Speed (Seconds Between Chicken):", "Statistic", "Options", "OK", "Cancel", "Wingzap"});
    EXPECT_TRUE(s.checked);
    EXPECT_TRUE(s.focusOnCheckBox) << "the first tab stop has no focus";
}

TEST_F(GermanOptions, ShowsGermanTextsWithTheSameNumbers)
{
    Start(Counters(7, 3, 4000));
    ASSERT_EQ(g_language.ResourceOffset, 20000u);
    ExpectTexts(Look(), {"7   \tTreffer", "3   \tH\xFChner verfehlt", "571  \tMillisekunden/Huhn", "60", "Sound",
                         "Zeit zwischen H\xFChnern (sec):", "Statistik", "Optionen", "OK", "Cancel", "Wingzap"});
}

struct CounterCase {
    DWORD hits, missed, timeSum;
    const char* hitsLine;
    const char* missedLine;
    const char* meanLine;
};

TEST_F(Options, StatisticsLinesFollowTheCounters)
{
    const CounterCase cases[] = {
        {0, 0, 0, "0   \tChicken Hit", "0   \tChicken Missed", "0    \tMilliseconds/Chicken"},
        {0, 2, 5000, "0   \tChicken Hit", "2   \tChicken Missed", "0    \tMilliseconds/Chicken"},
        {1, 0, 999, "1   \tChicken Hit", "0   \tChicken Missed", "999  \tMilliseconds/Chicken"},
        {3, 0, 1000, "3   \tChicken Hit", "0   \tChicken Missed", "333  \tMilliseconds/Chicken"},
        {12345, 67890, 123456789, "12345\tChicken Hit", "67890\tChicken Missed", "10000\tMilliseconds/Chicken"},
        {2, 1, 0xFFFFFFFE, "2   \tChicken Hit", "1   \tChicken Missed", "2147483647\tMilliseconds/Chicken"},
    };
    Start();
    for (const CounterCase& c : cases) {
        SCOPED_TRACE(c.hitsLine);
        test::WriteValues(Counters(c.hits, c.missed, c.timeSum));
        LoadStatistics();
        const Shown s = Look(PressEscape);
        EXPECT_EQ(s.hits, c.hitsLine);
        EXPECT_EQ(s.missed, c.missedLine);
        EXPECT_EQ(s.mean, c.meanLine);
    }
}

// ---------------------------------------------------------------------------
// A line's text is its format; a text that is no single-number format (put
// there by anyone between the localization and the formatting) shows the
// number alone. Such a text is planted right after the localization.

struct FormatCase {
    const char* format;
    // with 7 hits, 3 missed chickens, 4000 ms
    std::string hits;
    std::string missed;
    std::string mean;
};

TEST_F(Options, ALineThatIsNoSingleNumberFormatShowsTheNumberAlone)
{
    const char* planted = "";
    test::Spy<decltype(EnumChildWindows)> enumerate("USER32.dll", "EnumChildWindows");
    enumerate.answer = [&](HWND parent, WNDENUMPROC proc, LPARAM param) {
        BOOL result = enumerate.Real(parent, proc, param);
        for (int id : {IDC_LINE_HITS, IDC_LINE_MISSED, IDC_LINE_MEAN}) SetDlgItemTextA(parent, id, planted);
        return result;
    };
    ASSERT_TRUE(enumerate.Installed());
    Start(Counters(7, 3, 4000));
    const FormatCase cases[] = {
        {"%-4d\tHits", "7   \tHits", "3   \tHits", "571 \tHits"},
        {"%5u chickens", "    7 chickens", "    3 chickens", "  571 chickens"},
        {"%+i", "+7", "+3", "+571"},
        {"%03d", "007", "003", "571"},
        {"%d", "7", "3", "571"},
        {"%s", "7", "3", "571"},
        {"%d %d", "7", "3", "571"},
        {"%d%s", "7", "3", "571"},
        {"%n", "7", "3", "571"},
        {"%d%n", "7", "3", "571"},
        {"%%%d", "7", "3", "571"},
        {"100%", "7", "3", "571"},
        {"%d%", "7", "3", "571"},
        {"%ld", "7", "3", "571"},
        {"%lld", "7", "3", "571"},
        {"%I64d", "7", "3", "571"},
        {"%*d", "7", "3", "571"},
        {"%f", "7", "3", "571"},
        {"%p", "7", "3", "571"},
        {"%c", "7", "3", "571"},
        {"no conversion", "7", "3", "571"},
        {"", "7", "3", "571"},
        // Wider than the line's buffer: cut, never overrun.
        {"%-99d|", "7" + std::string(98, ' '), "3" + std::string(98, ' '), "571" + std::string(96, ' ')},
        // Widths and precisions beyond two digits, up to a billion characters of padding.
        {"%-200d", "7", "3", "571"},
        {"%.100d", "7", "3", "571"},
        {"%999999999d", "7", "3", "571"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.format);
        planted = c.format;
        const Shown s = Look();
        EXPECT_EQ(s.hits, c.hits);
        EXPECT_EQ(s.missed, c.missed);
        EXPECT_EQ(s.mean, c.mean);
    }
}

// ---------------------------------------------------------------------------
// The sound setting

struct SoundCase {
    const char* what;
    bool stored;
    DWORD value;
    bool shownChecked;
    int clicks;  // on the check box before OK
    DWORD storedAfterOk;
};

TEST_F(Options, SoundCheckBoxShowsAndStoresZeroOrOne)
{
    const SoundCase cases[] = {
        {"first run", false, 0, true, 0, 1},
        {"off", true, 0, false, 0, 0},
        {"on", true, 1, true, 0, 1},
        {"hand-edited 2", true, 2, true, 0, 1},
        {"hand-edited all ones", true, 0xFFFFFFFF, true, 0, 1},
        {"hand-edited 0x100", true, 0x100, true, 0, 1},
        {"on, cleared", true, 1, true, 1, 0},
        {"off, set", true, 0, false, 1, 1},
        {"hand-edited 2, cleared", true, 2, true, 1, 0},
        {"on, clicked twice", true, 1, true, 2, 1},
    };
    Start();
    for (const SoundCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::DeleteKey();
        if (c.stored) test::WriteValue(kUseSound, c.value);
        LoadSettings();
        bool shown = !c.shownChecked;
        bool afterClicks = false;
        EXPECT_EQ(Open([&](HWND d) {
                      shown = Checked(d);
                      for (int i = 0; i < c.clicks; ++i) Click(d, IDC_USE_SOUND);
                      afterClicks = Checked(d);
                      Click(d, IDOK);
                  }),
                  1);
        EXPECT_EQ(shown, c.shownChecked);
        EXPECT_EQ(afterClicks, c.storedAfterOk == 1) << "the box does not toggle as a user sees it";
        EXPECT_EQ(g_settings.UseSound, c.storedAfterOk);
        EXPECT_EQ(test::Stored(kUseSound), c.storedAfterOk);
    }
}

TEST_F(Options, ClearingTheSoundSilencesTheVeryNextSound)
{
    test::FakeSound sound;
    ASSERT_TRUE(sound.Installed());
    Start();
    struct Step {
        bool check;
        size_t expectedSounds;
    };
    const Step steps[] = {{false, 0}, {true, 1}, {false, 0}};
    sound.calls.clear();
    PlaySoundResource(IDW_SHOT, 1);
    ASSERT_EQ(sound.calls.size(), 1u) << "no sound on a first run";
    for (const Step& s : steps) {
        SCOPED_TRACE(s.check);
        Open([&](HWND d) {
            SetChecked(d, s.check);
            Click(d, IDOK);
        });
        sound.calls.clear();
        PlaySoundResource(IDW_HIT, 1);
        EXPECT_EQ(sound.calls.size(), s.expectedSounds);
    }
}

// ---------------------------------------------------------------------------
// The speed field

struct SpeedCase {
    const char* typed;
    uint32_t speed;
    const char* shownNext;
};

TEST_F(Options, SpeedFieldTakesTheLeadingNumber)
{
    const SpeedCase cases[] = {
        {"  42abc", 42, "42"},
        {"", 1, "1"},
        {"abc", 1, "1"},
        {"0", 1, "1"},
        {"00", 1, "1"},
        {"1234567890", 123456789, "123456789"},
        {"-5", 0xFFFFFFFBu, "-5"},
        {"+7", 7, "7"},
        {"-0", 1, "1"},
        {"-", 1, "1"},
        {"+-3", 1, "1"},
        {"\t 15", 15, "15"},
        {"15 30", 15, "15"},
        {"999999999", 999999999, "999999999"},
        {"-99999999", static_cast<uint32_t>(-99999999), "-99999999"},
        {"1e3", 1, "1"},
        {"0x10", 1, "1"},
        {"30", 30, "30"},
    };
    Start();
    for (const SpeedCase& c : cases) {
        SCOPED_TRACE(c.typed);
        g_settings.Speed = 60;
        EXPECT_EQ(Open([&](HWND d) {
                      Type(d, c.typed);
                      Click(d, IDOK);
                  }),
                  1);
        EXPECT_EQ(g_settings.Speed, c.speed);
        EXPECT_EQ(test::Stored(kSpeed), c.speed);
        // The next opening shows what was taken.
        EXPECT_EQ(Look().speed, c.shownNext);
    }
}

TEST_F(Options, StoredSpeedIsShownAsSigned)
{
    const struct {
        DWORD stored;
        const char* shown;
    } cases[] = {{1, "1"}, {60, "60"}, {0, "1"}, {0x7FFFFFFF, "2147483647"}, {0x80000000, "-2147483648"},
                 {0xFFFFFFFB, "-5"}};
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        test::WriteValue(kSpeed, c.stored);
        LoadSettings();
        EXPECT_EQ(Look().speed, c.shown);
    }
}

// ---------------------------------------------------------------------------
// OK, Cancel and Esc

TEST_F(Options, OkWithoutAChangeStillCreatesTheKeyAndWritesBoth)
{
    Start();
    ASSERT_FALSE(KeyExists());
    EXPECT_EQ(Open([](HWND d) { Click(d, IDOK); }), 1);
    ASSERT_TRUE(KeyExists());
    DWORD type = 0, value = 0;
    ASSERT_TRUE(test::ReadValue(kUseSound, &value, &type));
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_TRUE(test::ReadValue(kSpeed, &value, &type));
    EXPECT_EQ(value, 60u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    // The settings only: the counters are written at shut-down.
    EXPECT_FALSE(test::ReadValue(kCountHits, &value));
}

TEST_F(Options, EnterIsOk)
{
    Start();
    EXPECT_EQ(Open([](HWND d) {
                  Type(d, "25");
                  PostMessageA(GetDlgItem(d, IDC_SPEED_EDIT), WM_KEYDOWN, VK_RETURN, 0x001C0001);
              }),
              1);
    EXPECT_EQ(g_settings.Speed, 25u);
    EXPECT_EQ(test::Stored(kSpeed), 25u);
}

struct LeaveCase {
    const char* what;
    bool keyBefore;
    std::function<void(HWND)> leave;
};

TEST_F(Options, CancelAndEscChangeNothing)
{
    const LeaveCase cases[] = {
        {"Cancel, first run", false, [](HWND d) { Click(d, IDCANCEL); }},
        {"Esc, first run", false, PressEscape},
        {"Cancel, stored", true, [](HWND d) { Click(d, IDCANCEL); }},
        {"Esc, stored", true, PressEscape},
        {"Cancel command", true, [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); }},
    };
    Start();
    for (const LeaveCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::DeleteKey();
        if (c.keyBefore) {
            test::WriteValue(kUseSound, 1);
            test::WriteValue(kSpeed, 45);
        }
        LoadSettings();
        EXPECT_EQ(Open([&](HWND d) {
                      Type(d, "5");
                      SetChecked(d, false);
                      c.leave(d);
                  }),
                  0);
        EXPECT_EQ(g_settings.UseSound, 1u);
        EXPECT_EQ(g_settings.Speed, c.keyBefore ? 45u : 60u);
        EXPECT_EQ(KeyExists(), c.keyBefore);
        if (c.keyBefore) {
            EXPECT_EQ(test::Stored(kUseSound), 1u);
            EXPECT_EQ(test::Stored(kSpeed), 45u);
        }
    }
}

// Only the whole first parameter 1 or 2 ends the dialog: notifications of
// other controls, and OK or Cancel with a notification code, do nothing.
TEST_F(Options, OtherCommandsLeaveTheDialogOpen)
{
    int endDialogs = 0;
    test::Spy<decltype(EndDialog)> end("USER32.dll", "EndDialog");
    end.note = [&](HWND, INT_PTR) { ++endDialogs; };
    ASSERT_TRUE(end.Installed());
    Start();
    const WPARAM commands[] = {0,
                               3,
                               IDC_USE_SOUND,
                               MAKEWPARAM(IDC_SPEED_EDIT, EN_CHANGE),
                               MAKEWPARAM(IDOK, 1),
                               MAKEWPARAM(IDOK, BN_DOUBLECLICKED),
                               MAKEWPARAM(IDCANCEL, 1),
                               MAKEWPARAM(IDCANCEL, BN_SETFOCUS),
                               0x10001};
    for (WPARAM command : commands) {
        SCOPED_TRACE(command);
        bool open = false;
        INT_PTR handled = -1;
        endDialogs = 0;
        EXPECT_EQ(Open([&](HWND d) {
                      Type(d, "9");
                      handled = dialog_.proc(d, WM_COMMAND, command, 0);
                      SendMessageA(d, WM_COMMAND, command, 0);
                      open = endDialogs == 0;
                      Click(d, IDCANCEL);
                  }),
                  0);
        EXPECT_TRUE(open) << "the dialog ended";
        EXPECT_EQ(handled, 1);
        EXPECT_EQ(g_settings.Speed, 60u) << "the settings were taken over";
        EXPECT_FALSE(KeyExists());
    }
}

TEST_F(Options, MessagesItDoesNotHandleGoToTheDialogManager)
{
    Start();
    struct {
        UINT message;
        INT_PTR handled;
    } cases[] = {{WM_INITDIALOG, 1}, {WM_COMMAND, 1}, {WM_MOUSEMOVE, 0}, {WM_PAINT, 0}, {WM_CLOSE, 0},
                 {WM_KEYDOWN, 0},    {WM_TIMER, 0}};
    std::vector<INT_PTR> results;
    Open([&](HWND d) {
        for (const auto& c : cases) results.push_back(dialog_.proc(d, c.message, 5, 0));
        Click(d, IDCANCEL);
    });
    ASSERT_EQ(results.size(), sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i], cases[i].handled) << cases[i].message;
}

TEST_F(Options, ADialogThatCannotBeCreatedChangesNothing)
{
    Start();
    dialog_.mode = test::FakeDialog::kFail;
    EXPECT_EQ(ShowOptionsDialog(), 0);
    EXPECT_EQ(g_settings.Speed, 60u);
    EXPECT_FALSE(KeyExists());
}

// The dialog is opened from the program's own module with template 252,
// without owner, so none of the program's windows is disabled meanwhile.
TEST_F(Options, OpensTemplate252WithoutOwner)
{
    Start();
    bool backgroundEnabled = false;
    Open([&](HWND d) {
        backgroundEnabled = IsWindowEnabled(g_app.background) != FALSE;
        EXPECT_EQ(GetWindow(d, GW_OWNER), nullptr);
        EXPECT_EQ(GetWindowLongA(d, GWL_STYLE) & WS_CAPTION, 0) << "the dialog has a caption bar";
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(backgroundEnabled);
    EXPECT_EQ(dialog_.module, GetModuleHandleA(nullptr));
    EXPECT_EQ(dialog_.name, MAKEINTRESOURCEA(252));
    EXPECT_EQ(dialog_.owner, nullptr);
}

}  // namespace
