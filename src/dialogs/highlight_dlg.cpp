#include "dialogs/highlight_dlg.h"

#include "app/settings.h"
#include "dialogs/color_picker.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "dialogs/rule_list_parts.h"
#include "dialogs/text_input_dlg.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "ui/color_ref.h"
#include "ui/dialog_units.h"
#include "ui/edit_combo_box.h"
#include "ui/ui_text.h"

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
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

tagHIGHLIGHT_ITEM NewRule()
{
    tagHIGHLIGHT_ITEM rule;
    rule.version = 1;
    rule.text_color = CHighlightDlg::kNewTextColor;
    rule.back_color = CHighlightDlg::kNewBackColor;
    return rule;
}

// Paints the rule list: the example column in each rule's own colours, the
// other cells grey for a column the file's list lacks, and the selection
// in the highlight colour while the list has the focus, else on the button
// shadow.
class rule_delegate : public QStyledItemDelegate {
public:
    rule_delegate(const CHighlight& rows, const std::vector<std::u16string>& headers, QObject* parent)
        : QStyledItemDelegate(parent), m_rows(rows), m_headers(headers)
    {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int row = index.row();
        if (row < 0 || row >= static_cast<int>(m_rows.size()))
            return;
        const tagHIGHLIGHT_ITEM& rule = m_rows[row];
        const QPalette& palette = option.palette;
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        const bool focused = view && view->hasFocus();
        QColor text = palette.color(QPalette::ButtonText);
        QColor back = palette.color(QPalette::Base);
        if (!rule.column.empty() && std::find(m_headers.begin(), m_headers.end(), rule.column) == m_headers.end())
            text = palette.color(QPalette::Disabled, QPalette::Text);
        if (option.state & QStyle::State_Selected) {
            text = palette.color(QPalette::HighlightedText);
            back = focused ? palette.color(QPalette::Highlight) : palette.color(QPalette::Button).darker(130);
        }
        if (index.column() == CHighlightDlg::kExampleColumn) {
            text = ColorFromRef(static_cast<uint32_t>(rule.text_color));
            back = ColorFromRef(static_cast<uint32_t>(rule.back_color));
        }
        painter->save();
        painter->fillRect(option.rect, back);
        const int inset = index.column() == 0 ? 2 : 6;
        const QRect area = option.rect.adjusted(inset, 0, -2, 0);
        painter->setPen(text);
        painter->setFont(option.font);
        const QString shown =
            option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, area.width());
        painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
        painter->restore();
    }

private:
    const CHighlight& m_rows;
    const std::vector<std::u16string>& m_headers;
};

QCheckBox* Check(QWidget* parent, int id, std::u16string_view key)
{
    auto* check = new QCheckBox(Text(key), parent);
    check->setObjectName(IdObjectName(id));
    return check;
}

std::vector<std::u16string>& NoHistory()
{
    static std::vector<std::u16string> none;
    return none;
}

} // namespace

QString DescribeRule(const tagHIGHLIGHT_ITEM& rule)
{
    const std::u16string verb = FromQString(Text(rule.wildcard ? u"IDS_HIGHLIGHT_VERB_WILDCARD"
                                                 : rule.regexp ? u"IDS_HIGHLIGHT_VERB_REGEXP"
                                                               : u"IDS_HIGHLIGHT_VERB_CONTAIN"));
    if (rule.column.empty())
        return ToQString(FormatText(u"IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM_NOCOLUMN", {verb, rule.expression}));
    return ToQString(FormatText(u"IDS_HIGHLIGHTDLG_LIST_FORMAT_ITEM", {rule.column, verb, rule.expression}));
}

