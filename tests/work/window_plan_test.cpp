// The window arithmetic: one table per move, each at the file's head, in the
// middle, at its tail, with fewer lines than a window holds and without a
// limit; beside it, a model check of the scroll walk over every position.
#include "work/window_plan.h"
#include "work/work_messages.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct plan_row {
    const char* name;
    window_place place;
    int64_t argument; // lines, line, or tail (0/1), as the move takes
    window_plan expected;
};

window_plan Moved(int64_t first, uint64_t count, int selection, int64_t row = -1)
{
    return window_plan{true, first, count, selection, row};
}

void CheckTable(const std::vector<plan_row>& rows, const std::function<window_plan(const plan_row&)>& plan)
{
    for (const plan_row& r : rows) {
        const window_plan got = plan(r);
        EXPECT_EQ(got.move, r.expected.move) << r.name;
        if (!r.expected.move && !got.move)
            continue;
        EXPECT_EQ(got.first, r.expected.first) << r.name;
        EXPECT_EQ(got.count, r.expected.count) << r.name;
        EXPECT_EQ(got.selection, r.expected.selection) << r.name;
        EXPECT_EQ(got.row, r.expected.row) << r.name;
    }
}

const window_plan kStay{};

} // namespace

TEST(work_WindowPlan, ScrollUp)
{
    CheckTable(
        {
            {"at the head", {0, 99, 1000, 100}, 0, kStay},
            {"no window", {-1, -1, 1000, 100}, 0, kStay},
            {"empty file", {-1, -1, 0, 100}, 0, kStay},
            {"a full window above", {500, 599, 1000, 100}, 0, Moved(400, 100, SELECT_LAST)},
            {"less than a window above", {50, 149, 1000, 100}, 0, Moved(0, 100, SELECT_LAST)},
            {"exactly one window above", {100, 199, 1000, 100}, 0, Moved(0, 100, SELECT_LAST)},
            {"from the tail", {900, 999, 1000, 100}, 0, Moved(800, 100, SELECT_LAST)},
            {"no limit", {5, 999, 1000, 0}, 0, Moved(0, 0, SELECT_LAST)},
        },
        [](const plan_row& r) { return PlanScrollUp(r.place); });
}

TEST(work_WindowPlan, ScrollDown)
{
    CheckTable(
        {
            {"at the tail", {900, 999, 1000, 100}, 0, kStay},
            {"fewer lines than a window", {0, 29, 30, 100}, 0, kStay},
            {"no window", {-1, -1, 1000, 100}, 0, kStay},
            {"a full window below", {0, 99, 1000, 100}, 0, Moved(100, 100, SELECT_FIRST)},
            {"less than a window below", {850, 949, 1000, 100}, 0, Moved(900, 100, SELECT_FIRST)},
            {"exactly one window below", {800, 899, 1000, 100}, 0, Moved(900, 100, SELECT_FIRST)},
            {"the file grew under a short window", {0, 29, 1000, 100}, 0, Moved(30, 100, SELECT_FIRST)},
        },
        [](const plan_row& r) { return PlanScrollDown(r.place); });
}

TEST(work_WindowPlan, EdgeMove)
{
    CheckTable(
        {
            {"up at the head", {0, 99, 1000, 100}, -10, kStay},
            {"down at the tail", {900, 999, 1000, 100}, 10, kStay},
            {"no move asked", {500, 599, 1000, 100}, 0, kStay},
            {"up by ten", {500, 599, 1000, 100}, -10, Moved(490, 100, SELECT_ROW, 0)},
            {"up past the head", {5, 104, 1000, 100}, -10, Moved(0, 100, SELECT_ROW, 0)},
            {"down by ten", {500, 599, 1000, 100}, 10, Moved(510, 100, SELECT_ROW, -1)},
            {"down past the tail", {895, 994, 1000, 100}, 10, Moved(900, 100, SELECT_ROW, -1)},
            {"fewer lines than a window", {0, 29, 30, 100}, 10, kStay},
        },
        [](const plan_row& r) { return PlanEdgeMove(r.place, r.argument); });
}

TEST(work_WindowPlan, Refresh)
{
    CheckTable(
        {
            {"nothing new, full window", {0, 99, 100, 100}, 0, kStay},
            {"grows to its size", {0, 49, 80, 100}, 0, Moved(0, 100, SELECT_KEEP)},
            {"full window, no tail: stays", {0, 99, 500, 100}, 0, kStay},
            {"tail: last full window", {0, 99, 500, 100}, 1, Moved(400, 100, SELECT_LAST)},
            {"tail, fewer lines than a window", {0, 49, 80, 100}, 1, Moved(0, 100, SELECT_LAST)},
            {"tail, at the tail already", {400, 499, 500, 100}, 1, kStay},
            {"no window yet", {-1, -1, 20, 100}, 0, Moved(0, 100, SELECT_KEEP)},
            {"no limit", {0, 49, 80, 0}, 0, Moved(0, 0, SELECT_KEEP)},
            {"empty file", {-1, -1, 0, 100}, 1, kStay},
        },
        [](const plan_row& r) { return PlanRefresh(r.place, r.argument != 0); });
}

