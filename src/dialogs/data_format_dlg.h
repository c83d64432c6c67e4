// The data-format dialogs of a typed column, opened from the parser editor's
// Format button: the digit count and thousands separator of a numeric column
// (template 177) and the format and language of a date-time column (template
// 178).  Each edits a working copy of the column's tagDATA_FORMAT and shows a
// live example formatted by the format library; OK stores the controls into
// the copy, which the caller then takes back with Format().  Cancel leaves the
// caller's format as it was.
//
// Thread-safety: interface thread only.
#pragma once

#include "format/data_format.h"

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class CDateTimeFormatEdit;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class CDataFormatDlg : public QDialog {
    Q_OBJECT
public:
    // The working copy: as handed in until OK, the edited format after it.
    const tagDATA_FORMAT& Format() const { return m_format; }
    // The example the dialog shows now.
    const std::u16string& Example() const { return m_example; }

    // Stores the controls into the working copy and closes with OK.
    void accept() override;

protected:
    CDataFormatDlg(const tagDATA_FORMAT& format, QWidget* parent);

    // Reads the controls into the working copy; this base reads nothing.
    virtual void StoreControls();

    tagDATA_FORMAT m_format;
    std::u16string m_example;
};

// The numeric example of format: 1234567 for 0 digits, else
// 1234567.123456789, formatted with format (empty when it cannot be).
std::u16string NumericFormatExample(const tagDATA_FORMAT& format);

// The digit count a text of the digit-count field stands for (0 to 15), and
// the text the field then shows: "0" for an empty text, "15" for anything
// above, and the number without leading zeros otherwise.
uint8_t DigitCountFromText(const QString& text, QString& shown);

class CDataFormatDlg_Numeric : public CDataFormatDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 177;
    static constexpr int kDigitCountEdit = 1093;
    static constexpr int kSeparatorCheck = 1094;
    static constexpr int kExampleEdit = 1095;

    explicit CDataFormatDlg_Numeric(const tagDATA_FORMAT& format, QWidget* parent = nullptr);

protected:
    void StoreControls() override;

private:
    // Applies the digit-count rules to the field, stores, refreshes the example.
    void OnDigitCountChanged();
    void RefreshExample();

    QLineEdit* m_digit_count = nullptr;
    QCheckBox* m_separator = nullptr;
    QLineEdit* m_example_edit = nullptr;
};

// The entries of the language box after the default entry: the names of the
// user-defined languages, sorted by their text without regard to case (and by
// code units among names that differ only in case).
std::vector<std::u16string> LanguageEntryNames();

// The entry of the language box (0 the default entry, then the names) that
// shows the language called name: the entry of exactly that name when there
// is one, else the first entry whose text begins with name, letters compared
// without regard to case; -1 when none does.  An empty name is the default
// entry.
int FindLanguageEntry(const std::vector<QString>& entry_texts, const std::u16string& name);

class CDataFormatDlg_DateTime : public CDataFormatDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 178;
    static constexpr int kFormatEdit = 1096;
    static constexpr int kLanguageBox = 1097;
    static constexpr int kSetupButton = 1098;
    static constexpr int kExampleEdit = 1099;

    explicit CDataFormatDlg_DateTime(const tagDATA_FORMAT& format, QWidget* parent = nullptr);

    // Setup: the language list, then the box rebuilt with the language that
    // was shown selected again (under its new name when the list renamed
    // it); the default entry, and an empty language, when it is gone.
    void OnSetup();

protected:
    void StoreControls() override;

private:
    // Refills the language box and selects the entry for name (nothing
    // selected when no entry fits).
    void FillLanguages(const std::u16string& name);
    // The language the box shows: empty for the default entry or none.
    std::u16string SelectedLanguage() const;
    void RefreshExample();

    CDateTimeFormatEdit* m_format_edit = nullptr;
    QComboBox* m_language = nullptr;
    QPushButton* m_setup = nullptr;
    QLineEdit* m_example_edit = nullptr;
};

// Runs the numeric or the date-time data-format dialog, by the data type of
// format, on a copy of it; on OK the copy replaces format and true is
// returned.  Text and IPv4 columns have no such dialog: false.
bool RunDataFormatDlg(tagDATA_FORMAT& format, QWidget* parent);
