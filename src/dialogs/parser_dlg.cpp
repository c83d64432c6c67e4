#include "dialogs/parser_dlg.h"

#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "dialogs/parser_edit_dlg.h"
#include "glossant/dictionary_text.h"
#include "parser/parser_suggestion.h"
#include "parser/pattern_xml.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>

namespace {

void Inform(const std::u16string& text)
{
    ShowMessage(text, MB_OK | MB_ICONINFORMATION);
}

bool Ask(const std::u16string& text)
{
    return ShowMessage(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Whether the file at path may be replaced or removed: it is not there, or
// it may be written and is not marked read-only (a mark the system would
// let its owner ignore).
bool Changeable(const std::u16string& path)
{
    const QString name = ToQString(path);
    if (!QFileInfo::exists(name))
        return true;
    const QByteArray native = QFile::encodeName(name);
    if (::access(native.constData(), W_OK) != 0)
        return false;
    struct stat status {};
    return ::stat(native.constData(), &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Removes the file at path when it is there; false when it stays.
bool RemoveIfThere(const std::u16string& path)
{
    return !QFileInfo::exists(ToQString(path)) || RemoveFile(path);
}

} // namespace

std::u16string ParserFilePath(const std::u16string& folder, const std::u16string& name)
{
    return JoinPath(folder, name + u".xml");
}

bool WriteParserFile(const std::u16string& folder, const tagPARSER_ITEM& parser)
{
    if (!IsStorableParserName(parser.name))
        return false;
    const std::u16string path = ParserFilePath(folder, parser.name);
    return Changeable(path) && SavePatternFile(parser.parser, path);
}

std::u16string DuplicateName(const parser_list& parsers, const std::u16string& name)
{
    for (long long number = 1;; ++number) {
        const std::u16string candidate = name + u" - " + NumberText(number);
        const bool taken = std::any_of(parsers.begin(), parsers.end(), [&](const tagPARSER_ITEM& entry) {
            return SameNameIgnoringCase(entry.name, candidate);
        });
        if (!taken)
            return candidate;
    }
}

CParserDlg::CParserDlg(parser_dlg_host& host, QWidget* parent) : QDialog(parent), m_host(host)
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("parser_management"));
    setWindowTitle(Text(u"IDS_PARSERDLG_TITLE"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);

    m_list = new QTableWidget(0, 2, this);
    m_list->setObjectName(IdObjectName(kList));
    m_list->setHorizontalHeaderLabels(
        {Text(u"IDS_PARSERDLG_COLUMN_NAME"), Text(u"IDS_PARSERDLG_COLUMN_EXAMPLE")});
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_list->setShowGrid(false);
    m_list->setWordWrap(false);
    m_list->setTabKeyNavigation(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(metrics.height() + DialogUnitsY(metrics, 3));
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setMinimumSize(DialogUnitsX(metrics, 300), DialogUnitsY(metrics, 170));
    m_list->installEventFilter(this);

    auto make_button = [this](int id, std::u16string_view key) {
        auto* button = new QPushButton(Text(key), this);
        button->setObjectName(IdObjectName(id));
        button->setAutoDefault(false);
        return button;
    };
    m_add = make_button(kAddButton, u"IDS_PARSERDLG_BUTTON_ADD");
    m_edit = make_button(kEditButton, u"IDS_PARSERDLG_BUTTON_EDIT");
    m_duplicate = make_button(kDuplicateButton, u"IDS_PARSERDLG_BUTTON_DUPLICATE");
    m_remove = make_button(kRemoveButton, u"IDS_PARSERDLG_BUTTON_REMOVE");
    m_suggest = make_button(kSuggestButton, u"IDS_PARSERDLG_BUTTON_SUGGEST");
    QPushButton* close = make_button(2, u"IDS_WORD_CLOSE");
    close->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* button : {m_add, m_edit, m_duplicate, m_remove})
        buttons->addWidget(button);
    buttons->addSpacing(DialogUnitsY(metrics, 6));
    buttons->addWidget(m_suggest);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(margin);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    AssignMnemonics(this);

    connect(m_add, &QPushButton::clicked, this, &CParserDlg::OnAdd);
    connect(m_edit, &QPushButton::clicked, this, &CParserDlg::OnEdit);
    connect(m_remove, &QPushButton::clicked, this, &CParserDlg::OnRemove);
    connect(m_duplicate, &QPushButton::clicked, this, &CParserDlg::OnDuplicate);
    connect(m_suggest, &QPushButton::clicked, this, &CParserDlg::OnSuggest);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this](int, int column) {
        if (column != 0 || m_list->editTriggers() == QAbstractItemView::NoEditTriggers)
            OnEdit();
    });
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CParserDlg::UpdateButtons);
    connect(m_list, &QTableWidget::itemChanged, this, &CParserDlg::OnRenamed);

