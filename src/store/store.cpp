#include "store/store.h"

#include <windows.h>

Settings g_settings;
Statistics g_statistics;

const char* const kRegistryKey = "Software\\Wingzap";

// The stored order of the statistics values; reads and writes keep it.
struct CounterValue {
    const char* name;
    uint32_t Statistics::*field;
};
static const CounterValue kCounters[] = {
    {"CountHits", &Statistics::CountHits},
    {"CountMissedChicken", &Statistics::CountMissedChicken},
    {"CountMissedShots", &Statistics::CountMissedShots},
    {"TimeSum", &Statistics::TimeSum},
};

// Neither the type nor the size is looked at: a 4-byte REG_BINARY reads like
// a DWORD. The query goes through a copy so that a value too large for the
// field (ERROR_MORE_DATA, buffer contents undefined) leaves the field alone.
static void QueryValue(HKEY key, const char* name, uint32_t* field)
{
    DWORD value = *field;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS)
        *field = value;
}

static void SetValue(HKEY key, const char* name, uint32_t value)
{
    DWORD data = value;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

// The launch delay divides by the speed.
static uint32_t NeverZero(uint32_t speed)
{
    return speed == 0 ? 1 : speed;
}

static HKEY OpenForWriting()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

int LoadSettings()
{
    g_settings = Settings{};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 1;
    QueryValue(key, "UseSound", &g_settings.UseSound);
    QueryValue(key, "Speed", &g_settings.Speed);
    g_settings.Speed = NeverZero(g_settings.Speed);
    RegCloseKey(key);
    return 1;
}

int LoadStatistics()
{
    g_statistics = Statistics{};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    for (const CounterValue& c : kCounters) QueryValue(key, c.name, &(g_statistics.*c.field));
    RegCloseKey(key);
    return 1;
}

void SaveSettings()
{
    HKEY key = OpenForWriting();
    if (!key) return;
    SetValue(key, "UseSound", g_settings.UseSound);
    SetValue(key, "Speed", g_settings.Speed);
    RegCloseKey(key);
}

int SaveStatistics()
{
    HKEY key = OpenForWriting();
    if (!key) return 0;
    for (const CounterValue& c : kCounters) SetValue(key, c.name, g_statistics.*c.field);
    RegCloseKey(key);
    return 1;
}

void ResetStatistics()
{
    g_statistics = Statistics{};
    SaveStatistics();
}

void TakeSettings(uint32_t useSound, uint32_t speed)
{
    g_settings.UseSound = useSound;
    g_settings.Speed = NeverZero(speed);
    SaveSettings();
}

void AddHit(uint32_t reactionMilliseconds)
{
    g_statistics.CountHits += 1;
    g_statistics.TimeSum += reactionMilliseconds;
}

void AddMissedShot()
{
    g_statistics.CountMissedShots += 1;
}

void AddMissedChicken()
{
    g_statistics.CountMissedChicken += 1;
}

uint32_t MeanReactionTime()
{
    return g_statistics.CountHits ? g_statistics.TimeSum / g_statistics.CountHits : 0;
}

void Store_Reset()
{
    g_settings = Settings{};
    g_statistics = Statistics{};
}
