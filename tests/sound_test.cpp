// Sounds played straight from the resources. The cases of the suites
// RealSoundFile and RealSoundPulse need a sound device and are run by
// runtime/sound.sh, which gives them one (ALSA writing to a file, or a
// PulseAudio sink); everywhere else there is no device.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "res/localize.h"
#include "res/resource.h"
#include "res/sound.h"
#include "store/store.h"
#include "support.h"

namespace {

// The program's sounds with the module set up as start-up does.
struct SoundModule {
    explicit SoundModule(uint32_t useSound)
    {
        test::ResetAllModules();
        InitLanguage(GetModuleHandleA(nullptr));
        g_settings.UseSound = useSound;
    }
    ~SoundModule() { test::ResetAllModules(); }
};

const uint8_t* WaveImage(unsigned id)
{
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(self, MAKEINTRESOURCEA(id), "WAVE");
    HGLOBAL loaded = info ? LoadResource(self, info) : nullptr;
    return loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
}

using test::ParseWave;
using test::Wave;

Wave ResourceWave(unsigned id) { return test::ResourceWave(GetModuleHandleA(nullptr), id); }

using test::WaitFor;

// Seconds since `from`, as NowMs gives it.
double Seconds(double from) { return (test::NowMs() - from) / 1000; }

}  // namespace

TEST(Sound, NothingIsLookedUpOrPlayedWithSoundsOff)
{
    SoundModule module(0);
    test::FakeSound play;
    int finds = 0;
    test::Spy<decltype(FindResourceA)> find("KERNEL32.dll", "FindResourceA");
    find.note = [&](HMODULE, LPCSTR, LPCSTR) { ++finds; };
    ASSERT_TRUE(play.Installed() && find.Installed());
    for (unsigned id : {IDW_SHOT, IDW_SPARE, IDW_LAUNCH, IDW_HIT, 1, IDM_TRAY, 9999}) {
        for (int async : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "id " << id << ", async " << async);
            EXPECT_EQ(1, PlaySoundResource(id, async));
        }
    }
    EXPECT_TRUE(play.calls.empty());
    EXPECT_EQ(0, finds);
}

TEST(Sound, AnIdWithoutAWaveIsSilence)
{
    SoundModule module(1);
    test::FakeSound play;
    ASSERT_TRUE(play.Installed());
    // Other resources live under these ids, but no "WAVE".
    for (unsigned id : {1, IDI_APP, IDM_TRAY, IDB_DIALOG_SIDE, IDS_TOOLTIP, 245, 9999}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(0, PlaySoundResource(id, 0));
        EXPECT_EQ(0, PlaySoundResource(id, 1));
    }
    EXPECT_TRUE(play.calls.empty());
}

// The module's own image goes to the platform, with the flags that keep
// the default sound away and choose the waiting.
TEST(Sound, PlaysTheResourceImageWithItsMode)
{
    const struct {
        unsigned id;
        int async;
        BOOL platform;
        UINT flags;
        int result;
    } cases[] = {
        {IDW_LAUNCH, 0, TRUE, SND_MEMORY | SND_NODEFAULT, 1},
        {IDW_SHOT, 1, TRUE, SND_MEMORY | SND_NODEFAULT | SND_ASYNC, 1},
        {IDW_HIT, 1, TRUE, SND_MEMORY | SND_NODEFAULT | SND_ASYNC, 1},
        {IDW_SPARE, 0, TRUE, SND_MEMORY | SND_NODEFAULT, 1},
        {IDW_HIT, 7, TRUE, SND_MEMORY | SND_NODEFAULT | SND_ASYNC, 1},
        {IDW_LAUNCH, 0, FALSE, SND_MEMORY | SND_NODEFAULT, 0},
        {IDW_SHOT, 1, FALSE, SND_MEMORY | SND_NODEFAULT | SND_ASYNC, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << ", async " << c.async << ", platform " << c.platform);
        SoundModule module(1);
        test::FakeSound play(c.platform);
        ASSERT_TRUE(play.Installed());
        int result = PlaySoundResource(c.id, c.async);
        EXPECT_EQ(c.result, result != 0);
        ASSERT_EQ(1u, play.calls.size());
        EXPECT_EQ(c.flags, play.calls[0].flags);
        EXPECT_EQ(static_cast<const void*>(WaveImage(c.id)), play.calls[0].image) << "played in place, not a copy";
    }
}

TEST(Sound, TheSettingIsReadAtEverySound)
{
    SoundModule module(1);
    test::FakeSound play;
    ASSERT_TRUE(play.Installed());
    PlaySoundResource(IDW_HIT, 1);
    g_settings.UseSound = 0;
    PlaySoundResource(IDW_SHOT, 1);
    g_settings.UseSound = 2;  // any non-zero plays
    PlaySoundResource(IDW_LAUNCH, 0);
    ASSERT_EQ(2u, play.calls.size());
    EXPECT_EQ(static_cast<const void*>(WaveImage(IDW_HIT)), play.calls[0].image);
    EXPECT_EQ(static_cast<const void*>(WaveImage(IDW_LAUNCH)), play.calls[1].image);
}

