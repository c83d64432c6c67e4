// The interface side of the job protocol: the job starters, the wait for a
// job, the synchronous requests and the handlers of the work thread's
// messages.
//
//   RunJobAndWait:  [0 .. delay)  wait on the queue; serve only the two
//                                 requests; a DONE ends the wait, no dialog
//                   [delay .. )   progress dialog; its loop dispatches
//                                 everything; the job's DONE ends it
//   a live job:     [0 .. )       the live wait (the GUI's): its loop
//                                 dispatches everything, the window paints
//                                 the results as they come; DONE ends it
#include "app/main_dialog_link.h"
#include "app/varnoth_app.h"
#include "logfile/primitives.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "work/file_view_engine.h"
#include "work/jobs.h"
#include "work/work_messages.h"

#include <algorithm>
#include <chrono>

#include <sys/stat.h>

namespace {

// True when both paths name existing files and those are not the same file.
bool AreDistinctFiles(const std::u16string& a, const std::u16string& b)
{
    struct stat sa {
    }, sb{};
    return ::stat(NativePath(a).c_str(), &sa) == 0 && ::stat(NativePath(b).c_str(), &sb) == 0
           && (sa.st_dev != sb.st_dev || sa.st_ino != sb.st_ino);
}

// The longest the first wait sleeps between looks at the queue.  The queue
// wakes a sleeper for every post, but a post that lands between a look and
// the sleep is noticed only when the sleep ends: short sleeps keep a request
// of the work thread (which waits for its answer) from waiting long.
constexpr int kQueueLookMs = 2;
constexpr int kRequestLookMs = 100;

intptr_t FallbackAnswer(unsigned id, uintptr_t wparam)
{
    if (id != WM_WORK_MESSAGE_BOX)
        return 0;
    switch (static_cast<unsigned>(wparam) & MB_TYPEMASK) {
    case MB_YESNO: return IDNO;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL: return IDCANCEL;
    default: return IDOK;
    }
}

} // namespace

bool CVarnothApp::StartWorkThread()
{
    m_interface_closed = false;
    return m_work_thread.Start();
}

void CVarnothApp::InstallMessageRouter()
{
    SetMessageRouter([this](const std::u16string& text, unsigned flags) {
        return static_cast<int>(SendToInterfaceThread(WM_WORK_MESSAGE_BOX, flags, &text));
    });
}

void CVarnothApp::StopWorkThread()
{
    // Requests still waiting get their fallback answer from now on.
    m_interface_closed = true;
    if (m_work_thread.IsRunning()) {
        m_work_thread.Quit();
        m_work_thread.Wait(-1);
    }
    SetMessageRouter(nullptr);
    // What the work thread posted last is for a window that is gone.
    thread_message stale;
    while (InterfaceQueue().peek(stale, true)) {}
}

bool CVarnothApp::PostJob(unsigned id, uintptr_t wparam, intptr_t lparam, bool cancellable)
{
    // Without the thread nobody would ever end the wait.
    if (!m_work_thread.IsRunning() || m_interface_closed)
        return false;
    // A Cancel that came after the previous job's last test must not stop this one.
    if (cancellable)
        m_work_thread.CancelEvent().reset();
    // The idle event is reset together with the post.
    return m_work_thread.PostJob(id, wparam, lparam) != 0;
}

void CVarnothApp::OpenFiles(const std::vector<std::u16string>& paths)
{
    std::vector<std::u16string> remaining;
    int activate = -1;
    {
        auto files = m_open_files.lock();
        for (const std::u16string& path : paths) {
            if (path.empty())
                continue;
            // Letter case is folded as for every path, but file names are
            // case-sensitive here: "A.log" next to an open "a.log" is
            // another file and opens.
            auto same = [&](const std::u16string& other) {
                return EqualsIgnoreAsciiCase(other, path) && (other == path || !AreDistinctFiles(other, path));
            };
            int open_index = -1;
            for (std::size_t i = 0; i < files->size() && open_index < 0; ++i)
                if (same((*files)[i]->path()))
                    open_index = static_cast<int>(i);
            if (open_index >= 0)
                activate = open_index;
            else if (std::none_of(remaining.begin(), remaining.end(), same))
                remaining.push_back(path);
        }
    }
    if (activate >= 0 && m_main_dialog)
        m_main_dialog->ActivateTab(activate);
    OpenFilesDirect(remaining);
}

void CVarnothApp::OpenFilesDirect(const std::vector<std::u16string>& paths)
{
    if (paths.empty())
        return;
    auto job_paths = std::make_unique<std::vector<std::u16string>>(paths);
    if (!PostJob(WM_JOB_OPEN_FILES, 0, reinterpret_cast<intptr_t>(job_paths.get())))
        return;
    job_paths.release(); // the job owns it now
    RunJobAndWait(static_cast<int>(paths.size()), false);
}

void CVarnothApp::ReparseFrom(int64_t first_line, int selection_kind, int64_t row)
{
    if (file_view* file = ActiveFile())
        file->move_window({true, first_line, MaxLoadingLines(), selection_kind, row});
}

