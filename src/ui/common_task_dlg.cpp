#include "ui/common_task_dlg.h"

#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/icon_library.h"
#include "ui/menu_items.h"
#include "ui/ui_text.h"

#include <QGridLayout>
#include <QMenu>
#include <QToolButton>

namespace {

constexpr int kPanelWidth = 240;
constexpr int kMinimumTopGap = 20;

} // namespace

void FillRecentFilesMenu(QMenu& menu, const std::vector<std::u16string>& recent, command_router& router)
{
    menu.clear();
    AppendListCommands(menu, recent, ids::kRecentFileFirst, ids::kRecentFileLast - ids::kRecentFileFirst + 1, router);
}

CCommonTaskDlg::CCommonTaskDlg(command_router& router, const icon_library& icons, recent_files_source recent_files,
                               QWidget* parent)
    : QFrame(parent), m_router(router), m_recent_files(std::move(recent_files)), m_recent_menu(new QMenu(this))
{
    setObjectName(IdObjectName(ids::kCommonTasks));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    QFont big = font();
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 1.5);
    else
        big.setPixelSize(big.pixelSize() * 3 / 2);

    auto make_button = [&](int id, std::u16string_view key, int icon, int command) {
        auto* button = new QToolButton(this);
        button->setObjectName(IdObjectName(id));
        button->setText(Text(key));
        button->setIcon(icons.Icon(icon));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setAutoRaise(true);
        button->setFont(big);
        connect(button, &QToolButton::clicked, this, [this, command] { m_router.route(command); });
        return button;
    };

    auto* open = make_button(ids::kTaskOpenFile, u"IDS_COMMONTASKDLG_BUTTON_OPENFILE", ids::kIconOpen, ids::kFileOpen);
    auto* arrow = new QToolButton(this);
    arrow->setObjectName(IdObjectName(ids::kTaskOpenRecent));
    arrow->setArrowType(Qt::DownArrow);
    arrow->setAutoRaise(true);
    arrow->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    connect(arrow, &QToolButton::clicked, this, &CCommonTaskDlg::ShowRecentFiles);

    auto* options =
        make_button(ids::kTaskOptions, u"IDS_COMMONTASKDLG_BUTTON_CHANGEOPTIONS", ids::kIconOptions, ids::kEditOptions);
    auto* parsers = make_button(ids::kTaskManageParsers, u"IDS_COMMONTASKDLG_BUTTON_MANAGEPARSERS",
                                ids::kIconManageParsers, ids::kTopPanelManage);
    auto* help = make_button(ids::kTaskHelp, u"IDS_COMMONTASKDLG_BUTTON_HELP", ids::kIconHelp, ids::kHelpHelp);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setHorizontalSpacing(0);
    layout->setVerticalSpacing(6);
    layout->addWidget(open, 0, 0);
    layout->addWidget(arrow, 0, 1);
    layout->addWidget(options, 1, 0, 1, 2);
    layout->addWidget(parsers, 2, 0, 1, 2);
    layout->addWidget(help, 3, 0, 1, 2);

    const QSize hint = sizeHint();
    resize(std::max(kPanelWidth, hint.width()), hint.height());
}

QToolButton* CCommonTaskDlg::Button(int id) const
{
    return findChild<QToolButton*>(IdObjectName(id), Qt::FindDirectChildrenOnly);
}

void CCommonTaskDlg::ShowRecentFiles()
{
    const std::vector<std::u16string> recent = m_recent_files ? m_recent_files() : std::vector<std::u16string>{};
    if (recent.empty()) {
        m_router.route(ids::kFileOpen);
        return;
    }
    FillRecentFilesMenu(*m_recent_menu, recent, m_router);
    QToolButton* open = Button(ids::kTaskOpenFile);
    m_recent_menu->popup(open->mapToGlobal(QPoint(0, open->height())));
}

void CCommonTaskDlg::PlaceOver(const QRect& area)
{
    const int x = area.left() + (area.width() - width()) / 2;
    const int y = area.top() + std::max(kMinimumTopGap, (area.height() - height()) / 3);
    move(x, y);
}
