#include "dialogs/parser_edit_dlg.h"

#include "dialogs/data_format_dlg.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "glossant/dictionary_text.h"
#include "parser/log_line.h"
#include "parser/split_line.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {

constexpr int kAcceptedName = Qt::UserRole; // the item's name as last accepted

void Inform(const std::u16string& text)
{
    ShowMessage(text, MB_OK | MB_ICONINFORMATION);
}

bool Ask(const std::u16string& text)
{
    return ShowMessage(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::u16string ItemName(const QTreeWidgetItem* item)
{
    return FromQString(item->text(0));
}

void Focus(QLineEdit* field)
{
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

bool IsEnter(QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

std::u16string ShowEscapes(std::u16string text)
{
    ReplaceAll(text, u" ", u"\\sp");
    ReplaceAll(text, u"\t", u"\\t");
    return text;
}

std::u16string ReadEscapes(std::u16string text)
{
    ReplaceAll(text, u"\\sp", u" ");
    ReplaceAll(text, u"\\t", u"\t");
    return text;
}

bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

bool IsAcceptableParserName(std::u16string_view name)
{
    return IsValidFileName(name) && name != u"." && name != u"..";
}

CParserEditDlg::CParserEditDlg(mode how, const tagPARSER_ITEM& start, std::vector<std::u16string> other_names,
                               QWidget* parent)
    : QDialog(parent), m_mode(how), m_parser(start), m_other_names(std::move(other_names))
{
    if (m_mode == mode::add)
        m_parser.name = DictionaryText(u"IDS_PARSEREDITDLG_NEW_PARSER");
    Build();
}

CParserEditDlg::~CParserEditDlg()
{
    // The records go with their items; no signal may reach them meanwhile.
    m_reverting = true;
    m_tree->blockSignals(true);
}

void CParserEditDlg::Build()
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("parser_management"));
    setWindowTitle(Text(m_mode == mode::edit ? u"IDS_PARSEREDITDLG_TITLE_EDIT" : u"IDS_PARSEREDITDLG_TITLE_ADD"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    const int gap = DialogUnitsX(metrics, 4);

    auto make_edit = [this](int id, int limit) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(IdObjectName(id));
        if (limit > 0)
            edit->setMaxLength(limit);
        edit->installEventFilter(this);
        return edit;
    };
    auto make_button = [this](int id, std::u16string_view key) {
        auto* button = new QPushButton(Text(key), this);
        button->setObjectName(IdObjectName(id));
        button->setAutoDefault(false);
        return button;
    };

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(IdObjectName(kTree));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_tree->setMinimumSize(DialogUnitsX(metrics, 120), DialogUnitsY(metrics, 130));
    m_tree->installEventFilter(this);

    m_parser_name = make_edit(kParserName, kNameLimit);
    m_column_name = make_edit(kColumnName, kNameLimit);
    m_start = make_edit(kStart, 0);
    m_end = make_edit(kEnd, 0);
    m_data_type = new QComboBox(this);
    m_data_type->setObjectName(IdObjectName(kDataType));
    for (const char16_t* key :
         {u"IDS_DATA_TYPE_TEXT", u"IDS_DATA_TYPE_NUMERIC", u"IDS_DATA_TYPE_IPV4", u"IDS_DATA_TYPE_DATETIME"})
        m_data_type->addItem(Text(key));
    m_format = make_button(kFormat, u"IDS_PARSEREDITDLG_COLUMN_FORMAT");
    m_end_after_datetime = new QCheckBox(Text(u"IDS_PARSEREDITDLG_END_AFTER_DATETIME"), this);
    m_end_after_datetime->setObjectName(IdObjectName(kEndAfterDateTime));
    // Test is made before the column buttons, so that it keeps its own letter.
    m_test_line = make_edit(kTestLine, 0);
    m_test = make_button(kTest, u"IDS_PARSEREDITDLG_TEST");
    m_add = make_button(kAddColumn, u"IDS_PARSEREDITDLG_COLUMN_ADD");
    m_add_sub = make_button(kAddSubColumn, u"IDS_PARSEREDITDLG_COLUMN_ADDSUB");
    m_copy = make_button(kCopyColumn, u"IDS_PARSEREDITDLG_COLUMN_COPY");
    m_delete = make_button(kDeleteColumn, u"IDS_PARSEREDITDLG_COLUMN_DEL");
    m_note = new QLabel(this);
    m_note->setObjectName(IdObjectName(kSuggestionShare));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->hide();

    m_result = new QTableWidget(0, 2, this);
    m_result->setObjectName(IdObjectName(kTestResult));
    m_result->setHorizontalHeaderLabels(
        {Text(u"IDS_PARSEREDITDLG_RESULT_COLUMN"), Text(u"IDS_PARSEREDITDLG_RESULT_VALUE")});
    m_result->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_result->setSelectionMode(QAbstractItemView::NoSelection);
    m_result->setFocusPolicy(Qt::NoFocus);
    m_result->setWordWrap(false);
    m_result->verticalHeader()->hide();
    m_result->horizontalHeader()->setStretchLastSection(true);
    m_result->verticalHeader()->setDefaultSectionSize(metrics.height() + DialogUnitsY(metrics, 2));
    m_result->setMinimumHeight(DialogUnitsY(metrics, 80));
    m_outcome = new QLabel(this);
    m_outcome->setTextFormat(Qt::PlainText);
    m_outcome->setWordWrap(true);
    m_outcome->hide(); // until a test ran

    // Left: the tree and the column buttons under it.
    auto* tree_buttons = new QGridLayout;
    tree_buttons->setContentsMargins(0, 0, 0, 0);
    tree_buttons->addWidget(m_add, 0, 0);
    tree_buttons->addWidget(m_add_sub, 0, 1);
    tree_buttons->addWidget(m_copy, 1, 0);
    tree_buttons->addWidget(m_delete, 1, 1);
    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(m_tree, 1);
    left->addLayout(tree_buttons);
    left->addWidget(m_note);

    // Right: the parser name, then the fields of the selected column.
    auto* name_row = new QHBoxLayout;
    name_row->setContentsMargins(0, 0, 0, 0);
    auto* name_label = FieldLabel(this, u"IDS_PARSEREDITDLG_PARSER_NAME", m_parser_name);
    name_row->addWidget(name_label);
    name_row->addWidget(m_parser_name, 1);

    auto* column_box = new QGroupBox(Text(u"IDS_PARSEREDITDLG_COLUMN"), this);
    auto* fields = new QGridLayout(column_box);
    fields->setHorizontalSpacing(gap);
    auto* column_label = FieldLabel(column_box, u"IDS_PARSEREDITDLG_COLUMN_NAME", m_column_name);
    auto* start_label = FieldLabel(column_box, u"IDS_PARSEREDITDLG_COLUMN_START", m_start);
    auto* end_label = FieldLabel(column_box, u"IDS_PARSEREDITDLG_COLUMN_END", m_end);
    auto* type_label = FieldLabel(column_box, u"IDS_PARSEREDITDLG_COLUMN_DATATYPE", m_data_type);
    m_field_labels = {column_label, start_label, end_label, type_label};
    fields->addWidget(column_label, 0, 0);
    fields->addWidget(m_column_name, 0, 1, 1, 2);
    fields->addWidget(start_label, 1, 0);
    fields->addWidget(m_start, 1, 1, 1, 2);
    fields->addWidget(end_label, 2, 0);
    fields->addWidget(m_end, 2, 1, 1, 2);
    auto* escapes = new QLabel(Text(u"IDS_PARSEREDITDLG_TEXT_ESCAPE_CHARACTER"), column_box);
    escapes->setTextFormat(Qt::PlainText);
    escapes->setForegroundRole(QPalette::PlaceholderText);
    fields->addWidget(escapes, 3, 1, 1, 2);
    fields->addWidget(type_label, 4, 0);
    fields->addWidget(m_data_type, 4, 1);
    fields->addWidget(m_format, 4, 2);
    fields->addWidget(m_end_after_datetime, 5, 1, 1, 2);
    fields->setColumnStretch(1, 1);
    fields->setColumnMinimumWidth(1, DialogUnitsX(metrics, 110));

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->addLayout(name_row);
    right->addWidget(column_box);
    right->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(margin);
    top->addLayout(left, 1);
    top->addLayout(right, 1);

    auto* test_caption = FieldLabel(this, u"IDS_PARSEREDITDLG_TEST_DESCRIPTION", m_test_line);
    test_caption->setWordWrap(true);
    auto* test_row = new QHBoxLayout;
    test_row->setContentsMargins(0, 0, 0, 0);
    test_row->addWidget(m_test_line, 1);
    test_row->addWidget(m_test);

    QDialogButtonBox* buttons = OkCancelButtons(*this);
    m_ok = buttons->findChild<QPushButton*>(IdObjectName(1));
    if (m_mode == mode::edit)
        m_ok->setText(Text(u"IDS_WORD_APPLY"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsY(metrics, 5));
    layout->addLayout(top, 1);
    layout->addWidget(test_caption);
    layout->addLayout(test_row);
    layout->addWidget(m_outcome);
    layout->addWidget(m_result);
    layout->addWidget(buttons);

    setTabOrder(m_tree, m_parser_name);
    setTabOrder(m_parser_name, m_column_name);
    setTabOrder(m_column_name, m_start);
    setTabOrder(m_start, m_end);
    setTabOrder(m_end, m_data_type);
    setTabOrder(m_data_type, m_format);
    setTabOrder(m_format, m_end_after_datetime);
    setTabOrder(m_end_after_datetime, m_add);
    setTabOrder(m_add, m_add_sub);
    setTabOrder(m_add_sub, m_copy);
    setTabOrder(m_copy, m_delete);
    setTabOrder(m_delete, m_test_line);
    setTabOrder(m_test_line, m_test);
    AssignMnemonics(this);

    // The tree: the root for the parser, its columns below it.
    m_reverting = true;
    auto* root = new QTreeWidgetItem(m_tree, QStringList(ToQString(m_parser.name)));
    root->setFlags(root->flags() & ~Qt::ItemIsEditable);
    AddItems(root, m_parser.parser);
    root->setExpanded(true);
    m_tree->expandAll();
    m_parser_name->setText(ToQString(m_parser.name));
    m_tree->setCurrentItem(root);
    m_reverting = false;
    EnterItem(root);
    UpdateOk();

    connect(m_tree, &QTreeWidget::currentItemChanged, this, &CParserEditDlg::OnCurrentChanged);
    connect(m_tree, &QTreeWidget::itemChanged, this, &CParserEditDlg::OnItemChanged);
    connect(m_parser_name, &QLineEdit::textChanged, this, [this](const QString& text) {
        const bool before = m_reverting;
        m_reverting = true;
        Root()->setText(0, text);
        m_reverting = before;
    });
    connect(m_data_type, &QComboBox::currentIndexChanged, this, &CParserEditDlg::OnDataTypeChanged);
    connect(m_format, &QPushButton::clicked, this, &CParserEditDlg::OnFormat);
    connect(m_add, &QPushButton::clicked, this, [this] { AddItem(false, false); });
    connect(m_add_sub, &QPushButton::clicked, this, [this] { AddItem(true, false); });
    connect(m_copy, &QPushButton::clicked, this, [this] { AddItem(false, true); });
    connect(m_delete, &QPushButton::clicked, this, &CParserEditDlg::OnDelete);
    connect(m_test, &QPushButton::clicked, this, &CParserEditDlg::OnTest);
    Focus(m_parser_name);
}

void CParserEditDlg::AddItems(QTreeWidgetItem* parent, const log_pattern_list& items)
{
    for (const log_pattern& pattern : items) {
        auto* item = new QTreeWidgetItem(parent, QStringList(ToQString(pattern.name)));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(0, kAcceptedName, ToQString(pattern.name));
        m_records[item] = {pattern.start, pattern.end, pattern.data_format, pattern.end_after_datetime};
        AddItems(item, pattern.sub_items);
    }
}

QTreeWidgetItem* CParserEditDlg::Root() const
{
    return m_tree->topLevelItem(0);
}

void CParserEditDlg::SetTestLine(const std::u16string& line)
{
    m_test_line->setText(ToQString(line));
    // A parser handed in shows at once what it makes of the line.
    if (!line.empty() && Root()->childCount() > 0)
        ShowSplit(Rebuild(Root()));
}

void CParserEditDlg::SetNote(const std::u16string& note)
{
    m_note->setText(ToQString(note));
    m_note->setVisible(!note.empty());
}

bool CParserEditDlg::AnyItemNamed(const std::u16string& name) const
{
    const QString text = ToQString(name);
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->text(0) == text)
            return true;
    return false;
}

std::u16string CParserEditDlg::NameRefusal(const std::u16string& name, const QTreeWidgetItem* item) const
{
    if (name.empty())
        return DictionaryText(u"IDS_MSG_INVALID_COLUMN_NAME");
    if (HasXmlSpecialChars(name))
        return DictionaryText(u"IDS_MSG_ILLEGAL_COLUMN_NAME");
    // Only leaves become columns: a group may share its name with any item,
    // and a leaf is compared with the root and the other leaves.
    if (item->childCount() > 0)
        return {};
    const QString text = ToQString(name);
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (*it != item && (*it == Root() || (*it)->childCount() == 0) && (*it)->text(0) == text)
            return DictionaryText(u"IDS_MSG_DUPLICATED_COLUMN_NAME");
    return {};
}

bool CParserEditDlg::LeaveItem(QTreeWidgetItem* item)
{
    if (!item || item == Root())
        return true;
    const std::u16string name = FromQString(m_column_name->text());
    if (const std::u16string refusal = NameRefusal(name, item); !refusal.empty()) {
        Inform(refusal);
        Focus(m_column_name);
        return false;
    }
    column_record& record = m_records[item];
    record.start = ReadEscapes(FromQString(m_start->text()));
    record.end = ReadEscapes(FromQString(m_end->text()));
    record.format.data_type = m_data_type->currentIndex();
    record.end_after_datetime = m_end_after_datetime->isChecked();
    const bool before = m_reverting;
    m_reverting = true;
    item->setText(0, ToQString(name));
    item->setData(0, kAcceptedName, ToQString(name));
    m_reverting = before;
    return true;
}

bool CParserEditDlg::LeaveCurrent()
{
    return LeaveItem(m_tree->currentItem());
}

void CParserEditDlg::EnterItem(QTreeWidgetItem* item)
{
    const bool before = m_reverting;
    m_reverting = true;
    if (!item || item == Root()) {
        m_column_name->clear();
        m_start->clear();
        m_end->clear();
        m_data_type->setCurrentIndex(DATA_TYPE_TEXT);
        m_end_after_datetime->setChecked(false);
    } else {
        const column_record& record = m_records[item];
        m_column_name->setText(item->text(0));
        m_start->setText(ToQString(ShowEscapes(record.start)));
        m_end->setText(ToQString(ShowEscapes(record.end)));
        const int type = record.format.data_type;
        m_data_type->setCurrentIndex(type >= DATA_TYPE_TEXT && type <= DATA_TYPE_DATETIME ? type : DATA_TYPE_TEXT);
        m_end_after_datetime->setChecked(record.end_after_datetime);
    }
    m_reverting = before;
    UpdateFieldStates();
}

void CParserEditDlg::UpdateFieldStates()
{
    QTreeWidgetItem* item = m_tree->currentItem();
    const bool column = item && item != Root();
    const bool leaf = column && item->childCount() == 0;
    const int type = m_data_type->currentIndex();
    for (QWidget* field : {static_cast<QWidget*>(m_column_name), static_cast<QWidget*>(m_start),
                           static_cast<QWidget*>(m_end)})
        field->setEnabled(column);
    for (QWidget* label : m_field_labels)
        label->setEnabled(column);
    m_data_type->setEnabled(leaf);
    m_format->setEnabled(leaf && (type == DATA_TYPE_NUMERIC || type == DATA_TYPE_DATETIME));
    m_end_after_datetime->setEnabled(leaf && type == DATA_TYPE_DATETIME);
    m_add->setEnabled(column);
    m_copy->setEnabled(column);
    m_delete->setEnabled(column);
    m_add_sub->setEnabled(item != nullptr);
}

void CParserEditDlg::OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (m_reverting)
        return;
    if (previous && m_records.count(previous) && !LeaveItem(previous)) {
        m_reverting = true;
        m_tree->setCurrentItem(previous);
        m_reverting = false;
        Focus(m_column_name);
        return;
    }
    EnterItem(current);
}

void CParserEditDlg::OnItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_reverting || column != 0 || item == Root())
        return;
    const QString accepted = item->data(0, kAcceptedName).toString();
    const std::u16string name = ItemName(item);
    if (item->text(0) == accepted)
        return;
    if (const std::u16string refusal = NameRefusal(name, item); !refusal.empty()) {
        m_reverting = true;
        item->setText(0, accepted);
        m_reverting = false;
        Inform(refusal);
        return;
    }
    m_reverting = true;
    item->setData(0, kAcceptedName, item->text(0));
    m_reverting = false;
    if (item == m_tree->currentItem())
        m_column_name->setText(item->text(0));
}

