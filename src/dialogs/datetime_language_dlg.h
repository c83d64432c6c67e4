// The date-time language dialogs: the list of user-defined languages
// (template 179), where languages are added, edited and removed, and the
// editor of one language's words (template 180).  Each change the list makes
// reaches the language table at once, but only through the editor's OK (or a
// confirmed removal); the table is written to its file at exit.
//
// Thread-safety: interface thread only.  The table itself is published as
// whole snapshots, so parses on the work thread never see half an edit.
#pragma once

#include "format/datetime.h"

#include <QDialog>

#include <array>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;
class QPushButton;
class QTableWidget;

// The 27 fields of the language editor, as typed.
struct language_fields {
    std::u16string name;
    std::u16string am;
    std::u16string pm;
    std::array<std::u16string, 12> full_name; // January first
    std::array<std::u16string, 12> nick_name;
};

// Field numbers of language_fields, for the field a failed check names.
enum : int {
    LANGUAGE_FIELD_NAME = 0,
    LANGUAGE_FIELD_AM = 1,
    LANGUAGE_FIELD_PM = 2,
};
// The field of month's full (1-12) or abbreviated name.
int FullNameField(int month);
int NickNameField(int month);

// The result of checking the fields: an empty message when they pass; else
// the message and the field to focus (-1 for none).
struct language_check {
    std::u16string message;
    int field = -1;
    bool Passed() const { return message.empty(); }
};

// Strips leading and trailing white space from every field, then checks them
// in order: the name (not empty; not a name of table other than
// starting_name, compared exactly), the AM and PM words (not empty, not
// equal), each month's full and then abbreviated name (not empty), and every
// later month's full and then abbreviated name against each earlier one's
// (all different).  starting_name is empty when a language is added.
language_check CheckLanguageFields(language_fields& fields, const DateTimeLanguageTable& table,
                                   const std::u16string& starting_name);

// The words the fields hold.
tagDATETIME_WORDS WordsFromFields(const language_fields& fields);

// The example of a language in the list: "[AM/PM][January/Jan]" in its words.
std::u16string LanguageExample(const tagDATETIME_WORDS& words);

class CDateTimeLanguageEditDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 180;
    static constexpr int kNameEdit = 1127;
    static constexpr int kAmEdit = 1101;
    static constexpr int kPmEdit = 1102;
    static constexpr int kNameLimit = 20;
    static constexpr int kWordLimit = 10;
    static constexpr int kMonthLimit = 20;
    // The ids of month's (1-12) full and abbreviated name fields.
    static constexpr int FullNameId(int month) { return 1101 + 2 * month; }
    static constexpr int NickNameId(int month) { return 1102 + 2 * month; }

    // Adds a language.
    explicit CDateTimeLanguageEditDlg(QWidget* parent = nullptr);
    // Edits the language called name with its words.
    CDateTimeLanguageEditDlg(const std::u16string& name, const tagDATETIME_WORDS& words, QWidget* parent = nullptr);

    // After OK: the checked name and words.
    const std::u16string& Name() const { return m_name; }
    const tagDATETIME_WORDS& Words() const { return m_words; }

    // Checks the fields against the current table; a failure shows its
    // message and keeps the dialog open.
    void accept() override;

private:
    void Build();
    QLineEdit* Field(int field) const;

    bool m_edit_mode = false;
    std::u16string m_starting_name;
    std::u16string m_name;
    tagDATETIME_WORDS m_words;
    std::vector<QLineEdit*> m_fields; // by field number
};

class CDateTimeLanguageDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 179;
    static constexpr int kLanguageList = 1100;
    static constexpr int kAddButton = 1101;
    static constexpr int kEditButton = 1102;
    static constexpr int kRemoveButton = 1103;

    explicit CDateTimeLanguageDlg(QWidget* parent = nullptr);

    // The languages renamed while the dialog ran, old name to new, in order.
    const std::vector<std::pair<std::u16string, std::u16string>>& Renames() const { return m_renames; }

    void OnAdd();
    void OnEdit();
    void OnRemove();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the list from the table and selects the row of name (none for an
    // empty name or one the table lacks).
    void FillList(const std::u16string& name);
    // The name of the selected row, empty without one.
    std::u16string SelectedName() const;
    void UpdateButtons();

    QTableWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
    std::vector<std::pair<std::u16string, std::u16string>> m_renames;
};
