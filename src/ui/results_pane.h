// The results pane under a tab's list: every line of the whole file that the
// last find all or filter whole file found, as a virtual list.  Only the
// result line numbers are kept (in the file view); the texts are read
// through the index and split by the file's parser when rows are painted.
//
// While the walk runs, a timer of the pane shows the rows and the running
// count found so far ("12,345 matches in 3.1 GB, 41 %"); Cancel asks the
// walk to stop (what was found stays).  Enter or a double click on a result,
// and F3 / Shift+F3 (which first step to the next or previous result), ask
// for the main list to show that result (ResultActivated).  Rows are
// painted by the main list's delegate: the cells get the colours the file's
// highlight rules and search give them in the list, the line number column
// the normal colours.
//
// Thread-safety: interface thread only; the result numbers may grow on the
// work thread meanwhile.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class file_view;
class CHighlight;
class CLogListDelegate;
class log_list_frame;
struct CSearchInfo;
class QLabel;
class QPushButton;

// The count text: count with thousands separated by ",", the file's size
// in B, KB, MB or GB with one decimal (B without), and the share walked.
std::u16string ResultsCountText(uint64_t count, int64_t file_bytes, int percent);

class CResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CResultsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void SetFile(file_view* file);
    // The parser's column names; column 0 is the line number.
    void SetColumnNames(std::vector<std::u16string> names);
    // Takes the results published so far as rows; the row count never goes
    // past them.  Returns the new row count.
    int SyncRows();
    // The line number (from 0) of row; -1 for no such row.
    int64_t LineOfRow(int row) const;
    const std::vector<std::u16string>& ColumnNames() const { return m_columns; }
    // The text of a cell as painted (column 0: the line number); valid until
    // the next call.
    std::u16string_view CellView(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    file_view* m_file = nullptr;
    std::vector<std::u16string> m_columns;
    int m_rows = 0;
    // The cells of the row read last (painting asks column by column).
    mutable int m_cached_row = -1;
    mutable std::u16string m_cached_number;
    mutable std::vector<std::u16string> m_cached_cells;
};

class CResultsList : public QTableView {
    Q_OBJECT
public:
    explicit CResultsList(QWidget* parent = nullptr);

    // The rules and search whose colours the rows get (the file's own), and
    // the "search_highlight" setting (0x00BBGGRR).
    void SetHighlightSources(const file_view* file, const CHighlight* rules, const CSearchInfo* search);
    void SetSearchHighlightColor(int32_t value);
    // A frame for painting the rows now (also outside a paint).
    std::unique_ptr<log_list_frame> MakeFrame() const;

signals:
    void Activated(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    // F3 and Shift+F3 belong to the pane while it has the focus (not to the
    // main window's find next).
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CLogListDelegate* m_delegate = nullptr;
    const file_view* m_file = nullptr;
    const CHighlight* m_rules = nullptr;
    const CSearchInfo* m_search = nullptr;
    int32_t m_search_highlight = 0x0000FFFF;
};

class CResultsPane : public QWidget {
    Q_OBJECT
public:
    explicit CResultsPane(QWidget* parent = nullptr);

    void SetFile(file_view* file);
    void SetColumnNames(const std::vector<std::u16string>& names);
    // What cancels a running walk (the work thread's cancel).
    void SetCanceller(std::function<void()> cancel) { m_cancel = std::move(cancel); }
    // Reads the results and the count again; running: a walk is on now
    // (Cancel enabled, the timer on until Finish).
    void Refresh(bool running);
    // The first look comes soon, so that the first results show at once.
    void Start() { Refresh(true); m_timer.start(kFirstRefreshMs); }
    void Finish() { m_timer.stop(); Refresh(false); }

    CResultsList* List() const { return m_list; }
    CResultsModel& Model() const { return *m_model; }
    QString CountText() const;
    // The current result (-1 without one).
    int CurrentResult() const;
    // Makes result k the current row and asks for it to be shown; false
    // when there is no such result.
    bool ActivateResult(int k);

    static constexpr int kFirstRefreshMs = 40;
    static constexpr int kRefreshMs = 200;

signals:
    // Result k (from 0) is to be shown in the main list.
    void ResultActivated(uint64_t k);
    // The rows and the count were read again.
    void Refreshed();

private:
    file_view* m_file = nullptr;
    CResultsModel* m_model = nullptr;
    CResultsList* m_list = nullptr;
    QLabel* m_count = nullptr;
    QPushButton* m_cancel_button = nullptr;
    std::function<void()> m_cancel;
    QTimer m_timer;
    bool m_running = false;
};
