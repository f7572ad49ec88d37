#include "registry.h"

#include "store/store.h"

namespace test {

void DeleteKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kRegistryKey); }
CleanRegistry::CleanRegistry() { DeleteKey(); }
CleanRegistry::~CleanRegistry() { DeleteKey(); }

bool KeyExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

static const char* KeyOr(const char* key) { return key ? key : kRegistryKey; }

bool ReadValue(const char* name, DWORD* value, DWORD* type, const char* under)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyOr(under), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD size = sizeof *value, t = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &t, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (type) *type = t;
    return rc == ERROR_SUCCESS;
}

void WriteRaw(const char* name, const void* data, DWORD size, DWORD type, const char* under)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyOr(under), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (data)
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    else
        RegDeleteValueA(key, name);
    RegCloseKey(key);
}

void WriteValue(const char* name, DWORD value, DWORD type, const char* key)
{
    WriteRaw(name, &value, sizeof value, type, key);
}

void DeleteValue(const char* name, const char* key) { WriteRaw(name, nullptr, 0, 0, key); }

std::vector<std::string> ValueNames()
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[100];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

void WriteValues(const std::vector<StoredValue>& values)
{
    for (const StoredValue& v : values) WriteValue(v.name, v.value);
}

DWORD Stored(const char* name)
{
    DWORD value = 0xDEADBEEF;
    EXPECT_TRUE(ReadValue(name, &value)) << name << " is not stored";
    return value;
}

void ExpectStored(const std::vector<StoredValue>& expected)
{
    for (const StoredValue& s : expected) {
        DWORD value = 0xDEADBEEF, type = 0;
        EXPECT_TRUE(ReadValue(s.name, &value, &type)) << s.name;
        EXPECT_EQ(s.value, value) << s.name;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << s.name;
    }
    EXPECT_EQ(expected.size(), ValueNames().size());
}

}  // namespace test
