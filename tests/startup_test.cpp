// The program started as a process of its own on the virtual desktop, at
// two sizes: its windows are watched from outside, its registry key is set
// before and read after, and it is ended the way the tray menu ends it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support.h"

namespace {

using test::BackgroundWindows;
using test::NowMs;
using test::ExpectStored;
using test::Process;
using test::StoredValue;
using test::WaitForWindows;

// A user with counters, chickens at once and no sound.
const std::vector<StoredValue> kFlyingUser = {
    {kSpeed, 1}, {kUseSound, 0}, {kCountHits, 7}, {kCountMissedShots, 11}, {kCountMissedChicken, 2}};

using test::Screenshot;

// The art of the program that runs.
HMODULE RuntimeArt()
{
    static HMODULE module = LoadLibraryExA(test::RuntimeExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

test::Dib Art(unsigned id) { return test::ResourceDib(RuntimeArt(), id); }

// Share of the chicken's pixels (mask 0) of the best-matching flying frame
// that the screenshot shows at (left, top).
double ChickenMatch(const Screenshot& shot, int left, int top, int* bestFrame)
{
    double best = 0;
    *bestFrame = -1;
    for (int i = 0; i < FRAMES_PER_BANK; ++i) {
        test::Dib colour = Art(IDB_RIGHT_FRAME0 + i), mask = Art(IDB_RIGHT_MASK0 + i);
        if (!colour.valid || !mask.valid) continue;
        int chicken = 0, same = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 90; ++x) {
                if (mask.At(x, y) != 0) continue;
                ++chicken;
                same += shot.Rgb(left + x, top + y) == colour.At(x, y);
            }
        }
        double share = chicken ? static_cast<double>(same) / chicken : 0;
        if (share > best) {
            best = share;
            *bestFrame = i;
        }
    }
    return best;
}

double NonBlackShare(const Screenshot& shot)
{
    size_t lit = 0;
    for (uint32_t p : shot.pixels) lit += (p & 0xFFFFFF) != 0;
    return shot.pixels.empty() ? 0 : static_cast<double>(lit) / shot.pixels.size();
}

// ---------------------------------------------------------------------------
// Watching a flight from outside.

struct Sample {
    double ms;
    RECT background;
    RECT sprite;  // in the background window's client area
};

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

// Both windows read without the background moving in between.
bool TakeSample(HWND background, HWND sprite, Sample* s)
{
    RECT before, after, r;
    if (!GetWindowRect(background, &before) || !GetWindowRect(sprite, &r) || !GetWindowRect(background, &after))
        return false;
    if (!SameRect(before, after)) return false;
    s->ms = NowMs();
    s->background = before;
    s->sprite = r;
    OffsetRect(&s->sprite, -before.left, -before.top);
    return true;
}

bool CoversScreen(const RECT& r)
{
    return r.left == 0 && r.top == 0 && r.right == GetSystemMetrics(SM_CXSCREEN) &&
           r.bottom == GetSystemMetrics(SM_CYSCREEN);
}

bool InFlight(const Sample& s, int row)
{
    return CoversScreen(s.background) && s.sprite.top == row && s.sprite.right - s.sprite.left == 90 &&
           s.sprite.bottom - s.sprite.top == 60;
}

// The distinct places of one flight, in the order seen.
std::vector<Sample> Places(const std::vector<Sample>& samples, int row)
{
    std::vector<Sample> out;
    for (const Sample& s : samples)
        if (InFlight(s, row) && (out.empty() || out.back().sprite.left != s.sprite.left)) out.push_back(s);
    return out;
}

// Expects a left-to-right flight from -90 in `step` pixels per tick. The
// watcher may miss a tick now and then, but it sees many single steps.
void ExpectSteadyFlight(const std::vector<Sample>& places, int step, int singleSteps)
{
    ASSERT_GE(places.size(), 3u);
    int exact = 0;
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(0, (places[i].sprite.left + 90) % step) << "at " << places[i].sprite.left;
        if (i == 0) continue;
        int moved = places[i].sprite.left - places[i - 1].sprite.left;
        EXPECT_GT(moved, 0) << "left to right";
        exact += moved == step;
    }
    EXPECT_GE(exact, singleSteps) << "moves of exactly one step seen";
}

std::string ScreenshotPath(int n)
{
    std::string dir = test::TestDir() + "/screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    char name[64];
    std::snprintf(name, sizeof name, "/flight-%d.bmp", n);
    return dir + name;
}

