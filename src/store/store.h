// Settings and statistics, and their home in the registry
// (HKEY_CURRENT_USER\Software\Wingzap, six REG_DWORD values).
#pragma once
#include <cstdint>

// The defaults stand for whatever the registry does not supply.
struct Settings {
    uint32_t UseSound = 1;  // non-zero plays sounds
    uint32_t Speed = 60;    // mean seconds between chickens, never 0
};

// Counters wrap around; nobody tests for overflow.
struct Statistics {
    uint32_t CountHits = 0;
    uint32_t CountMissedShots = 0;
    uint32_t CountMissedChicken = 0;
    uint32_t TimeSum = 0;  // milliseconds from appearance to hit, over all hits
};

extern Settings g_settings;
extern Statistics g_statistics;

extern const char* const kRegistryKey;  // "Software\\Wingzap"

// The values' names in the key.
inline constexpr char kUseSound[] = "UseSound";
inline constexpr char kSpeed[] = "Speed";
inline constexpr char kCountHits[] = "CountHits";
inline constexpr char kCountMissedChicken[] = "CountMissedChicken";
inline constexpr char kCountMissedShots[] = "CountMissedShots";
inline constexpr char kTimeSum[] = "TimeSum";

// A record's values in their stored order; reads and writes keep it.
template <typename Record>
struct StoredField {
    const char* name;
    uint32_t Record::*field;
};
extern const StoredField<Settings> kSettingValues[2];
extern const StoredField<Statistics> kCounterValues[4];

int LoadSettings();
int LoadStatistics();
void SaveSettings();
int SaveStatistics();
// Zeroes the counters, in memory and in the registry; the caller refreshes
// what shows them.
void ResetStatistics();

// The dialog's choice, kept and written: a Speed of 0 becomes 1.
void TakeSettings(uint32_t useSound, uint32_t speed);

// The counters of a flight's events; nothing reaches the registry here.
void AddHit(uint32_t reactionMilliseconds);
void AddMissedShot();
void AddMissedChicken();

// TimeSum / CountHits in unsigned division; 0 while nothing was hit.
uint32_t MeanReactionTime();

// Back to the state at process start (for tests).
void Store_Reset();
