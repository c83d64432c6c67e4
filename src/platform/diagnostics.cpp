#include "platform/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex g_mutex;
std::function<void(const std::string&)> g_sink;
} // namespace

void SetDiagnosticsSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    g_sink = std::move(sink);
}

void DebugOutput(const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_sink) {
        g_sink(buffer);
        return;
    }
    static const bool enabled = std::getenv("VARNOTH_DEBUG") != nullptr;
    if (enabled)
        std::fputs(buffer, stderr);
}