// A virtual desktop of one size, and the rows the program's fixed random
// sequence gives there: the row is the first draw modulo the height less 90,
// plus 20.
struct Desktop {
    int width, height;
    int firstRow, secondRow;
};
std::string DesktopName(const testing::TestParamInfo<Desktop>& info)
{
    return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
}
class OnDesktop : public testing::TestWithParam<Desktop> {};
INSTANTIATE_TEST_SUITE_P(Runtime, OnDesktop,
                         testing::Values(Desktop{1024, 768, 181, 150}, Desktop{1280, 1024, 741, 800}), DesktopName);

TEST_P(OnDesktop, ChickenFliesAcrossTheFrozenDesktopAndTheNextFollows)
{
    const Desktop desktop = GetParam();
    test::ScreenSize size(desktop.width, desktop.height);
    ASSERT_TRUE(size.Set()) << "the virtual desktop did not take " << DesktopName({desktop, 0});
    test::CleanRegistry registry;
    test::WriteValues(kFlyingUser);
    // No TimeSum: it is there afterwards only if the quit wrote the statistics.

    Process program(test::RuntimeExePath());
    HWND background, sprite;
    ASSERT_TRUE(WaitForWindows(program, &background, &sprite));
    const LONG exStyle = GetWindowLongA(background, GWL_EXSTYLE);
    const LONG wanted = WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW;
    EXPECT_EQ(wanted, exStyle & wanted);

    // First flight: step 5 (draws 18467, 6334, 26500). It is missed past the
    // far edge; with Speed 1 the next one comes at once, at step 7 (draws
    // 19169 for the delay, then 15724, 11478, 29358).
    const int firstRow = desktop.firstRow, secondRow = desktop.secondRow;
    std::vector<Sample> samples;
    int screenshots = 0;
    int shotsChecked = 0;
    int captureRetries = 0;
    const int shotAt[] = {150, 480, 800};
    int secondFlightPlaces = 0;
    for (double end = NowMs() + 45000; NowMs() < end && program.Running(); Sleep(5)) {
        Sample s;
        if (!TakeSample(background, sprite, &s)) continue;
        if (InFlight(s, secondRow) && (samples.empty() || s.sprite.left != samples.back().sprite.left))
            ++secondFlightPlaces;
        samples.push_back(s);
        if (secondFlightPlaces >= 4) break;
        if (screenshots < 3 && InFlight(s, firstRow) && s.sprite.left >= shotAt[screenshots]) {
            // Reading the whole screen takes about a tick: the chicken shows
            // at one of the places it had meanwhile.
            Screenshot shot = test::CaptureScreen();
            Sample after;
            if (!TakeSample(background, sprite, &after) || !InFlight(after, firstRow)) continue;
            int frame = -1, bestLeft = s.sprite.left;
            double match = 0;
            for (int left = s.sprite.left; left <= after.sprite.left && left + 90 <= shot.width; left += 5) {
                int f = -1;
                double m = ChickenMatch(shot, left, s.sprite.top, &f);
                if (m > match) {
                    match = m;
                    frame = f;
                    bestLeft = left;
                }
            }
            // A capture can race the tick's move and paint of the sprite
            // window under load: such a picture is taken again, twice at most.
            if (match < 0.95 && ++captureRetries <= 2) continue;
            ++screenshots;
            ASSERT_TRUE(test::SaveBmp(shot, ScreenshotPath(screenshots)));
            EXPECT_GT(NonBlackShare(shot), 0.5) << "the frozen desktop shows, not black";
            EXPECT_GE(match, 0.95) << "the chicken between " << s.sprite.left << " and " << after.sprite.left
                                   << " in row " << s.sprite.top << "; best at " << bestLeft << ", frame "
                                   << frame;
            ++shotsChecked;
        }
    }
    ASSERT_TRUE(program.Running()) << "the program ended on its own";
    EXPECT_EQ(3, shotsChecked);

    std::vector<Sample> first = Places(samples, firstRow);
    ExpectSteadyFlight(first, 5, 20);
    ASSERT_FALSE(first.empty());
    EXPECT_LT(first.front().sprite.left, 100) << "seen from its start at -90";
    EXPECT_GE(first.back().sprite.left, desktop.width + 76) << "flew across to the far edge";
    const int ticks = (first.back().sprite.left - first.front().sprite.left) / 5;
    const double perTick = (first.back().ms - first.front().ms) / std::max(ticks, 1);
    EXPECT_GT(perTick, 40.0) << "one step per 50 ms tick";
    EXPECT_LT(perTick, 120.0) << "one step per 50 ms tick";

    std::vector<Sample> second = Places(samples, secondRow);
    ExpectSteadyFlight(second, 7, 1);
    ASSERT_FALSE(second.empty());
    EXPECT_LT(second.front().sprite.left, 200) << "the next flight starts from -90 again";
    EXPECT_GT(second.front().ms, first.back().ms);

    const DWORD code = test::QuitThroughTheMenu(program, background);
    ASSERT_NE(STILL_ACTIVE, code) << "still running";
    EXPECT_EQ(0u, code);
    // One missed chicken; the second flight ended by the quit counts nothing.
    ExpectStored({{kSpeed, 1}, {kUseSound, 0}, {kCountHits, 7}, {kCountMissedShots, 11},
                  {kCountMissedChicken, 3}, {kTimeSum, 0}});
}

