#include "work/jobs.h"

#include "glossant/dictionary_text.h"
#include "logfile/primitives.h"
#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "work/progress_state.h"
#include "work/work_host.h"
#include "work/work_messages.h"

#include <chrono>

void job_context::Done()
{
    if (m_done)
        return;
    m_done = true;
    Post(WM_WORK_DONE, static_cast<uintptr_t>(m_serial));
}

bool job_context::TakeCancel()
{
    if (m_cancel.wait(0) != 0)
        return false;
    m_cancel.reset();
    return true;
}

void job_context::Post(unsigned id, uintptr_t wparam, intptr_t lparam)
{
    m_host.InterfaceQueue().post(id, wparam, lparam);
}

void job_context::Step(int file_number, std::u16string_view action_key, const std::u16string& object)
{
    {
        auto state = m_host.Progress().lock();
        state->file_number = file_number;
        state->action = DictionaryText(action_key);
        state->object = object;
    }
    Post(WM_WORK_PROGRESS);
}

void job_context::Action(std::u16string_view action_key)
{
    m_host.Progress().lock()->action = DictionaryText(action_key);
    Post(WM_WORK_PROGRESS);
}

void job_context::SingleFileStep(std::u16string_view action_key, const std::u16string& object)
{
    {
        auto state = m_host.Progress().lock();
        state->file_number = 1;
        state->current = -1;
        state->total = -1;
        state->action = DictionaryText(action_key);
        state->object = object;
    }
    Post(WM_WORK_PROGRESS);
}

void ShowJobError(std::u16string_view key, const std::u16string& path)
{
    std::u16string text = DictionaryText(key);
    if (!path.empty())
        text += u"\n" + path;
    ShowMessage(text, MB_OK | MB_ICONERROR);
}

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t ElapsedMs(int64_t start_ms)
{
    return NowMs() - start_ms;
}