// ---------------------------------------------------------------------------
// With ALSA writing what is played into a file (WINGZAP_SOUND_OUT).

namespace {

std::string OutputPath()
{
    const char* path = std::getenv("WINGZAP_SOUND_OUT");
    return path ? path : "";
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Waits until the device has written every sample of `expected`, then
// checks that the file holds exactly them, in the resource's format.
void ExpectWritten(const Wave& expected)
{
    const std::string out = OutputPath();
    std::vector<uint8_t> bytes;
    Wave written;
    WaitFor(
        [&] {
            bytes = ReadFile(out);
            written = ParseWave(bytes.data(), bytes.size());
            return written.samples.size() >= expected.samples.size();
        },
        10000);
    ASSERT_FALSE(bytes.empty()) << "nothing reached the device";
    EXPECT_EQ(expected.format, written.format) << "channels, rate and sample size as the resource has them";
    ASSERT_EQ(expected.samples.size(), written.samples.size());
    EXPECT_TRUE(expected.samples == written.samples) << "the samples played are not the resource's";
}

}  // namespace

TEST(RealSoundFile, TheResourceSamplesReachTheDevice)
{
    const std::string out = OutputPath();
    ASSERT_FALSE(out.empty()) << "WINGZAP_SOUND_OUT names the file the device writes";
    const struct {
        unsigned id;
        int async;
    } cases[] = {{IDW_LAUNCH, 0}, {IDW_SHOT, 1}, {IDW_HIT, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const Wave expected = ResourceWave(c.id);
        ASSERT_FALSE(expected.samples.empty());
        DeleteFileA(out.c_str());
        SoundModule module(1);
        EXPECT_NE(0, PlaySoundResource(c.id, c.async));
        ExpectWritten(expected);
    }
}

TEST(RealSoundFile, NothingReachesTheDeviceWithSoundsOff)
{
    const std::string out = OutputPath();
    ASSERT_FALSE(out.empty());
    DeleteFileA(out.c_str());
    SoundModule module(0);
    for (unsigned id : {IDW_SHOT, IDW_LAUNCH, IDW_HIT}) {
        for (int async : {0, 1}) EXPECT_EQ(1, PlaySoundResource(id, async));
    }
    EXPECT_FALSE(WaitFor([&] { return Exists(out); }, 500));
}

// The real program plays the launch sound at start-up, before its windows
// exist, and stays silent when the user switched sound off.
TEST(RealSoundFile, TheProgramPlaysTheLaunchSoundAtStartUp)
{
    const std::string out = OutputPath();
    ASSERT_FALSE(out.empty());
    const Wave launch = ResourceWave(IDW_LAUNCH);
    for (int useSound : {1, 0}) {
        SCOPED_TRACE(testing::Message() << "UseSound " << useSound);
        test::CleanRegistry clean;
        test::WriteValue(kUseSound, useSound);
        test::WriteValue(kSpeed, 1000);  // no chicken during the test
        DeleteFileA(out.c_str());
        test::Process program(test::RuntimeExePath());
        HWND background, sprite;
        ASSERT_TRUE(test::WaitForWindows(program, &background, &sprite));
        if (useSound) {
            ExpectWritten(launch);
        } else {
            EXPECT_FALSE(WaitFor([&] { return Exists(out); }, 500));
        }
        EXPECT_EQ(0u, test::QuitThroughTheMenu(program, background));
    }
}

// ---------------------------------------------------------------------------
// With a PulseAudio sink that plays in real time.

TEST(RealSoundPulse, ASynchronousSoundBlocksForItsLength)
{
    SoundModule module(1);
    // The first sound of a process also opens the device: not timed.
    EXPECT_NE(0, PlaySoundResource(IDW_SPARE, 1));

    const double shot = ResourceWave(IDW_SHOT).Seconds();
    double start = test::NowMs();
    EXPECT_NE(0, PlaySoundResource(IDW_SHOT, 1));
    EXPECT_LT(Seconds(start), shot / 2) << "an asynchronous sound returns at once";

    const double launch = ResourceWave(IDW_LAUNCH).Seconds();
    ASSERT_GT(launch, 1.0);
    start = test::NowMs();
    EXPECT_NE(0, PlaySoundResource(IDW_LAUNCH, 0));
    const double blocked = Seconds(start);
    std::printf("launch sound %.3f s, blocked %.3f s\n", launch, blocked);
    EXPECT_GE(blocked, launch * 0.95) << "a synchronous sound returns only after it has ended";
    EXPECT_LT(blocked, launch + 3.0);

    g_settings.UseSound = 0;
    start = test::NowMs();
    EXPECT_EQ(1, PlaySoundResource(IDW_LAUNCH, 0));
    EXPECT_LT(Seconds(start), launch / 2) << "with sounds off nothing plays";
}
