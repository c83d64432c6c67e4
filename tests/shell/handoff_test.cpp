// The single-instance hand-off with real processes: this test process is
// the running instance (its main window offscreen), and the built varnoth
// executable is started beside it as second instances with a private
// runtime folder.  Also the job protocol under Qt's event loop with the real
// progress dialog.
#include "app/instance_handoff.h"
#include "app/varnoth_app.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"
#include "shell/app_shell.h"
#include "shell/instance_channel.h"
#include "ui/file_tab_ctrl.h"
#include "ui/progress_dlg.h"
#include "ui/varnoth_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

namespace fs = std::filesystem;

class HandoffTest : public QObject {
    Q_OBJECT

private:
    struct box {
        std::u16string text;
        bool over_progress; // a progress dialog was the active modal window
    };

    fs::path Root() const { return fs::path(m_root->path().toStdString()); }
    QString FilePath(const QString& name) const
    {
        return QString::fromStdString((Root() / "files").string()) + "/" + name;
    }
    QString WriteLog(const QString& name, int lines)
    {
        QFile file(FilePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        for (int i = 0; i < lines; ++i)
            file.write(QByteArray("line ") + QByteArray::number(i) + "\n");
        return file.fileName();
    }
    QProcessEnvironment ChildEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VARNOTH_RUNTIME_DIR", QString::fromStdString((Root() / "run").string()));
        env.insert("VARNOTH_CACHE_DIR", QString::fromStdString((Root() / "cache").string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VARNOTH_DEBUG", "1");
        return env;
    }
    std::unique_ptr<QProcess> StartSecond(const QStringList& arguments, const QString& folder = {})
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(ChildEnvironment());
        if (!folder.isEmpty())
            process->setWorkingDirectory(folder);
        process->start(QString(VARNOTH_BIN_DIR) + "/varnoth", arguments);
        return process;
    }
    // True once the process has the lock file of name open (it is then
    // taking or waiting for that lock).
    static bool HasLockOpen(qint64 pid, const std::string& lock_file)
    {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            std::error_code link_error;
            if (fs::read_symlink(entry.path(), link_error).filename() == lock_file)
                return true;
        }
        return false;
    }
    QTabWidget* Tabs() const { return m_window->TabControl(); }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<CVarnothApp> m_app;
    std::unique_ptr<CVarnothShell> m_shell;
    CVarnothDlg* m_window = nullptr;
    std::vector<box> m_boxes;
    MessagePresenter m_previous;

    // A fresh installation, data and runtime folder for one test.
    void PrepareRoot()
    {
        m_root = std::make_unique<QTemporaryDir>();
        fs::create_directories(Root() / "install" / "dict");
        fs::create_directories(Root() / "common");
        fs::create_directories(Root() / "files");
        fs::copy_file(fs::path(VARNOTH_BIN_DIR) / "dict" / "en.lc", Root() / "install" / "dict" / "en.lc");
        qputenv("VARNOTH_RUNTIME_DIR", QByteArray::fromStdString((Root() / "run").string()));
        qputenv("VARNOTH_CACHE_DIR", QByteArray::fromStdString((Root() / "cache").string()));
    }
    // A fresh first instance; with file, started with that command-line file.
    void StartFirstInstance(const QString& file = {})
    {
        if (!m_root)
            PrepareRoot();
        m_app = std::make_unique<CVarnothApp>(
            app_environment{(Root() / "install" / "varnoth").u16string(), (Root() / "common").u16string()});
        m_shell = std::make_unique<CVarnothShell>(*m_app);
        QStringList arguments{"varnoth"};
        if (!file.isEmpty())
            arguments << file;
        QVERIFY(m_shell->InitInstance(arguments));
        m_window = m_shell->CreateMainWindow();
        QVERIFY(m_window);
        QVERIFY(m_shell->InstanceChannel());
    }

private slots:
    void init()
    {
        m_boxes.clear();
        m_previous = SetMessagePresenter([this](const std::u16string& text, unsigned) {
            m_boxes.push_back({text, qobject_cast<CProgressDlg*>(QApplication::activeModalWidget()) != nullptr});
            return IDOK;
        });
    }
    void cleanup()
    {
        if (m_shell)
            m_shell->ExitInstance();
        m_shell.reset();
        m_app.reset();
        m_window = nullptr;
        m_root.reset();
        SetMessagePresenter(m_previous);
    }

