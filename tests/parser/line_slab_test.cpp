// Window lines cut from slabs: each keeps its own text and columns whatever
// the order lines go in, on whatever thread, one by one or in batches; slabs
// come back when their last line goes; a window that moves a line at a time
// holds a bounded number of slabs.
#include "parser/line_slab.h"
#include "parser/log_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::u16string random_text(std::mt19937& random, std::size_t length)
{
    std::u16string text(length, u'\0');
    for (char16_t& c : text)
        c = static_cast<char16_t>(random() % 0xFFFF);
    return text;
}

struct expected_line {
    log_line* line;
    std::u16string text;
    std::size_t columns;
};

// Creates a line with columns records, each set to its own number.
log_line* make_line(line_arena& arena, const std::u16string& text, std::size_t columns)
{
    log_line* line = log_line::create(text, columns, &arena);
    for (std::size_t c = 0; c < columns; ++c) {
        tagDATA_VALUE value;
        value.payload = static_cast<int64_t>(c) - 3;
        value.valid = true;
        line->add_column(c, 0, value);
    }
    return line;
}

void expect_intact(const expected_line& e)
{
    ASSERT_EQ(e.line->text(), e.text);
    ASSERT_EQ(e.line->columns().size(), e.columns);
    for (std::size_t c = 0; c < e.columns; ++c) {
        ASSERT_EQ(e.line->columns()[c].offset, c);
        ASSERT_EQ(e.line->columns()[c].value().payload, static_cast<int64_t>(c) - 3);
    }
}

} // namespace

TEST(parser_LineSlab, LinesKeepTheirContentsAndTheirSlabsComeBackWhenTheLastGoes)
{
    const std::size_t live_before = LineSlabFigures().live_bytes;
    std::mt19937 random(20261211);
    std::vector<expected_line> lines;
    {
        line_arena arena;
        // Lengths up to the longest a line holds, and past it (cut); column
        // counts past the room asked for, so that some lines move their
        // storage out of the slab.
        for (int i = 0; i < 3000; ++i) {
            const std::size_t length = i % 500 == 0 ? kMaxLineText + 10 : random() % 400;
            const std::size_t room = random() % 8;
            const std::size_t columns = i % 7 == 0 ? room + 5 : room;
            std::u16string text = random_text(random, length);
            log_line* line = make_line(arena, text, columns);
            text.resize(std::min(text.size(), kMaxLineText));
            ASSERT_TRUE(line->in_slab());
            lines.push_back({line, std::move(text), columns});
        }
    }
    // The arena has let its slab go; the lines keep theirs.
    EXPECT_GT(LineSlabFigures().live_bytes, live_before);
    for (const expected_line& e : lines)
        expect_intact(e);

    // Half go on another thread in batches, as a dropped window's do, half
    // here one by one; the batches hold runs of one slab's lines (in file
    // order) and lines in a random order.  Each line is checked just before
    // it goes.
    const std::size_t half = lines.size() / 2;
    std::shuffle(lines.begin() + static_cast<std::ptrdiff_t>(half / 2), lines.end(), random);
    std::future<void> other = std::async(std::launch::async, [&] {
        std::vector<log_line*> batch;
        for (std::size_t i = 0; i < half; ++i) {
            expect_intact(lines[i]);
            batch.push_back(lines[i].line);
            if (batch.size() == 1 + i % 700 || i + 1 == half) {
                DeleteLines(batch.data(), batch.size());
                batch.clear();
            }
        }
    });
    for (std::size_t i = half; i < lines.size(); ++i) {
        expect_intact(lines[i]);
        delete lines[i].line;
    }
    ASSERT_EQ(other.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    other.get();
    EXPECT_EQ(LineSlabFigures().live_bytes, live_before);
    EXPECT_LE(LineSlabFigures().kept_bytes, line_slab::kMostKept * line_slab::kBytes);
}

TEST(parser_LineSlab, AWindowMovingALineAtATimeHoldsFewSlabs)
{
    const std::size_t live_before = LineSlabFigures().live_bytes;
    const std::u16string text(500, u'x');
    // About 1000 bytes a line: a slab holds about 2000 lines.
    const std::size_t window = 5000;
    const std::size_t per_slab = line_slab::kBytes / (sizeof(log_line) + text.size() * sizeof(char16_t) + 8 * 14);
    const std::size_t most_slabs = window / per_slab + 3;
    line_arena arena;
    std::deque<log_line*> lines;
    std::size_t most_live = 0;
    for (int step = 0; step < 60000; ++step) {
        lines.push_back(log_line::create(text, 8, &arena));
        if (lines.size() > window) {
            delete lines.front();
            lines.pop_front();
        }
        most_live = std::max(most_live, LineSlabFigures().live_bytes - live_before);
    }
    EXPECT_LE(most_live, most_slabs * line_slab::kBytes);
    for (log_line* line : lines)
        delete line;
    arena.let_go();
    EXPECT_EQ(LineSlabFigures().live_bytes, live_before);
}

TEST(parser_LineSlab, ACopyOfASlabLineIsAHeapLineOfItsOwn)
{
    line_arena arena;
    std::unique_ptr<log_line> line(make_line(arena, u"abc", 2));
    ASSERT_TRUE(line->in_slab());
    std::unique_ptr<log_line> copy(new log_line(*line));
    EXPECT_FALSE(copy->in_slab());
    EXPECT_EQ(copy->text(), u"abc");
    *line = log_line();
    EXPECT_TRUE(line->in_slab());
    EXPECT_TRUE(line->text().empty());
    EXPECT_EQ(copy->columns().size(), 2u);
    // Without an arena a created line is a heap block.
    std::unique_ptr<log_line> plain(log_line::create(u"abc", 1));
    EXPECT_FALSE(plain->in_slab());
}
