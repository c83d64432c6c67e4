// Delivers the interface thread's queued messages inside Qt's event loop.
//
//   work thread ──post()──▶ InterfaceThreadQueue ──wake──▶ queued call ──▶ dispatch_one()
//
// Every post schedules one queued call on the interface thread, and each call
// takes exactly one message from the queue and runs its handler.  A handler
// that opens a nested event loop (a message box, the progress dialog) thus
// lets the later messages be dispatched inside that loop, in posting order.
#pragma once

#include "platform/message_queue.h"

#include <QObject>

#include <functional>
#include <unordered_map>

class interface_dispatcher : public QObject {
public:
    using handler = std::function<void(const thread_message&)>;

    explicit interface_dispatcher(message_queue& queue, QObject* parent = nullptr);
    ~interface_dispatcher() override;

    void set_handler(unsigned id, handler h);

    // Takes the oldest message and runs its handler (messages without one are
    // dropped).  False when the queue was empty.
    bool dispatch_one();

private:
    message_queue& m_queue;
    std::unordered_map<unsigned, handler> m_handlers;
};
