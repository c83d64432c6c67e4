#include "ui/file_scope_map.h"

#include <algorithm>

namespace {

__extension__ typedef unsigned __int128 wide_uint;

std::u16string Decimal(uint64_t value)
{
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

} // namespace

bool file_scope_map::SetScope(uint64_t file_size, uint64_t total_lines, int64_t window_first, int64_t window_last,
                              uint64_t window_size, bool has_line_text)
{
    if (file_size < total_lines || window_last < window_first || window_size == 0)
        return false;
    m_file_size = file_size;
    m_total_lines = total_lines;
    m_window_first = window_first;
    m_window_last = window_last;
    m_window_size = window_size;
    m_has_line_text = has_line_text;
    const bool covers_all =
        window_first == 0 && window_last >= 0 && static_cast<uint64_t>(window_last) >= total_lines - 1;
    m_active = file_size != 0 && total_lines != 0 && !covers_all;
    Layout();
    return true;
}

void file_scope_map::SetClientSize(int width, int height)
{
    m_inner = scope_rect{1, 1, std::max(1, width - 1), std::max(1, height - 1)};
    Layout();
}

uint64_t file_scope_map::PixelSpan() const
{
    return static_cast<uint64_t>(std::max(1, m_inner.width() - 1));
}

double file_scope_map::LinesPerPixel() const
{
    return static_cast<double>(m_total_lines) / static_cast<double>(PixelSpan());
}

int64_t file_scope_map::LineOffset(uint64_t lines) const
{
    if (m_total_lines == 0)
        return 0;
    const wide_uint product = static_cast<wide_uint>(lines) * PixelSpan();
    return static_cast<int64_t>(product / m_total_lines);
}

void file_scope_map::Layout()
{
    m_segment_start = -1;
    m_segment_end = -1;
    m_drag_width = 0;
    if (!m_active)
        return;
    const int left = m_inner.left;
    if (m_window_first >= 0) {
        const uint64_t first = std::min(static_cast<uint64_t>(m_window_first), m_total_lines);
        const uint64_t end = std::min(static_cast<uint64_t>(m_window_last) + 1, m_total_lines);
        m_segment_start = left + static_cast<int>(LineOffset(first));
        m_segment_end = std::max(left + static_cast<int>(LineOffset(end)), m_segment_start + 1);
    }
    const uint64_t span = std::min(m_window_size - 1, m_total_lines);
    m_drag_width = std::max(1, static_cast<int>(LineOffset(span)) + 1);
}

int64_t file_scope_map::PixelToLine(int x) const
{
    if (m_total_lines == 0)
        return -1;
    const int64_t last = static_cast<int64_t>(m_total_lines - 1);
    if (x == m_inner.right - 1)
        return last;
    const uint64_t offset = static_cast<uint64_t>(std::clamp(x - m_inner.left, 0, std::max(0, m_inner.width())));
    // Nearest whole number to offset * total / span, halves up, without rounding errors.
    const uint64_t span = PixelSpan();
    const wide_uint twice = static_cast<wide_uint>(2) * offset * m_total_lines + span;
    const wide_uint line = twice / (static_cast<wide_uint>(2) * span);
    return line > static_cast<wide_uint>(last) ? last : static_cast<int64_t>(line);
}

std::pair<int, int> file_scope_map::DragSegment(int x) const
{
    const int start = std::clamp(x, m_inner.left, std::max(m_inner.left, m_inner.right - 1));
    const int end = std::min(start + std::max(1, m_drag_width), m_inner.right);
    return {start, std::max(end, start + 1)};
}

scope_tooltip_lines file_scope_map::TooltipLines(int x, bool dragging, int drag_start) const
{
    if (m_total_lines == 0)
        return {};
    const int64_t last = static_cast<int64_t>(m_total_lines - 1);
    if (dragging) {
        const int64_t first = PixelToLine(drag_start);
        const uint64_t room = static_cast<uint64_t>(last - first);
        return {first, m_window_size - 1 >= room ? last : first + static_cast<int64_t>(m_window_size - 1)};
    }
    if (InSegment(x))
        return {m_window_first, m_window_last};
    return {PixelToLine(x), -1};
}

std::u16string FileSizeText(const std::u16string& label, uint64_t size)
{
    if (size == 0)
        return {};
    const char16_t* unit = u"B";
    if (size > 1023) {
        size /= 1024;
        unit = u"KB";
        if (size > 1023) {
            size /= 1024;
            unit = u"MB";
        }
    }
    return label + u": " + Decimal(size) + unit;
}

std::u16string JoinLinePreviews(const std::u16string& first, const std::u16string& second)
{
    return first + u"\r\n...\r\n...\r\n" + second;
}
