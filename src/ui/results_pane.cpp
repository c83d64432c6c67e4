#include "ui/results_pane.h"

#include "ui/accelerators.h"
#include "ui/log_list_delegate.h"
#include "ui/ui_text.h"
#include "work/file_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

std::u16string Grouped(uint64_t n)
{
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
        n /= 10;
    } while (n > 0);
    for (std::size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, 1, u',');
    return digits;
}

std::u16string Ascii(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

std::u16string SizeText(int64_t bytes)
{
    if (bytes < 0)
        bytes = 0;
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return Grouped(static_cast<uint64_t>(bytes)) + u" B";
    // Tenths of the unit, rounded, in integers (no locale, no float).
    uint64_t unit = 1024;
    int u = 0;
    while (u < 3 && static_cast<uint64_t>(bytes) >= unit * 1024 - unit / 20) {
        unit *= 1024;
        ++u;
    }
    const uint64_t tenths = (static_cast<uint64_t>(bytes) * 10 + unit / 2) / unit;
    return Grouped(tenths / 10) + u"." + static_cast<char16_t>(u'0' + tenths % 10) + u" " + Ascii(kUnits[u]);
}

} // namespace

std::u16string ResultsCountText(uint64_t count, int64_t file_bytes, int percent)
{
    percent = std::clamp(percent, 0, 100);
    std::u16string format = FromQString(Text(u"IDS_RESULTS_COUNT"));
    if (format.empty())
        format = u"%s matches in %s, %d %%";
    // The texts take the conversions in order: %s, %s, %d; %% is a "%".
    const std::u16string parts[] = {Grouped(count), SizeText(file_bytes), Ascii(std::to_string(percent))};
    std::u16string text;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char16_t c = format[i];
        const char16_t after = i + 1 < format.size() ? format[i + 1] : u'\0';
        if (c == u'%' && after == u'%') {
            text.push_back(u'%');
            ++i;
        } else if (c == u'%' && (after == u's' || after == u'd') && next < std::size(parts)) {
            text += parts[next++];
            ++i;
        } else {
            text.push_back(c);
        }
    }
    return text;
}

// ---- model ------------------------------------------------------------------

void CResultsModel::SetFile(file_view* file)
{
    beginResetModel();
    m_file = file;
    m_rows = 0;
    m_cached_row = -1;
    endResetModel();
}

void CResultsModel::SetColumnNames(std::vector<std::u16string> names)
{
    beginResetModel();
    m_columns = std::move(names);
    m_cached_row = -1;
    endResetModel();
}

int CResultsModel::SyncRows()
{
    const uint64_t published = m_file ? m_file->results().size() : 0;
    const int count = static_cast<int>(std::min<uint64_t>(published, INT_MAX));
    if (count > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, count - 1);
        m_rows = count;
        endInsertRows();
    } else if (count < m_rows) {
        // A new walk started from the file's start.
        beginResetModel();
        m_rows = count;
        m_cached_row = -1;
        endResetModel();
    }
    return m_rows;
}

int64_t CResultsModel::LineOfRow(int row) const
{
    if (!m_file || row < 0 || row >= m_rows)
        return -1;
    return static_cast<int64_t>(m_file->results().at(static_cast<uint64_t>(row)));
}

int CResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int CResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size()) + 1;
}

std::u16string_view CResultsModel::CellView(int row, int column) const
{
    const int64_t line = LineOfRow(row);
    if (line < 0 || column < 0)
        return {};
    if (m_cached_row != row) {
        m_cached_row = row;
        const std::string number = std::to_string(line + 1);
        m_cached_number.assign(number.begin(), number.end());
        if (!m_file->line_cells(static_cast<uint64_t>(line), m_cached_cells))
            m_cached_cells.clear();
    }
    if (column == 0)
        return m_cached_number;
    const std::size_t cell = static_cast<std::size_t>(column - 1);
    return cell < m_cached_cells.size() ? std::u16string_view(m_cached_cells[cell]) : std::u16string_view();
}

QVariant CResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    if (LineOfRow(index.row()) < 0)
        return {};
    const std::u16string_view cell = CellView(index.row(), index.column());
    return QString(reinterpret_cast<const QChar*>(cell.data()), static_cast<qsizetype>(cell.size()));
}

QVariant CResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    if (section == 0)
        return Text(u"IDS_RESULTS_LINE");
    const std::size_t column = static_cast<std::size_t>(section - 1);
    return column < m_columns.size() ? ToQString(m_columns[column]) : QVariant();
}

// ---- list -------------------------------------------------------------------

