// work_bench [jobs]: the cost of the job protocol.
//
// Runs <jobs> (default 2000) empty jobs through the whole protocol (post,
// the half-second wait, the work thread's done, the interface handler) and
// prints the time per job beside a baseline measured in the same run: the
// same number of bare round trips between two threads over the same message
// queue.  The difference is what the protocol itself costs a short job.
// Then opens a generated log of 500000 lines (first window 100000 lines)
// through the open job and beside it, as the baseline, opens and parses the
// same file directly on one thread.
#include "app/varnoth_app.h"
#include "logfile/log_file.h"
#include "platform/message_queue.h"
#include "work/work_messages.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using clock_type = std::chrono::steady_clock;

double MicrosecondsPer(clock_type::time_point start, int count)
{
    return std::chrono::duration<double, std::micro>(clock_type::now() - start).count() / count;
}

double BareRoundTrips(int count)
{
    message_queue to_worker;
    message_queue to_caller;
    std::thread worker([&] {
        for (;;) {
            thread_message message;
            to_worker.get(message, -1);
            if (message.id == WM_QUIT)
                return;
            to_caller.post(WM_WORK_DONE, message.wparam);
        }
    });
    const auto start = clock_type::now();
    for (int i = 0; i < count; ++i) {
        to_worker.post(WM_JOB_EXPORT, static_cast<uintptr_t>(i));
        thread_message reply;
        to_caller.get(reply, -1, WM_WORK_DONE);
    }
    const double each = MicrosecondsPer(start, count);
    to_worker.post(WM_QUIT);
    worker.join();
    return each;
}

double ProtocolJobs(CVarnothApp& app, int count, double& worst_ms)
{
    worst_ms = 0;
    const auto start = clock_type::now();
    for (int i = 0; i < count; ++i) {
        const auto job_start = clock_type::now();
        app.WorkThread().PostJob(WM_JOB_EXPORT, 0, 0);
        app.RunJobAndWait(1, false);
        thread_message message;
        while (app.InterfaceQueue().peek(message, true))
            app.HandleInterfaceMessage(message);
        const double ms = std::chrono::duration<double, std::milli>(clock_type::now() - job_start).count();
        if (ms > worst_ms)
            worst_ms = ms;
    }
    return MicrosecondsPer(start, count);
}

// Opens path through the job protocol and waits until its tab would be added.
double ProtocolOpenMs(CVarnothApp& app, const std::u16string& path)
{
    const auto start = clock_type::now();
    app.OpenFilesDirect({path});
    for (;;) {
        thread_message message;
        if (!app.InterfaceQueue().get(message, 10000))
            break;
        app.HandleInterfaceMessage(message);
        if (message.id == WM_WORK_FILE_READY)
            break;
    }
    const double ms = std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
    app.OpenFileList().clear(); // stops its index thread
    return ms;
}

double DirectOpenMs(CVarnothApp& app, const std::u16string& path)
{
    const auto start = clock_type::now();
    log_file file;
    if (file.open(path, app.MaxLoadingLines(), false))
        file.parse_range(file.indexer().hold(), app.FindParser(u""), 0, app.MaxLoadingLines());
    return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int jobs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    char folder_template[] = "/tmp/varnoth-bench-XXXXXX";
    if (!::mkdtemp(folder_template))
        return 1;
    const std::filesystem::path folder(folder_template);
    ::setenv("VARNOTH_RUNTIME_DIR", (folder / "run").c_str(), 1);
    std::filesystem::create_directories(folder / "install");
    std::filesystem::create_directories(folder / "common");
    int result = 0;
    {
        CVarnothApp app(app_environment{(folder / "install" / "varnoth").u16string(), (folder / "common").u16string()});
        app.SetProgressDelayMs(60000);
        if (!app.StartWorkThread()) {
            result = 1;
        } else {
            const double baseline = BareRoundTrips(jobs);
            double worst_ms = 0;
            const double protocol = ProtocolJobs(app, jobs, worst_ms);
            std::printf("empty job through the protocol: %8.1f us per job (worst %.1f ms)\n", protocol, worst_ms);
            std::printf("baseline, bare queue round trip: %7.1f us per trip\n", baseline);

            const std::filesystem::path log = folder / "bench.log";
            {
                std::FILE* out = std::fopen(log.c_str(), "wb");
                for (int i = 0; out && i < 500000; ++i)
                    std::fprintf(out, "2024-08-05 13:07:%02d.%03d [INFO] [worker-%d] request %d served\n", i % 60,
                                 i % 1000, i % 8, i);
                if (out)
                    std::fclose(out);
            }
            app.LoadData();
            app.settings.load_tail_first = false;
            // Best of three each, alternating, with the freed lines of the
            // previous run gone first.
            DirectOpenMs(app, log.u16string()); // page cache
            double direct = 1e300;
            double through = 1e300;
            for (int run = 0; run < 3; ++run) {
                log_file::wait_for_discards(10000);
                through = std::min(through, ProtocolOpenMs(app, log.u16string()));
                log_file::wait_for_discards(10000);
                direct = std::min(direct, DirectOpenMs(app, log.u16string()));
            }
            std::printf("open of 500000 lines through the open job: %7.1f ms\n", through);
            std::printf("baseline, open and parse on one thread:    %7.1f ms\n", direct);
            app.ExitInstance();
        }
    }
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return result;
}
