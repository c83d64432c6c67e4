#include "dialogs/datetime_language_dlg.h"

#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

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
#include <QVBoxLayout>

#include <algorithm>

namespace {

std::u16string Trimmed(const std::u16string& text)
{
    return FromQString(ToQString(text).trimmed());
}

// The fields in field-number order.
std::vector<std::u16string*> FieldList(language_fields& fields)
{
    std::vector<std::u16string*> list = {&fields.name, &fields.am, &fields.pm};
    for (int month = 0; month < 12; ++month) {
        list.push_back(&fields.full_name[month]);
        list.push_back(&fields.nick_name[month]);
    }
    return list;
}

language_check Failed(std::u16string message, int field)
{
    return {std::move(message), field};
}

} // namespace

int FullNameField(int month)
{
    return 1 + 2 * month;
}

int NickNameField(int month)
{
    return 2 + 2 * month;
}

language_check CheckLanguageFields(language_fields& fields, const DateTimeLanguageTable& table,
                                   const std::u16string& starting_name)
{
    for (std::u16string* field : FieldList(fields))
        *field = Trimmed(*field);
    if (fields.name.empty())
        return Failed(DictionaryText(u"IDS_MSG_INPUT_LANGUAGE_NAME"), LANGUAGE_FIELD_NAME);
    if (table.count(fields.name) && !(!starting_name.empty() && fields.name == starting_name))
        return Failed(DictionaryText(u"IDS_MSG_LANGUAGE_NAME_EXIST"), LANGUAGE_FIELD_NAME);
    if (fields.am.empty())
        return Failed(DictionaryText(u"IDS_MSG_INPUT_AM"), LANGUAGE_FIELD_AM);
    if (fields.pm.empty())
        return Failed(DictionaryText(u"IDS_MSG_INPUT_PM"), LANGUAGE_FIELD_PM);
    if (fields.am == fields.pm)
        return Failed(DictionaryText(u"IDS_MSG_SAME_AM_PM"), -1);
    for (int month = 1; month <= 12; ++month) {
        if (fields.full_name[month - 1].empty())
            return Failed(FormatText(u"IDS_MSG_EMPTY_FULLNAME", {NumberText(month)}), FullNameField(month));
        if (fields.nick_name[month - 1].empty())
            return Failed(FormatText(u"IDS_MSG_EMPTY_NICKNAME", {NumberText(month)}), NickNameField(month));
    }
    for (int later = 2; later <= 12; ++later) {
        for (int earlier = 1; earlier < later; ++earlier) {
            const std::initializer_list<std::u16string> months = {NumberText(later), NumberText(earlier)};
            if (fields.full_name[later - 1] == fields.full_name[earlier - 1])
                return Failed(FormatText(u"IDS_MSG_SAME_FULLNAME", months), FullNameField(later));
            if (fields.nick_name[later - 1] == fields.nick_name[earlier - 1])
                return Failed(FormatText(u"IDS_MSG_SAME_NICKNAME", months), NickNameField(later));
        }
    }
    return {};
}

tagDATETIME_WORDS WordsFromFields(const language_fields& fields)
{
    tagDATETIME_WORDS words;
    words.am = fields.am;
    words.pm = fields.pm;
    words.full_name = fields.full_name;
    words.nick_name = fields.nick_name;
    return words;
}

std::u16string LanguageExample(const tagDATETIME_WORDS& words)
{
    return u"[" + words.am + u"/" + words.pm + u"][" + words.full_name[0] + u"/" + words.nick_name[0] + u"]";
}

// ------------------------------------------------------------------ editor

CDateTimeLanguageEditDlg::CDateTimeLanguageEditDlg(QWidget* parent) : QDialog(parent)
{
    Build();
}

CDateTimeLanguageEditDlg::CDateTimeLanguageEditDlg(const std::u16string& name, const tagDATETIME_WORDS& words,
                                                   QWidget* parent)
    : QDialog(parent), m_edit_mode(true), m_starting_name(name)
{
    Build();
    language_fields fields{name, words.am, words.pm, words.full_name, words.nick_name};
    const std::vector<std::u16string*> texts = FieldList(fields);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        QLineEdit* edit = m_fields[i];
        const QString text = ToQString(*texts[i]);
        // The limits are for typing: a longer name from the file stays whole.
        edit->setMaxLength(std::max<int>(edit->maxLength(), static_cast<int>(text.size())));
        edit->setText(text);
    }
    m_fields[LANGUAGE_FIELD_NAME]->selectAll();
}

