// A line's storage against a model: whatever mix of text columns, typed
// columns and columns past the masked ones is added, however the line grows,
// is copied, cleared, cut or given a new text, it reads back what was put
// in.
#include "parser/line_slab.h"
#include "parser/log_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

struct model_line {
    std::u16string text;
    std::vector<log_column> columns;
    uint64_t cut_length = 0;
};

void expect_same(const log_line& line, const model_line& model, const std::string& where)
{
    ASSERT_EQ(line.text(), model.text) << where;
    ASSERT_EQ(line.cut_length(), model.cut_length) << where;
    ASSERT_EQ(line.columns().size(), model.columns.size()) << where;
    std::size_t c = 0;
    for (const log_column& got : line.columns()) {
        const log_column& want = model.columns[c];
        ASSERT_EQ(got.offset, want.offset) << where << " column " << c;
        ASSERT_EQ(got.length, want.length) << where << " column " << c;
        ASSERT_EQ(got.valid(), want.valid()) << where << " column " << c;
        if (want.valid()) {
            ASSERT_EQ(got.value().payload, want.value().payload) << where << " column " << c;
            ASSERT_EQ(got.value().milliseconds, want.value().milliseconds) << where << " column " << c;
        }
        ++c;
    }
}

tagDATA_VALUE random_value(std::mt19937_64& random)
{
    tagDATA_VALUE value;
    value.valid = random() % 4 != 0;
    switch (random() % 4) {
    case 0: value.payload = static_cast<int64_t>(random()); break; // any 64 bits, negatives too
    case 1: value.payload = -static_cast<int64_t>(random() % 1000); break;
    default: value.payload = static_cast<int64_t>(random() % 100000); break;
    }
    const int16_t milliseconds[] = {0, 999, -1, INT16_MIN, INT16_MAX, 500};
    value.milliseconds = milliseconds[random() % 6];
    return value;
}

// The column a model keeps for a value added with add_column.
log_column model_column(std::size_t first, std::size_t length, const tagDATA_VALUE* value)
{
    log_column column;
    column.offset = static_cast<uint16_t>(first);
    column.length = static_cast<uint16_t>(length);
    if (value)
        column.set_value(*value);
    return column;
}

} // namespace

TEST(parser_LogLine, RandomEditsReadBackAsAModelHoldsThem)
{
    std::mt19937_64 random(20261211);
    line_arena arena;
    for (int round = 0; round < 300; ++round) {
        model_line model;
        model.text.assign(random() % 200, u'a');
        for (char16_t& c : model.text)
            c = static_cast<char16_t>(random() % 0x10000);
        const std::size_t room = random() % 10;
        std::unique_ptr<log_line> line;
        std::unique_ptr<log_line> stack_like;
        switch (round % 3) {
        case 0: line.reset(log_line::create(model.text, room, &arena, random() % (room + 1))); break;
        case 1: line.reset(log_line::create(model.text, room)); break;
        default:
            line = std::make_unique<log_line>();
            line->assign_text(model.text);
            break;
        }
        const std::string where_round = "round " + std::to_string(round);
        for (int step = 0; step < 120; ++step) {
            const std::string where = where_round + " step " + std::to_string(step);
            const std::size_t size = model.text.size();
            const std::size_t first = size ? random() % size : 0;
            const std::size_t length = size ? random() % (size - first + 1) : 0;
            const unsigned op = static_cast<unsigned>(random() % 100);
            if (op < 30) {
                line->add_column(first, length);
                model.columns.push_back(model_column(first, length, nullptr));
            } else if (op < 60) {
                const tagDATA_VALUE value = random_value(random);
                line->add_column(first, length, value);
                model.columns.push_back(model_column(first, length, &value));
            } else if (op < 70 && !model.columns.empty()) {
                const log_column copied = model.columns[random() % model.columns.size()];
                line->add_column(copied);
                model.columns.push_back(copied);
            } else if (op < 78 && model.columns.size() + 8 <= log_line::kMaskedColumns) {
                // Written straight into the room made for them: nothing moves.
                const std::size_t count = random() % 9;
                std::vector<log_column> batch;
                std::size_t typed = 0;
                for (std::size_t i = 0; i < count; ++i) {
                    const tagDATA_VALUE value = random_value(random);
                    batch.push_back(model_column(first, length, random() % 2 ? &value : nullptr));
                    typed += batch.back().valid() ? 1 : 0;
                }
                line->make_room(count, typed);
                const char16_t* text_before = line->text().data();
                log_line::column_writer writer(*line);
                for (const log_column& c : batch)
                    writer.add(c);
                writer.commit();
                ASSERT_EQ(line->text().data(), text_before) << where;
                model.columns.insert(model.columns.end(), batch.begin(), batch.end());
            } else if (op < 82) {
                // Room made ahead keeps the text where it is while the
                // columns are added.
                const std::size_t count = random() % 70;
                line->make_room(count, count);
                const char16_t* text_before = line->text().data();
                for (std::size_t i = 0; i < count; ++i) {
                    const tagDATA_VALUE value = random_value(random);
                    line->add_column(first, length, value);
                    model.columns.push_back(model_column(first, length, &value));
                }
                ASSERT_EQ(line->text().data(), text_before) << where;
            } else if (op < 86) {
                std::u16string text(random() % 3 == 0 ? random() % 500 : random() % 50, u'x');
                for (char16_t& c : text)
                    c = static_cast<char16_t>(random() % 0x10000);
                line->assign_text(text);
                model.text = text;
                model.columns.clear();
            } else if (op < 89) {
                line->clear_columns();
                model.columns.clear();
            } else if (op < 93) {
                const uint64_t cut = random() % 2 ? 0 : (uint64_t{1} << 40) + random() % 1000;
                line->set_cut_length(cut);
                model.cut_length = cut;
            } else if (op < 96) {
                std::unique_ptr<log_line> copy(new log_line(*line));
                expect_same(*copy, model, where + " (copy)");
                EXPECT_FALSE(copy->in_slab()) << where;
                line = std::move(copy);
            } else {
                // Assignment over a line of another shape.
                std::unique_ptr<log_line> other(log_line::create(u"other text", random() % 4, &arena));
                other->add_column(1, 2);
                other->set_cut_length(7);
                *other = *line;
                expect_same(*other, model, where + " (assigned)");
                line = std::move(other);
            }
            expect_same(*line, model, where);
            if (::testing::Test::HasFatalFailure())
                return;
        }
    }
}

TEST(parser_LogLine, ALineHoldsThousandsOfColumnsAndRefusesPastItsMostIntact)
{
    log_line line;
    line.assign_text(u"abcdef");
    tagDATA_VALUE value;
    value.valid = true;
    std::size_t added = 0;
    bool refused = false;
    // Typed columns take 14 bytes each: the column area (up to 131070
    // bytes) holds 9362 of them.
    for (std::size_t i = 0; i < 20000 && !refused; ++i) {
        value.payload = static_cast<int64_t>(i);
        try {
            line.add_column(i % 6, 1, value);
            ++added;
        } catch (const std::bad_alloc&) {
            refused = true;
        }
    }
    ASSERT_TRUE(refused);
    EXPECT_EQ(added, std::size_t{131070 / 14});
    ASSERT_EQ(line.columns().size(), added);
    EXPECT_EQ(line.text(), u"abcdef");
    for (std::size_t i = 0; i < added; i += 997) {
        EXPECT_EQ(line.columns()[i].offset, i % 6);
        EXPECT_EQ(line.columns()[i].value().payload, static_cast<int64_t>(i));
    }
    EXPECT_EQ(line.columns().back().value().payload, static_cast<int64_t>(added - 1));
}
