// Settings and statistics, and their home in the registry
// (HKEY_CURRENT_USER\Software\Wingzap, six REG_DWORD values).
#pragma once
#include <cstdint>

struct Settings {
    uint32_t UseSound;  // non-zero plays sounds
    uint32_t Speed;     // mean seconds between chickens, never 0
};

// Counters wrap around; nobody tests for overflow.
struct Statistics {
    uint32_t CountHits;
    uint32_t CountMissedShots;
    uint32_t CountMissedChicken;
    uint32_t TimeSum;  // milliseconds from appearance to hit, over all hits
};

extern Settings g_settings;
extern Statistics g_statistics;

extern const char* const kRegistryKey;  // "Software\\Wingzap"

int LoadSettings();
int LoadStatistics();
void SaveSettings();
int SaveStatistics();
void ResetStatistics();

// TimeSum / CountHits in unsigned division; 0 while nothing was hit.
uint32_t MeanReactionTime();

// Back to the state at process start (for tests).
void Store_Reset();