void CParserEditDlg::OnDataTypeChanged(int index)
{
    if (m_reverting)
        return;
    if (QTreeWidgetItem* item = m_tree->currentItem(); item && item != Root())
        m_records[item].format.data_type = index;
    UpdateFieldStates();
}

void CParserEditDlg::OnFormat()
{
    QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || item == Root())
        return;
    tagDATA_FORMAT format = m_records[item].format;
    format.data_type = m_data_type->currentIndex();
    if (RunDataFormatDlg(format, this))
        m_records[item].format = format;
}

void CParserEditDlg::AddItem(bool as_child, bool copy)
{
    QTreeWidgetItem* current = m_tree->currentItem();
    if (!current)
        return;
    if (current == Root()) {
        if (copy)
            return;
        as_child = true; // Add column on the root adds a first-level column
    }
    if (!LeaveItem(current))
        return;

    std::u16string name;
    column_record record;
    if (copy) {
        const std::u16string base = ItemName(current);
        for (long long n = 1; name.empty() || AnyItemNamed(name); ++n)
            name = base + u"-" + NumberText(n);
        record = m_records[current];
    } else {
        const std::u16string base = DictionaryText(u"IDS_PARSEREDITDLG_NEW_COLUMN");
        name = base;
        for (long long n = 1; AnyItemNamed(name); ++n)
            name = base + u"-" + NumberText(n);
    }

    auto* item = new QTreeWidgetItem(QStringList(ToQString(name)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setData(0, kAcceptedName, ToQString(name));
    m_records[item] = record;
    m_reverting = true;
    if (as_child) {
        current->addChild(item);
        current->setExpanded(true);
    } else {
        QTreeWidgetItem* parent = current->parent();
        parent->insertChild(parent->indexOfChild(current) + 1, item);
    }
    m_tree->setCurrentItem(item);
    m_reverting = false;
    EnterItem(item);
    Focus(m_column_name);
    UpdateOk();
}

void CParserEditDlg::OnDelete()
{
    QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || item == Root())
        return;
    QTreeWidgetItem* parent = item->parent();
    const int index = parent->indexOfChild(item);
    QTreeWidgetItem* next = index + 1 < parent->childCount() ? parent->child(index + 1)
                            : index > 0                      ? parent->child(index - 1)
                                                             : parent;
    m_reverting = true;
    m_tree->setCurrentItem(next);
    std::function<void(QTreeWidgetItem*)> forget = [&](QTreeWidgetItem* gone) {
        for (int i = 0; i < gone->childCount(); ++i)
            forget(gone->child(i));
        m_records.erase(gone);
    };
    forget(item);
    delete item;
    m_reverting = false;
    EnterItem(next);
    UpdateOk();
}

log_pattern_list CParserEditDlg::Rebuild(const QTreeWidgetItem* parent) const
{
    log_pattern_list list;
    for (int i = 0; i < parent->childCount(); ++i) {
        const QTreeWidgetItem* child = parent->child(i);
        log_pattern pattern(ItemName(child));
        if (const auto found = m_records.find(child); found != m_records.end()) {
            pattern.start = found->second.start;
            pattern.end = found->second.end;
            pattern.data_format = found->second.format;
            pattern.end_after_datetime = found->second.end_after_datetime && child->childCount() == 0 &&
                                         found->second.format.data_type == DATA_TYPE_DATETIME;
        }
        pattern.sub_items = Rebuild(child);
        list.push_back(std::move(pattern));
    }
    return list;
}

QTreeWidgetItem* CParserEditDlg::MissingEnd(QTreeWidgetItem* parent) const
{
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        const auto found = m_records.find(child);
        if (i + 1 < parent->childCount() && (found == m_records.end() || found->second.end.empty()))
            return child;
        if (QTreeWidgetItem* below = MissingEnd(child))
            return below;
    }
    return nullptr;
}

