// Every resource id of the program, grouped by kind. The numbers are fixed:
// stored settings, German variants (+20000) and other programs' expectations
// rest on them. Shared by the resource script and the C++ code.
#pragma once

// Icons
#define IDI_APP             107  // class icon, 32x32 and 16x16
#define IDI_ENABLED         108  // tray picture while chickens fly
#define IDI_DISABLED        307  // the same, crossed out

// Cursor
#define IDC_CROSSHAIR       311

// Frame bitmaps: frame i is first colour id + i with first mask id + i.
#define IDB_RIGHT_FRAME0    169  // 169..187, flying left to right
#define IDB_RIGHT_MASK0     189  // 189..207 (there is no 188)
#define IDB_LEFT_FRAME0     208  // 208..226, flying right to left
#define IDB_LEFT_MASK0      227  // 227..245
#define IDB_FALL_FRAME0     268  // 268..286, hit and falling
#define IDB_FALL_MASK0      287  // 287..305
#define FRAMES_PER_BANK     19

// Other bitmaps
#define IDB_PICTURE         129  // 81x59, loaded by nothing
#define IDB_PICTURE_MASK    131
#define IDB_DIALOG_SIDE     253  // down the options dialog's left side

// Sounds, resource type "WAVE"
#define IDW_SHOT            246
#define IDW_SPARE           247  // never played
#define IDW_LAUNCH          248
#define IDW_HIT             249

// Application manifest: the number the loader looks for, of type 24 (RT_MANIFEST)
#define IDR_MANIFEST        1
#define RT_MANIFEST_TYPE    24
// A manifest asking for common controls 6 alone, which the loader of an exe
// never reads: the tray's pictures load in its activation context.
#define IDR_COMMON_CONTROLS 3

// Menus and dialog
#define IDM_TRAY            250  // without "Reset Windows"
#define IDM_TRAY_NT         306  // with "Reset Windows"
#define IDD_OPTIONS         252

// Strings
#define IDS_TOOLTIP         267
#define IDS_ENABLE          309
#define IDS_DISABLE         310

// Offsets added to string, menu and control ids for the user's language.
// Nothing lives at the English offset: English users fall back to the
// plain ids.
#define ENGLISH_OFFSET      10000
#define GERMAN_OFFSET       20000

// Commands of the tray menu
#define CMD_TOGGLE_ENABLED  308
#define CMD_INFO            32773
#define CMD_QUIT            32775
#define CMD_RESET_STATISTICS 32776
#define CMD_RESET_WINDOWS   32777

// Controls of the options dialog
#define IDC_SPEED_EDIT      1002
#define IDC_SPEED_LABEL     1003
#define IDC_USE_SOUND       1004
#define IDC_GROUP_STATISTIC 1012
#define IDC_GROUP_OPTIONS   1013
#define IDC_LINE_HITS       1014
#define IDC_LINE_MEAN       1015
#define IDC_LINE_MISSED     1016
