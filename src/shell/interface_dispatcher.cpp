#include "shell/interface_dispatcher.h"

#include <QMetaObject>
#include <QPointer>

interface_dispatcher::interface_dispatcher(message_queue& queue, QObject* parent) : QObject(parent), m_queue(queue)
{
    QPointer<interface_dispatcher> self(this);
    m_queue.set_wake_handler([self] {
        // Runs on the posting thread; the call itself runs on ours.
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self)
                    self->dispatch_one();
            },
            Qt::QueuedConnection);
    });
}

interface_dispatcher::~interface_dispatcher()
{
    m_queue.set_wake_handler(nullptr);
}

void interface_dispatcher::set_handler(unsigned id, handler h)
{
    m_handlers[id] = std::move(h);
}

bool interface_dispatcher::dispatch_one()
{
    thread_message message;
    if (!m_queue.peek(message, true))
        return false;
    if (auto it = m_handlers.find(message.id); it != m_handlers.end() && it->second)
        it->second(message);
    return true;
}
