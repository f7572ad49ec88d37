#include "soak.h"

#include <algorithm>
#include <cstdio>

namespace soak {

// The program's windows, its own children included.
static int WindowCount(DWORD process)
{
    struct Count {
        DWORD process;
        int n;
        static BOOL CALLBACK Child(HWND, LPARAM q)
        {
            ++reinterpret_cast<Count*>(q)->n;
            return TRUE;
        }
        static BOOL CALLBACK Top(HWND w, LPARAM q)
        {
            auto* c = reinterpret_cast<Count*>(q);
            if (test::OwnerOf(w) != c->process) return TRUE;
            ++c->n;
            EnumChildWindows(w, Child, q);
            return TRUE;
        }
    } count = {process, 0};
    EnumWindows(Count::Top, reinterpret_cast<LPARAM>(&count));
    return count.n;
}

// Committed private memory of another process.
static SIZE_T PrivateBytes(DWORD process)
{
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    if (!p) return 0;
    const SIZE_T total = test::CommittedPrivateBytes(p);
    CloseHandle(p);
    return total;
}

// The mean in a tooltip "Wingzap - N Milliseconds/Chicken"; -1 for another text.
static long TipMean(const std::string& tip)
{
    long mean = -1;
    return std::sscanf(tip.c_str(), "Wingzap - %ld Milliseconds/Chicken", &mean) == 1 ? mean : -1;
}

static void ReadCounters(Model* m)
{
    DWORD hits = 0, shots = 0, chickens = 0, time = 0;
    test::ReadValue(kCountHits, &hits);
    test::ReadValue(kCountMissedShots, &shots);
    test::ReadValue(kCountMissedChicken, &chickens);
    test::ReadValue(kTimeSum, &time);
    *m = Model{hits, shots, chickens, time, time};
}

void CheckTooltip(const char* when)
{
    const Model& m = g_program.model;
    const uint64_t low = m.hits ? m.timeLow / m.hits : 0, high = m.hits ? m.timeHigh / m.hits : 0;
    TrayIcon icon;
    if (Wait([&] {
            icon = FindTrayIcon();
            const long mean = TipMean(icon.tip);
            return mean >= 0 && static_cast<uint64_t>(mean) >= low && static_cast<uint64_t>(mean) <= high;
        }, 5000))
        return;
    Breach("the tooltip shows the mean reaction time",
           Text("%s: a mean from %llu to %llu ms (%u hits)", when, static_cast<unsigned long long>(low),
                static_cast<unsigned long long>(high), m.hits),
           icon.found ? "\"" + icon.tip + "\"; tooltips " + icon.tips : "no icon; tooltips " + icon.tips);
}

// After a repair (a Reset Windows, or the quit), ordered at `ordered`:
// every window that answered has its own shape again. The repair runs when
// the program gets to the command: the shapes are awaited. A window whose
// process hung at any time since the order may have been passed over.
void CheckShapes(const char* after, bool programGone, DWORD ordered)
{
    VictimWindow* wrong = nullptr;
    Region seen;
    const DWORD repaired = GetTickCount();
    auto passedOver = [&](const VictimGroup& g) {
        return Hung(g) || (g.hungUntil && Before(g.hungFrom, repaired) && Before(ordered, g.hungUntil + 500));
    };
    Wait([&] {
        wrong = nullptr;
        for (auto& g : g_victims)
            for (VictimWindow& v : g->windows) {
                if (wrong || v.spoiled || !IsWindow(v.window) || passedOver(*g)) continue;
                Region now = test::CopyRegion(v.window);
                if (v.expected ? !now || !EqualRgn(now.get(), v.expected.get()) : static_cast<bool>(now)) {
                    wrong = &v;
                    seen = std::move(now);
                }
            }
        return wrong == nullptr;
    }, 5000);
    if (wrong)
        Breach("a repaired victim has the shape it had before its first hole, or the one it set since",
               Text("%s after %s: ", wrong->name.c_str(), after) + test::Describe(wrong->expected.get()), test::Describe(seen.get()));
    for (auto& g : g_victims)
        for (VictimWindow& v : g->windows) {
            if (v.spoiled || !IsWindow(v.window)) continue;
            if (!passedOver(*g))
                v.holed = v.unsure = false;
            else if (v.holed)
                (programGone ? v.spoiled : v.unsure) = true;
        }
}

void CheckHoled(const std::vector<VictimWindow*>& under, int x, int y)
{
    for (VictimWindow* v : under) {
        const RECT r = test::WindowRect(v->window);
        const int cx = v->rtl ? r.right - x : x - r.left, cy = y - r.top;
        Region now;
        const bool holed = Wait([&] {
            now = test::CopyRegion(v->window);
            return now && !PtInRegion(now.get(), cx, cy);
        }, 3000);
        if (!holed)
            Breach("a missed shot holes the windows under it",
                   Text("%s without its point (%d,%d) after a miss at (%d,%d)", v->name.c_str(), cx, cy, x, y),
                   test::Describe(now.get()));
        v->holed = true;
    }
}

// The registry's counters against `expected`: the three counts exactly,
// TimeSum within the bounds; the model then takes the value stored.
void CheckStored(const Model& expected, const char* after)
{
    Model stored;
    ReadCounters(&stored);
    if (stored.hits != expected.hits || stored.missedShots != expected.missedShots ||
        stored.missedChickens != expected.missedChickens || stored.timeLow + kSlack < expected.timeLow ||
        stored.timeLow > expected.timeHigh + kSlack)
        Breach(after[0] == 'k' ? "after a kill the registry holds the counters of the last ended flight"
                               : "after a quit the registry holds the model's counters",
               Text("%s: hits %u, missed shots %u, missed chickens %u, TimeSum %llu to %llu", after, expected.hits,
                    expected.missedShots, expected.missedChickens,
                    static_cast<unsigned long long>(expected.timeLow),
                    static_cast<unsigned long long>(expected.timeHigh)),
               Text("hits %u, missed shots %u, missed chickens %u, TimeSum %llu; ", stored.hits, stored.missedShots,
                    stored.missedChickens, static_cast<unsigned long long>(stored.timeLow)) + KeyState());
    g_program.model = g_program.saved = stored;
}

void CheckAlive()
{
    if (!g_program.process->Running()) {
        DWORD code = g_program.process->Wait(0);
        Breach("the program is alive unless told to quit", "running", Text("ended, exit code %lu", code));
    }
}

// The program's private bytes and windows, sampled while it rests: the
// first part of the run against the rest, each program against itself and
// all of them together.
struct Footprint {
    double minute;
    DWORD process;
    SIZE_T bytes;
    int windows;
};
static std::vector<Footprint> g_footprints;

void SampleFootprint()
{
    const double minute = (GetTickCount64() - g_start) / 60000.0;
    if (!g_footprints.empty() && minute - g_footprints.back().minute < 0.5) return;
    // From the end of its first flight and its first dialog on: those make
    // what every later one reuses (the dialog, under Wine 10, some 4 MiB).
    if (!g_program.flown || !g_program.dialogSeen || !BetweenFlights(Now()) || Menu() || Dialog()) return;
    Footprint f = {minute, ProgramId(), PrivateBytes(ProgramId()), WindowCount(ProgramId())};
    g_footprints.push_back(f);
    Log("footprint: %lu KiB private, %d windows", static_cast<unsigned long>(f.bytes / 1024), f.windows);
}

void CheckFootprint()
{
    const double split = std::min(10.0, g_options.minutes / 2);
    SIZE_T firstBytes = 0, laterBytes = 0;
    int firstWindows = 0, laterWindows = 0;
    std::map<DWORD, std::pair<SIZE_T, SIZE_T>> own;  // each program's maxima, first part and later
    for (const Footprint& f : g_footprints) {
        const bool first = f.minute <= split;
        SIZE_T& all = first ? firstBytes : laterBytes;
        SIZE_T& mine = first ? own[f.process].first : own[f.process].second;
        int& windows = first ? firstWindows : laterWindows;
        all = std::max(all, f.bytes);
        mine = std::max(mine, f.bytes);
        windows = std::max(windows, f.windows);
    }
    std::printf("soak: footprint, first %.1f minutes: %lu KiB private, %d windows; after: %lu KiB, %d windows\n", split,
                static_cast<unsigned long>(firstBytes / 1024), firstWindows,
                static_cast<unsigned long>(laterBytes / 1024), laterWindows);
    if (!firstBytes) return;
    if (laterWindows > firstWindows)
        Breach("the program's windows do not grow", Text("at most %d", firstWindows), Text("%d", laterWindows));
    // A page or two of heap may settle in; a leak per flight or shot grows
    // by far more over the run. A program started anew may lay its heap
    // out otherwise under Wine, so programs are compared with themselves
    // more closely than with each other.
    const SIZE_T mib = 1024 * 1024;
    for (const auto& p : own)
        if (p.second.first && p.second.second > p.second.first + mib)
            Breach("the program's private bytes do not grow",
                   Text("process %lu: at most %lu KiB", p.first, static_cast<unsigned long>((p.second.first + mib) / 1024)),
                   Text("%lu KiB", static_cast<unsigned long>(p.second.second / 1024)));
    if (laterBytes > firstBytes + 4 * mib)
        Breach("the program's private bytes do not grow",
               Text("at most %lu KiB", static_cast<unsigned long>((firstBytes + 4 * mib) / 1024)),
               Text("%lu KiB", static_cast<unsigned long>(laterBytes / 1024)));
}

}  // namespace soak
