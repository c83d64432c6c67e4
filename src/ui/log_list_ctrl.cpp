#include "ui/log_list_ctrl.h"

#include "highlight/cell_colors.h"
#include "search/search_info.h"
#include "ui/log_list_delegate.h"
#include "ui/log_list_model.h"
#include "ui/ui_text.h"
#include "work/file_view.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>

namespace {

// Rows of padding added to the font's height.
constexpr int kRowPadding = 8;
// The width added to a column name's text width.
constexpr int kColumnNamePadding = 10;
// Characters of a cell measured when fitting a column.
constexpr std::size_t kFitMeasureChars = 512;
// Characters of a cell shown in its tooltip.
constexpr std::size_t kToolTipChars = 2000;

edge_key EdgeKey(int key)
{
    switch (key) {
    case Qt::Key_Up: return edge_key::up;
    case Qt::Key_Down: return edge_key::down;
    case Qt::Key_PageUp: return edge_key::page_up;
    case Qt::Key_PageDown: return edge_key::page_down;
    default: return edge_key::other;
    }
}

QString RawString(std::u16string_view text)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

} // namespace

// Marks a stretch of selection changes that notify once, at its end, when
// anything changed.
class CLogListCtrl::bulk_change {
public:
    explicit bulk_change(CLogListCtrl& list) : m_list(list), m_outer(list.m_bulk_change)
    {
        if (!m_outer) {
            m_list.m_bulk_change = true;
            m_list.m_bulk_changed = false;
        }
    }
    ~bulk_change()
    {
        if (m_outer)
            return;
        m_list.m_bulk_change = false;
        if (m_list.m_bulk_changed) {
            m_list.m_bulk_changed = false;
            emit m_list.SelectionChanged();
        }
    }
    bulk_change(const bulk_change&) = delete;
    bulk_change& operator=(const bulk_change&) = delete;

private:
    CLogListCtrl& m_list;
    bool m_outer;
};

CLogListCtrl::CLogListCtrl(QWidget* parent) : QTableView(parent)
{
    m_model = new CLogListModel(this);
    m_delegate = new CLogListDelegate([this] { return MakeFrame(); }, this);
    setModel(m_model);
    setItemDelegate(m_delegate);

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(false); // the delegate draws a softer grid of its own
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setAlternatingRowColors(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);

    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(kColumnNamePadding); // a one-letter name keeps its narrow column

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    UpdateRowHeight();

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CLogListCtrl::OnSelectionChanged);
}

CLogListCtrl::~CLogListCtrl() = default;

void CLogListCtrl::SetFile(file_view* file)
{
    bulk_change bulk(*this);
    m_model->SetFile(file);
}

file_view* CLogListCtrl::File() const
{
    return m_model->File();
}

void CLogListCtrl::SetHighlightSources(const CHighlight* rules, const CSearchInfo* search)
{
    m_rules = rules;
    m_search = search;
    viewport()->update();
}

void CLogListCtrl::SetSearchHighlightColor(int32_t value)
{
    m_search_highlight = value;
    viewport()->update();
}

int CLogListCtrl::ColumnWidthForName(const std::u16string& name) const
{
    return kColumnNamePadding + horizontalHeader()->fontMetrics().horizontalAdvance(ToQString(name));
}

void CLogListCtrl::InsertColumn(int index, const std::u16string& name)
{
    index = std::clamp(index, 0, ColumnCount());
    m_model->InsertColumn(index, name);
    horizontalHeader()->resizeSection(index, ColumnWidthForName(name));
}

bool CLogListCtrl::SetColumn(int index, const std::u16string& name)
{
    if (!m_model->SetColumn(index, name))
        return false;
    horizontalHeader()->resizeSection(index, ColumnWidthForName(name));
    return true;
}

bool CLogListCtrl::DeleteColumn(int index)
{
    return m_model->DeleteColumn(index);
}

int CLogListCtrl::ColumnCount() const
{
    return m_model->ColumnCount();
}

std::u16string CLogListCtrl::ColumnName(int index) const
{
    return m_model->ColumnName(index);
}

void CLogListCtrl::SetColumnNames(const std::vector<std::u16string>& names)
{
    const int count = static_cast<int>(names.size());
    for (int i = 0; i < count; ++i) {
        const std::u16string& name = names[static_cast<std::size_t>(i)];
        if (i < ColumnCount())
            SetColumn(i, name);
        else
            InsertColumn(i, name);
    }
    while (ColumnCount() > count)
        DeleteColumn(ColumnCount() - 1);
}

int CLogListCtrl::TextMargin(int column) const
{
    return column == horizontalHeader()->logicalIndex(0) ? kFirstColumnTextMargin : kColumnTextMargin;
}

