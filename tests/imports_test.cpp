// The shipped 32-bit exe, read as a file: its header names Windows XP, and
// everything it imports is in what XP's system DLLs export
// (tests/xp_imports.txt). The static runtime brings imports of its own; a
// newer compiler or runtime can add one that XP lacks without a line of
// ours changing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support.h"

namespace {

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(f);
    }
    return bytes;
}

// A PE32 image as its file holds it.
class Pe32 {
public:
    explicit Pe32(std::vector<uint8_t> bytes) : b_(std::move(bytes))
    {
        IMAGE_DOS_HEADER dos;
        if (!Read(0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return;
        headerAt_ = static_cast<size_t>(dos.e_lfanew);
        if (!Read(headerAt_, &nt_) || nt_.Signature != IMAGE_NT_SIGNATURE ||
            nt_.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
            return;
        size_t sectionAt = headerAt_ + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt_.FileHeader.SizeOfOptionalHeader;
        sections_.resize(nt_.FileHeader.NumberOfSections);
        for (size_t i = 0; i < sections_.size(); ++i)
            if (!Read(sectionAt + i * sizeof(IMAGE_SECTION_HEADER), &sections_[i])) return;
        valid_ = true;
    }

    bool Valid() const { return valid_; }
    const IMAGE_NT_HEADERS32& Headers() const { return nt_; }

    // "DLL!function" for every import by name, "DLL!#ordinal" for one by
    // number; empty with *error set when the table cannot be read.
    std::vector<std::string> Imports(std::string* error) const
    {
        std::vector<std::string> imports;
        const IMAGE_DATA_DIRECTORY& dir = nt_.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        size_t at = 0;
        if (dir.VirtualAddress == 0 || !Offset(dir.VirtualAddress, &at)) {
            *error = "no import directory";
            return {};
        }
        for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            IMAGE_IMPORT_DESCRIPTOR d;
            if (!Read(at, &d)) { *error = "import directory runs past the file"; return {}; }
            if (d.Name == 0) break;
            std::string dll;
            if (!String(d.Name, &dll)) { *error = "unreadable DLL name"; return {}; }
            // The lookup table names the imports; the address table holds
            // the same before binding.
            size_t thunkAt = 0;
            if (!Offset(d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk, &thunkAt)) {
                *error = "unreadable lookup table of " + dll;
                return {};
            }
            for (;; thunkAt += sizeof(DWORD)) {
                DWORD thunk;
                if (!Read(thunkAt, &thunk)) { *error = "lookup table of " + dll + " runs past the file"; return {}; }
                if (thunk == 0) break;
                std::string function;
                if (thunk & IMAGE_ORDINAL_FLAG32)
                    function = "#" + std::to_string(IMAGE_ORDINAL32(thunk));
                else if (!String(thunk + offsetof(IMAGE_IMPORT_BY_NAME, Name), &function)) {
                    *error = "unreadable function name in " + dll;
                    return {};
                }
                imports.push_back(dll + "!" + function);
            }
        }
        return imports;
    }

private:
    template <typename T>
    bool Read(size_t at, T* out) const
    {
        if (at > b_.size() || b_.size() - at < sizeof(T)) return false;
        std::memcpy(out, b_.data() + at, sizeof(T));
        return true;
    }
    bool Offset(DWORD rva, size_t* at) const
    {
        for (const IMAGE_SECTION_HEADER& s : sections_) {
            DWORD size = s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size) {
                *at = s.PointerToRawData + (rva - s.VirtualAddress);
                return *at < b_.size();
            }
        }
        return false;
    }
    bool String(DWORD rva, std::string* out) const
    {
        size_t at = 0;
        if (!Offset(rva, &at)) return false;
        const void* end = std::memchr(b_.data() + at, 0, b_.size() - at);
        if (!end) return false;
        out->assign(reinterpret_cast<const char*>(b_.data() + at), static_cast<const uint8_t*>(end) - b_.data() - at);
        return true;
    }

    std::vector<uint8_t> b_;
    size_t headerAt_ = 0;
    IMAGE_NT_HEADERS32 nt_ = {};
    std::vector<IMAGE_SECTION_HEADER> sections_;
    bool valid_ = false;
};

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// DLL names compare without case, as the loader compares them.
std::string Key(const std::string& import)
{
    size_t bang = import.find('!');
    return Lower(import.substr(0, bang)) + import.substr(bang);
}

// The first word of every line that is not a comment.
std::set<std::string> XpExports(const std::string& path)
{
    std::set<std::string> keys;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f)) {
            char word[256];
            if (line[0] != '#' && std::sscanf(line, "%255s", word) == 1) keys.insert(Key(word));
        }
        std::fclose(f);
    }
    return keys;
}

TEST(Imports, HeaderNamesWindowsXp)
{
    Pe32 exe(FileBytes(test::ProductExePath()));
    ASSERT_TRUE(exe.Valid()) << test::ProductExePath();
    const IMAGE_NT_HEADERS32& h = exe.Headers();
    EXPECT_EQ(h.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(h.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    // A loader refuses an image whose subsystem version is above its own.
    EXPECT_EQ(h.OptionalHeader.MajorSubsystemVersion, 5);
    EXPECT_EQ(h.OptionalHeader.MinorSubsystemVersion, 1);
    EXPECT_EQ(h.OptionalHeader.MajorOperatingSystemVersion, 5);
    EXPECT_EQ(h.OptionalHeader.MinorOperatingSystemVersion, 1);
}

TEST(Imports, AreAllExportedByWindowsXp)
{
    Pe32 exe(FileBytes(test::ProductExePath()));
    ASSERT_TRUE(exe.Valid()) << test::ProductExePath();
    std::string error;
    std::vector<std::string> imports = exe.Imports(&error);
    ASSERT_TRUE(error.empty()) << error;
    std::set<std::string> keys;
    for (const std::string& i : imports) keys.insert(Key(i));
    // The reading itself: the tray icon's call is one of them.
    EXPECT_TRUE(keys.count("shell32.dll!Shell_NotifyIconA"));

    const char* list = std::getenv("WINGZAP_XP_IMPORTS");
    ASSERT_NE(list, nullptr);
    std::set<std::string> xp = XpExports(list);
    ASSERT_FALSE(xp.empty()) << list;
    for (const std::string& i : imports)
        EXPECT_TRUE(xp.count(Key(i))) << i << " is not in " << list
                                      << ": does Windows XP have it? Where is that written?";
}

}  // namespace
