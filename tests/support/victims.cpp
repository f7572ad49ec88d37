#include "victims.h"

#include <cstdio>

#include "victim.h"
#include "wait.h"

namespace test {

RECT WindowRect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

HWND LocalWindow(const char* title, int x, int y, int width, int height, DWORD style, DWORD exStyle)
{
    return CreateWindowExA(exStyle, "STATIC", title, style, x, y, width, height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

int RegionType(HWND window)
{
    const Region probe(CreateRectRgn(0, 0, 0, 0));
    return GetWindowRgn(window, probe.get());
}

Region CopyRegion(HWND window)
{
    Region copy(CreateRectRgn(0, 0, 0, 0));
    if (GetWindowRgn(window, copy.get()) == ERROR) copy.Reset();
    return copy;
}

std::string Describe(HRGN region)
{
    if (!region) return "no region";
    RECT box;
    const int type = GetRgnBox(region, &box);
    char text[160];
    std::snprintf(text, sizeof text, "a region of type %d around (%ld,%ld)-(%ld,%ld), %lu bytes", type, box.left,
                  box.top, box.right, box.bottom, GetRegionData(region, 0, nullptr));
    return text;
}

// The folder of this test program, where victim.exe is built too; the
// long endurance run starts the test program from elsewhere.
static std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/"));
}

Victims::Victims(const std::vector<VictimWindow>& wanted)
{
    static int serial = 0;
    ++serial;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    readyEvent_ = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    releaseEvent_ = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    char command[2048];
    int n = std::snprintf(command, sizeof command, "\"%s\\victim.exe\" %lu %llu %llu", OwnFolder().c_str(),
                          GetCurrentProcessId(), static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(readyEvent_)),
                          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(releaseEvent_)));
    std::vector<std::pair<std::string, std::string>> titles;
    for (const VictimWindow& s : wanted) {
        char title[64];
        std::snprintf(title, sizeof title, "wzvictim-%lu-%d-%s", GetCurrentProcessId(), serial, s.name);
        titles.push_back({s.name, title});
        n += std::snprintf(command + n, sizeof command - n, " %s:%d:%d:%d:%d:%06x:%s", title, s.x, s.y, s.width,
                           s.height, s.rgb, s.flags);
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    started_ = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                              &process_) != 0;
    if (started_) {
        HANDLE waits[2] = {readyEvent_, process_.hProcess};
        ready_ = WaitForMultipleObjects(2, waits, FALSE, 15000) == WAIT_OBJECT_0;
    }
    for (const auto& t : titles) windows_[t.first] = FindWindowA(nullptr, t.second.c_str());
}

Victims::~Victims()
{
    if (started_) {
        SetEvent(releaseEvent_);  // a hung victim would not see the quit
        PostThreadMessageA(process_.dwThreadId, WM_QUIT, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    CloseHandle(readyEvent_);
    CloseHandle(releaseEvent_);
}

bool Victims::Hang(DWORD ms) const
{
    if (!ready_) return false;
    ResetEvent(readyEvent_);
    ResetEvent(releaseEvent_);
    return PostThreadMessageA(process_.dwThreadId, kVictimHang, ms, 0) &&
           WaitForSingleObject(readyEvent_, 5000) == WAIT_OBJECT_0;
}

bool Victims::Release() const
{
    SetEvent(releaseEvent_);
    DWORD_PTR result;
    return !windows_.empty() &&
           SendMessageTimeoutA(windows_.begin()->second, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0;
}

bool Victims::Reshape(const std::string& name) const
{
    DWORD_PTR done = 0;
    return SendMessageTimeoutA((*this)[name], kVictimReshape, 0, 0, SMTO_BLOCK, 5000, &done) && done;
}

bool Victims::Ready() const
{
    if (!ready_) return false;
    for (const auto& w : windows_)
        if (!w.second) return false;
    return true;
}

HWND Victims::operator[](const std::string& name) const
{
    auto it = windows_.find(name);
    return it == windows_.end() ? nullptr : it->second;
}

bool Victims::Close(const std::string& name) const
{
    HWND w = (*this)[name];
    DWORD_PTR result;
    SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_BLOCK, 5000, &result);
    return WaitFor([w] { return !IsWindow(w); }, 5000, true);  // this thread's windows keep answering
}

}  // namespace test
