#include "ui/results_wait.h"

#include "logfile/primitives.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

CResultsWait::CResultsWait(QWidget* inputs, native_signal* cancel) : m_inputs(inputs), m_cancel(cancel) {}

CResultsWait::~CResultsWait()
{
    if (m_running)
        qApp->removeEventFilter(this);
}

int CResultsWait::Exec()
{
    // The job's done may have come before the loop (End was called first).
    if (m_ended)
        return m_result;
    qApp->installEventFilter(this);
    m_running = true;
    m_loop.exec();
    m_running = false;
    qApp->removeEventFilter(this);
    return m_result;
}

void CResultsWait::Update(progress_record*)
{
    // The pane reads the results itself, on its own timer.
}

void CResultsWait::End(int result)
{
    m_ended = true;
    m_result = result;
    m_loop.exit(result);
}

void CResultsWait::Cancel()
{
    if (m_cancel)
        m_cancel->set();
}

bool CResultsWait::Passes(QObject* watched, QEvent* event) const
{
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool inside = widget && m_inputs && (widget == m_inputs || m_inputs->isAncestorOf(widget));
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonDblClick: // a double click on a row shows it: not now
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        // A window passes its input on to its widgets, which decide.
        return inside || !widget;
    case QEvent::Close: return !widget || !m_inputs || widget != m_inputs->window();
    default: return true;
    }
}

bool CResultsWait::eventFilter(QObject* watched, QEvent* event)
{
    if (Passes(watched, event))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Taken as a plain key, so that no shortcut runs; the key is then dropped.
        event->accept();
    } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Cancel();
    } else if (event->type() == QEvent::Close) {
        // The window stays until the walk has stopped; it can be closed then.
        event->ignore();
        Cancel();
    }
    return true;
}