void CParserEditDlg::ShowSplit(const log_pattern_list& parser)
{
    const std::u16string text = FromQString(m_test_line->text());
    log_line line;
    split_line(line, text.data(), text.size(), parser, true);
    std::vector<const log_pattern*> leaves;
    leaf_count(parser, &leaves);
    m_result->setRowCount(static_cast<int>(leaves.size()));
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const int row = static_cast<int>(i);
        m_result->setItem(row, 0, new QTableWidgetItem(ToQString(leaves[i]->name)));
        QString value;
        if (i < line.columns().size()) {
            const log_column& column = line.columns()[i];
            value = ToQString(line.text_of(column));
        }
        m_result->setItem(row, 1, new QTableWidgetItem(value));
    }
    m_result->resizeColumnToContents(0);
}

void CParserEditDlg::OnTest()
{
    if (!LeaveCurrent())
        return;
    const log_pattern_list parser = Rebuild(Root());
    const std::u16string text = FromQString(m_test_line->text());
    ShowSplit(parser);
    if (text.empty()) {
        m_outcome->setText(Text(u"IDS_MSG_TEST_FAIL"));
        m_outcome->show();
        Inform(DictionaryText(u"IDS_MSG_TEST_FAIL"));
        return;
    }
    log_line line;
    std::u16string failed;
    std::u16string outcome;
    if (split_line(line, text.data(), text.size(), parser, true, &failed))
        outcome = DictionaryText(u"IDS_MSG_TEST_SUCCESS");
    else if (!failed.empty())
        outcome = FormatText(u"IDS_MSG_TEST_FAIL_COLUMN", {failed});
    else
        outcome = DictionaryText(u"IDS_MSG_TEST_FAIL");
    m_outcome->setText(ToQString(outcome)); // stays beside the columns after the box is gone
    m_outcome->show();
    Inform(outcome);
}

