// Delivers the interface thread's queued messages inside Qt's event loop.
//
//   work thread ──post()──▶ InterfaceThreadQueue ──wake──▶ queued call ──▶ dispatch_one()
//
// Every post schedules one queued call on the interface thread, and each call
// takes exactly one message from the queue and runs its handler.  A handler
// that opens a nested event loop (a message box, the progress dialog) thus
// lets the later messages be dispatched inside that loop, in posting order.
//
// The wake runs on the posting thread and touches only this object, which
// the queue keeps alive until the wake has returned (queue_dispatcher); a
// queued call still pending when the object is destroyed is dropped by Qt
// with it.
//
// Thread-safety: interface thread only, except the queue's posts.
#pragma once

#include "platform/queue_dispatcher.h"

#include <QObject>

class interface_dispatcher : public QObject {
public:
    using handler = queue_dispatcher::handler;

    explicit interface_dispatcher(message_queue& queue, QObject* parent = nullptr);
    ~interface_dispatcher() override;

    void set_handler(unsigned id, handler h) { m_core.set_handler(id, std::move(h)); }

    // Takes the oldest message and runs its handler (messages without one are
    // dropped).  False when the queue was empty.
    bool dispatch_one() { return m_core.dispatch_one(); }

private:
    // Destroyed first among what the wake uses: after it, no wake runs.
    queue_dispatcher m_core;
};
