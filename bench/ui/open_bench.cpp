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
// Everything written is removed at the end.
#include "app/varnoth_app.h"
#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "shell/app_shell.h"
#include "throwaway_install.h"
#include "ui/command_ids.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view_engine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
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

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Settle()
{
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (InterfaceThreadQueue().size() > 0);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    SetMessagePresenter([](const std::u16string& text, unsigned) {
        std::fprintf(stderr, "message box: %s\n", QString::fromStdU16String(text).toUtf8().constData());
        return IDOK;
    });

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

        paint_watch watch;
        qt.installEventFilter(&watch);
        timer.restart();
        app.OpenFiles({log.u16string()});
        while (!watch.seen && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double open_ms = double(timer.nsecsElapsed()) / 1e6;
        qt.removeEventFilter(&watch);

        file_view* file = app.ActiveFile();
        auto* list = qobject_cast<CLogListCtrl*>(window->TabControl()->currentWidget());
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
