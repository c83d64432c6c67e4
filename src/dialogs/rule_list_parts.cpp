#include "dialogs/rule_list_parts.h"

#include "dialogs/dialog_parts.h"
#include "dialogs/text_input_dlg.h"
#include "platform/message_box.h"
#include "ui/dialog_units.h"
#include "ui/ui_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>

QTableWidget* MakeRuleTable(QWidget* parent, int id, const QStringList& headers, int min_width_du, int min_height_du)
{
    const QFontMetrics metrics = parent->fontMetrics();
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(IdObjectName(id));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(true);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);
    table->setHorizontalHeaderLabels(headers);
    QHeaderView* header = table->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < headers.size(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setMinimumSize(DialogUnitsX(metrics, min_width_du), DialogUnitsY(metrics, min_height_du));
    return table;
}

int SelectedTableRow(const QTableWidget& table)
{
    const QList<QTableWidgetSelectionRange> ranges = table.selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void SelectTableRow(QTableWidget& table, int row)
{
    if (row < 0 || row >= table.rowCount()) {
        table.clearSelection();
        return;
    }
    table.selectRow(row);
    table.setCurrentCell(row, 0);
    table.scrollToItem(table.item(row, 0));
}

QPushButton* DialogButton(QWidget* parent, int id, std::u16string_view key)
{
    auto* button = new QPushButton(key.empty() ? QString() : Text(key), parent);
    button->setObjectName(IdObjectName(id));
    button->setAutoDefault(false);
    return button;
}

QPushButton* MakeRecentButton(QWidget* parent, int id)
{
    QPushButton* button = DialogButton(parent, id, u"");
    button->setText(QStringLiteral("\u25BE"));
    button->setFixedWidth(
        std::max(DialogUnitsX(parent->fontMetrics(), 12), button->minimumSizeHint().width()));
    return button;
}

void PopUpUnder(QMenu& menu, const QPushButton& button)
{
    menu.exec(button.mapToGlobal(QPoint(0, button.height())));
}

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

favorite_row::favorite_row(QWidget* parent, const keys& what) : m_keys(what), m_parent(parent)
{
    m_box = new QComboBox(parent);
    m_box->setObjectName(IdObjectName(what.box_id));
    m_box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_box->setMinimumContentsLength(24);
    m_add = DialogButton(parent, what.add_id, what.add);
    m_delete = DialogButton(parent, what.delete_id, what.remove);
    auto* label = new QLabel(Text(what.label), parent);
    label->setBuddy(m_box);
    m_layout = new QHBoxLayout;
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(label);
    m_layout->addWidget(m_box, 1);
    m_layout->addWidget(m_add);
    m_layout->addWidget(m_delete);
}

void favorite_row::UpdateButtons(bool can_add) const
{
    m_add->setEnabled(can_add);
    m_delete->setEnabled(m_box->currentIndex() > 0);
}

std::u16string favorite_row::BoxName(int index) const
{
    return FromQString(m_box->itemText(index));
}

std::optional<std::u16string> favorite_row::AskName(const std::vector<std::u16string>& names,
                                                    std::u16string& replaced) const
{
    return AskFavoriteName(m_keys.name_title, m_keys.name_label, names, replaced, m_parent);
}

std::optional<std::u16string> favorite_row::ConfirmDelete() const
{
    const int index = m_box->currentIndex();
    if (index <= 0)
        return std::nullopt;
    std::u16string name = BoxName(index);
    if (ShowMessage(FormatText(u"IDS_MSG_DO_YOU_WANT_TO_DELETE_FAVORITE", {name}), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return std::nullopt;
    return name;
}

void favorite_row::ResetBox() const
{
    const QSignalBlocker quiet(m_box);
    m_box->setCurrentIndex(0);
}
