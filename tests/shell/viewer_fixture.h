// The whole viewer in-process under the offscreen platform, over a
// throw-away installation: the real shell, work thread and main window,
// message boxes recorded, files written into a temporary folder.
#pragma once

#include "app/varnoth_app.h"
#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "shell/app_shell.h"
#include "support/bounded_wait.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_page.h"
#include "ui/status_bar_ctrl.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view_engine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class viewer_fixture {
public:
    struct box {
        std::u16string text;
        unsigned flags;
    };

    struct options {
        unsigned max_lines = 300; // lines in a window, read from the head of each file
        bool tail_on_refresh = true;
        // Folders of the build's installation (parser, icons) copied into the
        // throw-away one before the viewer starts; the dictionary always is.
        std::vector<std::string> installed_folders;
        // Runs once the viewer is initialised, before its main window exists.
        std::function<void(CVarnothApp&)> before_window;
        // Runs before the shell's start-up steps (a test's standard input).
        std::function<void(CVarnothShell&)> before_start;
    };

    // Starts the viewer; Ready() tells whether it came up.
    explicit viewer_fixture(unsigned max_lines = 300) : viewer_fixture(options{max_lines}) {}
    explicit viewer_fixture(const options& how)
    {
        namespace fs = std::filesystem;
        fs::create_directories(Root() / "install" / "dict");
        fs::create_directories(Root() / "common");
        fs::create_directories(Root() / "files");
        fs::copy_file(fs::path(VARNOTH_BIN_DIR) / "dict" / "en.lc", Root() / "install" / "dict" / "en.lc");
        for (const std::string& folder : how.installed_folders)
            fs::copy(fs::path(VARNOTH_BIN_DIR) / folder, Root() / "install" / folder, fs::copy_options::recursive);
        qputenv("VARNOTH_RUNTIME_DIR", QByteArray::fromStdString((Root() / "run").string()));
        // Plain copies of compressed logs, and the sweep at start, stay in the test's folder.
        qputenv("VARNOTH_CACHE_DIR", QByteArray::fromStdString((Root() / "cache").string()));
        m_previous = SetMessagePresenter([this](const std::u16string& text, unsigned flags) {
            boxes.push_back({text, flags});
            return answer;
        });
        app = std::make_unique<CVarnothApp>(
            app_environment{(Root() / "install" / "varnoth").u16string(), (Root() / "common").u16string()});
        shell = std::make_unique<CVarnothShell>(*app);
        if (how.before_start)
            how.before_start(*shell);
        if (!shell->InitInstance({"varnoth"}))
            return;
        app->settings.max_loading_lines = how.max_lines;
        app->settings.load_tail_first = false;
        app->settings.tail_on_refresh = how.tail_on_refresh;
        app->SetProgressDelayMs(20000);
        if (how.before_window)
            how.before_window(*app);
        window = shell->CreateMainWindow();
    }

    ~viewer_fixture()
    {
        if (window)
            window->close();
        window = nullptr;
        if (shell)
            shell->ExitInstance();
        shell.reset();
        app.reset();
        SetMessagePresenter(m_previous);
    }

    viewer_fixture(const viewer_fixture&) = delete;
    viewer_fixture& operator=(const viewer_fixture&) = delete;

    bool Ready() const { return window != nullptr; }

    std::filesystem::path Root() const { return std::filesystem::path(m_dir.path().toStdString()); }
    std::filesystem::path FilePath(const std::string& name) const { return Root() / "files" / name; }

    std::u16string Write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path path = FilePath(name);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path.u16string();
    }
    void Append(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(FilePath(name), std::ios::binary | std::ios::app) << bytes;
    }

    // Opens paths through the drop / hand-over path and waits until the tab
    // count reached tabs_after (and the active file's indexing ended).
    CLogListCtrl* OpenAndWait(const std::vector<std::u16string>& paths, int tabs_after)
    {
        app->OpenFiles(paths);
        return WaitForTabs(tabs_after);
    }
    CLogListCtrl* Open(const std::u16string& path) { return OpenAndWait({path}, Tabs()->count() + 1); }

    CLogListCtrl* WaitForTabs(int count)
    {
        QElapsedTimer waited;
        waited.start();
        while (Tabs()->count() != count && waited.elapsed() < kTestWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (Tabs()->count() != count)
            return nullptr;
        if (file_view* file = app->ActiveFile())
            FileOf(*file).indexer().wait_stopped(kTestWaitMs);
        return ActiveList();
    }

    QTabWidget* Tabs() const { return window->TabControl(); }
    CLogListCtrl* ActiveList() const { return LogListOfPage(Tabs()->currentWidget()); }
    CLogListCtrl* ListOf(int tab) const { return LogListOfPage(Tabs()->widget(tab)); }
    file_view* ActiveFile() const { return app->ActiveFile(); }
    QString Note() const { return window->StatusBar()->Note(); }
    // Runs a command, then lets the messages its jobs posted (the view
    // update after done) reach the window.
    void Route(int id)
    {
        window->Router().route(id);
        Settle();
    }
    // Dispatches what the work thread posted until nothing is left.
    static void Settle()
    {
        QElapsedTimer waited;
        waited.start();
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        while (InterfaceThreadQueue().size() > 0 && waited.elapsed() < kTestWaitMs);
    }
    // The total and selected texts of the status bar.
    QString StatusPart0() const { return window->StatusPart(0)->text(); }
    QString StatusPart2() const { return window->StatusPart(2)->text(); }

    static std::string NumberedLines(int first, int count, const std::string& prefix = "line ")
    {
        std::string out;
        for (int i = first; i < first + count; ++i)
            out += prefix + std::to_string(i) + "\n";
        return out;
    }

    // The window's line numbers of the active file.
    struct window_shape {
        int64_t first = -1;
        int64_t last = -1;
        uint64_t lines = 0;
        bool operator==(const window_shape&) const = default;
    };
    window_shape Shape() const
    {
        file_view* file = ActiveFile();
        if (!file)
            return {};
        const log_file::window_numbers n = FileOf(*file).read_window_numbers();
        return {n.first, n.last, n.line_count};
    }

    std::vector<box> boxes;
    int answer = IDOK; // what every recorded message box answers
    std::unique_ptr<CVarnothApp> app;
    std::unique_ptr<CVarnothShell> shell;
    CVarnothDlg* window = nullptr;

private:
    QTemporaryDir m_dir;
    MessagePresenter m_previous;
};