void CVarnothApp::RunFilter(bool quick)
{
    file_view* file = ActiveFile();
    if (!file)
        return;
    if (quick)
        file->set_quick_filter(file->quick_filter_text());
    else
        file->set_filter_enabled(true);
}

void CVarnothApp::ApplyQuickFilter(const std::u16string& text)
{
    if (file_view* file = ActiveFile())
        file->set_quick_filter(text);
}

bool CVarnothApp::RunViewJob(tagVIEW_JOB& job)
{
    // The job runs on the work thread after any job before it, so an intent
    // that comes while another job runs (from a progress dialog's event
    // loop) never meets it; the interface thread reads the rows only once
    // this job's done came, after every earlier job's.
    // The whole-file results leave the window alone: its list goes on
    // painting its rows while they are walked.
    const bool results = job.action == view_action::results;
    if (m_main_dialog && !results)
        m_main_dialog->SetListRedraw(false);
    // Only waiting for the index and the whole-file results can be
    // cancelled (a cancelled walk keeps what it found): every other view
    // job leaves the window whole or not at all.
    const bool cancellable = job.action == view_action::finish_index || results;
    if (!PostJob(WM_JOB_VIEW, 0, reinterpret_cast<intptr_t>(&job), cancellable)) {
        if (m_main_dialog)
            m_main_dialog->SetListRedraw(true);
        return false;
    }
    RunJobAndWait(1, cancellable, results);
    if (m_main_dialog) {
        // A job that failed (and said so) leaves the view as it was.
        if (job.succeeded || job.rows_only)
            m_main_dialog->ViewJobDone(job.file_id, job.rows_only, job.selection, job.row, job.changed);
        m_main_dialog->SetListRedraw(true);
    }
    return true;
}

void CVarnothApp::FindInFile(const CSearchInfo& search)
{
    file_view* file = ActiveFile();
    if (!file)
        return;
    m_main_dialog->SetListRedraw(false);
    // Lives here until the job's done: RunJobAndWait returns only after it.
    tagSEARCH_JOB record{search, file};
    if (!PostJob(WM_JOB_SEARCH, 0, reinterpret_cast<intptr_t>(&record), true)) {
        m_main_dialog->SetListRedraw(true);
        return;
    }
    RunJobAndWait(1, true);
}

