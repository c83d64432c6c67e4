#include "ui/log_page.h"

#include "ui/log_list_ctrl.h"
#include "ui/overview_strip.h"
#include "ui/results_pane.h"

#include <QHBoxLayout>
#include <QList>

CLogPage::CLogPage(CLogListCtrl* list, QWidget* parent) : QSplitter(Qt::Vertical, parent), m_list(list)
{
    setObjectName(QStringLiteral("log_page"));
    setChildrenCollapsible(false);
    auto* top = new QWidget(this);
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_list, 1);
    m_strip = new COverviewStrip(top);
    row->addWidget(m_strip);
    m_strip->hide();
    addWidget(top);
    m_pane = new CResultsPane(this);
    connect(m_pane, &CResultsPane::Refreshed, m_strip, qOverload<>(&QWidget::update));
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
    m_strip->show();
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

CLogPage* PageOfList(const CLogListCtrl* list)
{
    for (QWidget* widget = list ? list->parentWidget() : nullptr; widget; widget = widget->parentWidget())
        if (auto* page = qobject_cast<CLogPage*>(widget))
            return page;
    return nullptr;
}
