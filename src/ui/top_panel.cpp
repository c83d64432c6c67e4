#include "ui/top_panel.h"

#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/ui_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kQuickFilterWidth = 200;
constexpr int kParserChooserWidth = 200;
constexpr int kQuickFilterMaxLength = 100;

} // namespace

CTopPanel::CTopPanel(command_router& router, QWidget* parent) : QWidget(parent)
{
    setObjectName(IdObjectName(ids::kTopPanel));

    m_filter_label = new QLabel(Text(u"IDS_TOP_PANEL_TEXT_FILTER"), this);
    m_filter_label->setObjectName(IdObjectName(ids::kTopPanelFilterLabel));

    m_quick_filter = new QComboBox(this);
    m_quick_filter->setObjectName(IdObjectName(ids::kTopPanelQuickFilter));
    m_quick_filter->setEditable(true);
    m_quick_filter->setInsertPolicy(QComboBox::NoInsert);
    m_quick_filter->lineEdit()->setMaxLength(kQuickFilterMaxLength);
    m_quick_filter->setFixedWidth(kQuickFilterWidth);
    m_filter_label->setBuddy(m_quick_filter);

    m_parser_label = new QLabel(Text(u"IDS_TOP_PANEL_TEXT_PARSER"), this);
    m_parser_label->setObjectName(IdObjectName(ids::kTopPanelParserLabel));

    m_parser_chooser = new QComboBox(this);
    m_parser_chooser->setObjectName(IdObjectName(ids::kTopPanelParserChooser));
    m_parser_chooser->setFixedWidth(kParserChooserWidth);
    m_parser_chooser->addItem(Text(u"IDS_SPECIAL_DEFAULT_PARSER"));
    m_parser_label->setBuddy(m_parser_chooser);

    m_parser_text = new QLineEdit(this);
    m_parser_text->setObjectName(IdObjectName(ids::kTopPanelParserText));
    m_parser_text->setReadOnly(true);

    m_manage = new QPushButton(Text(u"IDS_TOP_PANEL_BUTTON_MANAGE"), this);
    m_manage->setObjectName(IdObjectName(ids::kTopPanelManage));
    m_manage->setAutoDefault(false);
    connect(m_manage, &QPushButton::clicked, this, [&router] { router.route(ids::kTopPanelManage); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    layout->addWidget(m_filter_label);
    layout->addSpacing(4);
    layout->addWidget(m_quick_filter);
    layout->addSpacing(20);
    layout->addWidget(m_parser_label);
    layout->addSpacing(4);
    layout->addWidget(m_parser_chooser);
    layout->addSpacing(2);
    layout->addWidget(m_parser_text, 1);
    layout->addSpacing(2);
    layout->addWidget(m_manage);

    setFixedHeight(PanelHeight());
    SetFileOpen(false);
}

int CTopPanel::PanelHeight() const
{
    // A vertical dialog unit is an eighth of the font height.
    const int six_units = fontMetrics().height() * 6 / 8;
    const int wanted = 2 * six_units + 4;
    const int needed = std::max({m_quick_filter->sizeHint().height(), m_parser_chooser->sizeHint().height(),
                                 m_manage->sizeHint().height()})
                       + 4;
    return std::max(wanted, needed);
}

void CTopPanel::SetFileOpen(bool open)
{
    m_quick_filter->setEnabled(open);
    m_parser_chooser->setEnabled(open);
    m_parser_text->setEnabled(open);
    if (!open)
        m_quick_filter->setEditText(QString());
}
