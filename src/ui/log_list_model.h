// The cells of one file's list as a Qt table model.  The model owns no row
// data: its rows are the file's row source (the quick-filter result, else the
// filter result, else every parsed line) and its columns are the parser's
// leaves.  It keeps only the column names and the row count last set.
//
// The lifetime rule for cell characters: CellView answers point into the
// parsed lines themselves.  They stay valid while the reader they were read
// through lives and no job of the file runs, which is why a list is
// suspended (SetSuspended) from the moment a job that rewrites its window is
// posted until the view is updated after it.  data() copies, so its answers
// live on their own.
//
// Thread-safety: interface thread only.
#pragma once

#include "ui/log_list_rules.h"

#include <QAbstractTableModel>

#include <cstdint>

#include <string>
#include <string_view>
#include <vector>

class file_view;

class CLogListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CLogListModel(QObject* parent = nullptr);

    // The file whose rows the model shows (not owned); null shows no rows.
    // Resets the model to zero rows; call SetRowCount afterwards.
    void SetFile(file_view* file);
    file_view* File() const { return m_file; }

    // Inserts a column named name before index (clamped to the column count).
    void InsertColumn(int index, const std::u16string& name);
    // Renames column index; false when there is no such column.
    bool SetColumn(int index, const std::u16string& name);
    // Removes column index; false when there is no such column.
    bool DeleteColumn(int index);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    // The name of column index; empty when there is no such column.
    std::u16string ColumnName(int index) const;
    const std::vector<std::u16string>& ColumnNames() const { return m_columns; }

    // Makes the row count the size of the file's row source (0 without a
    // file): rows are added or removed at the end only and the rows that stay
    // are reported changed, so the selection and the scroll position of the
    // rows that stay are kept.  Returns the new count.
    int SetRowCount();
    int RowCount() const { return m_row_count; }

    // While suspended, data() answers nothing and the list paints no cells:
    // a job may be rewriting the window.
    void SetSuspended(bool suspended);
    bool Suspended() const { return m_suspended; }

    // A copy of the text the list shows in a cell (at most kMaxCellText
    // characters); empty for a row or column that does not exist, without a
    // file or while suspended.
    std::u16string CellText(int row, int column) const;
    // How row's line is marked when it is shown cut (see CutMarkOf); a whole
    // line, a row that does not exist, no file or a suspended model: none.
    cut_mark CutMark(int row) const;
    // The file's line number (from 1) of the line row shows; 0 for a row
    // that does not exist, without a file, while suspended, and while the
    // index's numbers are not the file's yet (a tail-first file still being
    // indexed towards its start).
    int64_t LineNumber(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // Qt::DisplayRole and Qt::AccessibleTextRole: the cell text; nothing else.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Horizontal Qt::DisplayRole: the column name; vertical: the file's line
    // number (LineNumber; empty while it is not known).
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    file_view* m_file = nullptr;
    std::vector<std::u16string> m_columns;
    int m_row_count = 0;
    bool m_suspended = false;
};
