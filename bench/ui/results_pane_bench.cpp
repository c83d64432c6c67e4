// results_pane_bench: find all in the whole viewer under the offscreen
// platform, from the Find All button to the results pane painting its first
// rows, and to the end of the walk.
//
// A generated log (256 MB by default, or the size given as the first
// argument: "1G") with a word on 1 % of its lines is opened and indexed;
// then, round after round, the find dialog's Find All runs for the word: the
// clock runs until the pane has painted rows while the walk still runs, and
// until the walk has ended.  Target: the first rows on the screen in under
// 100 ms.  The pane's count must equal grep's.
//
// Baseline in the same run: `grep -c WORD` on the same (page-cached) file.
// The generated folder is removed at the end.
#include "app/varnoth_app.h"
#include "bench_support.h"
#include "dialogs/find_dlg.h"
#include "platform/message_box.h"
#include "shell/app_shell.h"
#include "shell/find_commands.h"
#include "throwaway_install.h"
#include "ui/command_ids.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_page.h"
#include "ui/results_pane.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view_engine.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 120000;
constexpr int kRounds = 5;

double Milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// About bytes of log lines, every hundredth holding "gruffalo".
void WriteLog(const fs::path& path, uint64_t bytes)
{
    static const char* const kLevels[] = {"INFO", "DEBUG", "WARN", "INFO", "INFO"};
    std::ofstream out(path, std::ios::binary);
    xorshift random;
    uint64_t written = 0;
    std::string line;
    for (uint64_t i = 0; written < bytes; ++i) {
        line = "2024-08-05 10:" + std::to_string(10 + i / 60000 % 50) + ":" + std::to_string(10 + i / 1000 % 50)
               + "." + std::to_string(100 + i % 900) + " " + kLevels[random.below(5)] + " worker-"
               + std::to_string(random.below(16)) + " request " + std::to_string(random.next() % 1000000)
               + (i % 100 == 37 ? " the gruffalo was seen" : " handled in time") + "\n";
        out << line;
        written += line.size();
    }
}

// Runs command, reading a number from its output; the best of rounds, in seconds.
double TimeCommand(const std::string& command, long& number, int rounds)
{
    double best = -1;
    for (int r = 0; r < rounds; ++r) {
        const auto start = clock_type::now();
        std::FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return -1;
        if (std::fscanf(pipe, "%ld", &number) != 1)
            number = -1;
        pclose(pipe);
        const double took = seconds_since(start);
        if (best < 0 || took < best)
            best = took;
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    const uint64_t size = argc > 1 ? parse_size(argv[1]) : 256ull << 20;
    if (size == 0) {
        std::fprintf(stderr, "usage: results_pane_bench [SIZE like 256M or 1G]\n");
        return 2;
    }
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/results_pane_bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const fs::path root(dir.path().toStdString());
    MakeThrowAwayInstall(root);
    PrintMessagesAndAnswerOk();
    const fs::path log_path = root / "big.log";
    WriteLog(log_path, size);
    warm(log_path.string());

    int status = 0;
    {
        CVarnothApp app(app_environment{(root / "install" / "varnoth").u16string(), (root / "common").u16string()});
        CVarnothShell shell(app);
        if (!shell.InitInstance({QStringLiteral("results_pane_bench")}))
            return 1;
        app.settings.load_tail_first = false;
        CVarnothDlg* window = shell.CreateMainWindow();
        window->resize(1280, 800);
        window->show();
        app.OpenFiles({log_path.u16string()});
        QElapsedTimer waited;
        waited.start();
        while (window->TabControl()->count() == 0 && waited.elapsed() < kWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        file_view* file = app.ActiveFile();
        if (!file) {
            std::fprintf(stderr, "the generated log did not open\n");
            return 1;
        }
        FileOf(*file).indexer().wait_stopped(kWaitMs);
        QCoreApplication::processEvents();
        std::printf("file: %.1f MB, %" PRIu64 " lines\n", static_cast<double>(fs::file_size(log_path)) / (1 << 20),
                    file->counts().line_count);

        window->Router().route(ids::kEditFind);
        CFindDlg* dialog = FindDialog(*window);
        dialog->findChild<QComboBox*>(IdObjectName(CFindDlg::kExpressionBox))
            ->lineEdit()
            ->setText(QStringLiteral("gruffalo"));
        auto* find_all = dialog->findChild<QPushButton*>(IdObjectName(CFindDlg::kFindAllButton));
        CResultsPane* pane = ResultsPaneOfPage(window->TabControl()->currentWidget());
        if (!find_all || !pane) {
            std::fprintf(stderr, "no Find All button or results pane\n");
            return 1;
        }

        std::vector<double> first_ms, walk_ms;
        QElapsedTimer clock;
        double first = -1;
        QObject::connect(pane, &CResultsPane::Refreshed, pane, [&] {
            if (first < 0 && app.JobRunning() && pane->Model().rowCount() > 0) {
                pane->List()->viewport()->repaint();
                first = Milliseconds(clock);
            }
        });
        for (int round = 0; round < kRounds; ++round) {
            first = -1;
            clock.start();
            find_all->click();
            walk_ms.push_back(Milliseconds(clock));
            first_ms.push_back(first < 0 ? walk_ms.back() : first);
        }
        const uint64_t count = file->results().size();
        long grep_count = 0;
        const double grep =
            TimeCommand("LC_ALL=C grep -c gruffalo '" + log_path.string() + "'", grep_count, kRounds) * 1000;
        std::printf("find all 'gruffalo': %" PRIu64 " results; first rows painted after %.1f ms (median of %d, target "
                    "< 100 ms), whole walk %.1f ms\n",
                    count, Median(first_ms), kRounds, Median(walk_ms));
        std::printf("baseline grep -c (count %ld): %.1f ms; ratios: first rows/grep %.3f, walk/grep %.2f\n",
                    grep_count, grep, Median(first_ms) / grep, Median(walk_ms) / grep);
        if (static_cast<long>(count) != grep_count) {
            std::fprintf(stderr, "the pane holds %" PRIu64 " results, grep counts %ld\n", count, grep_count);
            status = 1;
        }
        window->close();
        shell.ExitInstance();
    }
    return status;
}
