// Judging a shot and keeping the score.
#pragma once
#include <windows.h>

LRESULT OnSpriteClick(LPARAM position);
LRESULT OnBackgroundClick(LPARAM position);
