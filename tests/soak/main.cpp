// Shakes the real program with a seeded stream of what a user and the
// system do, and judges it by what must hold whatever happened:
//
//   soak.exe --exe PROGRAM --seed S --minutes M --out FOLDER [--until N]
//
// The stream is the seed's: action N is drawn from (S, N) alone. How an
// action is carried out follows what the program shows at that moment (a
// hit waits for a chicken, the tray menu for the end of a flight), and an
// action whose moment does not come in time is skipped. A model counts
// hits, missed shots and missed chickens from what was done and seen; where
// it could not tell (a click racing the end of a flight), the action waits
// until the program is in a state the model can judge. The first breach
// stops the run with the seed, the action, the last 20 actions, what was
// expected and seen, a screenshot and the command that replays it.
#include "soak.h"

#include <cstdio>

using namespace soak;

int main(int argc, char** argv)
{
    if (!ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: soak --exe PROGRAM --out FOLDER [--kind win32|win64] [--seed S] [--minutes M] [--until N]\n"
                             "       soak --display WIDTHxHEIGHT\n");
        return 2;
    }
    int width = 0, height = 0;
    if (!g_options.display.empty())
        return std::sscanf(g_options.display.c_str(), "%dx%d", &width, &height) == 2 && test::ChangeScreen(width, height) ? 0 : 1;
    CreateDirectoryA(g_options.out.c_str(), nullptr);
    g_log = std::fopen((g_options.out + "\\soak.log").c_str(), "w");
    g_start = GetTickCount64();
    StartWatcher();

    g_display.rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    g_display.first = SIZE{ScreenWidth(), ScreenHeight()};
    // A fresh key, with chickens every few seconds.
    test::DeleteKey();
    test::WriteValue(kSpeed, 6);
    g_index = -1;
    StartProgram();
    for (g_index = 0; g_options.until < 0 ? GetTickCount64() - g_start < g_options.minutes * 60000
                                          : g_index <= g_options.until;
         ++g_index) {
        Random r(g_options.seed * 1000003ULL + static_cast<uint64_t>(g_index));
        const Action& action = Draw(r);
        Log("%s", action.name);
        if (GetSystemMetrics(SM_CXSCREEN) != ScreenWidth() && !g_counts.ownViewLost++)
            Log("this process's own view of the display reads %dx%d, not %dx%d", GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN), ScreenWidth(), ScreenHeight());
        action.perform(r);
        g_counts.actions++;
        Account();
        CheckAlive();
        Tidy();
        SampleFootprint();
    }
    g_index = g_counts.actions;
    Log("the end");
    QuitAtTheEnd();
    CheckFootprint();
    StopWatcher();
    g_victims.clear();
    test::DeleteKey();
    RestoreDisplay();
    Report();
    if (g_log) std::fclose(g_log);
    return 0;
}
