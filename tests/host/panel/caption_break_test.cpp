// Where a two-line button caption breaks: one table, widths 7 per single-byte and 13 per double-byte character.
#include "CaptionBreak.h"

#include <gtest/gtest.h>

namespace {

int FakeWidth(const std::string& text) {
    int width = 0;
    for (size_t i = 0; i < text.size();) {
        bool wide = static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size();
        width += wide ? 13 : 7;
        i += wide ? 2 : 1;
    }
    return width;
}

// Chinese text written as GBK bytes, so that the table reads the same on every compiler.
const std::string kRestart = "\xD6\xD8\xC6\xF4\xBD\xF8\xC8\xEB" "Tarwen" "\xD0\xDE\xB8\xB4";  // 重启进入Tarwen修复
const std::string kDriver = "\xC7\xFD\xB6\xAF\xB1\xB8\xB7\xDD\xBB\xB9\xD4\xAD";              // 驱动备份还原

struct Case {
    const char* why;
    std::string caption;
    int width;
    std::string expected;
};

TEST(CaptionBreak, Table) {
    const Case cases[] = {
        {"fits on one line", kRestart, 200, kRestart},
        {"exactly fits", kDriver, 78, kDriver},
        // 52 | 68 beats 94 | 26 ("修复" alone) and never splits "Tarwen".
        {"Chinese then a Latin word", kRestart, 114, kRestart.substr(0, 8) + "\r\n" + kRestart.substr(8)},
        {"six ideographs: three and three", kDriver, 60, kDriver.substr(0, 6) + "\r\n" + kDriver.substr(6)},
        {"a blank is dropped at the break", "Run in background", 80, "Run in\r\nbackground"},
        {"no break inside a Latin word", "Background", 40, "Background"},
        {"two lines would not fit either", kDriver, 30, kDriver},
        {"a trailing lead byte counts as one byte", std::string("ab\xD6"), 10, std::string("ab\xD6")},
        {"empty", "", 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BreakCaption(c.caption, c.width, FakeWidth), c.expected) << c.why;
}

}  // namespace
