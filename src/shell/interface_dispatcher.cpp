#include "shell/interface_dispatcher.h"

#include <QMetaObject>

interface_dispatcher::interface_dispatcher(message_queue& queue, QObject* parent)
    : QObject(parent), m_core(queue, [this] {
          // Runs on the posting thread: schedules the call, with this object
          // as its context, and reads nothing else of it.
          QMetaObject::invokeMethod(
              this, [this] { m_core.dispatch_one(); }, Qt::QueuedConnection);
      })
{}

interface_dispatcher::~interface_dispatcher() = default;
