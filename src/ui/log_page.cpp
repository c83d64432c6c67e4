#include "ui/log_page.h"

#include "ui/log_list_ctrl.h"
#include "ui/results_pane.h"

#include <QList>

CLogPage::CLogPage(CLogListCtrl* list, QWidget* parent) : QSplitter(Qt::Vertical, parent), m_list(list)
{
    setObjectName(QStringLiteral("log_page"));
    setChildrenCollapsible(false);
    addWidget(m_list);
    m_pane = new CResultsPane(this);
    addWidget(m_pane);
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);
    m_pane->hide();
    connect(this, &QSplitter::splitterMoved, this, [this] {
        if (PaneShown())
            emit PaneHeightChanged(PaneHeight());
    });
}

void CLogPage::ShowPane(int height)
{
    if (PaneShown())
        return;
    if (height <= 0)
        height = kDefaultPaneHeight;
    m_pane->show();
    const int total = std::max(this->height(), height + 60);
    setSizes({std::max(total - height - handleWidth(), 40), height});
}

bool CLogPage::PaneShown() const
{
    return !m_pane->isHidden();
}

int CLogPage::PaneHeight() const
{
    const QList<int> parts = sizes();
    return parts.size() > 1 ? parts[1] : 0;
}

CLogListCtrl* LogListOfPage(QWidget* page)
{
    if (auto* list = qobject_cast<CLogListCtrl*>(page))
        return list;
    if (auto* log_page = qobject_cast<CLogPage*>(page))
        return log_page->List();
    return nullptr;
}

CResultsPane* ResultsPaneOfPage(QWidget* page)
{
    auto* log_page = qobject_cast<CLogPage*>(page);
    return log_page ? log_page->Pane() : nullptr;
}
