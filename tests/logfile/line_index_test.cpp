// The compact line index against the flat one of 8-byte slots: the same lines
// added in the same order give the same answers (counts, first slot, block
// shapes, every line by walk, by number and by position), and a log file's
// index holds exactly the lines that a plain scan of the file finds, forwards,
// tail-first and after the background passes.
#include "index_helpers.h"
#include "logfile/line_index.h"
#include "logfile/line_index_flat.h"
#include "logfile/log_file.h"
#include "support/bounded_wait.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using line_pairs = std::vector<std::pair<int64_t, uint64_t>>;

line_pairs walk(const line_index::lookups& index)
{
    return walk_lines<line_cursor>(index);
}

line_pairs walk(const flat_line_index::lookups& index)
{
    return walk_lines<flat_line_cursor>(index);
}

// Lines one after another from start: lengths of every code size (one byte
// below 192, two bytes below 12480, longer), usual gaps and others.
std::vector<line_span> random_layout(std::mt19937_64& rng, std::size_t count, int64_t start, uint64_t longest)
{
    static const uint64_t edges[] = {1, 2, 191, 192, 193, 12479, 12480, 12481, 65534, 65535, 65536, 1 << 20};
    const int64_t usual = 1 + static_cast<int64_t>(rng() % 2);
    std::vector<line_span> lines;
    lines.reserve(count);
    int64_t next = start;
    for (std::size_t i = 0; i < count; ++i) {
        uint64_t length = rng() % 8 == 0 ? edges[rng() % std::size(edges)] : 1 + rng() % 150;
        length = std::min(length, longest);
        lines.push_back({next, length});
        const int64_t gap = rng() % 12 == 0 ? 1 + static_cast<int64_t>(rng() % 5000) : usual;
        next += static_cast<int64_t>(length) + gap;
    }
    return lines;
}

// The last of lines (in file order) that starts at or before position.
bool model_line_from(const line_pairs& lines, int64_t position, uint64_t& number)
{
    auto it = std::upper_bound(lines.begin(), lines.end(), position,
                               [](int64_t p, const std::pair<int64_t, uint64_t>& line) { return p < line.first; });
    if (it == lines.begin())
        return false;
    number = static_cast<uint64_t>(it - lines.begin()) - 1;
    return true;
}

// Every lookup of the compact index against the walk of the flat one and
// against the lines added (expected, in file order).
void expect_same(const line_index& compact, const flat_line_index& flat, const line_pairs& expected,
                 std::mt19937_64& rng, const std::string& label)
{
    SCOPED_TRACE(label);
    const line_index::reader c = compact.read();
    const flat_line_index::reader f = flat.read();
    ASSERT_EQ(c.line_count(), f.line_count());
    ASSERT_EQ(c.line_count(), expected.size());
    EXPECT_EQ(c.first_slot(), f.first_slot());
    ASSERT_EQ(c.block_count(), f.block_count());
    for (uint64_t k = 0; k < c.block_count(); ++k) {
        EXPECT_EQ(c.block_shape(k).forward, f.block_forward(k)) << "block " << k;
        EXPECT_EQ(c.block_shape(k).used, f.block_used(k)) << "block " << k;
    }
    const line_pairs lines = walk(c);
    ASSERT_EQ(lines, walk(f));
    ASSERT_EQ(lines, expected);
    EXPECT_EQ(c.last_line_end(), f.last_line_end());
    EXPECT_EQ(c.first_line_start(), f.first_line_start());
    if (lines.empty())
        return;
    // Line by number, and walks from a located line across group and block
    // boundaries.
    for (int probe = 0; probe < 300; ++probe) {
        const uint64_t n = probe < 2 ? (probe == 0 ? 0 : lines.size() - 1) : rng() % lines.size();
        int64_t offset;
        uint64_t length;
        ASSERT_TRUE(c.line(n, offset, length));
        ASSERT_EQ(std::make_pair(offset, length), lines[n]) << "line " << n;
        line_cursor cursor;
        ASSERT_TRUE(c.locate(n, cursor));
        for (uint64_t m = n; m < std::min<uint64_t>(lines.size(), n + 40); ++m) {
            c.line_at(cursor, offset, length);
            ASSERT_EQ(std::make_pair(offset, length), lines[m]) << "line " << m << " from " << n;
            EXPECT_EQ(c.advance(cursor), m + 1 < lines.size());
        }
    }
    int64_t offset;
    uint64_t length;
    EXPECT_FALSE(c.line(lines.size(), offset, length));
    // The line a position falls in: at, just before and just after line
    // starts and ends, and anywhere.
    auto check_position = [&](int64_t position) {
        uint64_t want = 0;
        uint64_t got = 0;
        const bool found = model_line_from(lines, position, want);
        ASSERT_EQ(c.line_from(position, got, offset, length), found) << "position " << position;
        if (found) {
            ASSERT_EQ(got, want) << "position " << position;
            EXPECT_EQ(std::make_pair(offset, length), lines[want]);
        }
    };
    for (int probe = 0; probe < 300; ++probe) {
        const auto& line = lines[rng() % lines.size()];
        for (int64_t d : {-1, 0, 1})
            check_position(line.first + d);
        check_position(line.first + static_cast<int64_t>(line.second) + static_cast<int64_t>(rng() % 4));
    }
    check_position(lines.front().first - 100);
    check_position(lines.back().first + static_cast<int64_t>(lines.back().second) + 100000);
}