    void FirstInstance_OpensItsOwnCommandLineFileOnceItsWindowExists()
    {
        PrepareRoot();
        const QString own = WriteLog("own.log", 12);
        StartFirstInstance(own);
        QCOMPARE(Tabs()->count(), 0); // not before the event loop runs
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 1, 10000);
        QCOMPARE(Tabs()->tabText(0), QString("own.log"));
        QCOMPARE(m_shell->InstanceChannel()->BatchesOpened(), 1);
        QVERIFY(m_boxes.empty());
    }

    void SecondStartWithAFile_HandsItOverAndEndsAtOnceWithoutAWindow()
    {
        StartFirstInstance();
        QCoreApplication::processEvents(); // the first take, of nothing
        QGuiApplication::clipboard()->setText("the user's own text");
        const QString path = WriteLog("second.log", 20);
        auto second = StartSecond({path});
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        const QString diagnostics = QString::fromUtf8(second->readAllStandardError());
        QVERIFY2(diagnostics.contains("handed over to the running instance"), qPrintable(diagnostics));
        // It ends at once: without a window, and without waiting for the running
        // viewer to take the paths (they arrive below, after it has ended).
        QVERIFY2(!diagnostics.contains("main window shown"), qPrintable(diagnostics));

        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 1, 10000);
        QCOMPARE(Tabs()->tabText(0), QString("second.log"));
        QCOMPARE(m_shell->InstanceChannel()->BatchesOpened(), 1);
        QVERIFY(m_boxes.empty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("the user's own text"));
        QVERIFY(!fs::exists(Root() / "run" / "vrnt"));

        // The same file again only activates its tab.
        WriteLog("other.log", 3);
        auto other = StartSecond({FilePath("other.log")});
        QVERIFY(other->waitForFinished(20000));
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 2, 10000);
        auto again = StartSecond({path});
        QVERIFY(again->waitForFinished(20000));
        QTRY_COMPARE_WITH_TIMEOUT(m_shell->InstanceChannel()->BatchesOpened(), 3, 10000);
        QCOMPARE(Tabs()->count(), 2);
        QCOMPARE(Tabs()->currentIndex(), 0);
    }

    void FiveStartsTogether_OpenFiveTabsInOneBatch()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        std::vector<std::unique_ptr<QProcess>> starts;
        {
            // Holding the spool's lock lines the five up behind it.
            named_mutex spool_lock{std::u16string(kHandOffLockName)};
            QVERIFY(spool_lock.lock());
            for (int i = 0; i < 5; ++i)
                starts.push_back(StartSecond({WriteLog(QString("batch-%1.log").arg(i), 5 + i)}));
            for (auto& start : starts)
                QVERIFY(start->waitForStarted(20000));
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            for (auto& start : starts)
                while (!HasLockOpen(start->processId(), "Varnoth_Clipboard.lock")) {
                    QVERIFY2(std::chrono::steady_clock::now() < limit, "a start never reached the spool's lock");
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
        }
        for (auto& start : starts) {
            QVERIFY(start->waitForFinished(20000));
            QCOMPARE(start->exitCode(), 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 5, 20000);
        QCOMPARE(m_shell->InstanceChannel()->BatchesOpened(), 1);
        QStringList names;
        for (int i = 0; i < Tabs()->count(); ++i)
            names << Tabs()->tabText(i);
        names.sort();
        QCOMPARE(names, (QStringList{"batch-0.log", "batch-1.log", "batch-2.log", "batch-3.log", "batch-4.log"}));
    }

    void PathsArrivingWithinTheBatchInterval_OpenAsOneBatchInArrivalOrder()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        QStringList paths;
        for (int i = 0; i < 5; ++i)
            paths << WriteLog(QString("spread-%1.log").arg(i), 3);
        int next = 1;
        int takes = 0;
        // Each path arrives right after the previous take, so every take
        // finds one and the batch stays open until a take finds none.
        m_shell->InstanceChannel()->SetTakeObserver([&](std::size_t) {
            ++takes;
            if (next < paths.size())
                QVERIFY(HandOffPath(paths[next++].toStdU16String()));
        });
        QVERIFY(HandOffPath(paths[0].toStdU16String()));
        QVERIFY(WakeRunningInstance());
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 5, 20000);
        m_shell->InstanceChannel()->SetTakeObserver(nullptr);
        QCOMPARE(m_shell->InstanceChannel()->BatchesOpened(), 1);
        QCOMPARE(takes, 6);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(Tabs()->tabText(i), QString("spread-%1.log").arg(i));
    }

    void SecondStartWithoutAFile_ChangesNothing()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        auto second = StartSecond({});
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(!QString::fromUtf8(second->readAllStandardError()).contains("main window shown"));
        QTest::qWait(2 * CInstanceChannel::kBatchIntervalMs); // nothing is expected to happen
        QCOMPARE(Tabs()->count(), 0);
        QCOMPARE(m_shell->InstanceChannel()->BatchesOpened(), 0);
        QCOMPARE(m_shell->InstanceChannel()->BatchesDropped(), 0);
        QVERIFY(!fs::exists(Root() / "run" / "vrnt"));
    }

    void WithAModalDialogOpen_HandedOverPathsAreDropped()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        const QString path = WriteLog("dropped.log", 4);
        QDialog dialog(m_window);
        bool checked = false;
        QTimer::singleShot(0, &dialog, [&] {
            auto second = StartSecond({path});
            if (second->waitForFinished(20000))
                QTRY_COMPARE_WITH_TIMEOUT(m_shell->InstanceChannel()->BatchesDropped(), 1, 10000);
            checked = true;
            dialog.reject();
        });
        QTimer::singleShot(30000, &dialog, &QDialog::reject); // safety net
        dialog.exec();
        QVERIFY(checked);
        QCOMPARE(m_shell->InstanceChannel()->BatchesDropped(), 1);
        QCOMPARE(m_shell->InstanceChannel()->BatchesOpened(), 0);
        QCOMPARE(Tabs()->count(), 0);
        // Taken off the spool, not kept for later.
        QVERIFY(!fs::exists(Root() / "run" / "vrnt"));
        QCoreApplication::processEvents();
        QCOMPARE(Tabs()->count(), 0);
    }

    void RelativePathFromAnotherFolder_IsOpenedAsAFullPath()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        WriteLog("relative.log", 6);
        auto second = StartSecond({"relative.log"}, QString::fromStdString((Root() / "files").string()));
        QVERIFY(second->waitForFinished(20000));
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 1, 10000);
        QCOMPARE(Tabs()->tabText(0), QString("relative.log"));
        file_view* file = m_app->ActiveFile();
        QVERIFY(file);
        QCOMPARE(QString::fromStdU16String(file->path()), FilePath("relative.log"));
        QVERIFY(m_boxes.empty());
    }

    void PathsThatVanishedOrAreFolders_AreNamedInABoxAndTheOthersOpen()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        const QString kept = WriteLog("kept.log", 3);
        const QString gone = WriteLog("gone.log", 3);
        QFile::remove(gone);
        QVERIFY(HandOffPath(gone.toStdU16String()));
        QVERIFY(HandOffPath(FilePath("").toStdU16String() + u"."));
        QVERIFY(HandOffPath(kept.toStdU16String()));
        QVERIFY(WakeRunningInstance());
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes.size(), size_t(2), 10000);
        const std::u16string cannot_read = DictionaryText(u"IDS_MSG_CANNOT_READ_FILE");
        QCOMPARE(m_boxes[0].text, cannot_read + u"\n" + gone.toStdU16String());
        QVERIFY(m_boxes[1].text.rfind(cannot_read, 0) == 0);
        QCOMPARE(Tabs()->tabText(0), QString("kept.log"));
    }

    void LongOpenJob_ShowsTheProgressDialogWhichOnlyItsDoneCloses()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        int dialogs = 0;
        m_app->SetProgressDialogFactory([&](int file_count, bool cancellable, native_signal& cancel) {
            ++dialogs;
            return std::make_unique<CProgressDlg>(file_count, cancellable, &cancel, m_window);
        });
        m_app->SetProgressDelayMs(0);
        const QString a = WriteLog("a.log", 10);
        const QString z = WriteLog("z.log", 10);
        m_app->OpenFiles({a.toStdU16String(), FilePath("missing.log").toStdU16String(), z.toStdU16String()});
        QCOMPARE(dialogs, 1);
        QVERIFY(m_app->ShownProgressDialog() == nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 2, 10000);
        QCOMPARE(m_boxes.size(), size_t(1));
        QVERIFY(m_boxes[0].over_progress);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(m_window->findChildren<CProgressDlg*>().isEmpty());
        const tagPROGRESS_STATE after = m_app->Progress().snapshot();
        QCOMPARE(after.file_number, 0);
        QVERIFY(after.action.empty());

        // A job that ends in time shows no dialog.
        m_app->SetProgressDelayMs(20000);
        m_app->OpenFiles({WriteLog("quick.log", 3).toStdU16String()});
        QCOMPARE(dialogs, 1);
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 3, 10000);
    }

    void RecentFileAndCloseCommands_OpenAndCloseTabs()
    {
        StartFirstInstance();
        QCoreApplication::processEvents();
        const QString path = WriteLog("recent.log", 8);
        m_app->recent_files = {path.toStdU16String()};
        QVERIFY(m_window->Router().route(33000));
        QTRY_COMPARE_WITH_TIMEOUT(Tabs()->count(), 1, 10000);
        QCOMPARE(m_app->OpenFileList().size(), size_t(1));
        QVERIFY(m_window->Router().route(33001)); // no such entry: nothing
        QCOMPARE(Tabs()->count(), 1);
        QVERIFY(m_window->Router().route(32774));
        QCOMPARE(Tabs()->count(), 0);
        QCOMPARE(m_app->OpenFileList().size(), size_t(0));
        QVERIFY(m_app->ActiveFile() == nullptr);
        QVERIFY(m_window->Router().route(32774)); // without a tab: nothing
    }
};

QTEST_MAIN(HandoffTest)
#include "handoff_test.moc"
