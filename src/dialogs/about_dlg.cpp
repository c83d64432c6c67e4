#include "dialogs/about_dlg.h"

#include "dialogs/dialog_parts.h"
#include "ui/ui_text.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(const std::u16string& name, const std::u16string& version, about_actions actions,
                     const QIcon& icon, QWidget* parent)
    : QDialog(parent), m_actions(std::move(actions))
{
    setObjectName(IdObjectName(100));
    setWindowTitle(Text(u"IDS_ABOUTDLG_TITLE"));

    auto* name_label = new QLabel(ToQString(name), this);
    name_label->setObjectName(IdObjectName(about_ids::kName));
    QFont big = name_label->font();
    big.setBold(true);
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 1.5);
    name_label->setFont(big);

    auto* version_caption = new QLabel(Text(u"IDS_ABOUTDLG_TEXT_VERSION"), this);
    auto* version_label = new QLabel(ToQString(version), this);
    version_label->setObjectName(IdObjectName(about_ids::kVersion));
    version_label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* heading = new QVBoxLayout;
    heading->addWidget(name_label);
    auto* version_row = new QHBoxLayout;
    version_row->addWidget(version_caption);
    version_row->addWidget(version_label);
    version_row->addStretch(1);
    heading->addLayout(version_row);

    auto* top = new QHBoxLayout;
    if (!icon.isNull()) {
        auto* picture = new QLabel(this);
        picture->setPixmap(icon.pixmap(QSize(64, 64), devicePixelRatioF()));
        picture->setAlignment(Qt::AlignTop);
        top->addWidget(picture);
    }
    top->addLayout(heading, 1);

    auto* more = new QGroupBox(Text(u"IDS_ABOUTDLG_GROUP_MOREINFO"), this);
    auto* links = new QVBoxLayout(more);
    links->addWidget(MakeLink(about_ids::kWebSite, u"IDS_ABOUTDLG_TEXT_WEBSITE"));
    links->addWidget(MakeLink(about_ids::kSupport, u"IDS_ABOUTDLG_TEXT_SUPPORT"));
    links->addWidget(MakeLink(about_ids::kFeedback, u"IDS_ABOUTDLG_TEXT_FEEDBACK"));
    if (!m_actions.open_support_mail)
        Control(about_ids::kSupport)->setEnabled(false);

    auto* update = new QPushButton(Text(u"IDS_ABOUTDLG_BUTTON_CHECK_UPDATE"), this);
    update->setObjectName(IdObjectName(about_ids::kCheckUpdate));
    update->setAutoDefault(false);
    connect(update, &QPushButton::clicked, this, [this] { FollowLink(about_ids::kCheckUpdate); });

    QDialogButtonBox* buttons = OkCancelButtons(*this, true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(more);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(update);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLabel* CAboutDlg::MakeLink(int id, std::u16string_view key)
{
    auto* link = new QLabel(this);
    link->setObjectName(IdObjectName(id));
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"#%1\">%2</a>").arg(id).arg(Text(key).toHtmlEscaped()));
    // Tab reaches each link and Enter follows it, as a click does.
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setFocusPolicy(Qt::StrongFocus);
    connect(link, &QLabel::linkActivated, this, [this, id] { FollowLink(id); });
    return link;
}

QWidget* CAboutDlg::Control(int id) const
{
    return findChild<QWidget*>(IdObjectName(id));
}

void CAboutDlg::FollowLink(int id)
{
    const std::function<void()>* action = nullptr;
    switch (id) {
    case about_ids::kWebSite: action = &m_actions.open_web_site; break;
    case about_ids::kSupport: action = &m_actions.open_support_mail; break;
    case about_ids::kFeedback: action = &m_actions.open_feedback; break;
    case about_ids::kCheckUpdate: action = &m_actions.check_update; break;
    default: return;
    }
    if (*action)
        (*action)();
}
