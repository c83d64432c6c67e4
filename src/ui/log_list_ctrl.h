// The list of one open file: a virtual table whose rows are the file's row
// source and whose columns are the parser's leaves (CLogListModel), painted
// by CLogListDelegate with the colour decision of the highlight rules.
//
// What the main window uses:
//   - SetFile, SetHighlightSources, SetSearchHighlightColor when the tab is made;
//   - SetColumnNames (or InsertColumn / SetColumn / DeleteColumn), SetRowCount
//     and FitColumns when columns are rebuilt;
//   - SetRowCount after every job and quick-filter change, then
//     ApplySelectionKind for the job's selection kind;
//   - SetRedraw(false) before posting a job that rewrites the window and
//     SetRedraw(true) when its view update arrives;
//   - SelectRow, InvertSelection, SelectAllRows, ClearSelectedRows,
//     SelectedCount, SelectedRows, SelectionMark, FindRow, CellText, ColumnName;
//   - the signals: SelectionChanged (toolbar and selected count),
//     WindowMoveRequested (a window move of d lines at the edges) and
//     ContextMenuRequested (the clicked cell for the list popup).
//
// The selection mark is the view's current index: the row the keyboard is
// on, from which FindRow searches.  Selection changes made many at a time
// (InvertSelection, SelectRow, the selection kinds) happen under a bulk
// change flag and notify once.
//
// Thread-safety: interface thread only.
#pragma once

#include "ui/log_list_rules.h"

#include <QPixmap>
#include <QTableView>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class file_view;
struct CSearchInfo;
class CHighlight;
class CLogListModel;
class CLogListDelegate;
class log_list_frame;

class CLogListCtrl : public QTableView {
    Q_OBJECT
public:
    explicit CLogListCtrl(QWidget* parent = nullptr);
    ~CLogListCtrl() override;

    // The file whose rows the list shows (not owned; null: none).  Resets the
    // rows to none; call SetRowCount afterwards.
    void SetFile(file_view* file);
    file_view* File() const;
    CLogListModel& Model() const { return *m_model; }

    // The file's highlight rules and search (not owned; null: none).  The
    // rules colour cells while the file's highlight flag is set.
    void SetHighlightSources(const CHighlight* rules, const CSearchInfo* search);
    // The background of search hits (the "search_highlight" setting, 0x00BBGGRR).
    void SetSearchHighlightColor(int32_t value);

    // Inserts column index (clamped to the column count) named name, 10 px
    // wider than the name's text.
    void InsertColumn(int index, const std::u16string& name);
    // Renames column index and sets its width as InsertColumn; false when
    // there is no such column.
    bool SetColumn(int index, const std::u16string& name);
    // Removes column index; false when there is no such column.
    bool DeleteColumn(int index);
    int ColumnCount() const;
    // The header text of column index; empty when there is no such column.
    std::u16string ColumnName(int index) const;
    // Makes the columns names: renames the columns there are, inserts the
    // missing ones and removes those beyond.  With the rows set afterwards,
    // FitColumns sizes them.
    void SetColumnNames(const std::vector<std::u16string>& names);
    // Sizes every column to fit its header and the texts of the rows in view
    // (at most kFitSampleRows of them, from the top of the view), each at most
    // kMaxFitWidth pixels wide.
    void FitColumns();

    // The text the list shows in a cell; empty for a row or column that does
    // not exist.
    std::u16string CellText(int row, int column) const;

    // Sets the row count from the file's row source without resetting the
    // list and without scrolling; the rows that stay keep their selection.
    // Repaints.  Returns the new count; notifies once when the selected count
    // changed.
    int SetRowCount();
    int RowCount() const;
    // The line-number column: the file's line number (from 1) of each row,
    // left of the columns.
    void SetLineNumbersVisible(bool on);
    bool LineNumbersVisible() const;
    // The file's line number of the selection mark's row; 0 without a mark
    // or while the numbers are not known (see CLogListModel::LineNumber).
    int64_t CurrentLineNumber() const;
    // Off: the list reads no rows (a job is rewriting them) and shows them
    // as they were painted last.  On: it paints them again at once.
    void SetRedraw(bool on);

    // Clears every row's selection, selects row, makes it the selection mark
    // and scrolls it into view; false (nothing changed) when there is no such row.
    bool SelectRow(int row);
    // Selects the rows that are not selected and clears the others, with one
    // notification: all rows when none is selected, none when all are.
    void InvertSelection();
    void SelectAllRows();
    void ClearSelectedRows();
    int64_t SelectedCount() const;
    // The selected rows as sorted, merged ranges.
    std::vector<row_range> SelectedRanges() const;
    // The selected rows in ascending order.
    std::vector<int> SelectedRows() const;
    bool IsRowSelected(int row) const;

    // The selection mark: the focused row, -1 without one.
    int SelectionMark() const;
    // Makes row the selection mark without changing the selection and scrolls
    // it into view; false when there is no such row.
    bool SetSelectionMark(int row);
    void ClearSelectionMark();

    // What the view update after a job does with the selection: 0 keeps it;
    // 1 and 2 clear it and put the mark on the first or the last row; 3
    // selects row (the last row when row is negative or beyond the last).
    // Nothing without rows.
    void ApplySelectionKind(int kind, int row);

    // The first row from the selection mark (the row after it, or before it
    // upward; from the first or the last row without a mark) with a cell that
    // matches pattern: in column, or in any column when column is negative.
    // The test is MatchText's, prepared once for the call.  -1 when none
    // matches, without rows or columns, or while redrawing is off.
    int FindRow(const std::u16string& pattern, bool upward, bool case_sensitive, bool use_regex, int column) const;

    // The cell under a point of the viewport: row and column, both -1 when
    // the point is on no row.
    struct cell_hit {
        int row = -1;
        int column = -1;
        bool operator==(const cell_hit&) const = default;
    };
    cell_hit HitTest(const QPoint& viewport_pos) const;

    // Rows that fit the viewport completely (at least 1).
    int RowsPerPage() const;
    int RowHeight() const;
    // Set while many rows change their selection at once.
    bool BulkChange() const { return m_bulk_change; }

    static constexpr int kFitSampleRows = 100;
    static constexpr int kMaxFitWidth = 720;

signals:
    // The selected rows changed (once per bulk change).
    void SelectionChanged();
    // The window should move by lines (negative: earlier lines).
    void WindowMoveRequested(int lines);
    // The popup menu is asked for at global_pos over a cell (-1, -1: none).
    void ContextMenuRequested(const QPoint& global_pos, int row, int column);

public:
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void keyboardSearch(const QString& search) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    class bulk_change;

    std::unique_ptr<log_list_frame> MakeFrame() const;
    void UpdateRowHeight();
    int ColumnWidthForName(const std::u16string& name) const;
    int TextMargin(int column) const;
    int CurrentColumn() const;
    void OnSelectionChanged();

    CLogListModel* m_model = nullptr;
    CLogListDelegate* m_delegate = nullptr;
    const CHighlight* m_rules = nullptr;
    const CSearchInfo* m_search = nullptr;
    int32_t m_search_highlight = 0x0000FFFF;
    bool m_bulk_change = false;
    bool m_bulk_changed = false;
    QPixmap m_frozen; // the rows as shown when redrawing was turned off
};
