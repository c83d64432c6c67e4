#include "dialogs/filter_dlg.h"

#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "dialogs/rule_list_parts.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QTableWidgetItem* Cell(const QString& text, const QColor& color)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setForeground(color);
    return item;
}

} // namespace

CFilterDlg::CFilterDlg(const log_filter_groups& groups, context what, QWidget* parent)
    : QDialog(parent), m_groups(groups), m_context(std::move(what))
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("filter"));
    setWindowTitle(Text(u"IDS_FILTERDLG_TITLE"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    const int gap = DialogUnitsY(metrics, 4);

    m_list = MakeRuleTable(this, kConditionList,
                           {Text(u"IDS_FILTERDLG_LIST_COLUMN_CONDITION"), Text(u"IDS_FILTER_CASE_SENSITIVE"),
                            Text(u"IDS_FILTER_LOGIC")},
                           330, 110);
    m_list->installEventFilter(this);

    m_add = DialogButton(this, kAddButton, u"IDS_FILTERDLG_BUTTON_ADD");
    m_recent_button = MakeRecentButton(this, kRecentButton);
    m_remove = DialogButton(this, kRemoveButton, u"IDS_FILTERDLG_BUTTON_REMOVE");
    m_remove_all = DialogButton(this, kRemoveAllButton, u"IDS_FILTERDLG_BUTTON_REMOVE_ALL");
    m_edit = DialogButton(this, kEditButton, u"IDS_FILTERDLG_BUTTON_EDIT");
    m_whole_file = new QPushButton(this);
    m_whole_file->setObjectName(QStringLiteral("filter_whole_file"));
    m_whole_file->setText(Text(u"IDS_FILTERDLG_BUTTON_WHOLE_FILE"));
    m_whole_file->setEnabled(false);
    connect(m_whole_file, &QPushButton::clicked, this, [this] {
        m_whole_file_chosen = true;
        accept();
    });

    m_favorites.emplace(this, favorite_row::keys{kFavoriteBox, kAddFavoriteButton, kDeleteFavoriteButton,
                                                 u"IDS_FILTERDLG_GROUP_FAVORITE", u"IDS_FILTERDLG_BUTTON_ADDFAV",
                                                 u"IDS_FILTERDLG_BUTTON_DELFAV", u"IDS_FILTERDLG_FAVNAME",
                                                 u"IDS_FILTERDLG_FAVNAME_LABEL"});

    auto* info = new QLabel(Text(u"IDS_FILTERDLG_TEXT_INFO"), this);
    info->setWordWrap(true);
    info->setTextFormat(Qt::PlainText);

    auto* add_row = new QHBoxLayout;
    add_row->setContentsMargins(0, 0, 0, 0);
    add_row->setSpacing(0);
    add_row->addWidget(m_add, 1);
    add_row->addWidget(m_recent_button);
    auto* side = new QVBoxLayout;
    side->setContentsMargins(0, 0, 0, 0);
    side->setSpacing(gap);
    side->addLayout(add_row);
    side->addWidget(m_edit);
    side->addWidget(m_remove);
    side->addWidget(m_remove_all);
    side->addWidget(m_whole_file);
    side->addStretch(1);

    auto* upper = new QHBoxLayout;
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(margin);
    upper->addWidget(m_list, 1);
    upper->addLayout(side);

    QDialogButtonBox* buttons = OkCancelButtons(*this);
    buttons->findChild<QPushButton*>(IdObjectName(1))->setText(Text(u"IDS_WORD_APPLY"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(gap);
    layout->addWidget(info);
    layout->addLayout(upper, 1);
    layout->addLayout(m_favorites->layout());
    layout->addWidget(buttons);

    connect(m_add, &QPushButton::clicked, this, &CFilterDlg::OnAdd);
    connect(m_recent_button, &QPushButton::clicked, this, &CFilterDlg::OnRecent);
    connect(m_remove, &QPushButton::clicked, this, &CFilterDlg::OnRemove);
    connect(m_remove_all, &QPushButton::clicked, this, &CFilterDlg::OnRemoveAll);
    connect(m_edit, &QPushButton::clicked, this, &CFilterDlg::OnEdit);
    connect(m_favorites->add_button(), &QPushButton::clicked, this, &CFilterDlg::OnAddFavorite);
    connect(m_favorites->delete_button(), &QPushButton::clicked, this, &CFilterDlg::OnDeleteFavorite);
    connect(m_favorites->box(), &QComboBox::currentIndexChanged, this, &CFilterDlg::OnFavoriteChosen);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CFilterDlg::UpdateButtons);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this](int, int) { OnEdit(); });

    FillList();
    m_favorites->Fill(m_context.favorites);
    UpdateButtons();
    AssignMnemonics(this);
    resize(sizeHint());
}

CFilterDlg::~CFilterDlg() = default;