line_pairs as_pairs(const std::vector<line_span>& spans, std::size_t from, std::size_t to)
{
    line_pairs out;
    for (std::size_t i = from; i < to; ++i)
        out.emplace_back(spans[i].offset, spans[i].length);
    return out;
}

} // namespace

TEST(logfile_LineIndexDifferential, AppendedAndPrependedLinesAnswerAsTheFlatIndex)
{
    std::mt19937_64 rng(2026);
    // Counts at group (32 and 56 lines) and block (10000) boundaries, and
    // random ones.
    const std::size_t counts[] = {1, 31, 32, 33, 55, 56, 57, 9999, 10000, 10001, 20000, 20001, 25000};
    for (int round = 0; round < 27; ++round) {
        const std::size_t count = round < static_cast<int>(std::size(counts)) ? counts[round] : 1 + rng() % 40000;
        const std::vector<line_span> layout =
            random_layout(rng, count, static_cast<int64_t>(rng() % 1000), flat_line_index::kMaxLength);
        // The lines from split on are the tail that a tail-first open takes
        // first; those before it come by backward passes, those from end on
        // by refreshes that append.
        const std::size_t split = rng() % (count + 1);
        const std::size_t end = split + rng() % (count - split + 1);
        line_index compact;
        flat_line_index flat;
        std::size_t front = end; // the first line added so far
        std::size_t back = end;  // one past the last
        bool first_pass = true;
        while (front > 0 || back < count) {
            const bool prepend = back == count || (front > 0 && rng() % 3 != 0);
            if (prepend) {
                // Passes of at most 10000 lines, the open's of any size; a
                // pass's lines come in runs, as a scan flushes them.
                const std::size_t pass = first_pass ? 1 + rng() % 12000 : 1 + rng() % 10000;
                first_pass = false;
                const std::size_t stop = front > pass ? front - pass : 0;
                std::vector<line_span> run;
                for (std::size_t i = front; i-- > stop;)
                    run.push_back(layout[i]);
                compact.write().add_lines(run.data(), run.size(), false);
                for (const line_span& line : run)
                    flat.write().add_line(line.offset, line.length, false);
                front = stop;
            } else {
                const std::size_t stop = std::min(count, back + 1 + rng() % 7000);
                compact.write().add_lines(layout.data() + back, stop - back, true);
                for (std::size_t i = back; i < stop; ++i)
                    flat.write().add_line(layout[i].offset, layout[i].length, true);
                back = stop;
            }
        }
        expect_same(compact, flat, as_pairs(layout, 0, count), rng,
                    "round " + std::to_string(round) + " count " + std::to_string(count) + " split "
                        + std::to_string(split) + " end " + std::to_string(end));
        compact.clear();
        flat.write().clear();
        expect_same(compact, flat, {}, rng, "cleared");
    }
}