void CLogListCtrl::FitColumns()
{
    const int columns = ColumnCount();
    const int rows = RowCount();
    int first = rowAt(0);
    if (first < 0)
        first = 0;
    int last = rowAt(viewport()->height() - 1);
    if (last < 0)
        last = rows - 1;
    last = std::min({last, rows - 1, first + kFitSampleRows - 1});

    QHeaderView* header = horizontalHeader();
    const QFontMetrics metrics = fontMetrics();
    std::optional<file_view::rows> shown;
    const std::vector<log_line*>* source = nullptr;
    if (File() && !m_model->Suspended() && last >= first) {
        shown.emplace(*File());
        source = &shown->lines();
    }
    for (int column = 0; column < columns; ++column) {
        int width = std::max(header->sectionSizeHint(column), ColumnWidthForName(ColumnName(column)));
        const int padding = TextMargin(column) + kColumnTextRightMargin + 1;
        for (int row = first; source && row <= last && width < kMaxFitWidth; ++row) {
            std::u16string_view text = CellView(*source, row, column);
            text = text.substr(0, std::min(text.size(), kFitMeasureChars));
            if (!text.empty())
                width = std::max(width, padding + metrics.horizontalAdvance(RawString(text)));
        }
        header->resizeSection(column, std::min(width, kMaxFitWidth));
    }
}

std::u16string CLogListCtrl::CellText(int row, int column) const
{
    return m_model->CellText(row, column);
}

void CLogListCtrl::SetLineNumbersVisible(bool on)
{
    verticalHeader()->setVisible(on);
    updateGeometries();
}

bool CLogListCtrl::LineNumbersVisible() const
{
    return !verticalHeader()->isHidden();
}

int64_t CLogListCtrl::CurrentLineNumber() const
{
    return m_model->LineNumber(SelectionMark());
}

int CLogListCtrl::SetRowCount()
{
    const int64_t selected_before = SelectedCount();
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    int count = 0;
    {
        bulk_change bulk(*this);
        const bool auto_scroll = hasAutoScroll();
        setAutoScroll(false);
        count = m_model->SetRowCount();
        setAutoScroll(auto_scroll);
        updateGeometries(); // the scroll ranges of the new count, before the old position is put back
        verticalScrollBar()->setValue(top);
        horizontalScrollBar()->setValue(left);
        m_bulk_changed = SelectedCount() != selected_before;
    }
    viewport()->update();
    return count;
}

int CLogListCtrl::RowCount() const
{
    return m_model->RowCount();
}

void CLogListCtrl::SetRedraw(bool on)
{
    // While a job rewrites the rows the list cannot read them; whatever
    // asks it to paint meanwhile (an expose, a focus change) gets the rows
    // as they were shown last, never blank cells.
    if (!on && !m_model->Suspended())
        m_frozen = viewport()->grab();
    else if (on)
        m_frozen = QPixmap();
    m_model->SetSuspended(!on);
    setUpdatesEnabled(on);
    if (on)
        viewport()->update();
}

int CLogListCtrl::CurrentColumn() const
{
    const QModelIndex current = currentIndex();
    if (current.isValid())
        return current.column();
    const int leftmost = columnAt(0);
    return leftmost >= 0 ? leftmost : horizontalHeader()->logicalIndex(0);
}