void CFilterDlg::FillList()
{
    m_list->setUpdatesEnabled(false);
    m_groups.Flatten(m_rows);
    m_list->clearContents();
    m_list->setRowCount(static_cast<int>(m_rows.size()));
    const QColor normal = palette().color(QPalette::ButtonText);
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    const std::vector<std::u16string>& headers = m_context.headers;
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
        const log_filter& condition = m_rows[row];
        const bool missing = !condition.column().empty()
                             && std::find(headers.begin(), headers.end(), condition.column()) == headers.end();
        const QColor color = missing ? grey : normal;
        m_list->setItem(row, 0, Cell(DescribeCondition(condition), color));
        m_list->setItem(row, 1, Cell(Text(condition.case_sensitive() ? u"IDS_WORD_YES" : u"IDS_WORD_NO"), color));
        m_list->setItem(row, 2,
                        Cell(Text(condition.logic_and() ? u"IDS_FILTER_LOGIC_AND" : u"IDS_FILTER_LOGIC_OR"), color));
    }
    m_list->setUpdatesEnabled(true);
}

void CFilterDlg::RebuildGroups()
{
    m_groups.clear();
    for (const log_filter& condition : m_rows)
        m_groups.AddCondition(condition);
}

int CFilterDlg::SelectedRow() const
{
    return SelectedTableRow(*m_list);
}

void CFilterDlg::SelectRow(int row)
{
    SelectTableRow(*m_list, row);
    UpdateButtons();
}

void CFilterDlg::UpdateButtons()
{
    const bool selected = SelectedRow() >= 0;
    m_recent_button->setEnabled(m_context.recent && !m_context.recent->empty());
    m_remove->setEnabled(selected);
    m_edit->setEnabled(selected);
    m_remove_all->setEnabled(m_list->rowCount() > 0);
    m_whole_file->setEnabled(m_list->rowCount() > 0);
    m_favorites->UpdateButtons(m_list->rowCount() > 0);
}

void CFilterDlg::AddCondition(const log_filter& condition)
{
    const std::size_t before = m_groups.ConditionCount();
    const std::size_t at = m_groups.AddCondition(condition);
    if (m_groups.ConditionCount() != before)
        FillList();
    SelectRow(static_cast<int>(at));
}

void CFilterDlg::OnAdd()
{
    static std::vector<std::u16string> no_history;
    CFilterEditDlg dialog(CFilterEditDlg::mode::add, m_context.columns, m_context.headers,
                          m_context.history ? *m_context.history : no_history, this);
    dialog.SetAddHandler([this](const log_filter& condition) { AddCondition(condition); });
    dialog.exec();
    UpdateButtons();
}

void CFilterDlg::OnRecent()
{
    if (!m_context.recent || m_context.recent->empty())
        return;
    QMenu menu(this);
    FillRecentMenu(menu);
    PopUpUnder(menu, *m_recent_button);
}

void CFilterDlg::FillRecentMenu(QMenu& menu)
{
    if (!m_context.recent)
        return;
    for (const log_filter& condition : *m_context.recent) {
        QString text = DescribeCondition(condition);
        if (condition.case_sensitive())
            text += QStringLiteral("(") + Text(u"IDS_FILTER_CASE_SENSITIVE") + QStringLiteral(")");
        QAction* action = menu.addAction(Literal(text));
        connect(action, &QAction::triggered, this, [this, condition] { AddCondition(condition); });
    }
}

void CFilterDlg::OnRemove()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    m_rows.erase(m_rows.begin() + row);
    RebuildGroups();
    FillList();
    SelectRow(std::min(row, m_list->rowCount() - 1));
}

void CFilterDlg::OnRemoveAll()
{
    m_groups.clear();
    FillList();
    UpdateButtons();
}

void CFilterDlg::OnEdit()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    static std::vector<std::u16string> no_history;
    CFilterEditDlg dialog(CFilterEditDlg::mode::edit, m_context.columns, m_context.headers,
                          m_context.history ? *m_context.history : no_history, this);
    dialog.SetCondition(m_rows[row]);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_rows.erase(m_rows.begin() + row);
    RebuildGroups();
    FillList();
    AddCondition(dialog.Condition());
}

void CFilterDlg::OnFavoriteChosen(int index)
{
    if (const log_filter_groups* chosen = m_favorites->Chosen(index, m_context.favorites)) {
        m_groups = *chosen;
        FillList();
    }
    UpdateButtons();
}

void CFilterDlg::OnAddFavorite()
{
    if (!m_context.favorites)
        return;
    RebuildGroups();
    if (!m_favorites->Keep(*m_context.favorites, m_groups))
        return;
    RecordRecent();
    UpdateButtons();
}

void CFilterDlg::OnDeleteFavorite()
{
    if (m_context.favorites && m_favorites->DeleteChosen(*m_context.favorites))
        UpdateButtons();
}

void CFilterDlg::RecordRecent()
{
    if (!m_context.recent)
        return;
    std::vector<log_filter> conditions;
    m_groups.Flatten(conditions);
    for (const log_filter& condition : conditions) {
        log_filter entry;
        entry.SetColumn(condition.column());
        entry.SetType(condition.type());
        entry.SetContent(condition.content());
        entry.SetCaseSensitive(condition.case_sensitive());
        entry.SetLogicAnd(true);
        AddRecentCondition(*m_context.recent, entry);
    }
}

void CFilterDlg::accept()
{
    RebuildGroups();
    RecordRecent();
    QDialog::accept();
}

bool CFilterDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete && m_remove->isEnabled()) {
            OnRemove();
            return true;
        }
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_edit->isEnabled()) {
            OnEdit();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
