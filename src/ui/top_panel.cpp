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

    filter_label_ = new QLabel(Text(u"IDS_TOP_PANEL_TEXT_FILTER"), this);
    filter_label_->setObjectName(IdObjectName(ids::kTopPanelFilterLabel));

    quick_filter_ = new QComboBox(this);
    quick_filter_->setObjectName(IdObjectName(ids::kTopPanelQuickFilter));
    quick_filter_->setEditable(true);
    quick_filter_->setInsertPolicy(QComboBox::NoInsert);
    quick_filter_->lineEdit()->setMaxLength(kQuickFilterMaxLength);
    quick_filter_->setFixedWidth(kQuickFilterWidth);
    filter_label_->setBuddy(quick_filter_);

    parser_label_ = new QLabel(Text(u"IDS_TOP_PANEL_TEXT_PARSER"), this);
    parser_label_->setObjectName(IdObjectName(ids::kTopPanelParserLabel));

    parser_chooser_ = new QComboBox(this);
    parser_chooser_->setObjectName(IdObjectName(ids::kTopPanelParserChooser));
    parser_chooser_->setFixedWidth(kParserChooserWidth);
    parser_chooser_->addItem(Text(u"IDS_SPECIAL_DEFAULT_PARSER"));
    parser_label_->setBuddy(parser_chooser_);

    parser_text_ = new QLineEdit(this);
    parser_text_->setObjectName(IdObjectName(ids::kTopPanelParserText));
    parser_text_->setReadOnly(true);

    manage_ = new QPushButton(Text(u"IDS_TOP_PANEL_BUTTON_MANAGE"), this);
    manage_->setObjectName(IdObjectName(ids::kTopPanelManage));
    manage_->setAutoDefault(false);
    connect(manage_, &QPushButton::clicked, this, [&router] { router.route(ids::kTopPanelManage); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    layout->addWidget(filter_label_);
    layout->addSpacing(4);
    layout->addWidget(quick_filter_);
    layout->addSpacing(20);
    layout->addWidget(parser_label_);
    layout->addSpacing(4);
    layout->addWidget(parser_chooser_);
    layout->addSpacing(2);
    layout->addWidget(parser_text_, 1);
    layout->addSpacing(2);
    layout->addWidget(manage_);

    setFixedHeight(PanelHeight());
    SetFileOpen(false);
}

int CTopPanel::PanelHeight() const
{
    // A vertical dialog unit is an eighth of the font height.
    const int six_units = fontMetrics().height() * 6 / 8;
    const int wanted = 2 * six_units + 4;
    const int needed = std::max({quick_filter_->sizeHint().height(), parser_chooser_->sizeHint().height(),
                                 manage_->sizeHint().height()})
                       + 4;
    return std::max(wanted, needed);
}

void CTopPanel::SetFileOpen(bool open)
{
    quick_filter_->setEnabled(open);
    parser_chooser_->setEnabled(open);
    parser_text_->setEnabled(open);
    if (!open)
        quick_filter_->setEditText(QString());
}
