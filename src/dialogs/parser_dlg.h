// The parser manager (template 140): every parser of the application's list
// with its template; parsers are added, edited, duplicated, renamed in place
// and removed here.  The dialog works on the application's list itself (no
// copy that could drift), and every change reaches the parser folder at once,
// each file written under a temporary name and renamed into place; a file
// that cannot be written is reported with its path and the list keeps the
// parser it had.
//
// Thread-safety: interface thread only; opened while no job runs.
#pragma once

#include "parser/log_pattern.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

// What the manager needs of the running viewer; the shell gives the open
// files and tabs, tests give their own.
class parser_dlg_host {
public:
    virtual ~parser_dlg_host() = default;
    virtual parser_list& Parsers() = 0;
    // The folder the parser files are written to.
    virtual std::u16string ParserFolder() = 0;
    // Whether an open file uses the parser of exactly that name.
    virtual bool InUse(const std::u16string& name) = 0;
    // Closes every open file that uses the parser of exactly that name, each
    // as the close-file command closes the active tab.
    virtual void CloseFilesUsing(const std::u16string& name) = 0;
    // The open files whose parser is old_name take new_name instead.
    virtual void RenameReferences(const std::u16string& old_name, const std::u16string& new_name) = 0;
    // The text of the active file's selected row (the test line to start
    // with), empty without one.
    virtual std::u16string SelectedLine() = 0;
    // The last lines of the active file's window, for a suggestion.
    virtual std::vector<std::u16string> SampleLines() = 0;
};

// The path of the file that holds the parser called name in folder.
std::u16string ParserFilePath(const std::u16string& folder, const std::u16string& name);

// Writes parser to its file in folder (temporary name, then rename).  A file
// already there that may not be written (read-only, also for a user whom the
// system lets write anyway) is left alone: false, as for a failed write.
bool WriteParserFile(const std::u16string& folder, const tagPARSER_ITEM& parser);

// "%s - %d" from name with the first number from 1 that no name of parsers
// has, compared without regard to case.
std::u16string DuplicateName(const parser_list& parsers, const std::u16string& name);

class CParserDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 140;
    static constexpr int kList = 1029;
    static constexpr int kAddButton = 1030;
    static constexpr int kEditButton = 1031;
    static constexpr int kRemoveButton = 1032;
    static constexpr int kDuplicateButton = 1033;
    static constexpr int kSuggestButton = 1034;

    explicit CParserDlg(parser_dlg_host& host, QWidget* parent = nullptr);

    void OnAdd();
    void OnEdit();
    void OnRemove();
    void OnDuplicate();
    // Suggest from the file: the editor in add mode filled with a parser
    // suggested from the selected row and the window's last lines.
    void OnSuggest();

    // The names of the parsers whose file this dialog wrote, replaced or
    // removed, in order (a parser that open files use must be parsed again).
    const std::vector<std::u16string>& Changed() const { return m_changed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList(int selected);
    void SetRow(int row, const tagPARSER_ITEM& parser);
    void SelectRow(int row);
    int SelectedRow() const;
    tagPARSER_ITEM* EntryAt(int row);
    // The row of the parser whose name equals name without regard to case
    // (except row except); -1 when none.
    int RowNamedIgnoringCase(const std::u16string& name, int except) const;
    std::vector<std::u16string> NamesExcept(int row) const;
    // Asks to close the open files that use name (key: the question); false
    // when they stay open.
    bool CloseUsers(const std::u16string& name, std::u16string_view key);
    // Stores edited into the entry at row (or a new entry when row is -1),
    // replacing the parser named overwrites: the files are written and
    // removed, references renamed.  False, nothing changed, when the file
    // cannot be written.
    bool Store(int row, const tagPARSER_ITEM& edited, const std::u16string& overwrites);
    // Runs the editor in add mode from start; true when something was added.
    bool AddFrom(const tagPARSER_ITEM& start, const std::u16string& test_line, const std::u16string& note);
    void OnRenamed(QTableWidgetItem* item);
    void UpdateButtons();
    void ReportUnwritten(const std::u16string& name);

    parser_dlg_host& m_host;
    QTableWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_duplicate = nullptr;
    QPushButton* m_suggest = nullptr;
    bool m_filling = false;
    std::vector<std::u16string> m_changed;
};
