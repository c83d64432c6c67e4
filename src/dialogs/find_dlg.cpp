#include "dialogs/find_dlg.h"

#include "dialogs/color_picker.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "regex/text_match.h"
#include "ui/dialog_units.h"
#include "ui/edit_combo_box.h"
#include "ui/log_list_ctrl.h"
#include "ui/ui_text.h"
#include "work/file_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QCheckBox* AddCheck(QWidget* parent, int id, std::u16string_view key)
{
    auto* check = new QCheckBox(Text(key), parent);
    check->setObjectName(IdObjectName(id));
    return check;
}

QPushButton* AddButton(QWidget* parent, int id, std::u16string_view key)
{
    auto* button = new QPushButton(Text(key), parent);
    button->setObjectName(IdObjectName(id));
    button->setAutoDefault(false);
    return button;
}

QLabel* AddLabel(QWidget* parent, std::u16string_view key, QWidget* buddy)
{
    auto* label = new QLabel(Text(key), parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

CFindDlg::CFindDlg(app_settings& settings, std::vector<std::u16string>& history, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_history(history)
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("search"));
    setWindowTitle(Text(u"IDS_FINDDLG_TITLE"));
    setModal(false);

    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    const int gap = DialogUnitsY(metrics, 4);

    m_expression = new CEditComboBox(this);
    m_expression->setObjectName(IdObjectName(kExpressionBox));
    m_expression->setMinimumWidth(DialogUnitsX(metrics, 150));
    m_expression->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_column = new QComboBox(this);
    m_column->setObjectName(IdObjectName(kColumnBox));
    m_column->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    m_case_sensitive = AddCheck(this, kCaseSensitiveCheck, u"IDS_FINDDLG_CHECK_CASE_SENSITIVE");
    m_highlight = AddCheck(this, kHighlightCheck, u"IDS_FINDDLG_CHECK_HIGHLIGHT");
    m_color = new CFGColorPicker(this);
    m_color->setObjectName(IdObjectName(kColorButton));
    m_color->setFixedSize(DialogUnitsX(metrics, 14), DialogUnitsY(metrics, 10));
    m_wildcard = AddCheck(this, kWildcardCheck, u"IDS_FINDDLG_CHECK_WILDCARD");
    m_regexp = AddCheck(this, kRegexpCheck, u"IDS_FINDDLG_CHECK_REGEXP");
    m_find_in_file = AddCheck(this, kFindInFileCheck, u"IDS_FINDDLG_CHECK_FIND_IN_FILE");

    auto* direction = new QGroupBox(Text(u"IDS_FINDDLG_TEXT_DIRECTION"), this);
    m_up = new QRadioButton(Text(u"IDS_FINDDLG_RADIO_UP"), direction);
    m_up->setObjectName(IdObjectName(kUpRadio));
    m_down = new QRadioButton(Text(u"IDS_FINDDLG_RADIO_DOWN"), direction);
    m_down->setObjectName(IdObjectName(kDownRadio));
    m_down->setChecked(true);
    auto* direction_layout = new QVBoxLayout(direction);
    direction_layout->addWidget(m_up);
    direction_layout->addWidget(m_down);
    direction_layout->addStretch(1);

    m_find_next = AddButton(this, kFindNextButton, u"IDS_FINDDLG_BUTTON_FIND_NEXT");
    m_find_next->setDefault(true);
    m_find_all = AddButton(this, kFindAllButton, u"IDS_FINDDLG_BUTTON_FIND_ALL");
    m_clear_highlight = AddButton(this, kClearHighlightButton, u"IDS_FINDDLG_BUTTON_CLEAR_HIGHLIGHT");
    m_cancel = AddButton(this, kCancelButton, u"IDS_FINDDLG_BUTTON_CANCEL");

    auto* highlight_row = new QHBoxLayout;
    highlight_row->setContentsMargins(0, 0, 0, 0);
    highlight_row->addWidget(m_highlight);
    highlight_row->addWidget(m_color);
    highlight_row->addStretch(1);

    auto* options = new QVBoxLayout;
    options->setContentsMargins(0, 0, 0, 0);
    options->addWidget(m_case_sensitive);
    options->addLayout(highlight_row);
    options->addWidget(m_wildcard);
    options->addWidget(m_regexp);
    options->addWidget(m_find_in_file);
    options->addStretch(1);

    auto* lower = new QHBoxLayout;
    lower->setContentsMargins(0, 0, 0, 0);
    lower->addLayout(options, 1);
    lower->addWidget(direction);

    auto* fields = new QGridLayout;
    fields->setContentsMargins(0, 0, 0, 0);
    fields->setVerticalSpacing(gap);
    fields->addWidget(AddLabel(this, u"IDS_FINDDLG_TEXT_EXPRESSION", m_expression), 0, 0);
    fields->addWidget(m_expression, 0, 1);
    fields->addWidget(AddLabel(this, u"IDS_FINDDLG_TEXT_COLUMN", m_column), 1, 0);
    fields->addWidget(m_column, 1, 1);
    fields->addLayout(lower, 2, 0, 1, 2);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(m_find_next);
    buttons->addWidget(m_find_all);
    buttons->addWidget(m_clear_highlight);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(margin);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Wildcard and regexp exclude each other.
    connect(m_wildcard, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_regexp->setChecked(false);
    });
    connect(m_regexp, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_wildcard->setChecked(false);
    });
    connect(m_color, &CFGColorPicker::ColorPicked, this, &CFindDlg::OnColorPicked);
    connect(m_find_next, &QPushButton::clicked, this, &CFindDlg::OnFindNext);
    connect(m_find_all, &QPushButton::clicked, this, &CFindDlg::OnFindAll);
    // Alt+Enter in the expression box: find all.
    m_expression->installEventFilter(this);
    if (m_expression->lineEdit())
        m_expression->lineEdit()->installEventFilter(this);
    connect(m_clear_highlight, &QPushButton::clicked, this, &CFindDlg::OnClearHighlight);
    connect(m_cancel, &QPushButton::clicked, this, &CFindDlg::reject);
    // Enter in the expression box reaches the dialog, whose default button is
    // find next: one search per key (a handler of the box's own would be a
    // second one).

    FillExpressionHistory(QString());
    SetTarget(nullptr, nullptr);
    hide();
}

