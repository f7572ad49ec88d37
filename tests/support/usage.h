// What this process holds of the system's objects and memory.
#pragma once
#include <windows.h>

namespace test {

// Counts of the process's GDI and USER objects (under Wine: GDI handles in
// use, and the process's windows).
DWORD GdiObjects();
DWORD UserObjects();
// The threads this process runs.
DWORD Threads();
// Committed private memory of a process (this one by default), in bytes.
SIZE_T CommittedPrivateBytes(HANDLE process = GetCurrentProcess());
// The process's working set in bytes (under Wine: everything resident,
// the Unix side's heap and libraries included).
SIZE_T WorkingSetBytes();

}  // namespace test
