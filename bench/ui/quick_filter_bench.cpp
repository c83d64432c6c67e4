// quick_filter_bench: the quick filter over a 100000-line window, from the
// box's timer firing to the repainted list, in the whole viewer under the
// offscreen platform (the real work thread, job protocol and list).
//
// A generated access log of 120000 lines (six columns) is opened with a
// window of 100000 lines; then, round after round, the box gets a new text
// and its timer's timeout is raised: the clock runs until the list shows
// the filtered rows and has painted them.  Target: under 50 ms.
//
// Baselines in the same run: a plain scan of the same 100000 line texts for
// the same word, ASCII case folded (no columns, no job, no drawing), and a
// repaint of the unchanged list alone.  The generated folder is removed at
// the end.
#include "bench_support.h"
#include "app/varnoth_app.h"
#include "parser/log_pattern.h"
#include "platform/message_box.h"
#include "shell/app_shell.h"
#include "throwaway_install.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_page.h"
#include "ui/top_panel.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view_engine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMetaObject>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kFileLines = 120000;
constexpr int kWindowLines = 100000;
constexpr int kWaitMs = 20000;

double Worst(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

double Milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Lines like a web server's access log; returns them for the baseline scan.
std::vector<std::string> WriteAccessLog(const fs::path& path)
{
    static const char* const kMethods[] = {"GET", "GET", "GET", "GET", "GET", "GET", "GET", "POST", "POST", "DELETE"};
    static const char* const kPaths[] = {"/index.html",          "/static/style.css", "/static/app.js",
                                         "/search?q=log+viewer", "/api/items/17",     "/api/orders"};
    static const char* const kStatus[] = {"200", "200", "200", "304", "404", "500"};
    std::mt19937 random(7);
    std::vector<std::string> lines;
    lines.reserve(kFileLines);
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < kFileLines; ++i) {
        const int second = i / 20;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "05/Aug/2024:%02d:%02d:%02d +0200", 10 + second / 3600 % 12,
                      second / 60 % 60, second % 60);
        std::string line = "10.0." + std::to_string(random() % 10) + "." + std::to_string(random() % 250) + " - - ["
                           + stamp + "] \"" + kMethods[random() % 10] + " " + kPaths[random() % 6] + " HTTP/1.1\" "
                           + kStatus[random() % 6] + " " + std::to_string(random() % 90000);
        out << line << '\n';
        lines.push_back(std::move(line));
    }
    return lines;
}

log_pattern Item(const std::u16string& name, const std::u16string& end)
{
    log_pattern item(name);
    item.end = end;
    return item;
}

tagPARSER_ITEM AccessParser()
{
    tagPARSER_ITEM parser;
    parser.name = u"access";
    parser.parser.push_back(Item(u"Client", u" - - ["));
    parser.parser.push_back(Item(u"Time", u"] \""));
    parser.parser.push_back(Item(u"Method", u" "));
    parser.parser.push_back(Item(u"Path", u" HTTP/1.1\" "));
    parser.parser.push_back(Item(u"Status", u" "));
    parser.parser.push_back(Item(u"Size", u""));
    return parser;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The baseline: window lines holding word, ASCII case folded.
int PlainScan(const std::vector<std::string>& lines, const std::string& word)
{
    const std::string needle = Lower(word);
    int count = 0;
    for (int i = 0; i < kWindowLines; ++i)
        if (Lower(lines[static_cast<std::size_t>(i)]).find(needle) != std::string::npos)
            ++count;
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quick_filter_bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const fs::path root(dir.path().toStdString());
    MakeThrowAwayInstall(root);
    PrintMessagesAndAnswerOk();

    const fs::path log_path = root / "access.log";
    const std::vector<std::string> lines = WriteAccessLog(log_path);

    int status = 0;
    {
        CVarnothApp app(app_environment{(root / "install" / "varnoth").u16string(), (root / "common").u16string()});
        CVarnothShell shell(app);
        if (!shell.InitInstance({QStringLiteral("quick_filter_bench")}))
            return 1;
        app.settings.max_loading_lines = kWindowLines;
        app.settings.load_tail_first = false;
        app.SetProgressDelayMs(60000);
        app.Parsers().push_back(AccessParser());
        CVarnothDlg* window = shell.CreateMainWindow();
        window->resize(1280, 800);
        window->show();

        app.OpenFiles({log_path.u16string()});
        QElapsedTimer waited;
        waited.start();
        while (window->TabControl()->count() == 0 && waited.elapsed() < kWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        file_view* file = app.ActiveFile();
        auto* list = LogListOfPage(window->TabControl()->currentWidget());
        if (!file || !list || file->parser_name() != u"access") {
            std::fprintf(stderr, "the generated log did not open with its parser\n");
            return 1;
        }
        FileOf(*file).indexer().wait_stopped(kWaitMs);
        QCoreApplication::processEvents();
        std::printf("window: %d rows of %d lines, %d columns\n", list->RowCount(), kFileLines, list->ColumnCount());

        CTopPanel* panel = window->TopPanel();
        const char* const kWords[] = {"POST", "GET", "404", "index", "static", "DELETE", "api"};
        std::vector<double> filter_ms, scan_ms, repaint_ms;
        for (int round = 0; round < 28 && status == 0; ++round) {
            const std::string word = kWords[round % 7];

            QElapsedTimer scan;
            scan.start();
            const int expected = PlainScan(lines, word);
            scan_ms.push_back(Milliseconds(scan));

            panel->QuickFilterBox()->lineEdit()->setText(QString::fromStdString(word));
            QElapsedTimer shown;
            shown.start();
            // What the box's one-second timer does when it runs out.
            QMetaObject::invokeMethod(&panel->QuickFilterTimer(), "timeout", Qt::DirectConnection);
            while (list->RowCount() != expected && shown.elapsed() < kWaitMs)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            list->viewport()->repaint();
            filter_ms.push_back(Milliseconds(shown));
            if (list->RowCount() != expected) {
                std::fprintf(stderr, "\"%s\": the list shows %d rows, the plain scan finds %d\n", word.c_str(),
                             list->RowCount(), expected);
                status = 1;
            }

            QElapsedTimer repaint;
            repaint.start();
            list->viewport()->repaint();
            repaint_ms.push_back(Milliseconds(repaint));
        }
        std::printf("quick filter, timer to repainted list: median %.1f ms, worst %.1f ms (target < 50 ms)\n",
                    Median(filter_ms), Worst(filter_ms));
        std::printf("baseline, plain case-folded scan of the same lines: median %.1f ms\n", Median(scan_ms));
        std::printf("baseline, repaint of the unchanged list: median %.1f ms\n", Median(repaint_ms));
        window->close();
        shell.ExitInstance();
    }
    return status;
}
