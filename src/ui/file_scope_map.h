// The file-scope bar's geometry, free of painting: where the loaded window
// lies on the strip that stands for the whole file, how wide a drag is, and
// which line a pixel column stands for.  The widget (file_scope_ctrl.h) only
// draws what this class computes.
//
// Thread-safety: none; the interface thread owns it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

// A pixel rectangle; right and bottom are exclusive.
struct scope_rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The lines a tooltip shows: one line (second is -1) or two joined by the
// "..." separator.
struct scope_tooltip_lines {
    int64_t first = -1;
    int64_t second = -1;
};

class file_scope_map {
public:
    // Takes the file's shape.  Ignored (returns false, nothing changes) when
    // file_size < total_lines, window_last < window_first or window_size is 0.
    // The bar is active when the file has bytes and lines and the window does
    // not cover all of it (window_first > 0 or window_last < total_lines - 1).
    bool SetScope(uint64_t file_size, uint64_t total_lines, int64_t window_first, int64_t window_last,
                  uint64_t window_size, bool has_line_text);
    // The widget's client size; the inner rectangle is the client less one pixel on each side.
    void SetClientSize(int width, int height);

    uint64_t FileSize() const { return m_file_size; }
    uint64_t TotalLines() const { return m_total_lines; }
    int64_t WindowFirst() const { return m_window_first; }
    int64_t WindowLast() const { return m_window_last; }
    uint64_t WindowSize() const { return m_window_size; }
    bool Active() const { return m_active; }
    // Tooltips show only while active with a line-text source.
    bool TooltipActive() const { return m_active && m_has_line_text; }

    const scope_rect& Inner() const { return m_inner; }
    // Lines per pixel column: total lines / (inner width - 1); 0 without lines.
    double LinesPerPixel() const;
    // The window segment [start, end) in client x; both -1 while inactive or without a window.
    int SegmentStart() const { return m_segment_start; }
    int SegmentEnd() const { return m_segment_end; }
    // Pixels a drag segment spans (at least 1); 0 while inactive.
    int DragWidth() const { return m_drag_width; }

    bool InInner(int x, int y) const { return m_inner.contains(x, y); }
    bool InSegment(int x) const { return m_segment_start >= 0 && x >= m_segment_start && x < m_segment_end; }

    // The line that column x stands for: the inner rectangle's last column is
    // the last line; other columns count from the inner left edge (clamped to
    // 0..inner width) and give the nearest line to x * lines per pixel, halves
    // rounded up, never beyond the last line.  -1 without lines.
    int64_t PixelToLine(int x) const;

    // The drag segment for a press or move at x: [start, end) with start = x
    // clamped to the inner columns and end = start + drag width, cut at the
    // inner right edge (never moved left).
    std::pair<int, int> DragSegment(int x) const;

    // What the tooltip shows for the mouse at x: while dragging, the line under
    // drag_start and the one window size - 1 lines later (at most the last
    // line); otherwise the window's first and last lines inside the segment,
    // the line under the mouse outside it.
    scope_tooltip_lines TooltipLines(int x, bool dragging, int drag_start) const;

private:
    // floor(lines * (inner width - 1) / total lines), exactly; lines <= total lines.
    int64_t LineOffset(uint64_t lines) const;
    uint64_t PixelSpan() const;
    void Layout();

    uint64_t m_file_size = 0;
    uint64_t m_total_lines = 0;
    int64_t m_window_first = -1;
    int64_t m_window_last = -1;
    uint64_t m_window_size = 0;
    bool m_has_line_text = false;
    bool m_active = false;

    scope_rect m_inner;
    int m_segment_start = -1;
    int m_segment_end = -1;
    int m_drag_width = 0;
};

// "<label>: <size><unit>": bytes with "B"; above 1023 divided by 1024 (whole
// numbers) with "KB", and above 1023 again with "MB".  Empty for size 0.
std::u16string FileSizeText(const std::u16string& label, uint64_t size);

// "<first>\r\n...\r\n...\r\n<second>": how two line previews are joined.
std::u16string JoinLinePreviews(const std::u16string& first, const std::u16string& second);