TEST(logfile_LineIndexDifferential, ACodeAcrossTheGroupEntrysLastByteReadsOn)
{
    // A group keeps its first code bytes in its table entry and the rest
    // beside the block: after p one-byte codes, a two-byte code (a line of
    // 200 bytes) and a long one (a far gap) fall on every place around that
    // edge, appended and prepended.
    std::mt19937_64 rng(32);
    for (bool at_end : {true, false}) {
        for (int p = 0; p < static_cast<int>(line_block::kGroupLines); ++p) {
            std::vector<line_span> layout;
            int64_t next = 10;
            auto add = [&](uint64_t length, int64_t gap) {
                layout.push_back({next, length});
                next += static_cast<int64_t>(length) + gap;
            };
            // A backward block's codes run from its last line: mirror the
            // layout so that the same codes come first.
            std::vector<std::pair<uint64_t, int64_t>> lines;
            for (int i = 0; i < 8; ++i)
                lines.push_back({5, 1}); // the usual gap is set by the first lines
            for (int i = 0; i < p; ++i)
                lines.push_back({1 + static_cast<uint64_t>(i % 100), 1});
            lines.push_back({200, 1});
            lines.push_back({7, 100000});
            for (int i = 0; i < 130; ++i)
                lines.push_back({1 + static_cast<uint64_t>(i % 150), i % 9 == 0 ? 3 : 1});
            if (!at_end)
                std::reverse(lines.begin(), lines.end());
            for (const auto& [length, gap] : lines)
                add(length, gap);
            line_index compact;
            flat_line_index flat;
            if (at_end) {
                compact.write().add_lines(layout.data(), layout.size(), true);
                for (const line_span& line : layout)
                    flat.write().add_line(line.offset, line.length, true);
            } else {
                std::vector<line_span> reversed(layout.rbegin(), layout.rend());
                compact.write().add_lines(reversed.data(), reversed.size(), false);
                for (const line_span& line : reversed)
                    flat.write().add_line(line.offset, line.length, false);
            }
            expect_same(compact, flat, as_pairs(layout, 0, layout.size()), rng,
                        "p " + std::to_string(p) + " at end " + std::to_string(at_end));
            const line_index::reader c = compact.read();
            for (uint64_t n = 0; n < layout.size(); ++n) {
                int64_t offset;
                uint64_t length;
                ASSERT_TRUE(c.line(n, offset, length));
                ASSERT_EQ(std::make_pair(offset, length), std::make_pair(layout[n].offset, layout[n].length))
                    << "line " << n << " p " << p << " at end " << at_end;
            }
        }
    }
}

TEST(logfile_LineIndexDifferential, LongLinesAndFarGapsKeepTheirOffsets)
{
    // What the flat index cannot hold: lengths past 65535 and lines more
    // than 4 GB apart, checked against the lines added.
    std::mt19937_64 rng(7);
    for (bool forward : {true, false}) {
        std::vector<line_span> layout = random_layout(rng, 23456, 5, uint64_t{1} << 40);
        int64_t shift = 0;
        for (std::size_t i = 0; i < layout.size(); ++i) {
            if (i % 5000 == 4999)
                shift += int64_t{3} << 32;
            layout[i].offset += shift;
        }
        line_index compact;
        if (forward) {
            compact.write().add_lines(layout.data(), layout.size(), true);
        } else {
            std::vector<line_span> reversed(layout.rbegin(), layout.rend());
            compact.write().add_lines(reversed.data(), reversed.size(), false);
        }
        const line_index::reader c = compact.read();
        ASSERT_EQ(walk(c), as_pairs(layout, 0, layout.size())) << "forward " << forward;
        for (int probe = 0; probe < 2000; ++probe) {
            const uint64_t n = rng() % layout.size();
            int64_t offset;
            uint64_t length;
            ASSERT_TRUE(c.line(n, offset, length));
            ASSERT_EQ(offset, layout[n].offset) << n;
            ASSERT_EQ(length, layout[n].length) << n;
            uint64_t number;
            ASSERT_TRUE(c.line_from(layout[n].offset + static_cast<int64_t>(length) - 1, number, offset, length));
            ASSERT_EQ(number, n);
        }
    }
}

TEST(logfile_LineIndexDifferential, RunsOfShortLinesCountTheLinesPastASmallLimit)
{
    // Appended and prepended runs of one-byte codes around a line limit
    // below 192 bytes: every line past the limit is counted, whichever way it
    // was stored.
    std::mt19937_64 rng(41);
    for (bool at_end : {true, false}) {
        for (uint64_t limit : {1u, 50u, 190u, 191u, 192u}) {
            line_index compact;
            compact.write().set_line_limit(limit);
            std::vector<line_span> lines;
            int64_t next = 0;
            uint64_t past = 0;
            for (int i = 0; i < 30000; ++i) {
                const uint64_t length =
                    rng() % 4 == 0 ? limit + rng() % 3 - std::min<uint64_t>(limit, 1) : 1 + rng() % 200;
                if (length == 0)
                    continue;
                lines.push_back({next, length});
                past += length > limit;
                next += static_cast<int64_t>(length) + (rng() % 50 == 0 ? 2 : 1);
            }
            // Prepending takes the lines last first.
            std::vector<line_span> order = lines;
            if (!at_end)
                std::reverse(order.begin(), order.end());
            for (std::size_t i = 0; i < order.size();) {
                const std::size_t run = std::min<std::size_t>(order.size() - i, 1 + rng() % 5000);
                compact.write().add_lines(order.data() + i, run, at_end);
                i += run;
            }
            const line_index::reader c = compact.read();
            EXPECT_EQ(c.long_line_count(), past) << "limit " << limit << " at end " << at_end;
            ASSERT_EQ(walk(c), as_pairs(lines, 0, lines.size())) << "limit " << limit << " at end " << at_end;
        }
    }
}