CHighlightDlg::CHighlightDlg(const CHighlight& rules, context what, QWidget* parent)
    : QDialog(parent), m_rules(rules), m_context(std::move(what))
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("highlight"));
    setWindowTitle(Text(u"IDS_HIGHLIGHTDLG_TITLE"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    const int gap = DialogUnitsY(metrics, 4);

    m_list = MakeRuleTable(this, kRuleList,
                           {Text(u"IDS_HIGHLIGHTDLG_LIST_COLUMN_CONDITION"), Text(u"IDS_HIGHLIGHTDLG_LIST_COLUMN_EXAMPLE"),
                            Text(u"IDS_HIGHLIGHTDLG_LIST_COLUMN_CASE_SENSITIVE")},
                           330, 100);
    m_list->setItemDelegate(new rule_delegate(m_rows, m_context.headers, m_list));
    m_list->installEventFilter(this);

    m_add = DialogButton(this, kAddButton, u"IDS_HIGHLIGHTDLG_BUTTON_ADD");
    m_recent_button = MakeRecentButton(this, kRecentButton);
    m_remove = DialogButton(this, kRemoveButton, u"IDS_HIGHLIGHTDLG_BUTTON_REMOVE");
    m_move_up = DialogButton(this, kMoveUpButton, u"IDS_HIGHLIGHTDLG_BUTTON_MOVEUP");
    m_move_down = DialogButton(this, kMoveDownButton, u"IDS_HIGHLIGHTDLG_BUTTON_MOVEDOWN");

    m_expression = new CEditComboBox(this);
    m_expression->setObjectName(IdObjectName(kExpressionBox));
    m_expression->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_column = new QComboBox(this);
    m_column->setObjectName(IdObjectName(kColumnBox));
    m_column->setEditable(true);
    m_column->setInsertPolicy(QComboBox::NoInsert);
    m_column->setCompleter(nullptr);
    m_column->lineEdit()->setMaxLength(kColumnLimit);
    m_column->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (const std::u16string& header : m_context.headers)
        m_column->addItem(ToQString(header));
    m_column->setEditText(QString());
    m_case_sensitive = Check(this, kCaseSensitiveCheck, u"IDS_HIGHLIGHTDLG_CHECK_CASE_SENSITIVE");
    m_wildcard = Check(this, kWildcardCheck, u"IDS_HIGHLIGHTDLG_CHECK_WILDCARD");
    m_regexp = Check(this, kRegexpCheck, u"IDS_HIGHLIGHTDLG_CHECK_REGEXP");
    m_text_color = new CFGColorPicker(this);
    m_text_color->setObjectName(IdObjectName(kTextColor));
    m_text_color->setFixedSize(DialogUnitsX(metrics, 24), DialogUnitsY(metrics, 12));
    m_back_color = new CFGColorPicker(this);
    m_back_color->setObjectName(IdObjectName(kBackColor));
    m_back_color->setFixedSize(DialogUnitsX(metrics, 24), DialogUnitsY(metrics, 12));
    m_text_color->SetColor(kNewTextColor);
    m_back_color->SetColor(kNewBackColor);

    m_favorites.emplace(this, favorite_row::keys{kFavoriteBox, kAddFavoriteButton, kDeleteFavoriteButton,
                                                 u"IDS_HIGHLIGHTDLG_GROUP_FAVORITE", u"IDS_HIGHLIGHTDLG_BUTTON_ADDFAV",
                                                 u"IDS_HIGHLIGHTDLG_BUTTON_DELFAV", u"IDS_HIGHLIGHTDLG_FAVNAME",
                                                 u"IDS_HIGHLIGHTDLG_FAVNAME_LABEL"});

    // The rules, with their buttons beside them.
    auto* add_row = new QHBoxLayout;
    add_row->setContentsMargins(0, 0, 0, 0);
    add_row->setSpacing(0);
    add_row->addWidget(m_add, 1);
    add_row->addWidget(m_recent_button);
    auto* side = new QVBoxLayout;
    side->setContentsMargins(0, 0, 0, 0);
    side->setSpacing(gap);
    side->addLayout(add_row);
    side->addWidget(m_remove);
    side->addWidget(m_move_up);
    side->addWidget(m_move_down);
    side->addStretch(1);
    auto* items = new QGroupBox(Text(u"IDS_HIGHLIGHTDLG_GROUP_ITEMS"), this);
    auto* items_layout = new QHBoxLayout(items);
    items_layout->addWidget(m_list, 1);
    items_layout->addLayout(side);

    // The selected rule's match condition and colours.
    auto* match = new QGroupBox(Text(u"IDS_HIGHLIGHTDLG_GROUP_MATCH_CONDITION"), this);
    auto* match_grid = new QGridLayout(match);
    match_grid->setVerticalSpacing(gap);
    match_grid->addWidget(FieldLabel(match, u"IDS_HIGHLIGHTDLG_TEXT_EXPRESSION", m_expression), 0, 0);
    match_grid->addWidget(m_expression, 0, 1);
    match_grid->addWidget(FieldLabel(match, u"IDS_HIGHLIGHTDLG_TEXT_COLUMN", m_column), 1, 0);
    match_grid->addWidget(m_column, 1, 1);
    match_grid->addWidget(m_case_sensitive, 2, 0, 1, 2);
    match_grid->addWidget(m_wildcard, 3, 0, 1, 2);
    match_grid->addWidget(m_regexp, 4, 0, 1, 2);
    match_grid->setColumnStretch(1, 1);
    auto* colors = new QGroupBox(Text(u"IDS_HIGHLIGHTDLG_GROUP_COLOR"), this);
    auto* color_grid = new QGridLayout(colors);
    color_grid->setVerticalSpacing(gap);
    color_grid->addWidget(FieldLabel(colors, u"IDS_HIGHLIGHTDLG_TEXT_TEXT", m_text_color), 0, 0);
    color_grid->addWidget(m_text_color, 0, 1);
    color_grid->addWidget(FieldLabel(colors, u"IDS_HIGHLIGHTDLG_TEXT_BACK", m_back_color), 1, 0);
    color_grid->addWidget(m_back_color, 1, 1);
    color_grid->setRowStretch(2, 1);
    auto* lower = new QHBoxLayout;
    lower->setContentsMargins(0, 0, 0, 0);
    lower->addWidget(match, 1);
    lower->addWidget(colors);

    QDialogButtonBox* buttons = OkCancelButtons(*this);
    buttons->findChild<QPushButton*>(IdObjectName(1))->setText(Text(u"IDS_WORD_APPLY"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(gap);
    layout->addWidget(items, 1);
    layout->addLayout(lower);
    layout->addLayout(m_favorites->layout());
    layout->addWidget(buttons);

    connect(m_add, &QPushButton::clicked, this, &CHighlightDlg::OnAdd);
    connect(m_recent_button, &QPushButton::clicked, this, &CHighlightDlg::OnRecent);
    connect(m_remove, &QPushButton::clicked, this, &CHighlightDlg::OnRemove);
    connect(m_move_up, &QPushButton::clicked, this, &CHighlightDlg::OnMoveUp);
    connect(m_move_down, &QPushButton::clicked, this, &CHighlightDlg::OnMoveDown);
    connect(m_favorites->add_button(), &QPushButton::clicked, this, &CHighlightDlg::OnAddFavorite);
    connect(m_favorites->delete_button(), &QPushButton::clicked, this, &CHighlightDlg::OnDeleteFavorite);
    connect(m_favorites->box(), &QComboBox::currentIndexChanged, this, &CHighlightDlg::OnFavoriteChosen);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] {
        ShowRule(SelectedRow());
        UpdateButtons();
    });

    // In-place editing of the selected row.
    auto set_expression = [this](const QString& text) {
        EditSelected([&](tagHIGHLIGHT_ITEM& rule) { rule.expression = FromQString(text); });
    };
    connect(m_expression, &CEditComboBox::EditChange, this, set_expression);
    connect(m_expression, &QComboBox::textActivated, this, set_expression);
    auto set_column = [this](const QString& text) {
        EditSelected([&](tagHIGHLIGHT_ITEM& rule) { rule.column = FromQString(text); });
    };
    connect(m_column, &QComboBox::editTextChanged, this, set_column);
    connect(m_case_sensitive, &QCheckBox::toggled, this,
            [this](bool on) { EditSelected([&](tagHIGHLIGHT_ITEM& rule) { rule.case_sensitive = on; }); });
    connect(m_wildcard, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_regexp->setChecked(false);
        EditSelected([&](tagHIGHLIGHT_ITEM& rule) {
            rule.wildcard = on;
            if (on)
                rule.regexp = false;
        });
    });
    connect(m_regexp, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_wildcard->setChecked(false);
        EditSelected([&](tagHIGHLIGHT_ITEM& rule) {
            rule.regexp = on;
            if (on)
                rule.wildcard = false;
        });
    });
    connect(m_text_color, &CFGColorPicker::ColorPicked, this, [this](uint32_t color) {
        EditSelected([&](tagHIGHLIGHT_ITEM& rule) { rule.text_color = static_cast<int32_t>(color); });
    });
    connect(m_back_color, &CFGColorPicker::ColorPicked, this, [this](uint32_t color) {
        EditSelected([&](tagHIGHLIGHT_ITEM& rule) { rule.back_color = static_cast<int32_t>(color); });
    });

    m_rows = m_rules;
    FillList();
    FillExpressionHistory(QString());
    m_favorites->Fill(m_context.favorites);
    UpdateButtons();
    AssignMnemonics(this);
    resize(sizeHint());
}