    FillList(static_cast<int>(m_host.Parsers().size()) - 1);
    m_list->resizeColumnsToContents();
    m_list->setColumnWidth(0, std::max(m_list->columnWidth(0), DialogUnitsX(metrics, 70)));
    m_list->setFocus();
}

void CParserDlg::SetRow(int row, const tagPARSER_ITEM& parser)
{
    const bool before = m_filling;
    m_filling = true;
    QTableWidgetItem* name = m_list->item(row, 0);
    if (!name) {
        name = new QTableWidgetItem;
        m_list->setItem(row, 0, name);
    }
    name->setText(ToQString(parser.name));
    QTableWidgetItem* example = m_list->item(row, 1);
    if (!example) {
        example = new QTableWidgetItem;
        example->setFlags(example->flags() & ~Qt::ItemIsEditable);
        m_list->setItem(row, 1, example);
    }
    example->setText(ToQString(template_text(parser.parser)));
    m_filling = before;
}

void CParserDlg::FillList(int selected)
{
    m_filling = true;
    m_list->setRowCount(0);
    for (const tagPARSER_ITEM& parser : m_host.Parsers()) {
        const int row = m_list->rowCount();
        m_list->insertRow(row);
        SetRow(row, parser);
    }
    m_filling = false;
    SelectRow(selected);
}

void CParserDlg::SelectRow(int row)
{
    if (row >= 0 && row < m_list->rowCount()) {
        m_list->selectRow(row);
        m_list->setCurrentCell(row, 0);
        m_list->scrollToItem(m_list->item(row, 0));
    } else {
        m_list->clearSelection();
    }
    UpdateButtons();
}

int CParserDlg::SelectedRow() const
{
    const QList<QTableWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? -1 : items.front()->row();
}

tagPARSER_ITEM* CParserDlg::EntryAt(int row)
{
    parser_list& parsers = m_host.Parsers();
    if (row < 0 || row >= static_cast<int>(parsers.size()))
        return nullptr;
    return &*std::next(parsers.begin(), row);
}

int CParserDlg::RowNamedIgnoringCase(const std::u16string& name, int except) const
{
    int row = 0;
    for (const tagPARSER_ITEM& entry : m_host.Parsers()) {
        if (row != except && SameNameIgnoringCase(entry.name, name))
            return row;
        ++row;
    }
    return -1;
}

std::vector<std::u16string> CParserDlg::NamesExcept(int row) const
{
    std::vector<std::u16string> names;
    int i = 0;
    for (const tagPARSER_ITEM& entry : m_host.Parsers())
        if (i++ != row)
            names.push_back(entry.name);
    return names;
}

void CParserDlg::UpdateButtons()
{
    const bool selected = SelectedRow() >= 0;
    m_edit->setEnabled(selected);
    m_remove->setEnabled(selected);
    m_duplicate->setEnabled(selected);
}

void CParserDlg::ReportUnwritten(const std::u16string& name)
{
    Inform(FormatText(u"IDS_MSG_PARSER_FILE_NOT_WRITTEN", {ParserFilePath(m_host.ParserFolder(), name)}));
}

bool CParserDlg::CloseUsers(const std::u16string& name, std::u16string_view key)
{
    if (!m_host.InUse(name))
        return true;
    if (!Ask(DictionaryText(key)))
        return false;
    m_host.CloseFilesUsing(name);
    return true;
}

