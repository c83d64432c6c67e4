#include "platform/message_box.h"

#include "platform/diagnostics.h"
#include "platform/strings.h"

#include <mutex>
#include <thread>

namespace {

std::mutex g_mutex;
MessagePresenter g_presenter;
MessageRouter g_router;
std::thread::id g_interface_thread;
bool g_interface_thread_set = false;

int DefaultPresenter(const std::u16string& text, unsigned flags)
{
    DebugOutput("[message] %s\n", ToUtf8(text).c_str());
    const unsigned type = flags & MB_TYPEMASK;
    return (type == MB_YESNO || type == MB_YESNOCANCEL) ? IDNO : IDOK;
}

} // namespace

MessagePresenter SetMessagePresenter(MessagePresenter presenter)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    MessagePresenter previous = std::move(g_presenter);
    g_presenter = std::move(presenter);
    return previous;
}

void SetMessageRouter(MessageRouter router)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    g_router = std::move(router);
}

void SetInterfaceThread()
{
    std::lock_guard<std::mutex> guard(g_mutex);
    g_interface_thread = std::this_thread::get_id();
    g_interface_thread_set = true;
}

bool IsInterfaceThread()
{
    std::lock_guard<std::mutex> guard(g_mutex);
    return !g_interface_thread_set || g_interface_thread == std::this_thread::get_id();
}

int PresentMessage(const std::u16string& text, unsigned flags)
{
    MessagePresenter presenter;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        presenter = g_presenter;
    }
    return presenter ? presenter(text, flags) : DefaultPresenter(text, flags);
}

int ShowMessage(const std::u16string& text, unsigned flags)
{
    MessageRouter router;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        router = g_router;
    }
    if (router && !IsInterfaceThread())
        return router(text, flags);
    return PresentMessage(text, flags);
}
