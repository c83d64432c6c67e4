#include "ui/log_list_delegate.h"

#include "ui/color_value.h"
#include "ui/log_list_model.h"
#include "ui/log_list_rules.h"
#include "work/file_view.h"

#include <QHeaderView>
#include <QPainter>
#include <QPalette>
#include <QTableView>

#include <algorithm>
#include <cstdlib>

namespace {

// A colour between a (weight 0) and b (weight 1).
QColor Blend(const QColor& a, const QColor& b, double weight)
{
    auto mix = [weight](int x, int y) { return static_cast<int>(x + (y - x) * weight + 0.5); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

// Draws the outline of the focused row's part in cell: top and bottom, and
// the outer ends in the first and last shown columns.
void DrawFocusOutline(QPainter& painter, const QRect& content, bool first, bool last, const QColor& color)
{
    painter.fillRect(QRect(content.left(), content.top(), content.width(), 1), color);
    painter.fillRect(QRect(content.left(), content.bottom(), content.width(), 1), color);
    if (first)
        painter.fillRect(QRect(content.left(), content.top(), 1, content.height()), color);
    if (last)
        painter.fillRect(QRect(content.right(), content.top(), 1, content.height()), color);
}

} // namespace

// How light a colour looks, 0 to 255 (green counts most, blue least).
static int Brightness(const QColor& c)
{
    return (2126 * c.red() + 7152 * c.green() + 722 * c.blue()) / 10000;
}

QColor ReadableListText(const QColor& back, const QColor& text)
{
    if (std::abs(Brightness(back) - Brightness(text)) >= 96)
        return text;
    return Brightness(back) >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

log_list_look LookFromPalette(const QPalette& palette, int32_t search_highlight)
{
    log_list_look look;
    look.system.button_text = ValueFromColor(palette.color(QPalette::ButtonText));
    look.system.window = ValueFromColor(palette.color(QPalette::Base));
    look.system.highlighted_text = ValueFromColor(palette.color(QPalette::HighlightedText));
    look.system.highlight = ValueFromColor(palette.color(QPalette::Highlight));
    look.system.button_shadow = ValueFromColor(palette.color(QPalette::Dark));
    look.system.list_text = ValueFromColor(palette.color(QPalette::Text));
    look.system.search_highlight = search_highlight;
    look.frame = palette.color(QPalette::Highlight);
    look.grid = Blend(palette.color(QPalette::Base), palette.color(QPalette::Text), 0.09);
    look.focus = palette.color(QPalette::Highlight);
    return look;
}

log_list_frame::log_list_frame(const CLogListModel& model, const tagHIGHLIGHT_STATE& highlight,
                               const log_list_look& look, const QFontMetrics& metrics, const frame_layout& where)
    : m_names(model.ColumnNames()), m_painter(highlight, look.system), m_plain(tagHIGHLIGHT_STATE{}, look.system),
      m_look(look), m_metrics(metrics), m_where(where)
{
    if (model.File() && !model.Suspended()) {
        m_shown.emplace(*model.File());
        m_rows = &m_shown->lines();
    }
}

log_list_frame::log_list_frame(cell_reader cells, const std::vector<std::u16string>& names, int leading,
                               const tagHIGHLIGHT_STATE& highlight, const log_list_look& look,
                               const QFontMetrics& metrics, const frame_layout& where)
    : m_cells(std::move(cells)), m_leading(std::max(leading, 0)), m_names(names), m_painter(highlight, look.system),
      m_plain(tagHIGHLIGHT_STATE{}, look.system), m_look(look), m_metrics(metrics), m_where(where)
{}

std::u16string_view log_list_frame::Cell(int row, int column) const
{
    if (m_cells)
        return m_cells(row, column);
    return m_rows ? CellView(*m_rows, row, column) : std::u16string_view();
}

bool log_list_frame::CutEnd(int row, int column) const
{
    return m_rows && column >= 0 && CutMarkOf(*m_rows, row).column == column;
}

tagCELL_COLORS log_list_frame::Colors(std::u16string_view text, int column, bool selected)
{
    if (column < m_leading)
        return m_plain.CellColors(text, {}, -1, selected, m_where.focused);
    const int parser_column = column - m_leading;
    const std::u16string_view name = static_cast<std::size_t>(parser_column) < m_names.size()
                                         ? std::u16string_view(m_names[static_cast<std::size_t>(parser_column)])
                                         : std::u16string_view();
    return m_painter.CellColors(text, name, parser_column, selected, m_where.focused);
}

log_list_frame::frame_layout FrameLayoutOf(const QTableView& view, int current_row)
{
    log_list_frame::frame_layout where;
    where.focused = view.hasFocus();
    where.current_row = current_row;
    const QHeaderView* header = view.horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical))
            continue;
        if (where.first_column < 0)
            where.first_column = logical;
        where.last_column = logical;
    }
    return where;
}

