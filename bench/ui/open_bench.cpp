// open_bench: opening a large log tail-first in the whole viewer, under the
// offscreen platform.
//
// A log of about 1 GB (override with VARNOTH_OPEN_BENCH_MB) is written to a
// temporary folder and opened through the path that dropped and handed-over
// files take, with the window of the default size (100000 lines) read from
// the tail.  Timed: from the call to the first paint of the new tab's list
// with rows in it.  Beside it, in the same run and on the same file, the
// wall time of `tail -n 100000 FILE > /dev/null`.
//
// Then, once the background indexing has finished (its time is printed),
// the window is moved up with the scroll-up command until it starts at the
// file's first line: the number of moves and the median and worst move.
//
// With the argument "running" the background indexing is timed as the
// viewer runs it: the window shown, its event loop turning and its timers
// (the index tick, the scope bar's refresh, the auto refresh) firing, from
// the call that opens the file until the index thread ends.  Beside it, in
// the same run, the wall time of `wc -l FILE` and the same indexing without
// the event loop (a second open of the file, waited for on this thread),
// and the CPU time the viewer took while indexing beside that of `wc -l`: on
// a busy machine the wall times say as much about the other programs.
// Then two far finds in file through the work thread and the view's update:
// up from the last window to the file's sixth line, and down from the first
// window to the sixth line from the end; beside `grep -n -m1` reaching the
// latter's text.
//
// Everything written is removed at the end.
#include "bench_support.h"
#include "app/varnoth_app.h"
#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "search/search_info.h"
#include "shell/app_shell.h"
#include "throwaway_install.h"
#include "ui/command_ids.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_page.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view_engine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Lines of a busy service log, about 110 bytes each.
void WriteLog(const fs::path& path, uint64_t bytes_wanted, uint64_t& lines)
{
    static const char* const levels[] = {"INFO", "DEBUG", "WARN", "ERROR"};
    std::ofstream out(path, std::ios::binary);
    std::string chunk;
    chunk.reserve(8u << 20);
    uint64_t written = 0;
    lines = 0;
    char line[256];
    while (written < bytes_wanted) {
        chunk.clear();
        while (chunk.size() < (8u << 20)) {
            const uint64_t n = lines++;
            const int len = std::snprintf(line, sizeof line,
                                          "2026-12-09 %02u:%02u:%02u.%03u %-5s [worker-%u] request %llu served "
                                          "in %u ms from 10.%u.%u.%u\n",
                                          unsigned(n / 3600000 % 24), unsigned(n / 60000 % 60), unsigned(n / 1000 % 60),
                                          unsigned(n % 1000), levels[n % 7 == 0 ? 3 : n % 4], unsigned(n % 16),
                                          static_cast<unsigned long long>(n), unsigned(n * 7 % 997), unsigned(n % 256),
                                          unsigned(n / 256 % 256), unsigned(n / 65536 % 256));
            chunk.append(line, static_cast<std::size_t>(len));
        }
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        written += chunk.size();
    }
}