CFindDlg::~CFindDlg() = default;

file_view* CFindDlg::TargetFile() const
{
    if (!m_list || m_list->File() != m_file)
        return nullptr;
    return m_file;
}

CLogListCtrl* CFindDlg::TargetList() const
{
    return TargetFile() ? m_list.data() : nullptr;
}

void CFindDlg::SetTarget(file_view* file, CLogListCtrl* list)
{
    m_file = file && list ? file : nullptr;
    m_list = m_file ? list : nullptr;
    m_search = m_file ? m_file->search() : CSearchInfo();
    m_column_index = m_search.column + 1;
    m_find_next->setEnabled(m_file != nullptr);
    m_find_all->setEnabled(m_file != nullptr);
    m_clear_highlight->setEnabled(m_file != nullptr);
    FillColumnBox();
    ShowSearch();
    m_color->SetColor(static_cast<uint32_t>(m_settings.search_highlight));
}

void CFindDlg::FillColumnBox()
{
    m_column->clear();
    m_column->addItem(Text(u"IDS_SPECIAL_ANY_COLUMN"));
    if (m_list)
        for (int c = 0; c < m_list->ColumnCount(); ++c)
            m_column->addItem(ToQString(m_list->ColumnName(c)));
    // A column the list does not have (any more) shows as any column.
    if (m_column_index < 0 || m_column_index >= m_column->count())
        m_column_index = 0;
    m_column->setCurrentIndex(m_column_index);
}

