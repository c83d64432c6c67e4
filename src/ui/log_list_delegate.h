// How a log list paints its cells.  One log_list_frame lives for one paint of
// the list: it reads the rows once (under the window rule) and prepares the
// colour decision once, so that every cell of the page shares them; the
// delegate draws each cell with it.
//
// A cell: its background in the decided back colour, a grid line along its
// right and bottom edges, its text on one line, vertically centred, cut with
// an ellipsis at the right, starting 6 px from the cell's left edge (2 px in
// the first column); in a selected row a marked cell (a search hit or a rule)
// gets a 1-pixel frame in the palette's highlight colour just inside it.
//
// Thread-safety: interface thread only.
#pragma once

#include "highlight/cell_colors.h"
#include "work/file_view.h"

#include <QAbstractItemDelegate>
#include <QColor>
#include <QFontMetrics>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CLogListModel;
class QPainter;
class QPalette;
class QTableView;

// Left text margins: 2 px in the first column, 6 px in the others.
inline constexpr int kFirstColumnTextMargin = 2;
inline constexpr int kColumnTextMargin = 6;
// The space kept free right of a cell's text.
inline constexpr int kColumnTextRightMargin = 4;

// The colours a list paints with, taken from its palette.
struct log_list_look {
    tagSYSTEM_COLORS system; // the colour decision's starting colours
    QColor frame;            // the frame of marked cells in selected rows (the palette's highlight)
    QColor grid;             // grid lines between normal cells
    QColor focus;            // the outline of the focused row when it is not selected
};

// The look of a list with palette; search_highlight is the "search_highlight"
// setting (0x00BBGGRR).
log_list_look LookFromPalette(const QPalette& palette, int32_t search_highlight);

// The colour for the palette's list text over back: the text itself while
// their brightness (0-255, green weighing most) differs by at least 96, else black or white, whichever
// differs more.  (A light text of a dark theme over the yellow of a search
// hit stays readable; colours a rule names are drawn as they are.)
QColor ReadableListText(const QColor& back, const QColor& text);

// What one paint of a list shares between its cells.
class log_list_frame {
public:
    struct frame_layout {
        bool focused = false;  // the list has the keyboard focus
        int current_row = -1;  // the focused row (the selection mark), -1 without one
        int first_column = -1; // logical index of the leftmost shown column
        int last_column = -1;  // logical index of the rightmost shown column
    };

    // The cells of a list that shows something else than the window's rows:
    // the text of a shown cell, valid until the next call.
    using cell_reader = std::function<std::u16string_view(int row, int column)>;

    // Reads the rows of model's file (none without a file or while the model
    // is suspended) and prepares the colour decision for highlight.
    log_list_frame(const CLogListModel& model, const tagHIGHLIGHT_STATE& highlight, const log_list_look& look,
                   const QFontMetrics& metrics, const frame_layout& where);
    // A list whose cells cells reads: its shown column c is the parser's
    // column c - leading (names[c - leading]); the leading columns (a line
    // number) keep the normal colours, as the main list's row numbers do.
    log_list_frame(cell_reader cells, const std::vector<std::u16string>& names, int leading,
                   const tagHIGHLIGHT_STATE& highlight, const log_list_look& look, const QFontMetrics& metrics,
                   const frame_layout& where);
    log_list_frame(const log_list_frame&) = delete;
    log_list_frame& operator=(const log_list_frame&) = delete;

    // The characters of a cell (see CellView); empty when it does not exist.
    std::u16string_view Cell(int row, int column) const;
    // Whether the cell shows where the text of a line shown cut ends.
    bool CutEnd(int row, int column) const;
    // The colour decision for a cell of column.
    tagCELL_COLORS Colors(std::u16string_view text, int column, bool selected);

    const log_list_look& Look() const { return m_look; }
    const QFontMetrics& Metrics() const { return m_metrics; }
    const frame_layout& Where() const { return m_where; }

private:
    std::optional<file_view::rows> m_shown;
    const std::vector<log_line*>* m_rows = nullptr;
    cell_reader m_cells;
    int m_leading = 0;
    const std::vector<std::u16string>& m_names;
    cell_painter m_painter;
    cell_painter m_plain; // the leading columns: no rule, no search hit
    log_list_look m_look;
    QFontMetrics m_metrics;
    frame_layout m_where;
};

// Where view shows its columns (first and last shown, by logical index),
// whether it has the focus, and current_row as its focused row.
log_list_frame::frame_layout FrameLayoutOf(const QTableView& view, int current_row);

// Draws text in rect (single line, vertically centred, cut at the right with
// an ellipsis when it does not fit).  A text that fits is drawn straight from
// its own characters (no copy); only a cut text is copied, into the elided
// string.  Only the first characters that can be visible are measured, so a
// 65534-character cell costs no more than a short one.
void DrawCellText(QPainter& painter, const QRect& rect, std::u16string_view text, const QFontMetrics& metrics);

// The mark at the right end of the cell that shows where a cut line's text
// ends: an ellipsis on a tinted box, so that it reads as "the line goes on"
// and not as a text too wide for its cell.  Returns the width it takes.
int CutMarkWidth(const QFontMetrics& metrics);
void DrawCutMark(QPainter& painter, const QRect& content, const QColor& tint, const QColor& text,
                 const QFontMetrics& metrics);

// True when text needs more than width pixels (the cell shows it cut).
bool CellTextIsCut(std::u16string_view text, int width, const QFontMetrics& metrics);

class CLogListDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    // frame_source builds a frame for a paint that happens outside the
    // list's own paint (a drag image, a render to a pixmap).
    using frame_factory = std::function<std::unique_ptr<log_list_frame>()>;
    explicit CLogListDelegate(frame_factory frame_source, QObject* parent = nullptr);

    // The frame of the paint in progress; null when none runs.
    void SetFrame(log_list_frame* frame) { m_frame = frame; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    frame_factory m_frame_source;
    log_list_frame* m_frame = nullptr;
};
