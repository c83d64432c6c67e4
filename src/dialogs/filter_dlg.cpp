#include "dialogs/filter_dlg.h"

#include "dialogs/dialog_parts.h"
#include "dialogs/mnemonics.h"
#include "dialogs/text_input_dlg.h"
#include "platform/message_box.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton* Button(QWidget* parent, int id, std::u16string_view key)
{
    auto* button = new QPushButton(key.empty() ? QString() : Text(key), parent);
    button->setObjectName(IdObjectName(id));
    button->setAutoDefault(false);
    return button;
}

QTableWidgetItem* Cell(const QString& text, const QColor& color)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setForeground(color);
    return item;
}

} // namespace

void FillFavoriteBox(QComboBox& box, const std::vector<std::u16string>& names)
{
    const QSignalBlocker quiet(&box);
    box.clear();
    box.addItem(Text(u"IDS_SPECIAL_RECALL_FAVORITE"));
    QStringList sorted;
    for (const std::u16string& name : names)
        sorted.push_back(ToQString(name));
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    box.addItems(sorted);
    box.setCurrentIndex(0);
}

void InsertFavoriteName(QComboBox& box, const std::u16string& name)
{
    const QString text = ToQString(name);
    int at = 1;
    while (at < box.count() && box.itemText(at).compare(text, Qt::CaseInsensitive) < 0)
        ++at;
    const QSignalBlocker quiet(&box);
    box.insertItem(at, text);
    box.setCurrentIndex(at);
}

void RemoveFavoriteName(QComboBox& box, const std::u16string& name)
{
    const QSignalBlocker quiet(&box);
    for (int i = box.count() - 1; i >= 1; --i)
        if (box.itemText(i) == ToQString(name))
            box.removeItem(i);
}

CFilterDlg::CFilterDlg(const log_filter_groups& groups, context what, QWidget* parent)
    : QDialog(parent), m_groups(groups), m_context(std::move(what))
{
    setObjectName(IdObjectName(kTemplateId));
    setProperty("help_topic", QStringLiteral("filter"));
    setWindowTitle(Text(u"IDS_FILTERDLG_TITLE"));
    const QFontMetrics metrics = fontMetrics();
    const int margin = DialogUnitsX(metrics, 7);
    const int gap = DialogUnitsY(metrics, 4);

    m_list = new QTableWidget(0, 3, this);
    m_list->setObjectName(IdObjectName(kConditionList));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);
    m_list->setHorizontalHeaderLabels(
        {Text(u"IDS_FILTERDLG_LIST_COLUMN_CONDITION"), Text(u"IDS_FILTER_CASE_SENSITIVE"), Text(u"IDS_FILTER_LOGIC")});
    m_list->horizontalHeader()->setHighlightSections(false);
    // The condition takes the room the other two leave.
    m_list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_list->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setMinimumSize(DialogUnitsX(metrics, 330), DialogUnitsY(metrics, 110));
    m_list->installEventFilter(this);

    m_add = Button(this, kAddButton, u"IDS_FILTERDLG_BUTTON_ADD");
    m_recent_button = Button(this, kRecentButton, u"");
    m_recent_button->setText(QStringLiteral("\u25BE"));
    // Narrow, but never narrower than the style draws the arrow.
    m_recent_button->setFixedWidth(std::max(DialogUnitsX(metrics, 12), m_recent_button->minimumSizeHint().width()));
    m_remove = Button(this, kRemoveButton, u"IDS_FILTERDLG_BUTTON_REMOVE");
    m_remove_all = Button(this, kRemoveAllButton, u"IDS_FILTERDLG_BUTTON_REMOVE_ALL");
    m_edit = Button(this, kEditButton, u"IDS_FILTERDLG_BUTTON_EDIT");
    m_whole_file = new QPushButton(this);
    m_whole_file->setObjectName(QStringLiteral("filter_whole_file"));
    m_whole_file->setEnabled(false);
    m_whole_file->hide();

    m_favorites = new QComboBox(this);
    m_favorites->setObjectName(IdObjectName(kFavoriteBox));
    m_favorites->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_favorites->setMinimumContentsLength(24);
    m_add_favorite = Button(this, kAddFavoriteButton, u"IDS_FILTERDLG_BUTTON_ADDFAV");
    m_delete_favorite = Button(this, kDeleteFavoriteButton, u"IDS_FILTERDLG_BUTTON_DELFAV");

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

    auto* favorite_label = new QLabel(Text(u"IDS_FILTERDLG_GROUP_FAVORITE"), this);
    favorite_label->setBuddy(m_favorites);
    auto* favorite_row = new QHBoxLayout;
    favorite_row->setContentsMargins(0, 0, 0, 0);
    favorite_row->addWidget(favorite_label);
    favorite_row->addWidget(m_favorites, 1);
    favorite_row->addWidget(m_add_favorite);
    favorite_row->addWidget(m_delete_favorite);

    QDialogButtonBox* buttons = OkCancelButtons(*this);
    buttons->findChild<QPushButton*>(IdObjectName(1))->setText(Text(u"IDS_WORD_APPLY"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(gap);
    layout->addWidget(info);
    layout->addLayout(upper, 1);
    layout->addLayout(favorite_row);
    layout->addWidget(buttons);

    connect(m_add, &QPushButton::clicked, this, &CFilterDlg::OnAdd);
    connect(m_recent_button, &QPushButton::clicked, this, &CFilterDlg::OnRecent);
    connect(m_remove, &QPushButton::clicked, this, &CFilterDlg::OnRemove);
    connect(m_remove_all, &QPushButton::clicked, this, &CFilterDlg::OnRemoveAll);
    connect(m_edit, &QPushButton::clicked, this, &CFilterDlg::OnEdit);
    connect(m_add_favorite, &QPushButton::clicked, this, &CFilterDlg::OnAddFavorite);
    connect(m_delete_favorite, &QPushButton::clicked, this, &CFilterDlg::OnDeleteFavorite);
    connect(m_favorites, &QComboBox::currentIndexChanged, this, &CFilterDlg::OnFavoriteChosen);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CFilterDlg::UpdateButtons);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this](int, int) { OnEdit(); });

    FillList();
    std::vector<std::u16string> names;
    if (m_context.favorites)
        for (const auto& entry : *m_context.favorites)
            names.push_back(entry.first);
    FillFavoriteBox(*m_favorites, names);
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
    const QList<QTableWidgetSelectionRange> ranges = m_list->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void CFilterDlg::SelectRow(int row)
{
    if (row < 0 || row >= m_list->rowCount()) {
        m_list->clearSelection();
    } else {
        m_list->selectRow(row);
        m_list->setCurrentCell(row, 0);
        m_list->scrollToItem(m_list->item(row, 0));
    }
    UpdateButtons();
}