bool CLogListCtrl::SelectRow(int row)
{
    if (row < 0 || row >= RowCount() || ColumnCount() == 0)
        return false;
    bulk_change bulk(*this);
    selectionModel()->setCurrentIndex(m_model->index(row, CurrentColumn()),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(currentIndex());
    return true;
}

void CLogListCtrl::InvertSelection()
{
    const int rows = RowCount();
    const int columns = ColumnCount();
    if (rows == 0 || columns == 0)
        return;
    const std::vector<row_range> selected = SelectedRanges();
    const int64_t count = CountRows(selected);
    bulk_change bulk(*this);
    if (count == 0) {
        selectAll();
    } else if (count == rows) {
        clearSelection();
    } else {
        QItemSelection inverted;
        for (const row_range& range : ComplementRowRanges(selected, rows))
            inverted.select(m_model->index(range.first, 0), m_model->index(range.last, columns - 1));
        selectionModel()->select(inverted, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void CLogListCtrl::SelectAllRows()
{
    bulk_change bulk(*this);
    selectAll();
}

void CLogListCtrl::ClearSelectedRows()
{
    bulk_change bulk(*this);
    clearSelection();
}

std::vector<row_range> CLogListCtrl::SelectedRanges() const
{
    std::vector<row_range> ranges;
    const QItemSelection selection = selectionModel()->selection();
    ranges.reserve(static_cast<std::size_t>(selection.size()));
    for (const QItemSelectionRange& range : selection)
        ranges.push_back({range.top(), range.bottom()});
    return MergeRowRanges(std::move(ranges), RowCount());
}

int64_t CLogListCtrl::SelectedCount() const
{
    return CountRows(SelectedRanges());
}

std::vector<int> CLogListCtrl::SelectedRows() const
{
    std::vector<int> rows;
    const std::vector<row_range> ranges = SelectedRanges();
    rows.reserve(static_cast<std::size_t>(CountRows(ranges)));
    for (const row_range& range : ranges)
        for (int row = range.first; row <= range.last; ++row)
            rows.push_back(row);
    return rows;
}

bool CLogListCtrl::IsRowSelected(int row) const
{
    for (const row_range& range : SelectedRanges())
        if (row >= range.first && row <= range.last)
            return true;
    return false;
}

int CLogListCtrl::SelectionMark() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool CLogListCtrl::SetSelectionMark(int row)
{
    if (row < 0 || row >= RowCount() || ColumnCount() == 0)
        return false;
    selectionModel()->setCurrentIndex(m_model->index(row, CurrentColumn()), QItemSelectionModel::NoUpdate);
    scrollTo(currentIndex());
    return true;
}

void CLogListCtrl::ClearSelectionMark()
{
    selectionModel()->clearCurrentIndex();
}

void CLogListCtrl::ApplySelectionKind(int kind, int row)
{
    const int rows = RowCount();
    if (rows == 0 || ColumnCount() == 0)
        return;
    bulk_change bulk(*this);
    switch (kind) {
    case 1:
    case 2:
        clearSelection();
        SetSelectionMark(kind == 1 ? 0 : rows - 1);
        break;
    case 3: SelectRow(row < 0 || row >= rows ? rows - 1 : row); break;
    default: break;
    }
}

int CLogListCtrl::FindRow(const std::u16string& pattern, bool upward, bool case_sensitive, bool use_regex,
                          int column) const
{
    const int rows = RowCount();
    const int columns = ColumnCount();
    if (rows == 0 || columns == 0 || !File() || m_model->Suspended())
        return -1;
    const int mark = SelectionMark();
    const int step = upward ? -1 : 1;
    int row = mark >= 0 ? mark + step : (upward ? rows - 1 : 0);
    if (row < 0 || row >= rows)
        return -1;
    search_matcher matcher(pattern, case_sensitive, use_regex);
    const file_view::rows shown = File()->read_rows();
    const std::vector<log_line*>& source = shown.lines();
    for (; row >= 0 && row < rows; row += step) {
        if (column >= 0) {
            if (matcher.Matches(CellView(source, row, column)))
                return row;
            continue;
        }
        for (int c = 0; c < columns; ++c)
            if (matcher.Matches(CellView(source, row, c)))
                return row;
    }
    return -1;
}

CLogListCtrl::cell_hit CLogListCtrl::HitTest(const QPoint& viewport_pos) const
{
    if (!viewport()->rect().contains(viewport_pos))
        return {};
    const int row = rowAt(viewport_pos.y());
    const int column = columnAt(viewport_pos.x());
    if (row < 0 || row >= RowCount())
        return {};
    return {row, column};
}

int CLogListCtrl::RowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

int CLogListCtrl::RowsPerPage() const
{
    return std::max(1, viewport()->height() / std::max(1, RowHeight()));
}

void CLogListCtrl::UpdateRowHeight()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
}

std::unique_ptr<log_list_frame> CLogListCtrl::MakeFrame() const
{
    const log_list_frame::frame_layout where = FrameLayoutOf(*this, SelectionMark());
    const file_view* file = File();
    const tagHIGHLIGHT_STATE highlight{m_search, m_rules, file && file->highlight_enabled() != 0};
    return std::make_unique<log_list_frame>(*m_model, highlight, LookFromPalette(palette(), m_search_highlight),
                                            fontMetrics(), where);
}

void CLogListCtrl::paintEvent(QPaintEvent* event)
{
    if (m_model->Suspended() && !m_frozen.isNull()) {
        QPainter painter(viewport());
        painter.fillRect(event->rect(), palette().base());
        painter.drawPixmap(0, 0, m_frozen);
        return;
    }
    // One frame for the whole page: the rows are read and the colour
    // decision prepared once, not per cell.
    const std::unique_ptr<log_list_frame> frame = MakeFrame();
    m_delegate->SetFrame(frame.get());
    QTableView::paintEvent(event);
    m_delegate->SetFrame(nullptr);
}

void CLogListCtrl::keyPressEvent(QKeyEvent* event)
{
    const edge_key key = EdgeKey(event->key());
    if (key != edge_key::other) {
        const int lines = WindowMoveDistance(key, SelectionMark(), RowCount(), RowsPerPage());
        if (lines != 0) {
            event->accept();
            emit WindowMoveRequested(lines);
            return;
        }
    }
    if (event->matches(QKeySequence::Copy)) {
        // Copying rows is the main window's command, not a copy of one cell.
        event->ignore();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        QScrollBar* bar = horizontalScrollBar();
        const int step = std::max(bar->singleStep(), fontMetrics().averageCharWidth() * 4);
        bar->setValue(bar->value() + (event->key() == Qt::Key_Left ? -step : step));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QModelIndex CLogListCtrl::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Home and End go to the first and the last row, as in a list.
    const int rows = RowCount();
    if ((action == MoveHome || action == MoveEnd) && rows > 0 && ColumnCount() > 0)
        return m_model->index(action == MoveHome ? 0 : rows - 1, CurrentColumn());
    return QTableView::moveCursor(action, modifiers);
}

void CLogListCtrl::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    // Rows scroll into view vertically only: the horizontal position is the user's.
    QScrollBar* bar = horizontalScrollBar();
    const int left = bar->value();
    QTableView::scrollTo(index, hint);
    bar->setValue(left);
}

void CLogListCtrl::keyboardSearch(const QString& search)
{
    // Typing does not jump to rows: the list has no sorted first column to search.
    (void)search;
}

void CLogListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    const bool by_mouse = event->reason() == QContextMenuEvent::Mouse;
    const QPoint global = by_mouse ? event->globalPos() : QCursor::pos();
    const QPoint local = viewport()->mapFromGlobal(global);
    const cell_hit hit = HitTest(local);
    QPoint at = global;
    if (!by_mouse && !viewport()->rect().contains(local)) {
        // The menu key with the pointer elsewhere: open at the focused row.
        const QModelIndex current = currentIndex();
        const QRect rect = current.isValid() ? visualRect(current) : QRect();
        at = viewport()->mapToGlobal(rect.isValid() ? rect.bottomLeft() : QPoint(0, 0));
    }
    event->accept();
    emit ContextMenuRequested(at, hit.row, hit.column);
}

void CLogListCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        UpdateRowHeight();
    QTableView::changeEvent(event);
}

void CLogListCtrl::focusInEvent(QFocusEvent* event)
{
    // The view would put the current index on the first row when the list
    // gains the focus without one; the selection mark stays as it was, so
    // that a search without a mark still starts at the first row.
    const bool had_mark = currentIndex().isValid();
    QTableView::focusInEvent(event);
    if (!had_mark && currentIndex().isValid())
        selectionModel()->clearCurrentIndex();
    viewport()->update(); // selected rows change colour with the focus
}

void CLogListCtrl::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

bool CLogListCtrl::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    // A tooltip shows the whole text of a cell that is cut, and, over a line
    // shown cut, how long the line is.
    auto* help = static_cast<QHelpEvent*>(event);
    const cell_hit hit = HitTest(help->pos());
    std::u16string text = hit.column >= 0 ? CellText(hit.row, hit.column) : std::u16string();
    const QRect rect = hit.column >= 0 ? visualRect(m_model->index(hit.row, hit.column)) : QRect();
    const cut_mark cut = hit.column >= 0 ? m_model->CutMark(hit.row) : cut_mark{};
    const int mark = cut.column == hit.column && cut.column >= 0 ? CutMarkWidth(fontMetrics()) : 0;
    const int width = rect.width() - 1 - TextMargin(hit.column) - kColumnTextRightMargin - mark;
    const bool text_cut = !text.empty() && CellTextIsCut(text, width, fontMetrics());
    if (!text_cut && cut.file_bytes == 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QString tip;
    if (cut.file_bytes > 0) {
        const QLocale locale;
        tip = Text(u"IDS_LOGLIST_TIP_CUT_LINE");
        for (const QString& number : {locale.toString(static_cast<qulonglong>(cut.file_bytes)),
                                      locale.toString(static_cast<qulonglong>(cut.shown))}) {
            if (const qsizetype at = tip.indexOf(QStringLiteral("%s")); at >= 0)
                tip.replace(at, 2, number);
        }
    }
    if (text_cut) {
        if (text.size() > kToolTipChars)
            text = text.substr(0, kToolTipChars) + u"\u2026";
        if (!tip.isEmpty())
            tip += QStringLiteral("\n\n");
        tip += ToQString(text);
    }
    QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(tip, Qt::WhiteSpaceNormal), viewport(), rect);
    return true;
}

void CLogListCtrl::OnSelectionChanged()
{
    if (m_bulk_change)
        m_bulk_changed = true;
    else
        emit SelectionChanged();
}
