// The condition dialog (template 139): one filter condition's column,
// compare type, expression, case sensitivity and logic.  Generate fills the
// expression through the value-input dialog of the column's data type.
//
// In edit mode OK checks the fields and closes; Condition() is the result.
// In add mode OK checks the fields and hands each condition to the add
// handler at once, staying open for the next one until Cancel.
//
// Thread-safety: interface thread only.
#pragma once

#include "filter/log_filter.h"
#include "format/data_format.h"

#include <QDialog>

#include <functional>
#include <map>
#include <string>
#include <vector>

class CEditComboBox;
class QCheckBox;
class QComboBox;
class QPushButton;

// Column name to its data format: the leaves of the active file's parser.
using filter_column_map = std::map<std::u16string, tagDATA_FORMAT>;

class CFilterEditDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 139;
    static constexpr int kColumnBox = 1018;
    static constexpr int kCompareBox = 1019;
    static constexpr int kExpressionBox = 1020;
    static constexpr int kGenerateButton = 1023;
    static constexpr int kCaseSensitiveCheck = 1021;
    static constexpr int kLogicBox = 1022;
    static constexpr int kColumnLimit = 100;

    enum class mode { add, edit };
    using add_handler = std::function<void(const log_filter&)>;

    // columns: the column map; headers: the active list's column headers in
    // order; history: the expression history (newest first), which each
    // accepted expression heads.  All outlive the dialog.  The fields start
    // empty: compare "contain", case off, logic AND.
    CFilterEditDlg(mode how, const filter_column_map& columns, const std::vector<std::u16string>& headers,
                   std::vector<std::u16string>& history, QWidget* parent = nullptr);

    // Edit mode: the fields of condition.
    void SetCondition(const log_filter& condition);
    // Add mode: what receives each accepted condition.
    void SetAddHandler(add_handler handler) { m_add = std::move(handler); }

    // The condition the fields describe (after OK in edit mode: the result).
    log_filter Condition() const;
    // The data format of the column the column box names (text when the map
    // lacks it).
    const tagDATA_FORMAT& ColumnFormat() const { return m_format; }

    // OK: the checks in their order, each refusal with its message and the
    // dialog left open; see the class comment for what follows.
    void accept() override;
    // Generate: the value-input dialog of the column's type on the expression.
    void OnGenerate();

private:
    void OnColumnChanged(const QString& text);
    void FillExpressionHistory(const QString& keep);

    const mode m_mode;
    const filter_column_map& m_columns;
    std::vector<std::u16string>& m_history;
    tagDATA_FORMAT m_format;
    add_handler m_add;

    QComboBox* m_column = nullptr;
    QComboBox* m_compare = nullptr;
    CEditComboBox* m_expression = nullptr;
    QPushButton* m_generate = nullptr;
    QCheckBox* m_case_sensitive = nullptr;
    QComboBox* m_logic = nullptr;
};

// The compare list's text of a condition type ("IDS_FILTER_TYPE_EQUAL" ...,
// ">" ... "<="); empty for a code outside 0..9.
QString CompareText(int32_t type);
// A condition as the filter dialog lists it: column, compare text and
// expression, or without a column the any-column form.
QString DescribeCondition(const log_filter& condition);