void CFilterDlg::UpdateButtons()
{
    const bool selected = SelectedRow() >= 0;
    m_recent_button->setEnabled(m_context.recent && !m_context.recent->empty());
    m_remove->setEnabled(selected);
    m_edit->setEnabled(selected);
    m_remove_all->setEnabled(m_list->rowCount() > 0);
    m_add_favorite->setEnabled(m_list->rowCount() > 0);
    m_delete_favorite->setEnabled(m_favorites->currentIndex() > 0);
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
    menu.exec(m_recent_button->mapToGlobal(QPoint(0, m_recent_button->height())));
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
    if (index > 0 && m_context.favorites) {
        const auto found = m_context.favorites->find(FromQString(m_favorites->itemText(index)));
        if (found != m_context.favorites->end()) {
            m_groups = found->second;
            FillList();
        }
    }
    UpdateButtons();
}

void CFilterDlg::OnAddFavorite()
{
    if (!m_context.favorites)
        return;
    std::vector<std::u16string> names;
    for (const auto& entry : *m_context.favorites)
        names.push_back(entry.first);
    std::u16string replaced;
    const std::optional<std::u16string> name =
        AskFavoriteName(u"IDS_FILTERDLG_FAVNAME", u"IDS_FILTERDLG_FAVNAME_LABEL", names, replaced, this);
    if (!name)
        return;
    if (!replaced.empty()) {
        m_context.favorites->erase(replaced);
        RemoveFavoriteName(*m_favorites, replaced);
    }
    RebuildGroups();
    (*m_context.favorites)[*name] = m_groups;
    InsertFavoriteName(*m_favorites, *name);
    RecordRecent();
    UpdateButtons();
}

void CFilterDlg::OnDeleteFavorite()
{
    const int index = m_favorites->currentIndex();
    if (index <= 0 || !m_context.favorites)
        return;
    const std::u16string name = FromQString(m_favorites->itemText(index));
    if (ShowMessage(FormatText(u"IDS_MSG_DO_YOU_WANT_TO_DELETE_FAVORITE", {name}), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_context.favorites->erase(name);
    RemoveFavoriteName(*m_favorites, name);
    const QSignalBlocker quiet(m_favorites);
    m_favorites->setCurrentIndex(0);
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