// Marks the first paint of a list viewport that has rows.
class paint_watch : public QObject {
public:
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen && event->type() == QEvent::Paint) {
            if (auto* list = qobject_cast<CLogListCtrl*>(watched->parent());
                list && watched == list->viewport() && list->RowCount() > 0)
                seen = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

void Settle()
{
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (InterfaceThreadQueue().size() > 0);
}

// CPU time in ms of this process (every thread) or of its ended children.
double CpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& v) { return double(v.tv_sec) * 1e3 + double(v.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The wall time of a program run on the file, in ms.
double TimeProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(600000);
    return double(timer.nsecsElapsed()) / 1e6;
}

// Turns the event loop, as the running viewer does, until the file's index
// thread has ended (looked at every 10 ms) or ten minutes passed.
void RunUntilIndexed(log_file& file)
{
    QEventLoop loop;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (!file.indexer().is_running())
            loop.quit();
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
}

// Indexing while the viewer runs, beside wc -l and beside the same indexing
// waited for without an event loop; ms.
int RunningIndexing(CVarnothApp& app, CVarnothDlg& window, const fs::path& log)
{
    const QString path = QString::fromStdString(log.string());
    TimeProgram(QStringLiteral("wc"), {QStringLiteral("-l"), path}); // the page cache holds the file now
    const double wc_cpu_before = CpuMs(RUSAGE_CHILDREN);
    const double wc_ms = TimeProgram(QStringLiteral("wc"), {QStringLiteral("-l"), path});
    const double wc_cpu_ms = CpuMs(RUSAGE_CHILDREN) - wc_cpu_before;

    const double cpu_start = CpuMs(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    app.OpenFiles({log.u16string()});
    while (!app.ActiveFile() && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    file_view* file = app.ActiveFile();
    if (!file || !window.TabControl()->currentWidget()) {
        std::printf("the file did not open\n");
        return 1;
    }
    const double opened_ms = double(timer.nsecsElapsed()) / 1e6;
    RunUntilIndexed(FileOf(*file));
    const double running_ms = double(timer.nsecsElapsed()) / 1e6;
    const double running_cpu_ms = CpuMs(RUSAGE_SELF) - cpu_start;
    const uint64_t lines = FileOf(*file).line_count();
    const bool ended = !FileOf(*file).indexer().is_running();

    // The same file indexed by a log_file of its own, this thread waiting.
    log_file alone;
    timer.restart();
    alone.open(log.u16string(), app.MaxLoadingLines(), app.LoadTailFirst());
    alone.start_indexer();
    alone.indexer().wait_stopped(600000);
    const double alone_ms = double(timer.nsecsElapsed()) / 1e6;

    std::printf("indexing in the running viewer (open to last line): %8.1f ms  (%llu lines%s)\n", running_ms,
                static_cast<unsigned long long>(lines), ended ? "" : ", NOT ENDED");
    std::printf("  of which in the background after the tab opened:  %8.1f ms\n", running_ms - opened_ms);
    std::printf("baseline wc -l:                                     %8.1f ms  (throughput ratio %.2fx wc -l, "
                "%.2fx for the background part)\n",
                wc_ms, wc_ms / running_ms, wc_ms / (running_ms - opened_ms));
    std::printf("CPU time of the viewer (all threads) while indexing: %8.1f ms; of wc -l: %.1f ms (ratio %.2fx)\n",
                running_cpu_ms, wc_cpu_ms, wc_cpu_ms / running_cpu_ms);
    std::printf("the same indexing without the event loop:           %8.1f ms  (%llu lines)\n", alone_ms,
                static_cast<unsigned long long>(alone.line_count()));

    // Far finds, as Find Next with find in file runs them after the view
    // had no match: the job, its view update and the list's new rows.
    const auto far_find = [&](const std::string& word, bool up, bool& found) {
        CSearchInfo search;
        search.expression = std::u16string(word.begin(), word.end());
        search.up = up;
        search.case_sensitive = true;
        search.find_in_file = true;
        QElapsedTimer find;
        find.start();
        app.FindInFile(search);
        Settle();
        const double ms = double(find.nsecsElapsed()) / 1e6;
        const log_file::window_numbers n = FileOf(*file).read_window_numbers();
        found = up ? n.first == 0 : n.last + 1 == static_cast<int64_t>(n.line_count);
        return ms;
    };
    const std::string near_start = "request 5 served";
    const std::string near_end = "request " + std::to_string(lines - 6) + " served";
    bool up_found = false;
    bool down_found = false;
    const double up_ms = far_find(near_start, true, up_found);
    const double down_ms = far_find(near_end, false, down_found);
    const double grep_ms = TimeProgram(
        QStringLiteral("grep"), {QStringLiteral("-n"), QStringLiteral("-m1"), QString::fromStdString(near_end), path});
    std::printf("far find in file through the job and the view: up %.1f ms (%s), down %.1f ms (%s)\n", up_ms,
                up_found ? "found" : "NOT FOUND", down_ms, down_found ? "found" : "NOT FOUND");
    std::printf("baseline grep -n -m1 of the text near the end:      %8.1f ms  (ratio find/grep: up %.2f, down %.2f)\n",
                grep_ms, up_ms / grep_ms, down_ms / grep_ms);
    return ended && up_found && down_found ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool running = argc > 1 && std::string(argv[1]) == "running";
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // set it to xcb to run on a display
    QApplication qt(argc, argv);
    PrintMessagesAndAnswerOk();

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/varnoth-open-bench-XXXXXX"));
    if (!dir.isValid())
        return 1;
    const fs::path root(dir.path().toStdString());
    MakeThrowAwayInstall(root);

    const uint64_t megabytes = qEnvironmentVariableIsSet("VARNOTH_OPEN_BENCH_MB")
                                   ? qEnvironmentVariable("VARNOTH_OPEN_BENCH_MB").toULongLong()
                                   : 1024;
    const fs::path log = root / "big.log";
    uint64_t lines = 0;
    QElapsedTimer timer;
    timer.start();
    WriteLog(log, megabytes << 20, lines);
    std::printf("generated %s: %.0f MB, %llu lines in %.1f s\n", log.c_str(), double(fs::file_size(log)) / (1 << 20),
                static_cast<unsigned long long>(lines), double(timer.elapsed()) / 1000);

    // Baseline: the same tail read by the coreutils tool.
    QProcess tail;
    tail.setStandardOutputFile(QProcess::nullDevice());
    timer.restart();
    tail.start(QStringLiteral("tail"), {QStringLiteral("-n"), QStringLiteral("100000"), QString::fromStdString(log)});
    tail.waitForFinished(60000);
    const double tail_ms = double(timer.nsecsElapsed()) / 1e6;

    int result = 0;
    {
        CVarnothApp app(app_environment{(root / "install" / "varnoth").u16string(), (root / "common").u16string()});
        CVarnothShell shell(app);
        if (!shell.InitInstance({"varnoth"}))
            return 1;
        app.settings.load_tail_first = true;
        app.settings.max_loading_lines = 100000;
        app.SetProgressDelayMs(20000); // no progress dialog in the timing
        CVarnothDlg* window = shell.CreateMainWindow();
        Settle();
        if (running) {
            result = RunningIndexing(app, *window, log);
            window->close();
            shell.ExitInstance();
            std::error_code ignored;
            fs::remove(log, ignored);
            return result;
        }

        paint_watch watch;
        qt.installEventFilter(&watch);
        timer.restart();
        app.OpenFiles({log.u16string()});
        while (!watch.seen && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double open_ms = double(timer.nsecsElapsed()) / 1e6;
        qt.removeEventFilter(&watch);

        file_view* file = app.ActiveFile();
        auto* list = LogListOfPage(window->TabControl()->currentWidget());
        if (!file || !list || !watch.seen) {
            std::printf("the file did not open\n");
            result = 1;
        } else {
            std::printf("open tail-first -> first painted rows: %8.1f ms  (rows %d, last row focused: %s)\n", open_ms,
                        list->RowCount(), list->SelectionMark() == list->RowCount() - 1 ? "yes" : "no");
            std::printf("baseline tail -n 100000 > /dev/null:   %8.1f ms\n", tail_ms);

            timer.restart();
            FileOf(*file).indexer().wait_stopped(600000);
            std::printf("background indexing of the rest:       %8.1f s   (%llu lines)\n",
                        double(timer.elapsed()) / 1000, static_cast<unsigned long long>(FileOf(*file).line_count()));

            std::vector<double> moves;
            for (int i = 0; i < 10000; ++i) {
                const log_file::window_numbers n = FileOf(*file).read_window_numbers();
                if (n.first <= 0)
                    break;
                QElapsedTimer move;
                move.start();
                window->Router().route(ids::kViewScrollUp);
                Settle();
                moves.push_back(double(move.nsecsElapsed()) / 1e6);
            }
            const log_file::window_numbers n = FileOf(*file).read_window_numbers();
            std::printf("scroll up to the first line: %zu moves, median %.1f ms, worst %.1f ms; window %lld..%lld\n",
                        moves.size(), Median(moves),
                        moves.empty() ? 0.0 : *std::max_element(moves.begin(), moves.end()),
                        static_cast<long long>(n.first), static_cast<long long>(n.last));
        }
        window->close();
        shell.ExitInstance();
    }
    std::error_code ignored;
    fs::remove(log, ignored);
    return result;
}