TEST(Runtime, SecondCopyEndsAtOnceAndCloseRequestsAreIgnored)
{
    test::CleanRegistry registry;
    test::WriteValue(kSpeed, 600);
    test::WriteValue(kUseSound, 0);

    Process first(test::RuntimeExePath());
    HWND background, sprite;
    ASSERT_TRUE(WaitForWindows(first, &background, &sprite));

    {
        Process second(test::RuntimeExePath());
        ASSERT_TRUE(second.Started());
        DWORD code = 1;
        ASSERT_TRUE(second.Ended(10000, &code)) << "the second copy runs on";
        EXPECT_EQ(0u, code);
    }
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(1u, BackgroundWindows(0).size());

    // Close requests, handled before SendMessage returns: the windows stay.
    const HWND windows[] = {sprite, background};
    for (HWND w : windows) {
        DWORD_PTR result = 1;
        EXPECT_NE(0, SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
        EXPECT_EQ(0u, result);
        EXPECT_TRUE(IsWindow(background));
        EXPECT_TRUE(IsWindow(sprite));
        EXPECT_TRUE(first.Running());
    }

    const DWORD code = test::QuitThroughTheMenu(first, background);
    ASSERT_NE(STILL_ACTIVE, code) << "still running";
    EXPECT_EQ(0u, code);
    // Nothing was stored: the quit writes all four counters; the settings
    // are left as they were.
    ExpectStored({{kSpeed, 600}, {kUseSound, 0}, {kCountHits, 0}, {kCountMissedShots, 0},
                  {kCountMissedChicken, 0}, {kTimeSum, 0}});
}

// A copy of the program, deleted at scope end.
class TempCopy {
public:
    TempCopy()
    {
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        char name[MAX_PATH + 64];
        std::snprintf(name, sizeof name, "%swingzap-without-305-%lu.exe", dir, GetCurrentProcessId());
        path_ = name;
        copied_ = CopyFileA(test::RuntimeExePath().c_str(), path_.c_str(), FALSE) != FALSE;
    }
    ~TempCopy() { DeleteFileA(path_.c_str()); }
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;
    bool Copied() const { return copied_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    bool copied_ = false;
};

// One resource of a module, copied out.
struct Resource {
    std::string type, name;  // "#n" for numbers, as the A functions take them
    WORD language;
    std::vector<uint8_t> data;
};

std::string ResourceName(LPCSTR name)
{
    if (!IS_INTRESOURCE(name)) return name;
    char text[16];
    std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(name)));
    return text;
}

LPCSTR AsResourceName(const std::string& name)
{
    if (name[0] == '#') return MAKEINTRESOURCEA(std::atoi(name.c_str() + 1));
    return name.c_str();
}

struct Walk {
    HMODULE module;
    std::vector<Resource>* out;
    std::string type, name;
};

BOOL CALLBACK CopyLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR walk)
{
    Walk* w = reinterpret_cast<Walk*>(walk);
    HRSRC info = FindResourceExA(module, type, name, language);
    const uint8_t* data = info ? static_cast<const uint8_t*>(LockResource(LoadResource(module, info))) : nullptr;
    if (data) w->out->push_back({w->type, w->name, language, {data, data + SizeofResource(module, info)}});
    return TRUE;
}

BOOL CALLBACK CopyName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR walk)
{
    Walk* w = reinterpret_cast<Walk*>(walk);
    w->name = ResourceName(name);
    return EnumResourceLanguagesA(module, type, name, CopyLanguage, walk);
}

BOOL CALLBACK CopyType(HMODULE module, LPSTR type, LONG_PTR walk)
{
    Walk* w = reinterpret_cast<Walk*>(walk);
    w->type = ResourceName(type);
    return EnumResourceNamesA(module, type, CopyName, walk);
}

std::vector<Resource> AllResources(const std::string& exe)
{
    std::vector<Resource> all;
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return all;
    Walk walk = {module, &all, "", ""};
    EnumResourceTypesA(module, CopyType, reinterpret_cast<LONG_PTR>(&walk));
    FreeLibrary(module);
    return all;
}

