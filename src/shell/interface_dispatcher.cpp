#include "shell/interface_dispatcher.h"

#include <QMetaObject>
#include <QPointer>

interface_dispatcher::interface_dispatcher(message_queue& queue, QObject* parent) : QObject(parent), queue_(queue)
{
    QPointer<interface_dispatcher> self(this);
    queue_.set_wake_handler([self] {
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
    queue_.set_wake_handler(nullptr);
}

void interface_dispatcher::set_handler(unsigned id, handler h)
{
    handlers_[id] = std::move(h);
}

bool interface_dispatcher::dispatch_one()
{
    thread_message message;
    if (!queue_.peek(message, true))
        return false;
    if (auto it = handlers_.find(message.id); it != handlers_.end() && it->second)
        it->second(message);
    return true;
}
