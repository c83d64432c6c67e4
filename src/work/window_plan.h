// Where a file's window goes for each move: the one window arithmetic of the
// viewer.  Pure functions of the window's place, the number of indexed
// lines and the window size; every caller (scroll commands, the list's
// edges, refresh and tail, the file-scope bar, the first window of an open
// or a reload, head and tail of the file, a window that holds a line) asks
// here and hands the plan to the file's view.
//
//   line 0                                            line n-1
//   |----------[first ........ last]-------------------|
//              <----- max lines ----->
//   scroll up:   [first - max .. first - 1]    (clamped at 0)
//   scroll down: [last + 1 .. last + max]      (clamped so the window is full)
//   tail:        [n - max .. n - 1]            ("the last full window")
//
// A window size of 0 means no limit: every window is the whole file.
//
// Thread-safety: none needed (no state).
#pragma once

#include <cstdint>

// The window as it is: first and last line, -1 when there is none; the
// number of indexed lines; the most lines a window holds (0: no limit).
struct window_place {
    int64_t first = -1;
    int64_t last = -1;
    uint64_t line_count = 0;
    uint64_t max_lines = 0;
};

// What to parse and what to select afterwards.  When move is false the
// window stays as it is (nothing to parse).
struct window_plan {
    bool move = false;
    int64_t first = 0;  // the new window's first line
    uint64_t count = 0; // lines to parse from first (0: to the end of the index)
    int selection = 0;  // a SELECT_* kind of work_messages.h
    int64_t row = -1;   // the row for SELECT_ROW (negative: the last row)

    bool operator==(const window_plan&) const = default;
};

// Ctrl+PgUp: the window of max lines that ends just before the current one
// (from line 0 when fewer lines are left); the last row selected.  No move
// at the file's head or without a window.
window_plan PlanScrollUp(const window_place& place);
// Ctrl+PgDown: the window that starts just after the current one, or the
// last full window when fewer lines are left; the first row selected.  No
// move at the file's tail or without a window.
window_plan PlanScrollDown(const window_place& place);
// The list's edges: a window lines earlier (negative) or later, clamped to
// the file; the row that was at the edge stays selected (the first row
// going up, the last going down).
window_plan PlanEdgeMove(const window_place& place, int64_t lines);
// After refresh added lines: with tail, the last full window with its last
// row selected; otherwise the window keeps its first line and grows to its
// size, the selection kept.  No move when the window would stay the same.
window_plan PlanRefresh(const window_place& place, bool tail);
// The first window of an open or a reload: the last full window when
// opened tail first (its last row selected), else from line 0 (the first).
window_plan PlanFirstWindow(const window_place& place, bool tail_first);
// The file's head (Ctrl+Home): the window from line 0, its first row selected.
window_plan PlanHead(const window_place& place);
// The file's tail (Ctrl+End): the last full window, its last row selected.
window_plan PlanTail(const window_place& place);
// A window that holds line (go to line, a result of a whole-file search):
// the current window when it holds it already, else one with line in its
// middle (clamped to the file's head and its last full window).  The row of
// line in the unfiltered window is selected.  No move for a line that is
// not indexed.
window_plan PlanHolding(const window_place& place, int64_t line);
// The file-scope bar's release on line: the window from that line, but
// never past the last full window, so that the bar's right end shows as
// many lines as a window holds.  The row of line is selected (the first
// row unless the window was clamped).
window_plan PlanScope(const window_place& place, int64_t line);

// The first line of the last full window: n - max, or 0 when the file has
// no more lines than a window holds (or there is no limit).
int64_t LastFullWindowFirst(uint64_t line_count, uint64_t max_lines);