CHighlightDlg::~CHighlightDlg() = default;

template <typename Change> void CHighlightDlg::EditSelected(Change change)
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    change(m_rows[row]);
    SetRowTexts(row);
}

void CHighlightDlg::SetRowTexts(int row)
{
    const tagHIGHLIGHT_ITEM& rule = m_rows[row];
    const QString texts[3] = {DescribeRule(rule), Text(u"IDS_HIGHLIGHTDLG_LIST_EXAMPLE_TEXT"),
                              Text(rule.case_sensitive ? u"IDS_WORD_YES" : u"IDS_WORD_NO")};
    for (int column = 0; column < 3; ++column) {
        QTableWidgetItem* item = m_list->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_list->setItem(row, column, item);
        }
        item->setText(texts[column]);
    }
}

void CHighlightDlg::FillList()
{
    const QSignalBlocker quiet(m_list);
    m_list->setUpdatesEnabled(false);
    m_list->clearContents();
    m_list->setRowCount(static_cast<int>(m_rows.size()));
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row)
        SetRowTexts(row);
    m_list->setUpdatesEnabled(true);
    ShowRule(-1);
}

int CHighlightDlg::SelectedRow() const
{
    return SelectedTableRow(*m_list);
}

void CHighlightDlg::SelectRow(int row)
{
    SelectTableRow(*m_list, row);
    ShowRule(SelectedRow());
    UpdateButtons();
}

