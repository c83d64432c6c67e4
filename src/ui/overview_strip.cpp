#include "ui/overview_strip.h"

#include "work/file_view.h"

#include <QMouseEvent>
#include <QPainter>

COverviewStrip::COverviewStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("overview_strip"));
    setFixedWidth(kWidth);
    setCursor(Qt::PointingHandCursor);
}

QSize COverviewStrip::sizeHint() const
{
    return {kWidth, 100};
}

void COverviewStrip::Sync()
{
    m_map.SetShape(m_file ? m_file->counts().line_count : 0, height());
}

void COverviewStrip::paintEvent(QPaintEvent*)
{
    Sync();
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.fillRect(QRect(1, 0, width() - 2, height()), palette().color(QPalette::Base));
    if (!m_file)
        return;
    const std::vector<bool> marked = m_map.MarkedRows(m_file->results());
    const QColor mark = palette().color(QPalette::Highlight);
    for (int row = 0; row < static_cast<int>(marked.size()); ++row) {
        if (!marked[static_cast<std::size_t>(row)])
            continue;
        int end = row + 1;
        while (end < static_cast<int>(marked.size()) && marked[static_cast<std::size_t>(end)])
            ++end;
        painter.fillRect(QRect(1, row, width() - 2, end - row), mark);
        row = end;
    }
}

void COverviewStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    Sync();
    const int64_t line = m_map.RowToLine(static_cast<int>(event->position().y()));
    if (line >= 0)
        emit LineClicked(line);
    event->accept();
}
