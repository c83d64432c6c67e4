// The parser editor (template 141): one parser as a tree whose root carries
// the parser's name and whose items are its columns, sub-columns to any
// depth.  Each column has a name, start and end texts and a data format; the
// test line tries the whole parser before it is saved.  The editor works on a
// copy and changes nothing until OK; the caller then takes Parser().
//
// Thread-safety: interface thread only.
#pragma once

#include "parser/log_pattern.h"

#include <QDialog>

#include <string>
#include <unordered_map>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

// A start or end text as the fields show it: every space as "\sp", then
// every tab as "\t".
std::u16string ShowEscapes(std::u16string text);
// A start or end text as typed, back as stored: every "\sp" becomes a space,
// then every "\t" a tab.
std::u16string ReadEscapes(std::u16string text);

// Whether a and b are equal with ASCII letters compared without regard to case.
bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b);

// Whether name may name a parser file: IsValidFileName, and not "." or "..".
bool IsAcceptableParserName(std::u16string_view name);

class CParserEditDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 141;
    static constexpr int kTree = 1034;
    static constexpr int kParserName = 1033;
    static constexpr int kColumnName = 1035;
    static constexpr int kStart = 1036;
    static constexpr int kEnd = 1037;
    static constexpr int kAddColumn = 1038;
    static constexpr int kAddSubColumn = 1039;
    static constexpr int kCopyColumn = 1040;
    static constexpr int kDeleteColumn = 1041;
    static constexpr int kTestLine = 1042;
    static constexpr int kTest = 1043;
    static constexpr int kDataType = 1044;
    static constexpr int kFormat = 1045;
    static constexpr int kEndAfterDateTime = 1046;
    static constexpr int kTestResult = 1047;
    static constexpr int kSuggestionShare = 1048;
    static constexpr int kNameLimit = 100;

    enum class mode { add, edit };

    // In edit mode start is the parser to edit; in add mode its columns (a
    // suggestion, say) fill the tree and its name is ignored: the name field
    // starts with the new-parser text.  other_names are the names of the
    // other parsers, for the overwrite question.
    CParserEditDlg(mode how, const tagPARSER_ITEM& start, std::vector<std::u16string> other_names,
                   QWidget* parent = nullptr);
    ~CParserEditDlg() override;

    // The test line's text; with columns in the tree their values for it are listed.
    void SetTestLine(const std::u16string& line);
    // A note under the tree (the share of the sample a suggestion splits).
    void SetNote(const std::u16string& note);

    // After OK: the new parser.
    const tagPARSER_ITEM& Parser() const { return m_parser; }
    // After OK: the other parser whose name this one takes (ignoring case),
    // empty when none.
    const std::u16string& Overwrites() const { return m_overwrites; }

    // Test (button 1043): the current item checked, the parser rebuilt and
    // the test line split; the columns it gives are listed.
    void OnTest();

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct column_record {
        std::u16string start;
        std::u16string end;
        tagDATA_FORMAT format;
        bool end_after_datetime = false;
    };

    void Build();
    void AddItems(QTreeWidgetItem* parent, const log_pattern_list& items);
    QTreeWidgetItem* Root() const;
    // The leaving check of item, whose fields are shown: true when it passed
    // (and its fields were stored) or item is the root or null; else the
    // message was shown and the column name field has the focus.
    bool LeaveItem(QTreeWidgetItem* item);
    bool LeaveCurrent();
    // Why name cannot be item's name (empty: it can), against every other item.
    std::u16string NameRefusal(const std::u16string& name, const QTreeWidgetItem* item) const;
    void EnterItem(QTreeWidgetItem* item);
    void UpdateFieldStates();
    void OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnDataTypeChanged(int index);
    void OnFormat();
    // Adds an item after the current one (sibling) or as its last child.
    void AddItem(bool as_child, bool copy);
    void OnDelete();
    bool AnyItemNamed(const std::u16string& name) const;
    log_pattern_list Rebuild(const QTreeWidgetItem* parent) const;
    // The first item, in tree order below parent, that has a following
    // sibling but no end text; null when none.
    QTreeWidgetItem* MissingEnd(QTreeWidgetItem* parent) const;
    void ShowSplit(const log_pattern_list& parser);
    void UpdateOk();

    mode m_mode;
    tagPARSER_ITEM m_parser;
    std::vector<std::u16string> m_other_names;
    std::u16string m_overwrites;
    std::unordered_map<const QTreeWidgetItem*, column_record> m_records;
    bool m_reverting = false; // the tree is being set back, not changed by the user

    QTreeWidget* m_tree = nullptr;
    QLineEdit* m_parser_name = nullptr;
    QLineEdit* m_column_name = nullptr;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_end = nullptr;
    QComboBox* m_data_type = nullptr;
    QPushButton* m_format = nullptr;
    QCheckBox* m_end_after_datetime = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_add_sub = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_delete = nullptr;
    QLineEdit* m_test_line = nullptr;
    QPushButton* m_test = nullptr;
    QTableWidget* m_result = nullptr;
    QLabel* m_note = nullptr;
    QLabel* m_outcome = nullptr; // the last test's result
    QPushButton* m_ok = nullptr;
    std::vector<QWidget*> m_field_labels;
};