void CHighlightDlg::ShowRule(int row)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return; // the controls keep what they show
    const tagHIGHLIGHT_ITEM& rule = m_rows[row];
    const QSignalBlocker a(m_expression), b(m_column), c(m_case_sensitive), d(m_wildcard), e(m_regexp);
    m_expression->setEditText(ToQString(rule.expression));
    m_column->setEditText(ToQString(rule.column));
    m_case_sensitive->setChecked(rule.case_sensitive);
    m_wildcard->setChecked(rule.wildcard);
    m_regexp->setChecked(rule.regexp && !rule.wildcard);
    m_text_color->SetColor(static_cast<uint32_t>(rule.text_color));
    m_back_color->SetColor(static_cast<uint32_t>(rule.back_color));
}

void CHighlightDlg::UpdateButtons()
{
    const int row = SelectedRow();
    const int rows = m_list->rowCount();
    m_recent_button->setEnabled(m_context.recent && !m_context.recent->empty());
    m_remove->setEnabled(rows > 0);
    m_move_up->setEnabled(row > 0);
    m_move_down->setEnabled(row >= 0 && row < rows - 1);
    m_favorites->UpdateButtons(rows > 0);
}

void CHighlightDlg::AddRow(const tagHIGHLIGHT_ITEM& rule)
{
    m_rows.push_back(rule);
    const int row = static_cast<int>(m_rows.size()) - 1;
    {
        const QSignalBlocker quiet(m_list);
        m_list->setRowCount(row + 1);
        SetRowTexts(row);
    }
    SelectRow(row);
    m_expression->setFocus();
    m_expression->lineEdit()->selectAll();
}

void CHighlightDlg::OnAdd()
{
    tagHIGHLIGHT_ITEM rule = NewRule();
    rule.expression = FromQString(Text(u"IDS_HIGHLIGHTDLG_LIST_NEWTEXT"));
    AddRow(rule);
}

void CHighlightDlg::OnRecent()
{
    if (!m_context.recent || m_context.recent->empty())
        return;
    QMenu menu(this);
    FillRecentMenu(menu);
    PopUpUnder(menu, *m_recent_button);
}