void CDateTimeLanguageEditDlg::Build()
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("datetime_language_edit"));
    setWindowTitle(Text(u"IDS_DATETIMELANGUAGEEDITDLG_TITLE"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    const int gap = DialogUnitsX(metrics, 4);
    const int row_gap = DialogUnitsY(metrics, 3);

    auto make_field = [&](int id, int limit, int width_units) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(IdObjectName(id));
        edit->setMaxLength(limit);
        edit->setMinimumWidth(DialogUnitsX(metrics, width_units));
        m_fields.push_back(edit);
        return edit;
    };
    QLineEdit* name = make_field(kNameEdit, kNameLimit, 90);
    QLineEdit* am = make_field(kAmEdit, kWordLimit, 40);
    QLineEdit* pm = make_field(kPmEdit, kWordLimit, 40);
    const tagDATETIME_WORDS& hints = DefaultDateTimeWords();
    for (int month = 1; month <= 12; ++month) {
        make_field(FullNameId(month), kMonthLimit, 70)->setPlaceholderText(ToQString(hints.full_name[month - 1]));
        make_field(NickNameId(month), kMonthLimit, 40)->setPlaceholderText(ToQString(hints.nick_name[month - 1]));
    }

    auto* words = new QGridLayout;
    words->setContentsMargins(0, 0, 0, 0);
    words->setHorizontalSpacing(gap);
    words->setVerticalSpacing(row_gap);
    words->addWidget(FieldLabel(this, u"IDS_DATETIMELANGUAGEEDITDLG_TEXT_NAME", name), 0, 0);
    words->addWidget(name, 0, 1, 1, 3);
    words->addWidget(FieldLabel(this, u"IDS_DATETIMELANGUAGEEDITDLG_TEXT_AM", am), 1, 0);
    words->addWidget(am, 1, 1);
    words->addWidget(FieldLabel(this, u"IDS_DATETIMELANGUAGEEDITDLG_TEXT_PM", pm), 1, 2);
    words->addWidget(pm, 1, 3);
    words->setColumnStretch(4, 1);

    // Two blocks of six months side by side, each row: number, full, abbreviated.
    auto* months_box = new QGroupBox(Text(u"IDS_DATETIMELANGUAGEEDITDLG_TEXT_MONTH_NAME"), this);
    auto* months = new QGridLayout(months_box);
    months->setHorizontalSpacing(gap);
    months->setVerticalSpacing(row_gap);
    for (int block = 0; block < 2; ++block) {
        const int column = block * 4;
        auto* full = new QLabel(Text(u"IDS_DATETIMELANGUAGEEDITDLG_TEXT_FULL"), months_box);
        auto* nick = new QLabel(Text(u"IDS_DATETIMELANGUAGEEDITDLG_TEXT_ABBREVIATED"), months_box);
        months->addWidget(full, 0, column + 1);
        months->addWidget(nick, 0, column + 2);
        for (int row = 1; row <= 6; ++row) {
            const int month = block * 6 + row;
            auto* number = new QLabel(QString::number(month), months_box);
            number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            number->setBuddy(Field(FullNameField(month)));
            months->addWidget(number, row, column);
            months->addWidget(Field(FullNameField(month)), row, column + 1);
            months->addWidget(Field(NickNameField(month)), row, column + 2);
        }
        if (block == 0)
            months->setColumnMinimumWidth(column + 3, DialogUnitsX(metrics, 10));
    }

    auto* note = new QLabel(Text(u"IDS_DATETIMELANGUAGEEDITDLG_TEXT_NOTE"), this);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsY(metrics, 6));
    layout->addLayout(words);
    layout->addWidget(months_box);
    layout->addWidget(note);
    layout->addWidget(OkCancelButtons(*this));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Tab order: name, AM, PM, then month by month its full and abbreviated name.
    for (std::size_t i = 1; i < m_fields.size(); ++i)
        setTabOrder(m_fields[i - 1], m_fields[i]);
    AssignMnemonics(this);
    name->setFocus();
}

QLineEdit* CDateTimeLanguageEditDlg::Field(int field) const
{
    return m_fields[static_cast<std::size_t>(field)];
}

void CDateTimeLanguageEditDlg::accept()
{
    language_fields fields;
    const std::vector<std::u16string*> texts = FieldList(fields);
    for (std::size_t i = 0; i < texts.size(); ++i)
        *texts[i] = FromQString(m_fields[i]->text());
    const language_check check = CheckLanguageFields(fields, *DateTimeLanguages(), m_edit_mode ? m_starting_name : u"");
    // Show what is checked: the fields without their surrounding blanks.
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (m_fields[i]->text() != ToQString(*texts[i]))
            m_fields[i]->setText(ToQString(*texts[i]));
    if (!check.Passed()) {
        ShowMessage(check.message, MB_OK | MB_ICONINFORMATION);
        if (check.field >= 0) {
            Field(check.field)->setFocus();
            Field(check.field)->selectAll();
        }
        return;
    }
    m_name = fields.name;
    m_words = WordsFromFields(fields);
    QDialog::accept();
}

// -------------------------------------------------------------------- list