bool CParserDlg::Store(int row, const tagPARSER_ITEM& edited, const std::u16string& overwrites)
{
    const std::u16string folder = m_host.ParserFolder();
    parser_list& parsers = m_host.Parsers();
    tagPARSER_ITEM* entry = EntryAt(row);
    const std::u16string old_name = entry ? entry->name : std::u16string();
    int other_row = -1;
    if (!overwrites.empty()) {
        int i = 0;
        for (const tagPARSER_ITEM& other : parsers) {
            if (i != row && other.name == overwrites)
                other_row = i;
            ++i;
        }
    }
    // Every file this change replaces or removes must be changeable before
    // any is touched, so that a refusal leaves the folder and the list as
    // they were.
    const std::u16string new_path = ParserFilePath(folder, edited.name);
    std::vector<std::u16string> to_remove;
    if (entry && old_name != edited.name)
        to_remove.push_back(ParserFilePath(folder, old_name));
    if (other_row >= 0 && overwrites != edited.name)
        to_remove.push_back(ParserFilePath(folder, overwrites));
    for (const std::u16string& path : to_remove) {
        if (!Changeable(path)) {
            Inform(FormatText(u"IDS_MSG_PARSER_FILE_NOT_WRITTEN", {path}));
            return false;
        }
    }
    if (!WriteParserFile(folder, edited)) {
        ReportUnwritten(edited.name);
        return false;
    }
    for (const std::u16string& path : to_remove)
        RemoveIfThere(path);

    if (entry) {
        *entry = edited;
        SetRow(row, edited);
        if (old_name != edited.name) {
            m_host.RenameReferences(old_name, edited.name);
            m_changed.push_back(old_name);
        }
    } else {
        parsers.push_back(edited);
        row = m_list->rowCount();
        m_filling = true;
        m_list->insertRow(row);
        m_filling = false;
        SetRow(row, edited);
    }
    if (other_row >= 0) {
        parsers.erase(std::next(parsers.begin(), other_row));
        m_filling = true;
        m_list->removeRow(other_row);
        m_filling = false;
        if (other_row < row)
            --row;
        m_host.RenameReferences(overwrites, edited.name);
        m_changed.push_back(overwrites);
    }
    m_changed.push_back(edited.name);
    SelectRow(row);
    return true;
}

bool CParserDlg::AddFrom(const tagPARSER_ITEM& start, const std::u16string& test_line, const std::u16string& note)
{
    CParserEditDlg editor(CParserEditDlg::mode::add, start, NamesExcept(-1), this);
    editor.SetTestLine(test_line);
    editor.SetNote(note);
    if (editor.exec() != QDialog::Accepted)
        return false;
    // The editor asked already when the name is taken: that parser is replaced.
    const tagPARSER_ITEM& added = editor.Parser();
    const int found = RowNamedIgnoringCase(added.name, -1);
    if (found >= 0 && !CloseUsers(EntryAt(found)->name, u"IDS_MSG_PARSER_IN_USE_CANNOT_EDIT_ASK"))
        return false;
    return Store(found, added, {});
}

void CParserDlg::OnAdd()
{
    AddFrom({}, m_host.SelectedLine(), {});
}

void CParserDlg::OnSuggest()
{
    const std::u16string selected = m_host.SelectedLine();
    const std::vector<std::u16string> samples = m_host.SampleLines();
    std::vector<std::u16string_view> others(samples.begin(), samples.end());
    const parser_suggestion suggestion = suggest_parser(selected, others);
    if (suggestion.parser.empty()) {
        Inform(DictionaryText(u"IDS_MSG_SUGGEST_NO_LINES"));
        return;
    }
    std::u16string test_line = selected;
    for (std::size_t i = 0; test_line.empty() && i < samples.size(); ++i)
        test_line = samples[i];
    AddFrom({suggestion.parser, {}}, test_line,
            FormatText(u"IDS_PARSERDLG_SUGGEST_SHARE",
                       {NumberText(static_cast<long long>(suggestion.split)),
                        NumberText(static_cast<long long>(suggestion.sampled))}));
}

