// split_line against a plain reference written from the rules, on random
// parsers (with sub-items) and random texts full of their delimiters.
#include "parser/parser_test_support.h"
#include "parser/split_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct reference_column {
    std::size_t start; // from the beginning of the whole text
    std::size_t length;
    bool operator==(const reference_column&) const = default;
};

struct reference_result {
    bool ok = false;
    std::vector<reference_column> columns;
    std::u16string failed;
};

// Cuts whole.substr(from, size) with items; false on failure (failed set).
bool reference_cut(const std::u16string& whole, std::size_t from, std::size_t size, const log_pattern_list& items,
                   reference_result& result)
{
    const std::u16string value = whole.substr(from, size);
    std::size_t position = 0;
    for (const log_pattern& item : items) {
        if (position >= value.size()) {
            result.failed = item.name;
            return false;
        }
        std::size_t begin = position;
        if (!item.start.empty()) {
            const std::size_t found = value.find(item.start, position);
            if (found != std::u16string::npos)
                begin = found + item.start.size();
        }
        if (begin == value.size()) {
            result.failed = item.name;
            return false;
        }
        std::size_t finish = value.size();
        if (!item.end.empty()) {
            const std::size_t found = value.find(item.end, begin);
            if (found == std::u16string::npos) {
                result.failed = item.name;
                return false;
            }
            finish = found;
            position = found + item.end.size();
        }
        if (item.sub_items.empty()) {
            result.columns.push_back({from + begin, finish - begin});
        } else if (finish == begin) {
            result.failed = item.sub_items.front().name;
            return false;
        } else if (!reference_cut(whole, from + begin, finish - begin, item.sub_items, result)) {
            return false;
        }
    }
    return true;
}

reference_result reference_split(const std::u16string& text, const log_pattern_list& parser)
{
    reference_result result;
    if (text.empty())
        return result;
    result.ok = reference_cut(text, 0, text.size(), parser, result) && !result.columns.empty();
    return result;
}

class random_parsers {
public:
    explicit random_parsers(uint32_t seed) : m_random(seed) {}

    std::u16string delimiter()
    {
        static const char16_t* const pieces[] = {u"", u"", u"a", u"b", u";", u" ", u"ab", u"; ", u"ba", u"aa", u"x;"};
        return pieces[pick(sizeof pieces / sizeof *pieces)];
    }

    log_pattern_list parser(int depth)
    {
        log_pattern_list items;
        const std::size_t count = 1 + pick(depth == 0 ? 6 : 3);
        for (std::size_t i = 0; i < count; ++i) {
            log_pattern item = Item(delimiter(), delimiter(), u"i" + widen(std::to_string(m_names++)));
            if (depth < 2 && pick(4) == 0)
                item.sub_items = parser(depth + 1);
            items.push_back(std::move(item));
        }
        return items;
    }

    std::u16string text()
    {
        static const char16_t alphabet[] = u"ab; x";
        const std::size_t size = pick(10) == 0 ? pick(400) : pick(30);
        std::u16string out;
        for (std::size_t i = 0; i < size; ++i)
            out.push_back(alphabet[pick(5)]);
        return out;
    }

    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }

private:
    static std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

    std::mt19937 m_random;
    int m_names = 0;
};

TEST(parser_SplitDifferential, AgreesWithTheReferenceOnRandomParsersAndTexts)
{
    random_parsers random(20240805);
    int compared = 0;
    int complete = 0;
    for (int p = 0; p < 3000; ++p) {
        const log_pattern_list parser = random.parser(0);
        for (int t = 0; t < 20; ++t) {
            const std::u16string text = random.text();
            const reference_result want = reference_split(text, parser);
            // The text is handed over in a buffer of exactly its size, so
            // that a read past its end is caught by the address sanitizer.
            std::vector<char16_t> exact(text.begin(), text.end());
            log_line line;
            std::u16string failed;
            const bool ok = split_line(line, exact.data(), exact.size(), parser, true, &failed);
            std::vector<reference_column> got;
            for (const log_column& column : line.columns())
                got.push_back({column.offset, column.length});
            ASSERT_EQ(ok, want.ok) << "parser " << p << " text '" << ToUtf8(text) << "'";
            ASSERT_EQ(got, want.columns) << "parser " << p << " text '" << ToUtf8(text) << "'";
            ASSERT_EQ(failed, want.failed) << "parser " << p << " text '" << ToUtf8(text) << "'";
            ++compared;
            complete += ok ? 1 : 0;
        }
    }
    // Both outcomes must be well represented, or the comparison says little.
    EXPECT_GT(complete, compared / 20);
    EXPECT_LT(complete, compared - compared / 20);
}

} // namespace
