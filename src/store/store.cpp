#include "store/store.h"

#include <windows.h>

#include "ui/tray.h"

Settings g_settings = {1, 60};
Statistics g_statistics = {0, 0, 0, 0};

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
    g_settings.UseSound = 1;
    g_settings.Speed = 60;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 1;
    QueryValue(key, "UseSound", &g_settings.UseSound);
    QueryValue(key, "Speed", &g_settings.Speed);
    if (g_settings.Speed == 0) g_settings.Speed = 1;  // the launch delay divides by it
    RegCloseKey(key);
    return 1;
}

int LoadStatistics()
{
    g_statistics = Statistics{0, 0, 0, 0};
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
    g_statistics = Statistics{0, 0, 0, 0};
    SaveStatistics();
    UpdateTrayTooltip();
}

uint32_t MeanReactionTime()
{
    return g_statistics.CountHits ? g_statistics.TimeSum / g_statistics.CountHits : 0;
}

void Store_Reset()
{
    g_settings = Settings{1, 60};
    g_statistics = Statistics{0, 0, 0, 0};
}
