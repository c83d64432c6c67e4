#include "work/window_plan.h"

#include "work/work_messages.h"

#include <algorithm>
#include <limits>

namespace {

// Line numbers and counts above this cannot be told apart in int64_t
// arithmetic; the index never comes near it.
constexpr uint64_t kLargest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max() / 4);

int64_t Count(uint64_t value)
{
    return static_cast<int64_t>(std::min(value, kLargest));
}

bool HasWindow(const window_place& place)
{
    return place.first >= 0 && place.last >= place.first && place.line_count > 0;
}

window_plan To(const window_place& place, int64_t first, int selection, int64_t row = -1)
{
    window_plan plan;
    plan.move = true;
    plan.first = first;
    plan.count = place.max_lines;
    plan.selection = selection;
    plan.row = row;
    return plan;
}

} // namespace

int64_t LastFullWindowFirst(uint64_t line_count, uint64_t max_lines)
{
    const int64_t n = Count(line_count);
    const int64_t maximum = Count(max_lines);
    return maximum <= 0 || n <= maximum ? 0 : n - maximum;
}

window_plan PlanScrollUp(const window_place& place)
{
    if (!HasWindow(place) || place.first == 0)
        return {};
    const int64_t maximum = Count(place.max_lines);
    const int64_t first = maximum <= 0 || place.first <= maximum ? 0 : place.first - maximum;
    return To(place, first, SELECT_LAST);
}

window_plan PlanScrollDown(const window_place& place)
{
    const int64_t n = Count(place.line_count);
    if (!HasWindow(place) || place.last >= n - 1)
        return {};
    const int64_t maximum = Count(place.max_lines);
    const int64_t first = maximum <= 0 || place.last + maximum < n ? place.last + 1 : n - maximum;
    return To(place, first, SELECT_FIRST);
}

window_plan PlanEdgeMove(const window_place& place, int64_t lines)
{
    const int64_t n = Count(place.line_count);
    if (!HasWindow(place) || lines == 0)
        return {};
    if (lines < 0) {
        if (place.first == 0)
            return {};
        const int64_t first = lines <= -place.first ? 0 : place.first + lines;
        return To(place, first, SELECT_ROW, 0);
    }
    if (place.last >= n - 1)
        return {};
    const int64_t first = place.first + std::min(lines, n - place.last - 1);
    return To(place, first, SELECT_ROW, -1);
}

window_plan PlanRefresh(const window_place& place, bool tail)
{
    const int64_t n = Count(place.line_count);
    if (n == 0)
        return {};
    const int64_t maximum = Count(place.max_lines);
    int64_t first = place.first < 0 ? 0 : place.first;
    int64_t wanted_last;
    if (maximum <= 0) {
        wanted_last = n - 1; // no limit: the window is the whole file
    } else if (tail) {
        wanted_last = n - 1;
        first = std::max(first, n - maximum);
    } else {
        // The window keeps its first line and takes up to its size.
        wanted_last = std::min(n - 1, first + maximum - 1);
    }
    if (first == place.first && wanted_last == place.last)
        return {};
    return To(place, first, tail ? SELECT_LAST : SELECT_KEEP);
}

window_plan PlanFirstWindow(const window_place& place, bool tail_first)
{
    if (place.line_count == 0)
        return {};
    if (tail_first)
        return To(place, LastFullWindowFirst(place.line_count, place.max_lines), SELECT_LAST);
    return To(place, 0, SELECT_FIRST);
}

window_plan PlanHead(const window_place& place)
{
    if (place.line_count == 0)
        return {};
    window_plan plan = To(place, 0, SELECT_FIRST);
    plan.move = !(HasWindow(place) && place.first == 0);
    return plan;
}

window_plan PlanTail(const window_place& place)
{
    if (place.line_count == 0)
        return {};
    window_plan plan = To(place, LastFullWindowFirst(place.line_count, place.max_lines), SELECT_LAST);
    plan.move = !(HasWindow(place) && place.last == Count(place.line_count) - 1 && place.first == plan.first);
    return plan;
}

window_plan PlanHolding(const window_place& place, int64_t line)
{
    const int64_t n = Count(place.line_count);
    if (line < 0 || line >= n)
        return {};
    if (HasWindow(place) && line >= place.first && line <= place.last) {
        window_plan plan = To(place, place.first, SELECT_ROW, line - place.first);
        plan.move = false;
        return plan;
    }
    const int64_t maximum = Count(place.max_lines);
    const int64_t first = maximum <= 0 ? 0
                                       : std::clamp<int64_t>(line - maximum / 2, 0,
                                                             LastFullWindowFirst(place.line_count, place.max_lines));
    return To(place, first, SELECT_ROW, line - first);
}

window_plan PlanScope(const window_place& place, int64_t line)
{
    const int64_t n = Count(place.line_count);
    if (line < 0 || line >= n)
        return {};
    const int64_t first = std::min(line, LastFullWindowFirst(place.line_count, place.max_lines));
    return To(place, first, SELECT_ROW, line - first);
}