TEST(logfile_LineIndexDifferential, ShortLinesCostAboutOneByteEach)
{
    // 10000 lines of 1 to 191 bytes, one line end between them: one byte a
    // line and the table; the flat index takes eight.
    std::mt19937_64 rng(3);
    std::vector<line_span> lines;
    int64_t next = 0;
    for (int i = 0; i < 100000; ++i) {
        const uint64_t length = 1 + rng() % 191;
        lines.push_back({next, length});
        next += static_cast<int64_t>(length) + 1;
    }
    line_index compact;
    compact.write().add_lines(lines.data(), lines.size(), true);
    const double per_line = static_cast<double>(compact.read().memory_bytes()) / static_cast<double>(lines.size());
    EXPECT_LT(per_line, 1.3);
    EXPECT_GT(per_line, 1.0);
}

class logfile_IndexedFiles : public ::testing::Test {
protected:
    void SetUp() override { setenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252", 1); }
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0); }
    temp_folder folder;
};

TEST_F(logfile_IndexedFiles, EveryOpenFindsThePlainScansLinesInTheFlatIndexsShape)
{
    std::mt19937_64 rng(99);
    const uint64_t unit_lengths[] = {0, 1, 2, 50, 191, 192, 12480, 65534, 65535, 65536, 70000, 300000};
    const char* const ends[] = {"\n", "\r\n", "\r", "\n\r", "\n\n"};
    for (int round = 0; round < 8; ++round) {
        const bool ucs2 = round % 2 == 1;
        const int unit = ucs2 ? 2 : 1;
        std::u16string text;
        // Some files past two blocks, to reach the block boundaries.
        const std::size_t count = round < 2 ? 20001 + rng() % 5000 : 1 + rng() % 6000;
        for (std::size_t i = 0; i < count; ++i) {
            const uint64_t units = rng() % 300 == 0 ? unit_lengths[rng() % std::size(unit_lengths)] : rng() % 90;
            text.append(static_cast<std::size_t>(units), static_cast<char16_t>(u'a' + i % 26));
            const std::string end = ends[rng() % std::size(ends)];
            text.append(end.begin(), end.end());
        }
        if (rng() % 2)
            text += u"no line end";
        const std::string bytes = ucs2 ? "\xFF\xFE" + ucs2_bytes(text, true) : std::string(text.begin(), text.end());
        const line_list expected = reference_lines(bytes, unit, ucs2 ? 2 : 0);
        const std::string path = folder.write("r.log", bytes);
        for (int mode = 0; mode < 4; ++mode) {
            // Forward whole, forward in passes, tail-first whole, tail-first in passes.
            const bool tail_first = mode >= 2;
            const uint64_t first = mode % 2 ? 1 + rng() % 12000 : 0;
            log_file file;
            ASSERT_TRUE(file.open(widen(path), first, tail_first));
            while (file.index_more() > 0) {}
            const std::string label = "round " + std::to_string(round) + " mode " + std::to_string(mode);
            ASSERT_EQ(indexed_lines(file), expected) << label;

            // The flat index given the same lines in the order of the scans.
            flat_line_index flat;
            line_pairs in_order(expected.begin(), expected.end());
            std::size_t long_lines = 0;
            for (const auto& line : in_order)
                long_lines += line.second > kMaxLineUnits * static_cast<uint64_t>(unit);
            EXPECT_EQ(file.read_index().long_line_count(), long_lines) << label;
            const bool fits = std::all_of(in_order.begin(), in_order.end(),
                                          [](const auto& line) { return line.second <= flat_line_index::kMaxLength; });
            if (!fits)
                continue;
            if (!tail_first) {
                for (const auto& line : in_order)
                    flat.write().add_line(line.first, line.second, true);
            } else {
                const std::size_t opened = first == 0 ? in_order.size() : std::min<std::size_t>(first, in_order.size());
                std::size_t front = in_order.size();
                for (std::size_t pass = opened; front > 0; pass = log_file::kPassLines) {
                    const std::size_t stop = front > pass ? front - pass : 0;
                    for (std::size_t i = front; i-- > stop;)
                        flat.write().add_line(in_order[i].first, in_order[i].second, false);
                    front = stop;
                }
            }
            const line_index::reader c = file.read_index();
            const flat_line_index::reader f = flat.read();
            EXPECT_EQ(c.first_slot(), f.first_slot()) << label;
            ASSERT_EQ(c.block_count(), f.block_count()) << label;
            for (uint64_t k = 0; k < c.block_count(); ++k) {
                EXPECT_EQ(c.block_shape(k).forward, f.block_forward(k)) << label << " block " << k;
                EXPECT_EQ(c.block_shape(k).used, f.block_used(k)) << label << " block " << k;
            }
            EXPECT_EQ(walk(c), walk(f)) << label;
        }
    }
}
