// The settings and statistics store against the real registry of the test
// prefix. Every test starts and ends without the Wingzap key.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "res/localize.h"
#include "res/resource.h"
#include "store/store.h"
#include "support.h"
#include "ui/commands.h"
#include "ui/tray.h"

namespace {

// One value as a test stores it: any type, any size.
struct Stored {
    const char* name;
    DWORD type;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Dword(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

void Store(const std::vector<Stored>& values)
{
    // An unrelated value makes sure the key exists even when a case stores
    // none of the program's values.
    test::WriteValue("Unrelated", 12345);
    for (const Stored& v : values) test::WriteRaw(v.name, v.bytes.data(), DWORD(v.bytes.size()), v.type);
}

using test::KeyExists;

std::vector<std::string> SortedNames()
{
    std::vector<std::string> names = test::ValueNames();
    std::sort(names.begin(), names.end());
    return names;
}

// Reads one value back with its type and size as the registry holds it.
struct Read {
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;
    uint32_t value = 0;
};
Read ReadBack(const char* name)
{
    Read r;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return r;
    uint8_t data[16] = {};
    r.size = sizeof data;
    r.found = RegQueryValueExA(key, name, nullptr, &r.type, data, &r.size) == ERROR_SUCCESS;
    std::memcpy(&r.value, data, sizeof r.value);
    RegCloseKey(key);
    return r;
}

void ExpectDword(const char* name, uint32_t value)
{
    Read r = ReadBack(name);
    EXPECT_TRUE(r.found) << name;
    EXPECT_EQ(DWORD(REG_DWORD), r.type) << name;
    EXPECT_EQ(4u, r.size) << name;
    EXPECT_EQ(value, r.value) << name;
}

using test::RegistryCall;
using test::RegistrySpy;

const std::vector<std::string> kSettingsOrder = {kUseSound, kSpeed};
const std::vector<std::string> kCounterOrder = {kCountHits, kCountMissedChicken, kCountMissedShots, kTimeSum};

// Fresh modules at both ends, so no test sees another's records.
struct FreshStore {
    FreshStore() { test::ResetAllModules(); }
    ~FreshStore() { test::ResetAllModules(); }
};

}  // namespace

TEST(Store, FirstRunGivesTheDefaultsAndTheSaveLeavesOnlyTheCounters)
{
    test::CleanRegistry clean;
    FreshStore fresh;
    g_settings = Settings{0, 0};
    g_statistics = Statistics{9, 9, 9, 9};

    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(0, LoadStatistics()) << "no key to open";
    EXPECT_EQ(1u, g_settings.UseSound);
    EXPECT_EQ(60u, g_settings.Speed);
    EXPECT_EQ(0u, g_statistics.CountHits);
    EXPECT_EQ(0u, g_statistics.CountMissedShots);
    EXPECT_EQ(0u, g_statistics.CountMissedChicken);
    EXPECT_EQ(0u, g_statistics.TimeSum);
    EXPECT_FALSE(KeyExists()) << "reading must not create the key";

    // What a run counted reaches the registry at shut-down.
    g_statistics = Statistics{3, 11, 2, 1234};
    EXPECT_EQ(1, SaveStatistics());
    EXPECT_EQ((std::vector<std::string>{kCountHits, kCountMissedChicken, kCountMissedShots, kTimeSum}),
              SortedNames());
    ExpectDword(kCountHits, 3);
    ExpectDword(kCountMissedShots, 11);
    ExpectDword(kCountMissedChicken, 2);
    ExpectDword(kTimeSum, 1234);
}

TEST(Store, SettingsAsStored)
{
    struct Case {
        const char* what;
        std::vector<Stored> stored;
        uint32_t useSound, speed;
    };
    const Case cases[] = {
        {"key without the program's values", {}, 1, 60},
        {"Speed 0 becomes 1", {{kSpeed, REG_DWORD, Dword(0)}}, 1, 1},
        {"only UseSound 0", {{kUseSound, REG_DWORD, Dword(0)}}, 0, 60},
        {"both stored", {{kUseSound, REG_DWORD, Dword(0)}, {kSpeed, REG_DWORD, Dword(5)}}, 0, 5},
        {"UseSound kept as stored", {{kUseSound, REG_DWORD, Dword(7)}}, 7, 60},
        {"largest Speed", {{kSpeed, REG_DWORD, Dword(0xFFFFFFFFu)}}, 1, 0xFFFFFFFFu},
        {"Speed as REG_BINARY of 4 bytes", {{kSpeed, REG_BINARY, Dword(300)}}, 1, 300},
        {"Speed 0 as REG_BINARY", {{kSpeed, REG_BINARY, Dword(0)}}, 1, 1},
        {"Speed of 8 bytes", {{kSpeed, REG_QWORD, {7, 0, 0, 0, 0, 0, 0, 0}}}, 1, 60},
        {"UseSound of 8 bytes, Speed still read",
         {{kUseSound, REG_BINARY, {0, 0, 0, 0, 0, 0, 0, 0}}, {kSpeed, REG_DWORD, Dword(9)}},
         1,
         9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::CleanRegistry clean;
        FreshStore fresh;
        Store(c.stored);
        g_settings = Settings{77, 77};  // whatever the last run left in memory
        EXPECT_EQ(1, LoadSettings());
        EXPECT_EQ(c.useSound, g_settings.UseSound);
        EXPECT_EQ(c.speed, g_settings.Speed);
    }
}

TEST(Store, StatisticsAsStored)
{
    struct Case {
        const char* what;
        std::vector<Stored> stored;
        Statistics expected;  // CountHits, CountMissedShots, CountMissedChicken, TimeSum
    };
    const Case cases[] = {
        {"key without the program's values", {}, {0, 0, 0, 0}},
        {"every counter distinct",
         {{kCountHits, REG_DWORD, Dword(1)},
          {kCountMissedChicken, REG_DWORD, Dword(2)},
          {kCountMissedShots, REG_DWORD, Dword(3)},
          {kTimeSum, REG_DWORD, Dword(4)}},
         {1, 3, 2, 4}},
        {"only TimeSum", {{kTimeSum, REG_DWORD, Dword(4000)}}, {0, 0, 0, 4000}},
        {"TimeSum as REG_BINARY of 4 bytes", {{kTimeSum, REG_BINARY, Dword(0x01020304)}}, {0, 0, 0, 0x01020304}},
        {"CountHits of 8 bytes, the others still read",
         {{kCountHits, REG_QWORD, {5, 0, 0, 0, 0, 0, 0, 0}},
          {kCountMissedShots, REG_DWORD, Dword(6)},
          {kTimeSum, REG_DWORD, Dword(0xFFFFFFFFu)}},
         {0, 6, 0, 0xFFFFFFFFu}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::CleanRegistry clean;
        FreshStore fresh;
        Store(c.stored);
        g_statistics = Statistics{77, 77, 77, 77};
        EXPECT_EQ(1, LoadStatistics());
        EXPECT_EQ(c.expected.CountHits, g_statistics.CountHits);
        EXPECT_EQ(c.expected.CountMissedShots, g_statistics.CountMissedShots);
        EXPECT_EQ(c.expected.CountMissedChicken, g_statistics.CountMissedChicken);
        EXPECT_EQ(c.expected.TimeSum, g_statistics.TimeSum);
    }
}

// The order of the values, the access asked for, and that every operation
// closes the key it opened.
TEST(Store, RegistryCallsInOrder)
{
    struct Case {
        const char* what;
        void (*operation)();
        const char* keyOp;  // "open" to read, "create" to write
        DWORD access;
        const char* valueOp;
        const std::vector<std::string>* names;
    };
    const Case cases[] = {
        {"LoadSettings", [] { LoadSettings(); }, "open", KEY_QUERY_VALUE, "query", &kSettingsOrder},
        {"LoadStatistics", [] { LoadStatistics(); }, "open", KEY_QUERY_VALUE, "query", &kCounterOrder},
        {"SaveSettings", [] { SaveSettings(); }, "create", KEY_WRITE, "set", &kSettingsOrder},
        {"SaveStatistics", [] { SaveStatistics(); }, "create", KEY_WRITE, "set", &kCounterOrder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::CleanRegistry clean;
        FreshStore fresh;
        for (const char* name : {kUseSound, kSpeed, kCountHits, kCountMissedChicken, kCountMissedShots, kTimeSum})
            test::WriteValue(name, 21);
        g_settings = Settings{0, 33};
        g_statistics = Statistics{1, 2, 3, 4};

        std::vector<RegistryCall> calls;
        {
            RegistrySpy spy;
            ASSERT_TRUE(spy.Installed());
            c.operation();
            calls = spy.calls;
        }
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(c.keyOp, calls.front().op);
        EXPECT_EQ(kRegistryKey, calls.front().name);
        EXPECT_TRUE(calls.front().rootIsCurrentUser);
        EXPECT_EQ(c.access, calls.front().access);
        if (std::string(c.keyOp) == "create") {
            EXPECT_EQ(DWORD(REG_OPTION_NON_VOLATILE), calls.front().options);
        }
        EXPECT_EQ("close", calls.back().op) << "the key is not held between operations";

        std::vector<std::string> names;
        for (const RegistryCall& call : calls) {
            if (call.op == "open" || call.op == "create") {
                EXPECT_EQ(&call, &calls.front()) << "one key per operation";
            }
            if (call.op != c.valueOp) continue;
            names.push_back(call.name);
            if (call.op == "query") {
                EXPECT_EQ(4u, call.size) << call.name << ": room for a DWORD, set anew for each value";
                EXPECT_FALSE(call.typeAsked) << call.name;
            } else {
                EXPECT_EQ(DWORD(REG_DWORD), call.type) << call.name;
                EXPECT_EQ(4u, call.size) << call.name;
            }
        }
        EXPECT_EQ(*c.names, names);
    }
}

// The values written are the fields with those names, not their neighbours.
TEST(Store, SavedValuesComeBackUnchanged)
{
    const Statistics counters[] = {{0, 0, 0, 0}, {1, 2, 3, 4}, {0xFFFFFFFFu, 0x80000000u, 7, 0xFFFFFFFEu}};
    const Settings settings[] = {{0, 1}, {1, 60}, {1, 0xFFFFFFFFu}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        test::CleanRegistry clean;
        FreshStore fresh;
        g_statistics = counters[i];
        g_settings = settings[i];
        EXPECT_EQ(1, SaveStatistics());
        SaveSettings();
        ExpectDword(kCountHits, counters[i].CountHits);
        ExpectDword(kCountMissedShots, counters[i].CountMissedShots);
        ExpectDword(kCountMissedChicken, counters[i].CountMissedChicken);
        ExpectDword(kTimeSum, counters[i].TimeSum);
        ExpectDword(kUseSound, settings[i].UseSound);
        ExpectDword(kSpeed, settings[i].Speed);

        Store_Reset();
        LoadSettings();
        EXPECT_EQ(1, LoadStatistics());
        EXPECT_EQ(counters[i].CountHits, g_statistics.CountHits);
        EXPECT_EQ(counters[i].CountMissedShots, g_statistics.CountMissedShots);
        EXPECT_EQ(counters[i].CountMissedChicken, g_statistics.CountMissedChicken);
        EXPECT_EQ(counters[i].TimeSum, g_statistics.TimeSum);
        EXPECT_EQ(settings[i].UseSound, g_settings.UseSound);
        EXPECT_EQ(settings[i].Speed, g_settings.Speed);
    }
}

TEST(Store, SaveSettingsCreatesTheKeyAndRewritesEveryTime)
{
    test::CleanRegistry clean;
    FreshStore fresh;
    g_settings = Settings{0, 17};
    SaveSettings();
    EXPECT_EQ((std::vector<std::string>{kSpeed, kUseSound}), SortedNames());
    ExpectDword(kUseSound, 0);
    ExpectDword(kSpeed, 17);

    // Unchanged settings are written again, over whatever the value was.
    test::WriteRaw(kSpeed, "\x11\0\0\0\0\0\0\0", 8, REG_BINARY);
    test::WriteValue(kUseSound, 1);
    SaveSettings();
    ExpectDword(kUseSound, 0);
    ExpectDword(kSpeed, 17);
}

TEST(Store, ResetStatisticsPutsZerosInTheRegistryAtOnce)
{
    test::CleanRegistry clean;
    FreshStore fresh;
    test::WriteValues({{kUseSound, 0}, {kSpeed, 8}, {kCountHits, 7}, {kCountMissedChicken, 6},
                       {kCountMissedShots, 5}, {kTimeSum, 4000}});
    InitLanguage(GetModuleHandleA(nullptr));
    LoadSettings();
    LoadStatistics();
    ASSERT_EQ(7u, g_statistics.CountHits);

    // The tooltip last handed to the notification area.
    std::string lastTip = "untouched";
    {
        test::FakeTray notify;
        ASSERT_TRUE(notify.Installed());
        OnCommand(CMD_RESET_STATISTICS);
        for (const test::TrayCall& c : notify.calls)
            if (c.message == NIM_MODIFY && (c.data.uFlags & NIF_TIP)) lastTip = c.data.szTip;
    }
    EXPECT_EQ(0u, g_statistics.CountHits);
    EXPECT_EQ(0u, g_statistics.CountMissedShots);
    EXPECT_EQ(0u, g_statistics.CountMissedChicken);
    EXPECT_EQ(0u, g_statistics.TimeSum);
    for (const char* name : {kCountHits, kCountMissedChicken, kCountMissedShots, kTimeSum}) ExpectDword(name, 0);
    ExpectDword(kUseSound, 0);
    ExpectDword(kSpeed, 8);
    EXPECT_EQ("Wingzap - 0 Milliseconds/Chicken", lastTip) << "the tooltip follows the reset";
}

TEST(Store, NothingIsWrittenWhenTheKeyCannotBeCreated)
{
    test::CleanRegistry clean;
    FreshStore fresh;
    g_settings = Settings{0, 42};
    g_statistics = Statistics{1, 2, 3, 4};
    std::vector<RegistryCall> calls;
    int saved = -1;
    {
        RegistrySpy spy;
        ASSERT_TRUE(spy.Installed());
        spy.failCreate = ERROR_ACCESS_DENIED;
        saved = SaveStatistics();
        SaveSettings();
        calls = spy.calls;
    }
    EXPECT_EQ(0, saved);
    size_t creates = 0, sets = 0;
    for (const RegistryCall& c : calls) {
        creates += c.op == "create";
        sets += c.op == "set";
    }
    EXPECT_EQ(2u, creates);
    EXPECT_EQ(0u, sets);
    EXPECT_FALSE(KeyExists());
    EXPECT_EQ(0u, g_settings.UseSound);
    EXPECT_EQ(42u, g_settings.Speed);
    EXPECT_EQ(1u, g_statistics.CountHits);
    EXPECT_EQ(4u, g_statistics.TimeSum);
}
