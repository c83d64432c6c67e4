// Find in file over lines longer than a line's text holds: the part shown is
// searched, the rest of the line is not, on the plain loop and the fast path
// alike, whatever the encoding and the direction.
#include "find_test_support.h"

#include <gtest/gtest.h>

namespace {

class search_LongLines : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }
    temp_dir m_dir;
};

INSTANTIATE_TEST_SUITE_P(Paths, search_LongLines, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) {
                             return param_info.param ? "Fast" : "Plain";
                         });

} // namespace

TEST_P(search_LongLines, OnlyThePartShownOfALongLineIsFound)
{
    scoped_env code_page("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252");
    // Line 250 of 400 is 265000 characters long, with a word near its start and
    // another past the cut; "hidden" also straddles the cut.
    for (file_encoding e :
         {file_encoding::ansi, file_encoding::utf8_bom, file_encoding::ucs2le, file_encoding::ucs2be}) {
        std::vector<std::u16string> lines;
        for (int i = 0; i < 400; ++i)
            lines.push_back(FromUtf8(std::to_string(i)) + u" INFO [m] message");
        std::u16string& huge = lines[250];
        const std::u16string head = u"250 INFO [m] shownword ";
        huge = head + std::u16string(kMaxLineUnits - head.size() - 3, u'x') + u"hidden";
        huge += std::u16string(200000, u'y') + u" pastword";
        m_dir.write("long.log", file_bytes(lines, u"\r\n", e));
        struct row {
            const char16_t* text;
            bool regexp;
            bool found;
        } rows[] = {
            {u"shownword", false, true}, {u"pastword", false, false}, {u"hidden", false, false},
            {u"hid", false, true},       {u"sho.nword", true, true},  {u"pas.word", true, false},
        };
        for (const row& r : rows) {
            for (bool up : {false, true}) {
                SCOPED_TRACE(encoding_name(e) + std::string(" ") + narrow(r.text) + (up ? " up" : " down"));
                search_setup setup;
                setup.encoding = e;
                setup.max_lines = 100;
                setup.window_first = up ? 300 : 0;
                setup.search.expression = r.text;
                setup.search.regexp = r.regexp;
                setup.search.up = up;
                const std::vector<search_end> ends = run_searches(m_dir.wide("long.log"), setup, GetParam());
                ASSERT_EQ(ends.size(), 1u);
                EXPECT_EQ(ends[0].outcome, r.found ? find_outcome::found : find_outcome::not_found)
                    << describe(ends[0]);
                if (r.found) {
                    EXPECT_GE(ends[0].window_first, 0);
                }
            }
        }
    }
}