void CFindDlg::ShowSearch()
{
    m_expression->setEditText(ToQString(m_search.expression));
    m_column->setCurrentIndex(std::clamp(m_column_index, 0, std::max(0, m_column->count() - 1)));
    m_case_sensitive->setChecked(m_search.case_sensitive);
    m_highlight->setChecked(m_search.highlight);
    // The stored search never has both; should it, the wildcard wins.
    m_regexp->setChecked(m_search.regexp && !m_search.wildcard);
    m_wildcard->setChecked(m_search.wildcard);
    (m_search.up ? m_up : m_down)->setChecked(true);
    m_find_in_file->setChecked(m_search.find_in_file);
}

void CFindDlg::FillExpressionHistory(const QString& select)
{
    FillHistoryCombo(*m_expression, m_history);
    const int index = m_expression->findText(select, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        m_expression->setCurrentIndex(index);
    m_expression->setEditText(select);
}

void CFindDlg::SetFindInFile(bool on)
{
    m_find_in_file->setChecked(on);
}

void CFindDlg::ShowAndActivate()
{
    show();
    raise();
    activateWindow();
    m_expression->setFocus(Qt::OtherFocusReason);
    m_expression->lineEdit()->selectAll();
}

CSearchInfo CFindDlg::SearchFromControls() const
{
    CSearchInfo search;
    search.expression = FromQString(m_expression->currentText());
    search.column = std::max(0, m_column->currentIndex()) - 1;
    search.up = m_up->isChecked();
    search.case_sensitive = m_case_sensitive->isChecked();
    search.highlight = m_highlight->isChecked();
    search.wildcard = m_wildcard->isChecked();
    search.regexp = m_regexp->isChecked() && !search.wildcard;
    search.find_in_file = m_find_in_file->isChecked();
    if (search.wildcard)
        search.pattern = WildcardToRegex(search.expression);
    return search;
}

bool CFindDlg::SearchChanged(const CSearchInfo& previous, const CSearchInfo& next)
{
    return previous.expression != next.expression || previous.column != next.column
           || previous.wildcard != next.wildcard || previous.regexp != next.regexp;
}

bool CFindDlg::TakeSearch(bool& changed)
{
    const CSearchInfo next = SearchFromControls();
    if (next.expression.empty()) {
        ShowMessage(DictionaryText(u"IDS_MSG_INPUT_EXPRESSION"), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    file_view* file = TargetFile();
    if (!file)
        return false;
    changed = SearchChanged(file->search(), next);
    m_search = next;
    m_column_index = next.column + 1;
    file->set_search(next);
    m_settings.search_highlight = static_cast<int32_t>(m_color->GetColor());
    return true;
}

void CFindDlg::OnFindNext()
{
    bool changed = false;
    if (!TakeSearch(changed))
        return;
    const std::u16string expression = m_search.expression;
    emit FindNextRequested(changed);
    AddExpressionHistory(m_history, expression);
    FillExpressionHistory(ToQString(expression));
}

void CFindDlg::OnFindAll()
{
    bool changed = false;
    if (!TakeSearch(changed))
        return;
    const std::u16string expression = m_search.expression;
    AddExpressionHistory(m_history, expression);
    FillExpressionHistory(ToQString(expression));
    emit FindAllRequested();
}

bool CFindDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress
        && (watched == m_expression || (m_expression && watched == m_expression->lineEdit()))) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::AltModifier)) {
            OnFindAll();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CFindDlg::OnClearHighlight()
{
    file_view* file = TargetFile();
    if (!file)
        return;
    CSearchInfo search = file->search();
    search.highlight = false;
    file->set_search(search);
    m_search.highlight = false;
    if (CLogListCtrl* list = TargetList())
        list->viewport()->update();
}

void CFindDlg::OnColorPicked(uint32_t color)
{
    m_settings.search_highlight = static_cast<int32_t>(color);
    emit SearchHighlightChanged(m_settings.search_highlight);
}

void CFindDlg::FollowMainWindow(bool enabled)
{
    setEnabled(enabled);
}