// Writes the copy's resources anew, all but one bitmap.
bool RebuildWithout(const std::string& exe, unsigned bitmap)
{
    std::vector<Resource> all = AllResources(exe);
    if (all.empty()) return false;
    const std::string skipped = ResourceName(MAKEINTRESOURCEA(bitmap));
    HANDLE update = BeginUpdateResourceA(exe.c_str(), TRUE);
    if (!update) return false;
    bool ok = true;
    for (const Resource& r : all) {
        if (r.type == "#2" && r.name == skipped) continue;
        ok = ok && UpdateResourceA(update, AsResourceName(r.type), AsResourceName(r.name), r.language,
                                   const_cast<uint8_t*>(r.data.data()), static_cast<DWORD>(r.data.size()));
    }
    return EndUpdateResourceA(update, ok ? FALSE : TRUE) && ok;
}

bool HasBitmap(const std::string& exe, unsigned id)
{
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    bool found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2)) != nullptr;
    FreeLibrary(module);
    return found;
}

TEST(Runtime, WithoutTheLastFallMaskTheProgramEndsSilently)
{
    TempCopy copy;
    ASSERT_TRUE(copy.Copied());
    const unsigned kLastMask = IDB_FALL_MASK0 + 18;  // 305
    const size_t resourceCount = AllResources(copy.Path()).size();
    HANDLE update = BeginUpdateResourceA(copy.Path().c_str(), FALSE);
    ASSERT_NE(nullptr, update);
    const WORD kArtLanguage = 0x0C07;  // the language the bitmaps are stored in
    BOOL removed = UpdateResourceA(update, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(kLastMask), kArtLanguage, nullptr, 0);
    ASSERT_TRUE(EndUpdateResourceA(update, removed ? FALSE : TRUE));
    // Wine takes the removal but reads the file's own resources back in when
    // it writes them, so the bitmap survives: then the copy gets all the
    // others written anew instead.
    if (HasBitmap(copy.Path(), kLastMask)) {
        ASSERT_TRUE(RebuildWithout(copy.Path(), kLastMask));
    }
    ASSERT_FALSE(HasBitmap(copy.Path(), kLastMask));
    EXPECT_EQ(resourceCount - 1, AllResources(copy.Path()).size());
    ASSERT_TRUE(HasBitmap(copy.Path(), IDB_FALL_MASK0 + 17)) << "only the one bitmap is gone";

    test::CleanRegistry registry;
    test::WriteValues({{kSpeed, 1}, {kUseSound, 0}, {kCountHits, 5}, {kCountMissedShots, 6},
                       {kCountMissedChicken, 8}});

    Process program(copy.Path());
    ASSERT_TRUE(program.Started());
    int windowsSeen = 0;
    DWORD code = 1;
    bool ended = false;
    for (double end = NowMs() + 20000; NowMs() < end && !ended; ) {
        windowsSeen += static_cast<int>(BackgroundWindows(program.Id()).size());
        ended = program.Ended(5, &code);
    }
    ASSERT_TRUE(ended) << "still running";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0, windowsSeen);
    ExpectStored({{kSpeed, 1}, {kUseSound, 0}, {kCountHits, 5}, {kCountMissedShots, 6},
                  {kCountMissedChicken, 8}, {kTimeSum, 0}});
}

// Killed between flights, the program leaves the counts of every flight that
// has ended: each end stores the counters. The first two flights are
// missed; the kill comes once the third is in the air.
TEST(Runtime, CountersOfEndedFlightsSurviveAKill)
{
    test::CleanRegistry registry;
    test::WriteValues(kFlyingUser);
    // No TimeSum: it is there afterwards only if a flight's end stored the counters.
    // A small desktop makes the flights short. The third flight's row there
    // is its draw 24464 modulo 480 less 90, plus 20: 304.
    test::ScreenSize size(640, 480);
    ASSERT_TRUE(size.Set()) << "the virtual desktop did not take 640x480";

    Process program(test::RuntimeExePath());
    HWND background, sprite;
    ASSERT_TRUE(WaitForWindows(program, &background, &sprite));
    Sample s;
    EXPECT_TRUE(test::Awaited("the third flight", [&] { return TakeSample(background, sprite, &s) && InFlight(s, 304); },
                              60000));
    ASSERT_TRUE(program.Running()) << "the program ended on its own";
    ASSERT_TRUE(program.Kill());
    ExpectStored({{kSpeed, 1}, {kUseSound, 0}, {kCountHits, 7}, {kCountMissedShots, 11},
                  {kCountMissedChicken, 4}, {kTimeSum, 0}});
}

}  // namespace
