// The highlight dialog (template 142): the active file's highlight rules as
// an ordered list, edited in place: selecting a row shows the rule in the
// match and colour controls below the list, and every change there is
// written straight into the selected row.  The example column paints each
// rule in its own colours.  Named favourites change at once; the file's
// rules only on Apply, after which Rules() is the new set.
//
// Thread-safety: interface thread only.
#pragma once

#include "dialogs/rule_list_parts.h"
#include "highlight/highlight_store.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class CEditComboBox;
class CFGColorPicker;
class QCheckBox;
class QComboBox;
class QMenu;
class QPushButton;
class QTableWidget;

class CHighlightDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 142;
    static constexpr int kRuleList = 1044;
    static constexpr int kAddButton = 1045;
    static constexpr int kRecentButton = 1058;
    static constexpr int kRemoveButton = 1046;
    static constexpr int kMoveUpButton = 1047;
    static constexpr int kMoveDownButton = 1048;
    static constexpr int kExpressionBox = 1049;
    static constexpr int kColumnBox = 1059;
    static constexpr int kCaseSensitiveCheck = 1050;
    static constexpr int kWildcardCheck = 1051;
    static constexpr int kRegexpCheck = 1052;
    static constexpr int kTextColor = 1053;
    static constexpr int kBackColor = 1054;
    static constexpr int kFavoriteBox = 1055;
    static constexpr int kAddFavoriteButton = 1056;
    static constexpr int kDeleteFavoriteButton = 1057;
    static constexpr int kColumnLimit = 100;
    static constexpr int kExampleColumn = 1;

    // The colours of a new rule: black on red 213 (0x00BBGGRR).
    static constexpr int32_t kNewTextColor = 0x000000;
    static constexpr int32_t kNewBackColor = 0x0000D5;

    // What the dialog edits and keeps; the pointers outlive the dialog.
    struct context {
        std::vector<std::u16string> headers; // the active list's column headers
        highlight_favorites* favorites = nullptr;
        CHighlight* recent = nullptr; // newest first
        std::vector<std::u16string>* history = nullptr;
    };

    CHighlightDlg(const CHighlight& rules, context what, QWidget* parent = nullptr);
    ~CHighlightDlg() override;

    // The working rules (after Apply: the new set).
    const CHighlight& Rules() const { return m_rules; }
    // The rules the rows hold now, in row order.
    const CHighlight& Rows() const { return m_rows; }

    // Apply: the working copy built from the rows (a column with XML
    // special characters is refused), the recent rules recorded.
    void accept() override;

    // The buttons' actions, as a click runs them.
    void OnAdd();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    void OnAddFavorite();
    void OnDeleteFavorite();
    void OnRecent();
    // One entry per recent rule, newest first; choosing one adds its rule
    // in the colours of a new rule.
    void FillRecentMenu(QMenu& menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddRow(const tagHIGHLIGHT_ITEM& rule);
    void FillList();
    void SetRowTexts(int row);
    void ShowRule(int row);
    void UpdateButtons();
    int SelectedRow() const;
    void SelectRow(int row);
    // Clears the working copy and fills it from the rows; false (with the
    // message shown and the column box focused) at a row whose column holds
    // an XML special character.
    bool BuildWorkingCopy();
    void RecordRecent();
    void FillExpressionHistory(const QString& keep);
    void OnFavoriteChosen(int index);
    // Writes a change of the controls into the selected row.
    template <typename Change> void EditSelected(Change change);

    CHighlight m_rules;
    CHighlight m_rows;
    context m_context;

    QTableWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_recent_button = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_move_up = nullptr;
    QPushButton* m_move_down = nullptr;
    CEditComboBox* m_expression = nullptr;
    QComboBox* m_column = nullptr;
    QCheckBox* m_case_sensitive = nullptr;
    QCheckBox* m_wildcard = nullptr;
    QCheckBox* m_regexp = nullptr;
    CFGColorPicker* m_text_color = nullptr;
    CFGColorPicker* m_back_color = nullptr;
    std::optional<favorite_row> m_favorites;
};

// A rule as the list and the recent menu describe it: column, verb and
// expression, or without a column the any-column form.
QString DescribeRule(const tagHIGHLIGHT_ITEM& rule);