void CParserEditDlg::accept()
{
    if (!m_ok->isEnabled() || !LeaveCurrent())
        return;
    const std::u16string name = FromQString(m_parser_name->text());
    if (name.empty() || !IsAcceptableParserName(name)) {
        Inform(DictionaryText(name.empty() ? u"IDS_MSG_INVALID_PARSER_NAME" : u"IDS_MSG_ILLEGAL_PARSER_NAME"));
        Focus(m_parser_name);
        return;
    }
    // The name of another parser, whatever its case, is taken over only when
    // the user says so (also when editing: two parsers must never share a file).
    std::u16string overwrites;
    for (const std::u16string& other : m_other_names)
        if (SameNameIgnoringCase(other, name))
            overwrites = other;
    if (!overwrites.empty() && !Ask(FormatText(u"IDS_MSG_PARSER_EXISTED_OVERWRITE_ASK", {overwrites}))) {
        Focus(m_parser_name);
        return;
    }
    if (QTreeWidgetItem* missing = MissingEnd(Root())) {
        Inform(FormatText(u"IDS_MSG_INVALID_COLUMN_END", {ItemName(missing)}));
        m_tree->setCurrentItem(missing);
        Focus(m_end);
        return;
    }
    log_pattern_list parser = Rebuild(Root());
    if (const std::u16string text = FromQString(m_test_line->text()); !text.empty()) {
        log_line line;
        if (!split_line(line, text.data(), text.size(), parser, true) &&
            !Ask(DictionaryText(u"IDS_MSG_PARSET_TEST_FAIL_CONTINUE_ASK")))
            return;
    }
    m_parser.name = name;
    m_parser.parser = std::move(parser);
    m_overwrites = overwrites;
    QDialog::accept();
}

void CParserEditDlg::UpdateOk()
{
    m_ok->setEnabled(Root()->childCount() > 0);
}

bool CParserEditDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        QTreeWidgetItem* item = m_tree->currentItem();
        // Enter that ends a label edit comes up from the label's editor: it
        // only ends the edit.
        const bool from_label = QApplication::focusWidget() != m_tree;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (!from_label && item && item != Root())
                m_tree->editItem(item, 0);
            return true; // Enter edits the label; it never closes the dialog
        }
        if (key == Qt::Key_Delete && !from_label && m_delete->isEnabled()) {
            OnDelete();
            return true;
        }
    }
    if (IsEnter(event)) {
        if (watched == m_test_line) {
            OnTest();
            return true;
        }
        if (watched == m_column_name || watched == m_start || watched == m_end) {
            if (m_add->isEnabled())
                AddItem(false, false);
            else if (m_add_sub->isEnabled())
                AddItem(true, false);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
