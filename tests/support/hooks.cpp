#include "hooks.h"

#include <cstring>

#include "app/app.h"
#include "flight/flight.h"

namespace test {

void* HookImport(const char* dll, const char* function, void* replacement)
{
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return original;
        }
    }
    return nullptr;
}

void StepLog::Add(const std::string& what, intptr_t a, intptr_t b, intptr_t c, intptr_t d)
{
    Entry e = {what, a, b, c, d, g_statistics, g_flight.hit, g_flight.fallCounter, {}};
    if (g_app.background) GetWindowRect(g_app.background, &e.cover);
    entries.push_back(e);
}

void StepLog::AddOnce(const std::string& what)
{
    if (entries.empty() || entries.back().what != what) Add(what);
}

std::vector<std::string> StepLog::Whats(const std::vector<std::string>& without) const
{
    std::vector<std::string> whats;
    for (const Entry& e : entries) {
        bool kept = true;
        for (const std::string& w : without) kept = kept && e.what.compare(0, w.size(), w) != 0;
        if (kept) whats.push_back(e.what);
    }
    return whats;
}

std::vector<StepLog::Entry> StepLog::Of(const std::string& what) const
{
    std::vector<Entry> found;
    for (const Entry& e : entries)
        if (e.what == what) found.push_back(e);
    return found;
}

int StepLog::First(const std::string& what) const
{
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].what == what) return static_cast<int>(i);
    return -1;
}

int StepLog::First(const std::string& what, intptr_t a) const
{
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].what == what && entries[i].a == a) return static_cast<int>(i);
    return -1;
}

int StepLog::Last(const std::string& what) const
{
    for (size_t i = entries.size(); i-- > 0;)
        if (entries[i].what == what) return static_cast<int>(i);
    return -1;
}

}  // namespace test