int CutMarkWidth(const QFontMetrics& metrics)
{
    return metrics.horizontalAdvance(QChar(0x2026)) + 6;
}

void DrawCutMark(QPainter& painter, const QRect& content, const QColor& tint, const QColor& text,
                 const QFontMetrics& metrics)
{
    const int width = std::min(CutMarkWidth(metrics), content.width());
    if (width <= 0)
        return;
    const QRect box(content.right() + 1 - width, content.top() + 2, width - 1, std::max(1, content.height() - 4));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawRoundedRect(box, 2, 2);
    painter.setPen(text);
    painter.drawText(box, Qt::AlignCenter, QString(QChar(0x2026)));
    painter.setBrush(Qt::NoBrush);
}

bool CellTextIsCut(std::u16string_view text, int width, const QFontMetrics& metrics)
{
    if (text.empty())
        return false;
    if (width <= 0 || text.size() > static_cast<std::size_t>(width) + 1)
        return true;
    const QString raw =
        QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
    return metrics.horizontalAdvance(raw) > width;
}

void DrawCellText(QPainter& painter, const QRect& rect, std::u16string_view text, const QFontMetrics& metrics)
{
    const int width = rect.width();
    if (text.empty() || width <= 0)
        return;
    // No glyph is narrower than a pixel, so characters past width + 1 are never visible.
    std::size_t shown = text.size();
    bool cut = false;
    if (shown > static_cast<std::size_t>(width) + 1) {
        shown = static_cast<std::size_t>(width) + 1;
        cut = true;
        if (QChar::isHighSurrogate(text[shown - 1]))
            --shown;
    }
    const QString raw =
        QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(shown));
    const QPoint origin(rect.left(), rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent());
    if (!cut && metrics.horizontalAdvance(raw) <= width)
        painter.drawText(origin, raw);
    else
        painter.drawText(origin, metrics.elidedText(raw, Qt::ElideRight, width));
}

CLogListDelegate::CLogListDelegate(frame_factory frame_source, QObject* parent)
    : QAbstractItemDelegate(parent), m_frame_source(std::move(frame_source))
{}

void CLogListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    std::unique_ptr<log_list_frame> own;
    log_list_frame* frame = m_frame;
    if (!frame && m_frame_source) {
        own = m_frame_source();
        frame = own.get();
    }
    if (!frame || !painter)
        return;
    const int row = index.row();
    const int column = index.column();
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const std::u16string_view text = frame->Cell(row, column);
    const tagCELL_COLORS colors = frame->Colors(text, column, selected);
    const log_list_look& look = frame->Look();
    const log_list_frame::frame_layout& where = frame->Where();

    const QRect& cell = option.rect;
    const QRect content(cell.left(), cell.top(), cell.width() - 1, cell.height() - 1);
    const QColor back = ColorFromValue(colors.back_color);
    painter->fillRect(content, back);
    const QColor grid = colors.back_color == look.system.window ? look.grid : back.darker(112);
    painter->fillRect(QRect(cell.right(), cell.top(), 1, cell.height()), grid);
    painter->fillRect(QRect(cell.left(), cell.bottom(), cell.width() - 1, 1), grid);

    const int margin = column == where.first_column ? kFirstColumnTextMargin : kColumnTextMargin;
    const QColor text_color = colors.text_color == look.system.list_text
                                  ? ReadableListText(back, ColorFromValue(colors.text_color))
                                  : ColorFromValue(colors.text_color);
    painter->setPen(text_color);
    painter->setFont(option.font);
    // A line shown cut: its last cell ends in the cut mark.
    const bool cut_end = frame->CutEnd(row, column);
    const int mark = cut_end ? CutMarkWidth(frame->Metrics()) : 0;
    DrawCellText(*painter, content.adjusted(margin, 0, -kColumnTextRightMargin - mark, 0), text, frame->Metrics());
    if (cut_end)
        DrawCutMark(*painter, content.adjusted(0, 0, -1, 0), Blend(back, look.frame, 0.35), text_color,
                    frame->Metrics());

    if (selected && colors.marked) {
        painter->setPen(look.frame);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(content.adjusted(0, 0, -1, -1));
    } else if (!selected && where.focused && row == where.current_row) {
        DrawFocusOutline(*painter, content, column == where.first_column, column == where.last_column, look.focus);
    }
}

QSize CLogListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    (void)index;
    return QSize(option.fontMetrics.averageCharWidth() * 12, option.fontMetrics.height() + 8);
}
