// The program's key in the registry of the test prefix:
// HKEY_CURRENT_USER\Software\Wingzap (kRegistryKey).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace test {

// Deletes the program's key now and again when the scope ends.
class CleanRegistry {
public:
    CleanRegistry();
    ~CleanRegistry();
    CleanRegistry(const CleanRegistry&) = delete;
    CleanRegistry& operator=(const CleanRegistry&) = delete;
};
// The program's key: deleted at once; there or not.
void DeleteKey();
bool KeyExists();
struct StoredValue {
    const char* name;
    DWORD value;
};
// REG_DWORD values written into the program's key.
void WriteValues(const std::vector<StoredValue>& values);
// Exactly these REG_DWORD values in the program's key.
void ExpectStored(const std::vector<StoredValue>& expected);
// A value of the program's key, or of `key` under HKEY_CURRENT_USER; the
// key is opened for each of them, not held.
bool ReadValue(const char* name, DWORD* value, DWORD* type = nullptr, const char* key = nullptr);
// The value, expected to be stored; 0xDEADBEEF where it is not.
DWORD Stored(const char* name);
void WriteValue(const char* name, DWORD value, DWORD type = REG_DWORD, const char* key = nullptr);
void WriteRaw(const char* name, const void* data, DWORD size, DWORD type, const char* key = nullptr);
void DeleteValue(const char* name, const char* key = nullptr);
std::vector<std::string> ValueNames();

}  // namespace test