void CParserDlg::OnEdit()
{
    const int row = SelectedRow();
    tagPARSER_ITEM* entry = EntryAt(row);
    if (!entry || !CloseUsers(entry->name, u"IDS_MSG_PARSER_IN_USE_CANNOT_EDIT_ASK"))
        return;
    CParserEditDlg editor(CParserEditDlg::mode::edit, *entry, NamesExcept(row), this);
    editor.SetTestLine(m_host.SelectedLine());
    if (editor.exec() != QDialog::Accepted)
        return;
    Store(row, editor.Parser(), editor.Overwrites());
}

void CParserDlg::OnRemove()
{
    const int row = SelectedRow();
    tagPARSER_ITEM* entry = EntryAt(row);
    if (!entry)
        return;
    const std::u16string name = entry->name;
    if (!Ask(FormatText(u"IDS_MSG_DO_YOU_WANT_TO_DELETE_PARSER", {name})))
        return;
    if (!CloseUsers(name, u"IDS_MSG_PARSER_IN_USE_CANNOT_REMOVE_ASK"))
        return;
    const std::u16string path = ParserFilePath(m_host.ParserFolder(), name);
    if (IsStorableParserName(name) && (!Changeable(path) || !RemoveIfThere(path))) {
        Inform(FormatText(u"IDS_MSG_PARSER_FILE_NOT_WRITTEN", {path}));
        return;
    }
    m_host.Parsers().erase(std::next(m_host.Parsers().begin(), row));
    m_filling = true;
    m_list->removeRow(row);
    m_filling = false;
    m_changed.push_back(name);
    SelectRow(std::min(row, m_list->rowCount() - 1));
}

void CParserDlg::OnDuplicate()
{
    const int row = SelectedRow();
    const tagPARSER_ITEM* entry = EntryAt(row);
    if (!entry)
        return;
    const tagPARSER_ITEM copy{entry->parser, DuplicateName(m_host.Parsers(), entry->name)};
    Store(-1, copy, {});
}

void CParserDlg::OnRenamed(QTableWidgetItem* item)
{
    if (m_filling || !item || item->column() != 0)
        return;
    const int row = item->row();
    tagPARSER_ITEM* entry = EntryAt(row);
    if (!entry)
        return;
    const std::u16string name = FromQString(item->text());
    if (name == entry->name)
        return;
    const std::u16string old_name = entry->name;
    auto revert = [this, row, item, old_name](bool edit_again) {
        m_filling = true;
        item->setText(ToQString(old_name));
        m_filling = false;
        if (edit_again) // the label edit starts again on the same row
            QTimer::singleShot(0, this, [this, row] {
                if (QTableWidgetItem* again = m_list->item(row, 0))
                    m_list->editItem(again);
            });
    };
    if (name.empty() || !IsAcceptableParserName(name)) {
        Inform(DictionaryText(name.empty() ? u"IDS_MSG_INVALID_PARSER_NAME" : u"IDS_MSG_ILLEGAL_PARSER_NAME"));
        revert(true);
        return;
    }
    std::u16string overwrites;
    if (const int other = RowNamedIgnoringCase(name, row); other >= 0) {
        overwrites = EntryAt(other)->name;
        if (!Ask(FormatText(u"IDS_MSG_PARSER_EXISTED_OVERWRITE_ASK", {overwrites}))) {
            revert(false);
            return;
        }
    }
    if (!CloseUsers(old_name, u"IDS_MSG_PARSER_IN_USE_CANNOT_EDIT_ASK")) {
        revert(false);
        return;
    }
    if (!Store(row, {entry->parser, name}, overwrites))
        revert(false);
}

bool CParserDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter that ends a label edit comes up from the label's editor: it
        // only ends the edit.
        const bool from_label = QApplication::focusWidget() != m_list;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (!from_label && m_edit->isEnabled())
                OnEdit();
            return true; // Enter on the list edits; it never closes the dialog
        }
        if (key == Qt::Key_Delete && !from_label && m_remove->isEnabled()) {
            OnRemove();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
