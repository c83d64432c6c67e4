// The filter dialog (template 138): edits a working copy of the active
// file's filter groups as a list of conditions, adds them through the
// condition dialog or from the recent conditions, and keeps named
// favourites.  Nothing outside the dialog changes until Apply, except the
// favourites (at once) and the recent conditions (also when a favourite is
// saved).  After Apply, Groups() is the new set.
//
// Thread-safety: interface thread only.
#pragma once

#include "dialogs/filter_edit_dlg.h"
#include "dialogs/rule_list_parts.h"
#include "filter/filter_store.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QMenu;
class QPushButton;
class QTableWidget;

class CFilterDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 138;
    static constexpr int kConditionList = 1023;
    static constexpr int kAddButton = 1024;
    static constexpr int kRecentButton = 1063;
    static constexpr int kRemoveButton = 1025;
    static constexpr int kRemoveAllButton = 1029;
    static constexpr int kEditButton = 1026;
    static constexpr int kFavoriteBox = 1062;
    static constexpr int kAddFavoriteButton = 1027;
    static constexpr int kDeleteFavoriteButton = 1028;

    // What the dialog edits and keeps; the references outlive the dialog.
    struct context {
        std::vector<std::u16string> headers; // the active list's column headers
        filter_column_map columns;           // every leaf column of the parser
        filter_favorites* favorites = nullptr;
        std::vector<log_filter>* recent = nullptr; // newest first
        std::vector<std::u16string>* history = nullptr;
    };

    CFilterDlg(const log_filter_groups& groups, context what, QWidget* parent = nullptr);
    ~CFilterDlg() override;

    // The working groups (after Apply: the new set).
    const log_filter_groups& Groups() const { return m_groups; }
    const filter_column_map& Columns() const { return m_context.columns; }

    // Apply: the groups rebuilt from the rows, the recent conditions recorded.
    void accept() override;
    // Whether the dialog was closed by its "filter_whole_file" button (an
    // apply that also asks for the whole file to be filtered).
    bool WholeFileChosen() const { return m_whole_file_chosen; }

    // The buttons' actions, as a click runs them.
    void OnAdd();
    void OnRemove();
    void OnRemoveAll();
    void OnEdit();
    void OnAddFavorite();
    void OnDeleteFavorite();
    // Shows the recent-conditions menu under its button.
    void OnRecent();
    // Fills menu with one entry per recent condition, newest first; choosing
    // one adds a copy of it.
    void FillRecentMenu(QMenu& menu);

    // Adds a copy of condition to the working groups (once: an equal one is
    // kept instead) and selects its row.
    void AddCondition(const log_filter& condition);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    void RebuildGroups();
    void UpdateButtons();
    void OnFavoriteChosen(int index);
    void RecordRecent();
    int SelectedRow() const;
    void SelectRow(int row);

    log_filter_groups m_groups;
    context m_context;
    std::vector<log_filter> m_rows; // the list's conditions, row by row

    QTableWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_recent_button = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_remove_all = nullptr;
    QPushButton* m_edit = nullptr;
    std::optional<favorite_row> m_favorites;
    // Applies the groups like OK, then the whole file is filtered with them.
    QPushButton* m_whole_file = nullptr;
    bool m_whole_file_chosen = false;
};
