#include "work/work_thread.h"

#include "platform/diagnostics.h"
#include "work/export_job.h"
#include "work/file_view.h"
#include "work/jobs.h"
#include "work/work_host.h"
#include "work/work_messages.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using path_list = std::vector<std::u16string>;

template <typename T> std::unique_ptr<T> TakeRecord(intptr_t lparam)
{
    return std::unique_ptr<T>(reinterpret_cast<T*>(lparam));
}

// A failure that no job foresaw: said in a box, never let out of the thread.
void ReportUnforeseenFailure(const char* what)
{
    DebugOutput("[work] job failed: %s\n", what);
    try {
        ShowJobError(u"IDS_MSG_UNKNOWN_ERROR");
    } catch (...) {
        // Not even the box could be shown; the job still ends below.
    }
}

void RunJob(job_context& job, const thread_message& message)
{
    switch (message.id) {
    case WM_JOB_OPEN_FILES: {
        const auto paths = TakeRecord<path_list>(message.lparam);
        if (paths)
            RunOpenFilesJob(job, *paths);
        break;
    }
    case WM_JOB_VIEW:
        // On the poster's stack: not touched after the job's done.
        if (auto* record = reinterpret_cast<tagVIEW_JOB*>(message.lparam))
            RunViewJob(job, *record);
        break;
    case WM_JOB_SEARCH:
        // On the poster's stack: not touched after the job's done.
        if (const auto* record = reinterpret_cast<const tagSEARCH_JOB*>(message.lparam); record && record->file)
            RunSearchJob(job, *record);
        break;
    case WM_JOB_EXPORT:
        // On the poster's stack: not touched after the job's done.
        if (auto* record = reinterpret_cast<tagEXPORT_JOB*>(message.lparam); record && record->file)
            RunExportJob(job, *record);
        break;
    case WM_JOB_RESULTS:
        // On the poster's stack: not touched after the job's done.
        if (auto* record = reinterpret_cast<tagRESULTS_JOB*>(message.lparam); record && record->file && record->results)
            RunResultsJob(job, *record);
        break;
    default: break;
    }
}

} // namespace

CWorkThread::CWorkThread(work_host& host) : m_host(host)
{
    m_idle.set();
}

CWorkThread::~CWorkThread()
{
    if (IsRunning()) {
        Quit();
        Wait(-1);
    }
    DropQueuedJobs();
}

bool CWorkThread::Start()
{
    if (IsRunning())
        return false;
    try {
        m_ended.reset();
        m_thread = std::thread([this] { Run(); });
    } catch (...) {
        return false;
    }
    return true;
}

uint64_t CWorkThread::PostJob(unsigned id, uintptr_t wparam, intptr_t lparam)
{
    if (!IsJobMessage(id))
        return 0;
    // The serial and the queue position must agree, so both are taken in one step.
    std::lock_guard<std::mutex> guard(m_post_mutex);
    m_idle.reset();
    const uint64_t serial = m_posted.load() + 1;
    m_posted.store(serial);
    m_queue.post(id, wparam, lparam);
    return serial;
}

void CWorkThread::Quit()
{
    m_queue.post(WM_QUIT);
}

int CWorkThread::Wait(int milliseconds)
{
    if (!IsRunning())
        return 0;
    if (m_ended.wait(milliseconds) != 0)
        return 1;
    m_thread.join();
    return 0;
}

void CWorkThread::Run()
{
    for (;;) {
        thread_message message;
        if (!m_queue.get(message, -1))
            continue;
        if (message.id == WM_QUIT)
            break;
        if (!IsJobMessage(message.id))
            continue;
        job_context job(m_host, m_cancel, NextServed());
        try {
            RunJob(job, message);
        } catch (const std::exception& e) {
            ReportUnforeseenFailure(e.what());
        } catch (const char* text) {
            ReportUnforeseenFailure(text);
        } catch (...) {
            ReportUnforeseenFailure("unknown exception");
        }
        try {
            job.Done();
        } catch (...) {
            DebugOutput("[work] the end of a job could not be posted\n");
        }
        JobEnded();
    }
    m_ended.set();
}

uint64_t CWorkThread::NextServed()
{
    std::lock_guard<std::mutex> guard(m_post_mutex);
    return ++m_served;
}

void CWorkThread::JobEnded()
{
    std::lock_guard<std::mutex> guard(m_post_mutex);
    if (m_served == m_posted.load())
        m_idle.set();
}

void CWorkThread::DropQueuedJobs()
{
    thread_message message;
    while (m_queue.peek(message, true)) {
        // The other records live on their posters' stacks.
        if (message.id == WM_JOB_OPEN_FILES)
            TakeRecord<path_list>(message.lparam);
    }
}