TEST(work_WindowPlan, FirstWindowHeadAndTail)
{
    CheckTable(
        {
            {"open head first", {-1, -1, 1000, 100}, 0, Moved(0, 100, SELECT_FIRST)},
            {"open tail first", {-1, -1, 1000, 100}, 1, Moved(900, 100, SELECT_LAST)},
            {"open tail first, short file", {-1, -1, 30, 100}, 1, Moved(0, 100, SELECT_LAST)},
            {"open tail first, no limit", {-1, -1, 1000, 0}, 1, Moved(0, 0, SELECT_LAST)},
            {"open an empty file", {-1, -1, 0, 100}, 1, kStay},
        },
        [](const plan_row& r) { return PlanFirstWindow(r.place, r.argument != 0); });
    CheckTable(
        {
            {"head from the middle", {500, 599, 1000, 100}, 0, Moved(0, 100, SELECT_FIRST)},
            {"head at the head", {0, 99, 1000, 100}, 0, kStay},
            {"tail from the middle", {500, 599, 1000, 100}, 0, Moved(900, 100, SELECT_LAST)},
            {"tail at the tail", {900, 999, 1000, 100}, 0, kStay},
            {"tail of a file that grew", {900, 999, 1200, 100}, 0, Moved(1100, 100, SELECT_LAST)},
            {"tail, fewer lines than a window", {0, 29, 30, 100}, 0, kStay},
        },
        [](const plan_row& r) { return r.name[0] == 'h' ? PlanHead(r.place) : PlanTail(r.place); });
    // Head and tail that stay still name the selection to make.
    EXPECT_EQ(PlanHead({0, 99, 1000, 100}).selection, SELECT_FIRST);
    EXPECT_EQ(PlanTail({900, 999, 1000, 100}).selection, SELECT_LAST);
}

TEST(work_WindowPlan, HoldingALine)
{
    CheckTable(
        {
            {"inside the window", {500, 599, 1000, 100}, 550, kStay},
            {"above: centred", {500, 599, 1000, 100}, 200, Moved(150, 100, SELECT_ROW, 50)},
            {"near the head", {500, 599, 1000, 100}, 10, Moved(0, 100, SELECT_ROW, 10)},
            {"near the tail", {0, 99, 1000, 100}, 990, Moved(900, 100, SELECT_ROW, 90)},
            {"the last line", {0, 99, 1000, 100}, 999, Moved(900, 100, SELECT_ROW, 99)},
            {"not indexed", {0, 99, 1000, 100}, 1000, kStay},
            {"negative", {0, 99, 1000, 100}, -1, kStay},
            {"fewer lines than a window", {-1, -1, 30, 100}, 20, Moved(0, 100, SELECT_ROW, 20)},
            {"no limit", {-1, -1, 30, 0}, 20, Moved(0, 0, SELECT_ROW, 20)},
        },
        [](const plan_row& r) { return PlanHolding(r.place, r.argument); });
    // A line inside the window is selected where it is.
    const window_plan inside = PlanHolding({500, 599, 1000, 100}, 550);
    EXPECT_EQ(inside.selection, SELECT_ROW);
    EXPECT_EQ(inside.row, 50);
}

TEST(work_WindowPlan, ScopeBarRightEndShowsTheLastFullWindow)
{
    CheckTable(
        {
            {"the head", {500, 599, 1000, 100}, 0, Moved(0, 100, SELECT_ROW, 0)},
            {"the middle", {0, 99, 1000, 100}, 400, Moved(400, 100, SELECT_ROW, 0)},
            {"the right end", {0, 99, 1000, 100}, 999, Moved(900, 100, SELECT_ROW, 99)},
            {"inside the last window", {0, 99, 1000, 100}, 950, Moved(900, 100, SELECT_ROW, 50)},
            {"fewer lines than a window", {0, 29, 30, 100}, 29, Moved(0, 100, SELECT_ROW, 29)},
            {"past the index", {0, 99, 1000, 100}, 1000, kStay},
        },
        [](const plan_row& r) { return PlanScope(r.place, r.argument); });
}

// Model check: scrolling down from the head and up from the tail visits
// windows that cover every line exactly once going down, never leave the
// file, and always hold a full window when the file has one.
TEST(work_WindowPlan, ScrollWalksCoverTheFileWithFullWindows)
{
    for (uint64_t n : {1u, 2u, 99u, 100u, 101u, 250u, 1000u}) {
        for (uint64_t maximum : {1u, 7u, 100u, 1000u}) {
            const int64_t size = static_cast<int64_t>(std::min(n, maximum));
            window_place place{0, size - 1, n, maximum};
            std::vector<int> seen(n, 0);
            for (int64_t i = place.first; i <= place.last; ++i)
                ++seen[static_cast<std::size_t>(i)];
            for (int steps = 0; steps < 2000; ++steps) {
                const window_plan plan = PlanScrollDown(place);
                if (!plan.move)
                    break;
                const int64_t last = std::min<int64_t>(plan.first + size, static_cast<int64_t>(n)) - 1;
                ASSERT_EQ(last - plan.first + 1, size) << n << "/" << maximum;
                ASSERT_GT(plan.first, place.first);
                for (int64_t i = std::max(plan.first, place.last + 1); i <= last; ++i)
                    ++seen[static_cast<std::size_t>(i)];
                place.first = plan.first;
                place.last = last;
            }
            EXPECT_EQ(place.last, static_cast<int64_t>(n) - 1);
            for (uint64_t i = 0; i < n; ++i)
                ASSERT_EQ(seen[i], 1) << "line " << i << " of " << n << "/" << maximum;
            for (int steps = 0; steps < 2000; ++steps) {
                const window_plan plan = PlanScrollUp(place);
                if (!plan.move)
                    break;
                ASSERT_GE(plan.first, 0);
                ASSERT_LT(plan.first, place.first);
                place.first = plan.first;
                place.last = plan.first + size - 1;
            }
            EXPECT_EQ(place.first, 0);
        }
    }
}
