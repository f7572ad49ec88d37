// The check that stands between printf and a text anyone can change (a
// string in the resources, a line of the dialog): only a format with a
// single number conversion is used as one. Checked on its own, and in the
// tooltip, whose format comes from the resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "res/resource.h"
#include "store/store.h"
#include "support.h"
#include "ui/format.h"
#include "ui/tray.h"

namespace {

std::string Repeat(char c, size_t n) { return std::string(n, c); }

TEST(Format, OnlyASingleNumberConversionWithShortWidthsIsAFormat)
{
    const struct {
        const char* format;
        bool single;
    } cases[] = {
        {"%d", true}, {"%i", true}, {"%u", true}, {"Mean %u ms", true}, {"%-4d\tHits", true},
        {"%5u chickens", true}, {"%+i", true}, {"%03d", true}, {"[%05d]", true}, {"%-6d|", true},
        {"%5.3d", true}, {"%-99d|", true}, {"%.99d", true}, {"% #d", true},
        // Wider than two digits: printf would pad up to a billion characters.
        {"%-100d|", false}, {"%-200d", false}, {"%.100d", false}, {"%999999999d", false},
        {"%.999999999d", false}, {"%0999d", false},
        // Anything else printf would read.
        {"%s", false}, {"%d %d", false}, {"%d%s", false}, {"%n", false}, {"%n%d", false}, {"%d%%", false},
        {"%%%d", false}, {"%*d", false}, {"%ld", false}, {"%lld", false}, {"%I64d", false}, {"%x", false},
        {"%f", false}, {"%p", false}, {"%c", false},
        // No conversion at all.
        {"no number", false}, {"100%", false}, {"%d%", false}, {"trailing %", false}, {"", false},
        {nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format ? c.format : "(null)");
        EXPECT_EQ(c.single, IsSingleNumberFormat(c.format));
    }
}

TEST(Format, AnythingButASingleNumberFormatGivesTheNumberAlone)
{
    const struct {
        const char* format;
        size_t room;
        std::string shown;
    } cases[] = {
        {"%-4d\tHits", 100, "571 \tHits"},
        {"%5u chickens", 100, "  571 chickens"},
        {"%+i", 100, "+571"},
        {"%.5d", 100, "00571"},
        {"%-99d|", 100, "571" + Repeat(' ', 96)},  // cut to the room, never beyond
        {"%d", 3, "57"},
        {"%s", 100, "571"},
        {"%d %d", 100, "571"},
        {"%n", 100, "571"},
        {"%999999999d", 100, "571"},
        {"", 100, "571"},
        {nullptr, 100, "571"},
        {"%s", 2, "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format ? c.format : "(null)");
        char out[101];
        std::fill(out, out + sizeof out, '#');
        FormatNumber(out, c.room, c.format, 571);
        EXPECT_EQ(c.shown, std::string(out));
        EXPECT_EQ('#', out[c.room]) << "written beyond its room";
    }
    char none[] = "##";
    FormatNumber(none, 0, "%d", 571);
    EXPECT_STREQ("##", none) << "without room nothing is written";
}

// The format comes from the resources, which anyone can edit: only a text
// with a single number conversion is handed to printf.
TEST(Format, TooltipFormatIsChecked)
{
    const struct {
        const char* format;
        bool shown;
        std::string tip;
    } cases[] = {
        {"Mean %u ms", true, "Mean 571 ms"},
        {"%i", true, "571"},
        {"%-6d|", true, "571   |"},
        {"[%05d]", true, "[00571]"},
        {"%-99d|", true, "571" + Repeat(' ', 60)},  // bounded, then cut to the tip's room
        {"%.99d", true, Repeat('0', 63)},
        {"%5.3d", true, "  571"},
        // Wider than two digits: printf would pad up to a billion characters.
        {"%-100d|", false, ""},
        {"%.100d", false, ""},
        {"%999999999d", false, ""},
        {"%.999999999d", false, ""},
        {"%0999d", false, ""},
        {"%s", false, ""},
        {"%d %d", false, ""},
        {"%d%%", false, ""},
        {"%n%d", false, ""},
        {"%*d", false, ""},
        {"%ld", false, ""},
        {"%x", false, ""},
        {"no number", false, ""},
        {"trailing %", false, ""},
        {"", false, ""},  // an empty string counts as missing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        test::Program program({}, 0x0409);
        ASSERT_TRUE(program.Loaded());
        g_statistics = Statistics{7, 0, 0, 4000};
        // A chosen text for the tooltip's string, whatever the offset.
        test::Spy<decltype(LoadStringA)> strings("USER32.dll", "LoadStringA");
        strings.answer = [&](HINSTANCE module, UINT id, LPSTR buffer, int size) {
            if (id % 10000 != IDS_TOOLTIP) return strings.Real(module, id, buffer, size);
            lstrcpynA(buffer, c.format, size);
            return lstrlenA(buffer);
        };
        ASSERT_TRUE(strings.Installed());
        test::FakeTray shell;
        BOOL result = UpdateTrayTooltip();
        if (!c.shown) {
            EXPECT_FALSE(result);
            EXPECT_TRUE(shell.calls.empty()) << "the tooltip stays as it was";
            continue;
        }
        EXPECT_TRUE(result);
        ASSERT_EQ(1u, shell.calls.size());
        EXPECT_EQ(c.tip, std::string(shell.calls[0].data.szTip));
    }
}

}  // namespace