void CHighlightDlg::FillRecentMenu(QMenu& menu)
{
    if (!m_context.recent)
        return;
    for (const tagHIGHLIGHT_ITEM& recent : *m_context.recent) {
        QString text = DescribeRule(recent);
        if (recent.case_sensitive)
            text += QStringLiteral("(") + Text(u"IDS_HIGHLIGHTDLG_LIST_COLUMN_CASE_SENSITIVE") + QStringLiteral(")");
        tagHIGHLIGHT_ITEM rule = NewRule();
        rule.expression = recent.expression;
        rule.column = recent.column;
        rule.case_sensitive = recent.case_sensitive;
        rule.wildcard = recent.wildcard;
        rule.regexp = recent.regexp;
        QAction* action = menu.addAction(Literal(text));
        connect(action, &QAction::triggered, this, [this, rule] { AddRow(rule); });
    }
}

void CHighlightDlg::OnRemove()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    m_rows.erase(m_rows.begin() + row);
    {
        const QSignalBlocker quiet(m_list);
        m_list->removeRow(row);
    }
    SelectRow(std::min(row, m_list->rowCount() - 1));
}

void CHighlightDlg::OnMoveUp()
{
    const int row = SelectedRow();
    if (row <= 0)
        return;
    std::swap(m_rows[row], m_rows[row - 1]);
    SetRowTexts(row);
    SetRowTexts(row - 1);
    SelectRow(row - 1);
}

void CHighlightDlg::OnMoveDown()
{
    const int row = SelectedRow();
    if (row < 0 || row + 1 >= static_cast<int>(m_rows.size()))
        return;
    std::swap(m_rows[row], m_rows[row + 1]);
    SetRowTexts(row);
    SetRowTexts(row + 1);
    SelectRow(row + 1);
}

void CHighlightDlg::FillExpressionHistory(const QString& keep)
{
    const QSignalBlocker quiet(m_expression);
    FillHistoryCombo(*m_expression, m_context.history ? *m_context.history : NoHistory());
    m_expression->setEditText(keep);
}

bool CHighlightDlg::BuildWorkingCopy()
{
    m_rules.clear();
    std::vector<std::u16string>& history = m_context.history ? *m_context.history : NoHistory();
    const QString shown = m_expression->currentText();
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
        tagHIGHLIGHT_ITEM rule = m_rows[row];
        if (HasXmlSpecialChars(rule.column)) {
            ShowMessage(FormatText(u"IDS_MSG_ILLEGAL_COLUMN_NAME", {}), MB_OK | MB_ICONINFORMATION);
            SelectRow(row);
            m_column->setFocus();
            m_column->lineEdit()->selectAll();
            return false;
        }
        DeriveHighlightPattern(rule);
        m_rules.push_back(rule);
        AddExpressionHistory(history, rule.expression);
    }
    FillExpressionHistory(shown);
    return true;
}

void CHighlightDlg::RecordRecent()
{
    if (!m_context.recent)
        return;
    for (const tagHIGHLIGHT_ITEM& rule : m_rules)
        AddRecentHighlight(*m_context.recent, rule);
}

void CHighlightDlg::accept()
{
    if (!BuildWorkingCopy())
        return;
    RecordRecent();
    QDialog::accept();
}

void CHighlightDlg::OnFavoriteChosen(int index)
{
    if (const CHighlight* chosen = m_favorites->Chosen(index, m_context.favorites)) {
        m_rows = *chosen;
        FillList();
    }
    UpdateButtons();
}

void CHighlightDlg::OnAddFavorite()
{
    if (!m_context.favorites || !BuildWorkingCopy())
        return;
    if (!m_favorites->Keep(*m_context.favorites, m_rules))
        return;
    RecordRecent();
    UpdateButtons();
}

void CHighlightDlg::OnDeleteFavorite()
{
    if (m_context.favorites && m_favorites->DeleteChosen(*m_context.favorites))
        UpdateButtons();
}

bool CHighlightDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete && SelectedRow() >= 0) {
            OnRemove();
            return true;
        }
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && SelectedRow() >= 0) {
            m_expression->setFocus();
            m_expression->lineEdit()->selectAll();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