CResultsList::CResultsList(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setShowGrid(false);
    setProperty(kKeepsFindKeys, true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setStretchLastSection(true);
    m_delegate = new CLogListDelegate([this] { return MakeFrame(); }, this);
    setItemDelegate(m_delegate);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit Activated(index.row());
    });
}

void CResultsList::SetHighlightSources(const file_view* file, const CHighlight* rules, const CSearchInfo* search)
{
    m_file = file;
    m_rules = rules;
    m_search = search;
    viewport()->update();
}

void CResultsList::SetSearchHighlightColor(int32_t value)
{
    m_search_highlight = value;
    viewport()->update();
}

std::unique_ptr<log_list_frame> CResultsList::MakeFrame() const
{
    const auto* results = qobject_cast<const CResultsModel*>(model());
    if (!results)
        return nullptr;
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    const tagHIGHLIGHT_STATE highlight{m_search, m_rules, m_file && m_file->highlight_enabled() != 0};
    return std::make_unique<log_list_frame>(
        [results](int row, int column) { return results->CellView(row, column); }, results->ColumnNames(), 1,
        highlight, LookFromPalette(palette(), m_search_highlight), fontMetrics(), FrameLayoutOf(*this, current));
}

void CResultsList::paintEvent(QPaintEvent* event)
{
    // One frame for the whole page, as the main list paints.
    const std::unique_ptr<log_list_frame> frame = MakeFrame();
    m_delegate->SetFrame(frame.get());
    QTableView::paintEvent(event);
    m_delegate->SetFrame(nullptr);
}

bool CResultsList::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F3 || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void CResultsList::keyPressEvent(QKeyEvent* event)
{
    const int rows = model() ? model()->rowCount() : 0;
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && current >= 0) {
        emit Activated(current);
        return;
    }
    if (event->key() == Qt::Key_F3 && rows > 0) {
        const bool back = event->modifiers() & Qt::ShiftModifier;
        int next = back ? current - 1 : current + 1;
        if (current < 0)
            next = back ? rows - 1 : 0;
        if (next >= 0 && next < rows)
            emit Activated(next);
        return;
    }
    QTableView::keyPressEvent(event);
}

// ---- pane -------------------------------------------------------------------

CResultsPane::CResultsPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("results_pane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);
    auto* bar = new QHBoxLayout;
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("results_count"));
    m_cancel_button = new QPushButton(Text(u"IDS_RESULTS_CANCEL"), this);
    m_cancel_button->setObjectName(QStringLiteral("results_cancel"));
    m_cancel_button->setEnabled(false);
    bar->addWidget(m_count, 1);
    bar->addWidget(m_cancel_button);
    layout->addLayout(bar);
    m_model = new CResultsModel(this);
    m_list = new CResultsList(this);
    m_list->setObjectName(QStringLiteral("results_list"));
    m_list->setModel(m_model);
    layout->addWidget(m_list, 1);
    connect(m_list, &CResultsList::Activated, this, [this](int row) { ActivateResult(row); });
    connect(m_cancel_button, &QPushButton::clicked, this, [this] {
        if (m_cancel)
            m_cancel();
    });
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_timer.setInterval(kRefreshMs);
        Refresh(true);
    });
}

void CResultsPane::SetFile(file_view* file)
{
    m_file = file;
    m_model->SetFile(file);
}

void CResultsPane::SetColumnNames(const std::vector<std::u16string>& names)
{
    m_model->SetColumnNames(names);
    m_list->setColumnWidth(0, m_list->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
}

void CResultsPane::Refresh(bool running)
{
    m_running = running;
    m_model->SyncRows();
    m_cancel_button->setEnabled(running);
    if (!m_file) {
        m_count->clear();
        emit Refreshed();
        return;
    }
    const view_counts counts = m_file->counts();
    const uint64_t found = m_file->results().size();
    int percent = 100;
    if (running || m_file->last_results_ending() != results_ending::done) {
        // The share of the lines walked: up to the last result while the walk
        // runs, up to where it stopped after a cancel.
        uint64_t reached = 0;
        if (!running)
            reached = m_file->results_next_line();
        else if (!m_file->results().back(reached))
            reached = 0;
        percent = counts.line_count == 0 ? 0 : static_cast<int>(reached * 100 / counts.line_count);
    }
    m_count->setText(ToQString(ResultsCountText(found, counts.file_size, percent)));
    emit Refreshed();
}

QString CResultsPane::CountText() const
{
    return m_count->text();
}

int CResultsPane::CurrentResult() const
{
    const QModelIndex current = m_list->currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool CResultsPane::ActivateResult(int k)
{
    if (k < 0 || k >= m_model->rowCount())
        return false;
    const QModelIndex index = m_model->index(k, 0);
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index);
    emit ResultActivated(static_cast<uint64_t>(k));
    return true;
}
