// The find dialog (template 137): a modeless window, hidden until a find
// command shows it, that edits the search of one file.  Its target is the
// file and the list it searches; the main window points it at the active tab
// whenever that changes and on every find command.
//
// The dialog holds a working copy of the target's search.  Find next reads
// the controls into it, stores it into the target file and asks its owner to
// run the search (FindNextRequested) with restart set when the expression,
// the column, wildcard or regexp differ from the file's previous search, so
// that an unchanged search walks on from the selection.  The colour swatch
// writes "search_highlight" at once and announces the colour, so that every
// open list can repaint with it.
//
// The target is held through the list: when the list goes, or no longer
// shows the file, the dialog has no target (a closed tab never leaves it
// pointing at a deleted file).
//
// Thread-safety: interface thread only.
#pragma once

#include "app/settings.h"
#include "search/search_info.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <string>
#include <vector>

class CEditComboBox;
class CFGColorPicker;
class CLogListCtrl;
class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;
class file_view;

class CFindDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 137;
    static constexpr int kExpressionBox = 1005;
    static constexpr int kColumnBox = 1006;
    static constexpr int kCaseSensitiveCheck = 1007;
    static constexpr int kHighlightCheck = 1008;
    static constexpr int kColorButton = 1064;
    static constexpr int kWildcardCheck = 1009;
    static constexpr int kRegexpCheck = 1010;
    static constexpr int kDownRadio = 1011;
    static constexpr int kUpRadio = 1012;
    static constexpr int kFindInFileCheck = 1014;
    static constexpr int kFindNextButton = 1;
    static constexpr int kClearHighlightButton = 1017;
    static constexpr int kCancelButton = 2;
    static constexpr int kFindAllButton = 1019;

    // settings gives and takes "search_highlight"; history is the expression
    // history (newest first) that the expression box lists.  Both outlive the
    // dialog.  Created hidden, without a target.
    CFindDlg(app_settings& settings, std::vector<std::u16string>& history, QWidget* parent = nullptr);
    ~CFindDlg() override;

    // Points the dialog at file shown by list (both null: no target) and
    // shows the file's search; without a target the working search is a new
    // one and find next and clear highlight are disabled.  Also refills the
    // column box from the list's headers.
    void SetTarget(file_view* file, CLogListCtrl* list);
    // The target file, null when there is none or its list is gone or shows
    // another file.
    file_view* TargetFile() const;
    CLogListCtrl* TargetList() const;

    // Checks or unchecks the find-in-file box (the two find commands).
    void SetFindInFile(bool on);
    // Shows the dialog (centred over its parent when first shown), brings it
    // to the front and puts the keyboard focus into the expression box.
    void ShowAndActivate();

    // The search the controls describe (no expression check); pattern holds
    // the converted wildcard when wildcard is set.
    CSearchInfo SearchFromControls() const;
    const CSearchInfo& WorkingSearch() const { return m_search; }

    // Button 1: an empty expression is refused with "IDS_MSG_INPUT_EXPRESSION";
    // otherwise the search is stored into the target, FindNextRequested runs
    // and the expression goes to the top of the history.
    void OnFindNext();
    // Find all (also Alt+Enter in the expression box): the same checks and
    // storing as find next, then FindAllRequested.
    void OnFindAll();
    // Button 1017: turns the target's highlight off and repaints its list.
    void OnClearHighlight();

    // Whether next differs from previous in what makes a search start over:
    // the expression, the column, wildcard or regexp.
    static bool SearchChanged(const CSearchInfo& previous, const CSearchInfo& next);

    // Follows the main window: disabled while it is (a modal dialog runs
    // over it), enabled again with it.
    void FollowMainWindow(bool enabled);

signals:
    // Run the target's search once: restart begins at the first (or last) row.
    void FindNextRequested(bool restart);
    // List every line of the target's whole file that its search matches.
    void FindAllRequested();
    // The user took a new highlight colour (already in "search_highlight").
    void SearchHighlightChanged(int32_t color);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowSearch();
    void FillColumnBox();
    void FillExpressionHistory(const QString& select);
    void OnColorPicked(uint32_t color);
    // The checks and storing of find next and find all; false when refused.
    bool TakeSearch(bool& changed);

    app_settings& m_settings;
    std::vector<std::u16string>& m_history;
    CSearchInfo m_search; // the working search
    int m_column_index = 0;
    file_view* m_file = nullptr;
    QPointer<CLogListCtrl> m_list;

    CEditComboBox* m_expression = nullptr;
    QComboBox* m_column = nullptr;
    QCheckBox* m_case_sensitive = nullptr;
    QCheckBox* m_highlight = nullptr;
    CFGColorPicker* m_color = nullptr;
    QCheckBox* m_wildcard = nullptr;
    QCheckBox* m_regexp = nullptr;
    QRadioButton* m_down = nullptr;
    QRadioButton* m_up = nullptr;
    QCheckBox* m_find_in_file = nullptr;
    QPushButton* m_find_next = nullptr;
    QPushButton* m_find_all = nullptr;
    QPushButton* m_clear_highlight = nullptr;
    QPushButton* m_cancel = nullptr;
};
