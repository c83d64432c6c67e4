// The options dialog (template 144): the lines a file window holds, whether
// a file opens at its head or its tail, the separator put between copied
// columns, and whether a refresh shows the newest lines.  It edits a copy of
// the four values; OK checks the maximum (an integer from 1 to kMaxLoadingLinesLimit)
// and closes only when it passes.  The caller stores the values with
// ApplyOptionValues: the maximum takes effect at the next start, the other
// three at once (they are read from the settings whenever they are used).
//
// Thread-safety: interface thread only.
#pragma once

#include "app/settings.h"

#include <QDialog>

#include <string>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

struct option_values {
    unsigned max_loading_lines = 100000; // the value to save
    bool load_tail_first = true;
    bool tab_separator = false; // columns separated by a tab, else by a space
    bool tail_on_refresh = true;
    bool operator==(const option_values&) const = default;
};

// Which settings ApplyOptionValues changed.
struct option_changes {
    bool max_loading_lines = false; // in force from the next start
    bool load_tail_first = false;
    bool column_separator = false;
    bool tail_on_refresh = false;
    bool Any() const { return max_loading_lines || load_tail_first || column_separator || tail_on_refresh; }
};

// The dialog's start: the maximum to save, the loading mode, a tab separator
// unless the separator is exactly " ", and tail on refresh.
option_values OptionValuesFromSettings(const app_settings& settings);

// Stores values: the maximum into the value to save (the value in force
// stays), the separator as " " or a tab.  Returns what changed.
option_changes ApplyOptionValues(app_settings& settings, const option_values& values);

enum class loading_lines_check { ok, not_an_integer, out_of_range };

// Reads the maximum-lines text: digits with optional surrounding white space.
// not_an_integer for an empty or non-numeric text, out_of_range outside
// 1 to kMaxLoadingLinesLimit (however many digits); value is set only for ok.
loading_lines_check CheckMaxLoadingLines(const QString& text, unsigned& value);

// The refusal message of a check, as the dialog shows it ("" for ok).
std::u16string MaxLoadingLinesMessage(loading_lines_check check);

// The range shown beside the maximum, from the limits: "(1 - 10,000,000)".
QString LoadingLinesRangeText();

class COptionDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 144;
    static constexpr int kMaxLinesEdit = 1065;
    static constexpr int kLoadHeadRadio = 1066;
    static constexpr int kLoadTailRadio = 1067;
    static constexpr int kSpaceRadio = 1068;
    static constexpr int kTabRadio = 1069;
    static constexpr int kTailOnRefreshCheck = 1070;

    explicit COptionDlg(const option_values& values, QWidget* parent = nullptr);

    // The values shown at the start, and after OK the values taken.
    const option_values& Values() const { return m_values; }

    // OK: refuses a bad maximum with its message (the dialog stays open, the
    // field selected); otherwise takes the values and closes.
    void accept() override;

private:
    option_values m_values;
    QLineEdit* m_max_lines = nullptr;
    QButtonGroup* m_loading_mode = nullptr;
    QButtonGroup* m_separator = nullptr;
    QCheckBox* m_tail_on_refresh = nullptr;
};

// Runs the dialog modally over parent on the settings' values; on OK stores
// them and returns what changed (nothing changes on Cancel).
option_changes RunOptionDlg(app_settings& settings, QWidget* parent);
