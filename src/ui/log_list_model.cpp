#include "ui/log_list_model.h"

#include "ui/log_list_rules.h"
#include "ui/ui_text.h"
#include "work/file_view.h"

#include <algorithm>
#include <climits>

CLogListModel::CLogListModel(QObject* parent) : QAbstractTableModel(parent)
{}

void CLogListModel::SetFile(file_view* file)
{
    beginResetModel();
    m_file = file;
    m_row_count = 0;
    endResetModel();
}

void CLogListModel::InsertColumn(int index, const std::u16string& name)
{
    index = std::clamp(index, 0, ColumnCount());
    beginInsertColumns(QModelIndex(), index, index);
    m_columns.insert(m_columns.begin() + index, name);
    endInsertColumns();
}

bool CLogListModel::SetColumn(int index, const std::u16string& name)
{
    if (index < 0 || index >= ColumnCount())
        return false;
    m_columns[static_cast<std::size_t>(index)] = name;
    emit headerDataChanged(Qt::Horizontal, index, index);
    return true;
}

bool CLogListModel::DeleteColumn(int index)
{
    if (index < 0 || index >= ColumnCount())
        return false;
    beginRemoveColumns(QModelIndex(), index, index);
    m_columns.erase(m_columns.begin() + index);
    endRemoveColumns();
    return true;
}

std::u16string CLogListModel::ColumnName(int index) const
{
    if (index < 0 || index >= ColumnCount())
        return {};
    return m_columns[static_cast<std::size_t>(index)];
}

int CLogListModel::SetRowCount()
{
    const std::size_t source = m_file ? m_file->row_count() : 0;
    const int count = static_cast<int>(std::min<std::size_t>(source, INT_MAX));
    const int old = m_row_count;
    if (count > old) {
        beginInsertRows(QModelIndex(), old, count - 1);
        m_row_count = count;
        endInsertRows();
    } else if (count < old) {
        beginRemoveRows(QModelIndex(), count, old - 1);
        m_row_count = count;
        endRemoveRows();
    }
    const int kept = std::min(old, count);
    if (kept > 0 && ColumnCount() > 0)
        emit dataChanged(index(0, 0), index(kept - 1, ColumnCount() - 1), {Qt::DisplayRole});
    if (kept > 0)
        emit headerDataChanged(Qt::Vertical, 0, kept - 1); // the rows may show other lines now
    return m_row_count;
}

void CLogListModel::SetSuspended(bool suspended)
{
    m_suspended = suspended;
}

std::u16string CLogListModel::CellText(int row, int column) const
{
    if (!m_file || m_suspended || row < 0 || row >= m_row_count || column < 0 || column >= ColumnCount())
        return {};
    const file_view::rows shown = m_file->read_rows();
    return std::u16string(CellView(shown.lines(), row, column));
}

cut_mark CLogListModel::CutMark(int row) const
{
    if (!m_file || m_suspended || row < 0 || row >= m_row_count)
        return {};
    const file_view::rows shown = m_file->read_rows();
    return CutMarkOf(shown.lines(), row);
}

int CLogListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_row_count;
}

int CLogListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant CLogListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return ToQString(CellText(index.row(), index.column()));
}

QVariant CLogListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < ColumnCount()
                   ? QVariant(ToQString(m_columns[static_cast<std::size_t>(section)]))
                   : QVariant();
    const int64_t line = LineNumber(section);
    return line > 0 ? QVariant(static_cast<qlonglong>(line)) : QVariant(QString());
}

int64_t CLogListModel::LineNumber(int row) const
{
    if (!m_file || m_suspended || row < 0 || row >= m_row_count || !m_file->line_numbers_final())
        return 0;
    const int64_t line = m_file->read_rows().line_number(static_cast<std::size_t>(row));
    return line >= 0 ? line + 1 : 0;
}

Qt::ItemFlags CLogListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
