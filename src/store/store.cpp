#include "store/store.h"

#include <windows.h>

Settings g_settings;
Statistics g_statistics;

const char* const kRegistryKey = "Software\\Wingzap";

const StoredField<Settings> kSettingValues[2] = {
    {kUseSound, &Settings::UseSound},
    {kSpeed, &Settings::Speed},
};
const StoredField<Statistics> kCounterValues[4] = {
    {kCountHits, &Statistics::CountHits},
    {kCountMissedChicken, &Statistics::CountMissedChicken},
    {kCountMissedShots, &Statistics::CountMissedShots},
    {kTimeSum, &Statistics::TimeSum},
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

// Every value of the table that the key holds, into `record`. 0 when the
// key is not there, and `record` keeps its defaults.
template <typename Record, size_t N>
static int Load(const StoredField<Record> (&values)[N], Record& record)
{
    record = Record{};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    for (const StoredField<Record>& v : values) QueryValue(key, v.name, &(record.*v.field));
    RegCloseKey(key);
    return 1;
}

// Every value of the table, the key made where it is not there yet; 0 when
// it cannot be.
template <typename Record, size_t N>
static int Save(const StoredField<Record> (&values)[N], const Record& record)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    for (const StoredField<Record>& v : values) SetValue(key, v.name, record.*v.field);
    RegCloseKey(key);
    return 1;
}

// A first run has no key: the defaults, and a success.
int LoadSettings()
{
    Load(kSettingValues, g_settings);
    g_settings.Speed = NeverZero(g_settings.Speed);
    return 1;
}

int LoadStatistics()
{
    return Load(kCounterValues, g_statistics);
}

void SaveSettings()
{
    Save(kSettingValues, g_settings);
}

int SaveStatistics()
{
    return Save(kCounterValues, g_statistics);
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