CDateTimeLanguageDlg::CDateTimeLanguageDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("datetime_languages"));
    setWindowTitle(Text(u"IDS_DATETIMELANGUAGEDLG_TITLE"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);

    m_list = new QTableWidget(0, 2, this);
    m_list->setObjectName(IdObjectName(kLanguageList));
    m_list->setHorizontalHeaderLabels(
        {Text(u"IDS_DATETIMELANGUAGEDLG_COLUMN_LANGUAGE"), Text(u"IDS_DATETIMELANGUAGEDLG_COLUMN_EXAMPLE")});
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->setTabKeyNavigation(false); // Tab leaves the list for the buttons
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setMinimumSize(DialogUnitsX(metrics, 190), DialogUnitsY(metrics, 90));
    m_list->installEventFilter(this);
    auto* caption = FieldLabel(this, u"IDS_DATETIMELANGUAGEDLG_TEXT_LANGUAGE_LIST", m_list);

    auto make_button = [this](int id, std::u16string_view key) {
        auto* button = new QPushButton(Text(key), this);
        button->setObjectName(IdObjectName(id));
        button->setAutoDefault(false);
        return button;
    };
    m_add = make_button(kAddButton, u"IDS_DATETIMELANGUAGEDLG_BUTTON_ADD");
    m_edit = make_button(kEditButton, u"IDS_DATETIMELANGUAGEDLG_BUTTON_EDIT");
    m_remove = make_button(kRemoveButton, u"IDS_DATETIMELANGUAGEDLG_BUTTON_REMOVE");
    QPushButton* close = make_button(2, u"IDS_WORD_CLOSE");
    close->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(m_add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* list_column = new QVBoxLayout;
    list_column->setContentsMargins(0, 0, 0, 0);
    list_column->addWidget(caption);
    list_column->addWidget(m_list, 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(margin);
    layout->addLayout(list_column, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    AssignMnemonics(this);

    connect(m_add, &QPushButton::clicked, this, &CDateTimeLanguageDlg::OnAdd);
    connect(m_edit, &QPushButton::clicked, this, &CDateTimeLanguageDlg::OnEdit);
    connect(m_remove, &QPushButton::clicked, this, &CDateTimeLanguageDlg::OnRemove);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { OnEdit(); });
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CDateTimeLanguageDlg::UpdateButtons);

    const auto table = DateTimeLanguages();
    FillList(table->empty() ? std::u16string() : table->begin()->first);
    // Sized to the contents, but never narrower than the columns' starting widths.
    m_list->resizeColumnsToContents();
    m_list->setColumnWidth(0, std::max(m_list->columnWidth(0), DialogUnitsX(metrics, 60)));
    m_list->setFocus();
}

void CDateTimeLanguageDlg::FillList(const std::u16string& name)
{
    const auto table = DateTimeLanguages();
    m_list->setRowCount(0);
    int selected = -1;
    for (const auto& [language, words] : *table) {
        const int row = m_list->rowCount();
        m_list->insertRow(row);
        m_list->setItem(row, 0, new QTableWidgetItem(ToQString(language)));
        m_list->setItem(row, 1, new QTableWidgetItem(ToQString(LanguageExample(words))));
        if (language == name)
            selected = row;
    }
    if (selected >= 0) {
        m_list->selectRow(selected);
        m_list->setCurrentCell(selected, 0);
    }
    UpdateButtons();
}

std::u16string CDateTimeLanguageDlg::SelectedName() const
{
    const QList<QTableWidgetItem*> items = m_list->selectedItems();
    if (items.isEmpty())
        return {};
    return FromQString(m_list->item(items.front()->row(), 0)->text());
}

void CDateTimeLanguageDlg::UpdateButtons()
{
    const bool selected = !m_list->selectedItems().isEmpty();
    m_edit->setEnabled(selected);
    m_remove->setEnabled(selected);
}

void CDateTimeLanguageDlg::OnAdd()
{
    CDateTimeLanguageEditDlg editor(this);
    if (editor.exec() != QDialog::Accepted)
        return;
    DateTimeLanguageTable table = *DateTimeLanguages();
    table[editor.Name()] = editor.Words();
    SetDateTimeLanguages(std::move(table));
    FillList(editor.Name());
}

void CDateTimeLanguageDlg::OnEdit()
{
    const std::u16string name = SelectedName();
    if (name.empty())
        return;
    const auto current = DateTimeLanguages();
    const auto found = current->find(name);
    if (found == current->end())
        return;
    CDateTimeLanguageEditDlg editor(name, found->second, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    DateTimeLanguageTable table = *DateTimeLanguages();
    table[editor.Name()] = editor.Words();
    if (editor.Name() != name) {
        table.erase(name);
        m_renames.emplace_back(name, editor.Name());
    }
    SetDateTimeLanguages(std::move(table));
    FillList(editor.Name());
}

void CDateTimeLanguageDlg::OnRemove()
{
    const std::u16string name = SelectedName();
    if (name.empty())
        return;
    if (ShowMessage(FormatText(u"IDS_MSG_DO_YOU_WANT_TO_REMOVE_LANGUAGE", {name}), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const int row = m_list->currentRow();
    DateTimeLanguageTable table = *DateTimeLanguages();
    table.erase(name);
    SetDateTimeLanguages(std::move(table));
    FillList({});
    const int rows = m_list->rowCount();
    if (rows > 0) {
        const int next = std::min(row, rows - 1);
        m_list->selectRow(next);
        m_list->setCurrentCell(next, 0);
    }
    UpdateButtons();
}

bool CDateTimeLanguageDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (m_edit->isEnabled())
                OnEdit();
            return true; // Enter on the list edits; it never closes the dialog
        }
        if (key == Qt::Key_Delete && m_remove->isEnabled()) {
            OnRemove();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
