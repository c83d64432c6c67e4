#include "shell/instance_channel.h"

#include "app/instance_handoff.h"
#include "platform/diagnostics.h"
#include "platform/files.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QLocalSocket>
#include <QWidget>

CInstanceChannel::CInstanceChannel(QWidget* window, open_handler open, QObject* parent)
    : QObject(parent), m_window(window), m_open(std::move(open))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kBatchIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &CInstanceChannel::OnBatchTimer);
    connect(&m_server, &QLocalServer::newConnection, this, &CInstanceChannel::OnNewConnection);
}

CInstanceChannel::~CInstanceChannel()
{
    m_server.close();
}

bool CInstanceChannel::Listen()
{
    const std::u16string path = HandOffWakePath();
    if (path.empty())
        return false;
    const QString name = ToQString(path);
    // Only the holder of the single-instance lock listens, so a socket
    // already there was left by an instance that is gone.
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(name)) {
        DebugOutput("[shell] the wake socket cannot listen: %s\n", qPrintable(m_server.errorString()));
        return false;
    }
    return true;
}

void CInstanceChannel::OnNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        socket->readAll();
        socket->disconnectFromServer();
    }
    TakeNow();
}

void CInstanceChannel::TakeNow()
{
    // While our own batch is being opened (its progress dialog is modal),
    // new paths wait in the spool until the batch is in.
    if (m_delivering) {
        m_wake_pending = true;
        return;
    }
    if (m_timer.isActive())
        return; // a batch is being collected; the next take comes with it
    if (Take() > 0)
        m_timer.start();
}

void CInstanceChannel::OnBatchTimer()
{
    // Files started together arrive within 100 ms of each other.
    if (Take() > 0)
        m_timer.start();
    else
        Deliver();
}

std::size_t CInstanceChannel::Take()
{
    std::vector<handed_file> taken = TakeHandedOffFiles();
    m_collected.insert(m_collected.end(), taken.begin(), taken.end());
    if (m_take_observer)
        m_take_observer(taken.size());
    return taken.size();
}

void CInstanceChannel::BringWindowToFront()
{
    if (!m_window)
        return;
    if (m_window->isMinimized())
        m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void CInstanceChannel::Deliver()
{
    std::vector<handed_file> files;
    files.swap(m_collected);
    if (files.empty())
        return;
    std::vector<std::u16string> batch;
    std::vector<handed_file> at_lines;
    for (const handed_file& file : files) {
        batch.push_back(file.path);
        if (file.line > 0)
            at_lines.push_back(file);
    }
    BringWindowToFront();
    if (QApplication::activeModalWidget() != nullptr) {
        ++m_dropped;
        DebugOutput("[shell] %zu handed-over path(s) dropped: a modal dialog is open\n", batch.size());
        return;
    }
    ++m_opened;
    m_delivering = true;
    if (m_open)
        m_open(batch);
    if (m_at_lines && !at_lines.empty())
        m_at_lines(at_lines);
    m_delivering = false;
    if (m_wake_pending) {
        m_wake_pending = false;
        TakeNow();
    }
}
