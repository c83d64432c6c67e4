#include "ui/file_tab_ctrl.h"

#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/ui_text.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QTabBar>

CFileTabCtrl::CFileTabCtrl(const command_router& router, QWidget* parent) : QTabWidget(parent), m_router(router)
{
    setObjectName(IdObjectName(ids::kTabControl));
    setTabsClosable(true);
    setDocumentMode(true);
    setUsesScrollButtons(true);
    setMovable(false);
    setElideMode(Qt::ElideMiddle);
    setFocusPolicy(Qt::TabFocus);
    tabBar()->setExpanding(false);
    tabBar()->installEventFilter(this);
    connect(this, &QTabWidget::tabCloseRequested, this, &CFileTabCtrl::CloseTab);
    connect(this, &QTabWidget::currentChanged, this, &CFileTabCtrl::ShowCloseButtonOnActiveTab);
}

int CFileTabCtrl::TabAt(const QPoint& pos) const
{
    return tabBar()->tabAt(tabBar()->mapFrom(this, pos));
}

void CFileTabCtrl::CloseTab(int index)
{
    if (index < 0 || index >= count())
        return;
    setCurrentIndex(index);
    m_router.route(ids::kFileClose);
}

void CFileTabCtrl::tabInserted(int index)
{
    QTabWidget::tabInserted(index);
    ShowCloseButtonOnActiveTab();
}

void CFileTabCtrl::ShowCloseButtonOnActiveTab()
{
    QTabBar* bar = tabBar();
    const int current = currentIndex();
    for (int i = 0; i < bar->count(); ++i) {
        for (QTabBar::ButtonPosition side : {QTabBar::LeftSide, QTabBar::RightSide}) {
            if (QWidget* button = bar->tabButton(i, side))
                button->setVisible(i == current);
        }
    }
}

bool CFileTabCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tabBar()) {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::MiddleButton) {
                const int index = tabBar()->tabAt(mouse->position().toPoint());
                if (index >= 0) {
                    CloseTab(index);
                    return true;
                }
            }
        } else if (event->type() == QEvent::ContextMenu) {
            auto* menu = static_cast<QContextMenuEvent*>(event);
            const int index = tabBar()->tabAt(menu->pos());
            if (index < 0)
                return true; // no tab under the point: nothing
            setCurrentIndex(index);
            emit TabContextMenuRequested(menu->globalPos());
            return true;
        }
    }
    return QTabWidget::eventFilter(watched, event);
}