void CVarnothApp::RunJobAndWait(int file_count, bool cancellable, bool live)
{
    struct waiting {
        explicit waiting(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
        ~waiting() { m_flag = m_was; }
        bool& m_flag;
        bool m_was;
    } waiting_for_job(m_waiting_for_job);
    const uint64_t serial = m_work_thread.LastJobSerial();
    message_queue& queue = InterfaceQueue();

    // A job posted while another job's dialog runs ends that dialog first.
    if (progress_dialog* shown = m_progress_dialog) {
        m_progress_dialog = nullptr;
        m_progress.reset();
        shown->End(1);
    }

    const auto start = std::chrono::steady_clock::now();
    bool ended = false;
    // A live job's wait begins at once.
    live = live && m_live_wait_factory;
    while (!live) {
        thread_message message;
        if (queue.peek(message, false, WM_WORK_DONE)) {
            m_last_done_serial = std::max<uint64_t>(m_last_done_serial, message.wparam);
            if (message.wparam >= serial) {
                ended = true;
                break;
            }
            // The end of an earlier job whose wait is over already.
            queue.peek(message, true, WM_WORK_DONE);
            continue;
        }
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (waited >= m_progress_delay_ms)
            break;
        if (queue.peek(message, true, WM_WORK_MESSAGE_BOX) || queue.peek(message, true, WM_WORK_DETECT_PARSER)) {
            HandleInterfaceMessage(message);
            continue;
        }
        queue.wait_for_post(static_cast<int>(std::min<int64_t>(kQueueLookMs, m_progress_delay_ms - waited)));
    }

    if (ended) {
        thread_message progress;
        while (queue.peek(progress, true, WM_WORK_PROGRESS)) {}
        return;
    }

    std::unique_ptr<progress_dialog> dialog;
    if (live)
        dialog = m_live_wait_factory(file_count, cancellable, m_work_thread.CancelEvent());
    else if (m_progress_factory)
        dialog = m_progress_factory(file_count, cancellable, m_work_thread.CancelEvent());
    if (!dialog)
        dialog = std::make_unique<headless_progress_dialog>(*this);
    m_progress_dialog = dialog.get();
    dialog->Update(&m_progress);
    dialog->Exec();
    if (m_progress_dialog == dialog.get())
        m_progress_dialog = nullptr;
    dialog.reset();

    // A dialog that ended otherwise (the event loop told to quit) must not
    // let the caller go while the job may still use a record on its stack.
    if (m_last_done_serial < serial)
        m_work_thread.CancelEvent().set();
    while (m_last_done_serial < serial && m_work_thread.IsRunning()) {
        thread_message message;
        if (queue.get(message, kQueueLookMs))
            HandleInterfaceMessage(message);
    }
}

intptr_t CVarnothApp::SendToInterfaceThread(unsigned id, uintptr_t wparam, const void* data)
{
    native_signal answered;
    tagINTERFACE_REQUEST request;
    request.event = &answered;
    request.data = data;
    if (IsInterfaceThread()) {
        AnswerRequest({id, wparam, reinterpret_cast<intptr_t>(&request)});
        return request.result;
    }
    if (m_interface_closed)
        return FallbackAnswer(id, wparam);
    InterfaceQueue().post(id, wparam, reinterpret_cast<intptr_t>(&request));
    for (;;) {
        if (answered.wait(kRequestLookMs) == 0)
            return request.result;
        // Once closed, the interface thread dispatches nothing more, so the
        // request is never touched again.
        if (m_interface_closed)
            return FallbackAnswer(id, wparam);
    }
}

const log_pattern_list* CVarnothApp::GetParser(file_view* file)
{
    if (!file)
        return nullptr;
    std::u16string name;
    const log_pattern_list* parser = GetParser(FileOf(*file), name);
    file_view_engine::set_parser_name(*file, std::move(name));
    return parser;
}

const log_pattern_list* CVarnothApp::DetectParser(file_view& file)
{
    return reinterpret_cast<const log_pattern_list*>(SendToInterfaceThread(WM_WORK_DETECT_PARSER, 0, &file));
}

void CVarnothApp::AnswerRequest(const thread_message& message)
{
    auto* request = reinterpret_cast<tagINTERFACE_REQUEST*>(message.lparam);
    if (!request)
        return;
    if (m_interface_closed) {
        request->result = FallbackAnswer(message.id, message.wparam);
    } else if (message.id == WM_WORK_MESSAGE_BOX) {
        const auto* text = static_cast<const std::u16string*>(request->data);
        request->result = PresentMessage(text ? *text : std::u16string(), static_cast<unsigned>(message.wparam));
    } else {
        auto* file = static_cast<file_view*>(const_cast<void*>(request->data));
        request->result = reinterpret_cast<intptr_t>(GetParser(file));
    }
    // The requester's stack record may vanish once the event is set.
    native_signal* event = request->event;
    if (event)
        event->set();
}

void CVarnothApp::OnWorkProgress()
{
    // Only the latest state matters.
    thread_message later;
    while (InterfaceQueue().peek(later, true, WM_WORK_PROGRESS)) {}
    if (m_progress_dialog)
        m_progress_dialog->Update(&m_progress);
}

void CVarnothApp::OnWorkDone(uint64_t serial)
{
    // The end of an earlier job (whose wait was cut short) leaves the
    // current job's dialog and progress alone.
    if (serial > m_last_done_serial)
        m_last_done_serial = serial;
    if (serial < m_work_thread.LastJobSerial())
        return;
    m_progress.reset();
    if (progress_dialog* shown = m_progress_dialog) {
        m_progress_dialog = nullptr;
        shown->End(1);
    }
    // A job that failed posts no view update; the list must not stay frozen.
    if (m_main_dialog)
        m_main_dialog->SetListRedraw(true);
}

bool CVarnothApp::HandleInterfaceMessage(const thread_message& message)
{
    switch (message.id) {
    case WM_WORK_PROGRESS: OnWorkProgress(); return true;
    case WM_WORK_DONE: OnWorkDone(static_cast<uint64_t>(message.wparam)); return true;
    case WM_WORK_FILE_READY: {
        // Only a file that is still open gets its tab; ids are never reused.
        file_view* file = m_open_files.find(static_cast<uint64_t>(message.lparam));
        if (m_main_dialog && file)
            m_main_dialog->AddFileTab(*file);
        return true;
    }
    case WM_WORK_VIEW_UPDATE:
        if (m_main_dialog) {
            m_main_dialog->UpdateView(static_cast<int>(message.wparam), static_cast<int64_t>(message.lparam));
            m_main_dialog->SetListRedraw(true);
        }
        return true;
    case WM_WORK_MESSAGE_BOX:
    case WM_WORK_DETECT_PARSER: AnswerRequest(message); return true;
    default: return false;
    }
}

file_view* CVarnothApp::ActiveFile()
{
    if (!m_main_dialog)
        return nullptr;
    const uint64_t id = m_main_dialog->ActiveFileId();
    return id == 0 ? nullptr : m_open_files.find(id);
}

int headless_progress_dialog::Exec()
{
    const auto start = std::chrono::steady_clock::now();
    message_queue& queue = m_app.InterfaceQueue();
    while (!m_ended) {
        if (m_limit_ms >= 0 && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(m_limit_ms))
            return -1;
        thread_message message;
        if (queue.get(message, kQueueLookMs))
            m_app.HandleInterfaceMessage(message);
    }
    return m_result;
}

void headless_progress_dialog::Update(progress_record*)
{}

void headless_progress_dialog::End(int result)
{
    m_ended = true;
    m_result = result;
}
