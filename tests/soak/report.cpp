#include "soak.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace soak {

// ---------------------------------------------------------------------------
// The run's options, its log and the breach report.

Options g_options;
Counts g_counts;
FILE* g_log = nullptr;
long g_index = 0;
ULONGLONG g_start = 0;

static std::deque<std::string> g_recent;  // the last 20 actions

void Log(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    char stamped[600];
    std::snprintf(stamped, sizeof stamped, "%8.1f #%ld %s", (GetTickCount64() - g_start) / 1000.0, g_index, line);
    if (g_log) {
        std::fprintf(g_log, "%s\n", stamped);
        std::fflush(g_log);
    }
    g_recent.push_back(stamped);
    if (g_recent.size() > 20) g_recent.pop_front();
}

// The X screen, as ImageMagick takes it: this process's own view of the
// display may be the empty one (see Display).
static bool Screenshot(const std::string& path)
{
    std::string unixPath = path.size() > 2 && path[1] == ':' ? path.substr(2) : path;
    std::replace(unixPath.begin(), unixPath.end(), '\\', '/');
    // Renamed once written, so that its name means a whole picture.
    DeleteFileA(path.c_str());
    test::RunCommand("/bin/sh -c \"/usr/bin/import -window root '" + unixPath + ".part.png' && mv '" + unixPath + ".part.png' '" +
            unixPath + "'\"",
        0);
    return Wait([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
}

void Breach(const char* invariant, const std::string& expected, const std::string& seen)
{
    std::string shot = g_options.out + "\\breach.png";
    if (!Screenshot(shot)) shot = "none (import failed)";
    std::printf("soak: BREACH of \"%s\"\n  seed %llu, action %ld\n  expected: %s\n  seen:     %s\n  screenshot: %s\n",
                invariant, static_cast<unsigned long long>(g_options.seed), g_index, expected.c_str(), seen.c_str(),
                shot.c_str());
    std::printf("  the last actions:\n");
    for (const std::string& line : g_recent) std::printf("    %s\n", line.c_str());
    std::printf("  replay: scripts/soak --seed %llu --exe %s --until %ld\n",
                static_cast<unsigned long long>(g_options.seed), g_options.kind.c_str(), g_index);
    if (g_log) std::fprintf(g_log, "BREACH %s: expected %s, seen %s\n", invariant, expected.c_str(), seen.c_str());
    std::fflush(stdout);
    RestoreDisplay();
    std::exit(1);
}

std::string Text(const char* format, ...)
{
    char text[300];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

bool ParseOptions(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--exe") g_options.exe = value;
        else if (name == "--out") g_options.out = value;
        else if (name == "--kind") g_options.kind = value;
        else if (name == "--seed") g_options.seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--minutes") g_options.minutes = std::atof(value.c_str());
        else if (name == "--until") g_options.until = std::atol(value.c_str());
        else if (name == "--display") g_options.display = value;
        else return false;
    }
    if (!g_options.display.empty()) return true;
    // The worlds run one test tree side by side: each world's soak keeps its
    // log and its breach's picture in a folder of its own.
    const char* world = std::getenv("WZ_WORLD");
    const std::string own = world && *world ? std::string("-") + world : "";
    if (!g_options.out.empty() && !own.empty() &&
        (g_options.out.size() < own.size() || g_options.out.compare(g_options.out.size() - own.size(), own.size(), own) != 0))
        g_options.out += own;
    return !g_options.exe.empty() && !g_options.out.empty() && g_options.minutes > 0;
}

void Report()
{
    std::printf("soak: seed %llu, %.1f minutes: %ld actions (%ld skipped), %ld flights, %ld hits, %ld missed shots, "
                "%ld missed chickens, %ld quits, %ld kills, %ld display changes, %ld Explorer restarts, %ld dialogs, "
                "%ld menus, %ld Reset Windows, %ld victims, %ld hangs; no breach\n",
                static_cast<unsigned long long>(g_options.seed), (GetTickCount64() - g_start) / 60000.0,
                g_counts.actions, g_counts.skipped, g_counts.flights, g_counts.hits, g_counts.missedShots,
                g_counts.missedChickens, g_counts.quits, g_counts.kills, g_counts.displayChanges,
                g_counts.explorerRestarts, g_counts.dialogs, g_counts.menus, g_counts.resets, g_counts.victims,
                g_counts.hangs);
}

}  // namespace soak
