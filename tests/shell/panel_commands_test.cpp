// The commands and companions around the lists, run in the whole viewer
// under the offscreen platform: real files opened by the real work thread,
// the quick filter typed into its box, the parser and encoding choosers,
// the copy and path commands through the clipboard, the export command and
// the file-scope bar.  Expected texts are built here from the files' bytes.
#include "app/progress_dialog.h"
#include "app/varnoth_app.h"
#include "dialogs/find_dlg.h"
#include "glossant/dictionary_text.h"
#include "highlight/highlight.h"
#include "logfile/unpack.h"
#include "platform/message_box.h"
#include "search/search_info.h"
#include "shell/app_shell.h"
#include "shell/find_commands.h"
#include "shell/panel_commands.h"
#include "support/bounded_wait.h"
#include "ui/command_ids.h"
#include "ui/file_scope_ctrl.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_page.h"
#include "ui/status_bar_ctrl.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "viewer_fixture.h"
#include "work/file_view_engine.h"
#include "work/work_messages.h"

#include <zlib.h>

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace fs = std::filesystem;

class PanelCommandsTest : public QObject {
    Q_OBJECT

private:
    using box = viewer_fixture::box;

    std::unique_ptr<viewer_fixture> m_viewer;
    CVarnothApp* m_app = nullptr;
    CVarnothDlg* m_window = nullptr;
    panel_command_seams m_previous_seams;
    std::vector<std::u16string> m_shown_in_manager;
    std::u16string m_export_target;
    std::u16string m_dialog_folder; // what the save dialog was offered last
    std::u16string m_dialog_name;

    fs::path Root() const { return m_viewer->Root(); }

    std::u16string Write(const std::string& name, const std::string& bytes)
    {
        const fs::path path = Root() / "files" / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.u16string();
    }

    static std::string GzipMember(const std::string& text)
    {
        z_stream z{};
        if (deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return {};
        std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z.avail_in = static_cast<uInt>(text.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        return out;
    }

    // Opens path through the application and waits for its tab.
    CLogListCtrl* Open(const std::u16string& path)
    {
        const int before = m_window->TabControl()->count();
        m_app->OpenFiles({path});
        QElapsedTimer waited;
        waited.start();
        while (m_window->TabControl()->count() == before && waited.elapsed() < kTestWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (m_window->TabControl()->count() == before)
            return nullptr;
        file_view* file = m_app->ActiveFile();
        if (file)
            FileOf(*file).indexer().wait_stopped(kTestWaitMs);
        return LogListOfPage(m_window->TabControl()->currentWidget());
    }

    CTopPanel* Panel() const { return m_window->TopPanel(); }

    static std::string NumberedLines(int count)
    {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += "line " + std::to_string(i) + "\n";
        return out;
    }

    static tagPARSER_ITEM TwoColumnParser()
    {
        tagPARSER_ITEM item;
        item.name = u"two";
        log_pattern word(u"Word");
        word.end = u" ";
        item.parser.push_back(word);
        item.parser.push_back(log_pattern(u"Number"));
        return item;
    }

    QString Clipboard() const { return QGuiApplication::clipboard()->text(); }

private slots:
    void init()
    {
        // Files without a byte-order mark read as Windows-1252 until switched.
        qputenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252");
        m_shown_in_manager.clear();
        m_export_target.clear();
        m_previous_seams =
            SetPanelCommandSeams({[this](QWidget*, const std::u16string& folder, const std::u16string& name) {
                                      m_dialog_folder = folder;
                                      m_dialog_name = name;
                                      return m_export_target;
                                  },
                                  [this](const std::u16string& path) {
                                      m_shown_in_manager.push_back(path);
                                      return path.find(u"missing") != std::u16string::npos ? ENOENT : 0;
                                  }});
        viewer_fixture::options how;
        how.tail_on_refresh = false;
        how.installed_folders = {"icons"}; // the toolbar's pictures, as installed
        how.before_window = [](CVarnothApp& app) { app.Parsers().push_back(TwoColumnParser()); };
        m_viewer = std::make_unique<viewer_fixture>(how);
        QVERIFY(m_viewer->Ready());
        m_app = m_viewer->app.get();
        m_window = m_viewer->window;
    }
    void cleanup()
    {
        m_viewer.reset();
        m_app = nullptr;
        m_window = nullptr;
        SetPanelCommandSeams(m_previous_seams);
    }

    void quickFilterAppliesOneSecondAfterTheLastKeyAtOnceOnEnterAndNotForACaseChange()
    {
        // The bundled access log, as a new user meets it.
        const QString sample = QStringLiteral(VARNOTH_BIN_DIR) + QStringLiteral("/samples/access.log");
        QFile in(sample);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        CLogListCtrl* list = Open(Write("access.log", bytes.toStdString()));
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        QVERIFY(file);
        QCOMPARE(file->parser_name(), std::u16string(u"two")); // every line has a space to split at

        // The reference: window lines that hold the text, ASCII case ignored.
        auto reference = [&](const QByteArray& needle) {
            int count = 0;
            const QList<QByteArray> lines = bytes.split('\n');
            for (int i = 0; i < lines.size() && i < 300; ++i)
                if (!lines[i].isEmpty() && lines[i].toLower().contains(needle.toLower()))
                    ++count;
            return count;
        };

        QLineEdit* edit = Panel()->QuickFilterBox()->lineEdit();
        QVERIFY(Panel()->QuickFilterBox()->isEnabled());
        // Focus moves only inside the active window.
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window, kTestWaitMs));
        edit->setFocus();
        const int rows_before = list->RowCount();
        QElapsedTimer typed;
        QTest::keyClicks(edit, QStringLiteral("POS"));
        typed.start();
        QTest::keyClick(edit, 'T');
        QVERIFY(Panel()->QuickFilterTimer().isActive());
        QCOMPARE(Panel()->QuickFilterTimer().interval(), 1000);
        QCOMPARE(file->quick_filter_text(), std::u16string()); // not yet
        QTRY_VERIFY_WITH_TIMEOUT(file->quick_filter_text() == u"POST", kTestWaitMs);
        QVERIFY2(typed.elapsed() >= 900, qPrintable(QString::number(typed.elapsed())));
        QVERIFY(reference("POST") > 0);
        QCOMPARE(list->RowCount(), reference("POST"));
        QVERIFY(list->RowCount() < rows_before);
        QCOMPARE(Panel()->QuickFilterBox()->itemText(0), QStringLiteral("POST")); // into the history
        QCOMPARE(m_window->StatusPart(1)->text(),
                 QString::fromStdU16String(DictionaryText(u"IDS_STATUSBAR_TEXT_FILTERED"))
                     + QStringLiteral(": %1").arg(reference("POST")));

        // Only the letter case changed: no job, once the timer has run out.
        const uint64_t jobs = m_app->WorkThread().LastJobSerial();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("post"));
        QTRY_VERIFY_WITH_TIMEOUT(!Panel()->QuickFilterTimer().isActive(), kTestWaitMs);
        QCOMPARE(m_app->WorkThread().LastJobSerial(), jobs);
        QCOMPARE(file->quick_filter_text(), std::u16string(u"POST"));

        // Enter applies at once.
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("GET"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!Panel()->QuickFilterTimer().isActive());
        QCOMPARE(file->quick_filter_text(), std::u16string(u"GET"));
        QTRY_COMPARE_WITH_TIMEOUT(list->RowCount(), reference("GET"), kTestWaitMs);

        // Enter on a letter-case variant of a history entry: the typed text
        // stays as typed, nothing is re-applied and no timer is left running.
        const uint64_t after_get = m_app->WorkThread().LastJobSerial();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("get"));
        QTest::keyClick(edit, Qt::Key_Enter);
        QCOMPARE(edit->text(), QStringLiteral("get"));
        QVERIFY(!Panel()->QuickFilterTimer().isActive());
        QCOMPARE(m_app->WorkThread().LastJobSerial(), after_get);

        // An entry chosen from the list: applied when the timer runs out, and
        // the chosen text, now first in the history, is entry 0 again.
        CEditComboBox* box = Panel()->QuickFilterBox();
        const int post_entry = box->findText(QStringLiteral("POST"), Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY(post_entry > 0);
        box->setCurrentIndex(post_entry);
        emit box->activated(post_entry);
        QVERIFY(Panel()->QuickFilterTimer().isActive());
        QTRY_COMPARE_WITH_TIMEOUT(file->quick_filter_text(), std::u16string(u"POST"), kTestWaitMs);
        QCOMPARE(box->itemText(0), QStringLiteral("POST"));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(edit->text(), QStringLiteral("POST"));
        QTRY_COMPARE_WITH_TIMEOUT(list->RowCount(), reference("POST"), kTestWaitMs);

        // Emptied: every row again.
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(list->RowCount(), rows_before);

        // Tab moves to the list.
        QTest::keyClick(edit, Qt::Key_Tab);
        QTRY_VERIFY_WITH_TIMEOUT(list->hasFocus() || QApplication::focusWidget() == list, kTestWaitMs);
        QVERIFY(m_viewer->boxes.empty());

        // For the pictures in the documentation: the sample under a six-column
        // parser chosen in the top panel, filtered by "POST" and highlighted,
        // with the file-scope bar active (300 of 1500 lines are loaded).
        // VARNOTH_PANEL_SCREENSHOT names the PNG; VARNOTH_PANEL_SCREENSHOT_HOLD_MS
        // keeps the window up for a grab of the whole screen.
        if (const QByteArray shot = qgetenv("VARNOTH_PANEL_SCREENSHOT"); !shot.isEmpty())
            ShowFilteredPicture(*list, QString::fromUtf8(shot), reference("POST"));
    }

private:
    void ShowFilteredPicture(CLogListCtrl& list, const QString& target, int post_rows)
    {
        auto item = [](const char16_t* name, const char16_t* end) {
            log_pattern column(name);
            column.end = end;
            return column;
        };
        tagPARSER_ITEM access;
        access.name = u"access";
        access.parser = {item(u"Client", u" - - ["),     item(u"Time", u"] \""), item(u"Method", u" "),
                         item(u"Path", u" HTTP/1.1\" "), item(u"Status", u" "),  item(u"Size", u"")};
        m_app->Parsers().push_back(access);
        Panel()->RefillParsers();
        emit Panel()->ParserChooser()->activated(Panel()->ParserChooser()->count() - 1);
        QTRY_COMPARE_WITH_TIMEOUT(list.ColumnCount(), 6, kTestWaitMs);

        auto rule = [](const char16_t* expression, const char16_t* column, int32_t text, int32_t back) {
            tagHIGHLIGHT_ITEM highlight;
            highlight.expression = expression;
            highlight.column = column;
            highlight.text_color = text;
            highlight.back_color = back;
            highlight.wildcard = std::u16string_view(expression).find(u'*') != std::u16string_view::npos;
            DeriveHighlightPattern(highlight);
            return highlight;
        };
        file_view* file = m_app->ActiveFile();
        file_view_engine::highlight_rules(*file) = {rule(u"404", u"Status", 0x00FFFFFF, 0x003030D0),
                                                    rule(u"/api/*", u"Path", 0x00000000, 0x0080E0FF),
                                                    rule(u"POST", u"Method", 0x00000000, 0x00F0D090)};
        file->set_highlight_enabled(1 != 0);

        QLineEdit* edit = Panel()->QuickFilterBox()->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("POST"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(list.RowCount(), post_rows, kTestWaitMs);
        m_window->move(0, 0);
        m_window->resize(1400, 760);
        m_window->show();
        list.FitColumns();
        list.SelectRow(2);
        list.setFocus();
        m_window->UpdateToolbar();
        m_window->UpdateStatusTexts();
        QVERIFY(m_window->FileScopeBar()->Map().Active());
        const int hold = qEnvironmentVariableIntValue("VARNOTH_PANEL_SCREENSHOT_HOLD_MS");
        QTest::qWait(std::clamp(hold, 300, 30000));
        QVERIFY(m_window->grab().save(target));
    }

private slots:
    void topPanelLaysOutItsControlsAndFollowsTheActiveTab()
    {
        CTopPanel* panel = Panel();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_window->resize(1200, 600);
        QTRY_COMPARE_WITH_TIMEOUT(Panel()->width(), 1200, kTestWaitMs);
        // No file: the file's controls are disabled and the box is empty.
        QVERIFY(!panel->QuickFilterBox()->isEnabled());
        QVERIFY(!panel->ParserChooser()->isEnabled());
        QVERIFY(!panel->ParserText()->isEnabled());
        QVERIFY(panel->QuickFilterBox()->currentText().isEmpty());
        QVERIFY(panel->ManageButton()->isEnabled());

        // Left to right with the gaps of the panel; the button keeps 4 pixels
        // to the right edge and the template text takes what is left.
        auto* filter_label = panel->findChild<QLabel*>(IdObjectName(ids::kTopPanelFilterLabel));
        auto* parser_label = panel->findChild<QLabel*>(IdObjectName(ids::kTopPanelParserLabel));
        QVERIFY(filter_label && parser_label);
        auto check_layout = [&] {
            QCOMPARE(filter_label->x(), 4);
            QCOMPARE(panel->QuickFilterBox()->x(), filter_label->geometry().right() + 1 + 4);
            QCOMPARE(panel->QuickFilterBox()->width(), 200);
            QCOMPARE(parser_label->x(), panel->QuickFilterBox()->geometry().right() + 1 + 20);
            QCOMPARE(panel->ParserChooser()->width(), 200);
            QCOMPARE(panel->ParserText()->x(), panel->ParserChooser()->geometry().right() + 1 + 2);
            QCOMPARE(panel->ManageButton()->x(), panel->ParserText()->geometry().right() + 1 + 2);
            QCOMPARE(panel->ManageButton()->geometry().right() + 1, panel->width() - 4);
            QCOMPARE(panel->width(), m_window->width());
        };
        check_layout();
        const int text_width = panel->ParserText()->width();
        m_window->resize(1000, 600);
        QTRY_COMPARE_WITH_TIMEOUT(panel->width(), 1000, kTestWaitMs);
        check_layout();
        QCOMPARE(panel->ParserText()->width(), text_width - 200);

        // Two files, each with its own quick filter text and parser.
        CLogListCtrl* first = Open(Write("first.log", NumberedLines(30)));
        QVERIFY(first);
        QVERIFY(panel->QuickFilterBox()->isEnabled());
        QLineEdit* edit = panel->QuickFilterBox()->lineEdit();
        edit->setText(QStringLiteral("2"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(first->RowCount(), 12, kTestWaitMs); // 2, 12 and 20 to 29
        CLogListCtrl* second = Open(Write("second.log", "one_column_only\n"));
        QVERIFY(second);
        QCOMPARE(panel->ParserChooser()->currentIndex(), 0); // the default parser
        QVERIFY(panel->QuickFilterBox()->currentText().isEmpty());
        QCOMPARE(panel->ParserText()->text(), QStringLiteral("<%1>").arg(Text(u"IDS_SPECIAL_DEFAULT_PARSER_CONTENT")));

        // A key typed, then another tab: the timer stops and the text typed is
        // not applied to either file.
        QTest::keyClicks(edit, QStringLiteral("only"));
        QVERIFY(panel->QuickFilterTimer().isActive());
        m_window->TabControl()->setCurrentIndex(0);
        QVERIFY(!panel->QuickFilterTimer().isActive());
        QCOMPARE(panel->QuickFilterBox()->currentText(), QStringLiteral("2"));
        QCOMPARE(panel->ParserChooser()->currentIndex(), 1);
        QCOMPARE(panel->ParserText()->text(), QStringLiteral("<Word> <Number>"));
        m_window->TabControl()->setCurrentIndex(1);
        QVERIFY(panel->QuickFilterBox()->currentText().isEmpty());
        QVERIFY(m_app->ActiveFile()->quick_filter_text().empty());

        // The last tab closed: disabled and empty again.
        m_window->Router().route(ids::kFileCloseAll);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->TabControl()->count(), 0, kTestWaitMs);
        QVERIFY(!panel->QuickFilterBox()->isEnabled());
        QVERIFY(!panel->ParserChooser()->isEnabled());
        QVERIFY(panel->QuickFilterBox()->currentText().isEmpty());
        QVERIFY(m_viewer->boxes.empty());
    }

    void parserChooserRebuildsTheColumnsAndShowsTheTemplate()
    {
        CLogListCtrl* list = Open(Write("parser.log", NumberedLines(50)));
        QVERIFY(list);
        QComboBox* chooser = Panel()->ParserChooser();
        QCOMPARE(chooser->count(), 2);
        QCOMPARE(chooser->itemText(1), QStringLiteral("two"));
        QCOMPARE(chooser->currentIndex(), 1); // chosen at open: it splits every line
        QCOMPARE(list->ColumnCount(), 2);
        QCOMPARE(Panel()->ParserText()->text(), QStringLiteral("<Word> <Number>"));

        // The find dialog searched one column; the change searches them all.
        CFindDlg* find = FindDialog(*m_window);
        QVERIFY(find);
        auto* find_columns = find->findChild<QComboBox*>(IdObjectName(CFindDlg::kColumnBox));
        QVERIFY(find_columns);
        const int find_entries = find_columns->count();
        file_view_engine::search(*m_app->ActiveFile()).column = 1;

        emit chooser->activated(0);
        QCOMPARE(list->ColumnCount(), 1);
        QCOMPARE(m_app->ActiveFile()->search().column, -1);
        QCOMPARE(find->TargetFile(), m_app->ActiveFile());
        QCOMPARE(find_columns->count(), find_entries - 1); // one column fewer to choose from
        QCOMPARE(m_app->ActiveFile()->parser_name(), std::u16string());
        QCOMPARE(chooser->currentIndex(), 0);
        // The rows come back with the view update that ends the re-parse.
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(3, 0), std::u16string(u"line 3"), kTestWaitMs);
        QCOMPARE(list->RowCount(), 50);

        emit chooser->activated(1);
        QCOMPARE(list->ColumnCount(), 2);
        QCOMPARE(list->ColumnName(1), std::u16string(u"Number"));
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(3, 1), std::u16string(u"3"), kTestWaitMs);
        QCOMPARE(Panel()->ParserText()->text(), QStringLiteral("<Word> <Number>"));
        QCOMPARE(find_columns->count(), find_entries);

        // The manage button runs the parser manager, then the chooser follows
        // the parser list; the file keeps its parser.
        int managed = 0;
        panel_command_seams seams = SetPanelCommandSeams({});
        panel_command_seams with_manager = seams;
        with_manager.run_parser_manager = [&](QWidget* parent) {
            QCOMPARE(parent, static_cast<QWidget*>(m_window));
            ++managed;
            tagPARSER_ITEM added = TwoColumnParser();
            added.name = u"three";
            m_app->Parsers().push_back(added);
        };
        SetPanelCommandSeams(with_manager);
        QTest::mouseClick(Panel()->ManageButton(), Qt::LeftButton);
        SetPanelCommandSeams(seams);
        QCOMPARE(managed, 1);
        QCOMPARE(chooser->count(), 3);
        QCOMPARE(chooser->itemText(2), QStringLiteral("three"));
        QCOMPARE(chooser->currentIndex(), 1);
        QVERIFY(m_viewer->boxes.empty());
    }

    void encodingChooserSwitchesAFileWithoutMarkAndOnlyShowsAMarkedOne()
    {
        CLogListCtrl* plain = Open(Write("plain.log", "caf\xC3\xA9 1\nna\xC3\xAFve 2\n"));
        QVERIFY(plain);
        QComboBox* box = m_window->EncodingBox();
        QCOMPARE(box->count(), 2);
        QVERIFY(box->isEnabled());
        QCOMPARE(box->currentIndex(), 1); // valid UTF-8 with multi-byte sequences
        const std::u16string utf8_text = plain->CellText(0, 0);
        QCOMPARE(utf8_text, std::u16string(u"caf\u00E9"));
        QCOMPARE(plain->CellText(1, 0), std::u16string(u"na\u00EFve"));
        emit box->activated(0);
        QCOMPARE(FileOf(*m_app->ActiveFile()).encoding(), ENCODING_ANSI);
        QTRY_COMPARE_WITH_TIMEOUT(plain->CellText(0, 0), std::u16string(u"caf\u00C3\u00A9"), kTestWaitMs);
        QCOMPARE(box->currentIndex(), 0);
        emit box->activated(1);
        QCOMPARE(FileOf(*m_app->ActiveFile()).encoding(), ENCODING_UTF8);
        QTRY_COMPARE_WITH_TIMEOUT(plain->CellText(0, 0), utf8_text, kTestWaitMs);
        emit box->activated(0);
        QTRY_COMPARE_WITH_TIMEOUT(plain->CellText(0, 0), std::u16string(u"caf\u00C3\u00A9"), kTestWaitMs);

        CLogListCtrl* marked = Open(Write("marked.log", "\xEF\xBB\xBF"
                                                        "caf\xC3\xA9 1\n"));
        QVERIFY(marked);
        QCOMPARE(box->count(), 4);
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->currentText(), QStringLiteral("UTF-8"));
        // Back on the first tab the chooser follows, showing the user's choice.
        m_window->TabControl()->setCurrentIndex(0);
        QCOMPARE(box->count(), 2);
        QVERIFY(box->isEnabled());
        QCOMPARE(box->currentIndex(), 0);
        QVERIFY(!m_window->StatusBar()->BinaryNote()->isVisibleTo(m_window->StatusBar()));

        // A file whose first bytes hold zero bytes says so in the status bar.
        CLogListCtrl* binary = Open(Write("binary.dat", std::string("\x7F"
                                                                    "ELF\x02\x01\0\0\nrest\n",
                                                                    14)));
        QVERIFY(binary);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->StatusBar()->BinaryNote()->isVisibleTo(m_window->StatusBar()), kTestWaitMs);
        m_window->TabControl()->setCurrentIndex(0);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->StatusBar()->BinaryNote()->isVisibleTo(m_window->StatusBar()), kTestWaitMs);
    }

    void compressedFileOpensUnderItsOwnNameWithItsPackingInTheStatusBar()
    {
        // Two members, as rotation appends them.
        CLogListCtrl* list =
            Open(Write("syslog.2.gz", GzipMember(NumberedLines(300)) + GzipMember(NumberedLines(200))));
        QVERIFY(list);
        QCOMPARE(m_window->TabControl()->tabText(m_window->TabControl()->currentIndex()),
                 QStringLiteral("syslog.2.gz"));
        QVERIFY(m_window->windowTitle().contains(QStringLiteral("syslog.2.gz")));
        QLabel* note = m_window->StatusBar()->PackingNote();
        QTRY_VERIFY_WITH_TIMEOUT(note->isVisibleTo(m_window->StatusBar()), kTestWaitMs);
        QCOMPARE(note->text(), QStringLiteral("gzip"));
        QTRY_COMPARE_WITH_TIMEOUT(m_viewer->StatusPart0(), QStringLiteral("Lines: 500"), kTestWaitMs);
        QCOMPARE(FileOf(*m_app->ActiveFile()).packed_as(), packing::gzip);
        // Its plain copy is in the cache folder (the test's own).
        const QDir copies(QString::fromStdString((Root() / "cache" / "unpacked").string()));
        QCOMPARE(copies.entryList(QDir::Files).size(), 1);

        // A plain file named .gz is text; the note goes.
        CLogListCtrl* plain = Open(Write("plain.gz", NumberedLines(3)));
        QVERIFY(plain);
        QTRY_VERIFY_WITH_TIMEOUT(!note->isVisibleTo(m_window->StatusBar()), kTestWaitMs);
        QCOMPARE(FileOf(*m_app->ActiveFile()).packed_as(), packing::none);
    }

    void copyGivesOneRowBareAndSeveralWithHeaderAndLineEnds()
    {
        CLogListCtrl* list = Open(Write("copy.log", NumberedLines(20)));
        QVERIFY(list);
        QCOMPARE(list->ColumnCount(), 2);
        command_router& router = m_window->Router();

        // Nothing selected: nothing happens.
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        router.route(ids::kEditCopy);
        QCOMPARE(Clipboard(), QStringLiteral("untouched"));

        list->SelectRow(5);
        router.route(ids::kEditCopy);
        QCOMPARE(Clipboard(), QStringLiteral("line 5"));

        list->selectionModel()->select(list->model()->index(7, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        router.route(ids::kEditCopy);
        QCOMPARE(Clipboard(), QStringLiteral("Word Number\r\nline 5\r\nline 7\r\n"));
        router.route(ids::kCopyColumnFirst + 1);
        QCOMPARE(Clipboard(), QStringLiteral("Number\r\n5\r\n7\r\n"));

        m_app->settings.column_separator = u"\t";
        router.route(ids::kEditCopy);
        QCOMPARE(Clipboard(), QStringLiteral("Word\tNumber\r\nline\t5\r\nline\t7\r\n"));

        // The clicked column of the list's popup.
        emit list->ContextMenuRequested(QPoint(), 5, 0);
        router.route(ids::kEditCopyClickedColumn);
        QCOMPARE(Clipboard(), QStringLiteral("Word\r\nline\r\nline\r\n"));
        QVERIFY(m_viewer->boxes.empty());
    }

    void copyBeyondTheLimitKeepsTheRowsThatFitAndWarns()
    {
        // 300 rows of 60000 characters: more than 15728639 characters.
        std::string bytes;
        const std::string body(59990, 'x');
        for (int i = 0; i < 300; ++i)
            bytes += "w " + std::to_string(1000 + i) + body + "\n";
        CLogListCtrl* list = Open(Write("long.log", bytes));
        QVERIFY(list);
        list->SelectAllRows();
        m_window->Router().route(ids::kEditCopy);
        QCOMPARE(m_viewer->boxes.size(), size_t(1));
        QCOMPARE(m_viewer->boxes[0].text, DictionaryText(u"IDS_MSG_COPY_TOO_MANY"));
        QCOMPARE(m_viewer->boxes[0].flags & MB_ICONMASK, unsigned(MB_ICONWARNING));
        const QString copied = Clipboard();
        QVERIFY(copied.size() <= 15728639);
        // Whole rows only, as many as fit after the header.
        const qsizetype row = 1 + 1 + 4 + 59990 + 2; // "w" sep number body "\r\n"
        const qsizetype header = QStringLiteral("Word Number\r\n").size();
        QCOMPARE(copied.size(), header + (15728639 - header) / row * row);
        QVERIFY(copied.endsWith(QStringLiteral("\r\n")));
    }

    void pathCommandsCopyPathNameAndFolderAndShowTheFile()
    {
        const std::u16string path = Write("paths.log", NumberedLines(3));
        QVERIFY(Open(path));
        command_router& router = m_window->Router();
        router.route(ids::kEditCopyFilePath);
        QCOMPARE(Clipboard(), QString::fromStdU16String(path));
        router.route(ids::kEditCopyFileName);
        QCOMPARE(Clipboard(), QStringLiteral("paths.log"));
        router.route(ids::kEditCopyDirPath);
        QCOMPARE(Clipboard(), QString::fromStdString((Root() / "files").string()));
        router.route(ids::kEditBrowseDir);
        QCOMPARE(m_shown_in_manager, std::vector<std::u16string>{path});
        QVERIFY(m_viewer->boxes.empty());
        QCOMPARE(CopyText(nullptr), EINVAL);

        // A file manager that fails: its reason in an error box.
        QVERIFY(Open(Write("missing.log", NumberedLines(3))));
        router.route(ids::kEditBrowseDir);
        QCOMPARE(m_viewer->boxes.size(), size_t(1));
        QCOMPARE(m_viewer->boxes[0].flags & MB_ICONMASK, unsigned(MB_ICONERROR));
        QCOMPARE(QString::fromStdU16String(m_viewer->boxes[0].text), QString::fromLocal8Bit(std::strerror(ENOENT)));
    }

    // Export of the results: refused without results; then every result
    // of the whole file (not only of the window) in file order.
    void exportOfTheResultsWritesEveryResultLineOfTheWholeFile()
    {
        m_app->settings.max_loading_lines = 200;
        std::string bytes;
        std::string expected;
        for (int i = 0; i < 3000; ++i) {
            const std::string line = "w" + std::to_string(i) + (i % 7 == 2 ? " ERROR here" : " fine");
            bytes += line + "\n";
            if (i % 7 == 2)
                expected += line + "\n";
        }
        QVERIFY(Open(Write("results.log", bytes)));
        file_view* file = m_app->ActiveFile();
        const fs::path target = Root() / "files" / "results-out.log";
        m_export_target = target.u16string();
        m_window->Router().route(ids::kFileExportResults);
        QCOMPARE(m_viewer->boxes.size(), size_t(1));
        QCOMPARE(m_viewer->boxes[0].text, DictionaryText(u"IDS_MSG_NO_LINE_TO_EXPORT"));
        QVERIFY(!fs::exists(target));
        m_viewer->boxes.clear();

        CSearchInfo search;
        search.expression = u"ERROR";
        QVERIFY(file->find_all(search));
        QCOMPARE(file->results().size(), uint64_t(429));
        m_window->Router().route(ids::kFileExportResults);
        QCOMPARE(m_viewer->boxes.size(), size_t(1));
        QCOMPARE(m_viewer->boxes[0].text, DictionaryText(u"IDS_MSG_EXPORT_COMPLETE"));
        std::ifstream in(target, std::ios::binary);
        std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (written.rfind("\xEF\xBB\xBF", 0) == 0)
            written.erase(0, 3);
        QVERIFY(written == expected);
    }

    void exportCommandChecksFirstThenWritesWhatThePythonCsvReaderReadsBack()
    {
        std::string bytes;
        for (int i = 0; i < 40; ++i)
            bytes += "w" + std::to_string(i) + " " + (i % 3 == 0 ? "a,\"b\"" : i % 3 == 1 ? "" : "plain") + "\n";
        CLogListCtrl* list = Open(Write("export.log", bytes));
        QVERIFY(list);
        // Lines with nothing after the space do not split completely, so the
        // parser was not chosen at open: the user chooses it.
        QCOMPARE(list->ColumnCount(), 1);
        emit Panel()->ParserChooser()->activated(1);
        QCOMPARE(list->ColumnCount(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(0, 1), std::u16string(u"a,\"b\""), kTestWaitMs);
        QCOMPARE(list->CellText(1, 1), std::u16string());
        command_router& router = m_window->Router();

        // Kind 0 without a selection: said, and no dialog.
        m_export_target = u"unused";
        router.route(ids::kFileExportSelected);
        QCOMPARE(m_viewer->boxes.size(), size_t(1));
        QCOMPARE(m_viewer->boxes[0].text, DictionaryText(u"IDS_MSG_NO_LINE_TO_EXPORT"));
        QVERIFY(!fs::exists(Root() / "files" / "unused"));
        m_viewer->boxes.clear();

        // Kind 3 without conditions asks; No stops.
        m_viewer->answer = IDNO;
        router.route(ids::kFileExportFileFilter);
        QCOMPARE(m_viewer->boxes.size(), size_t(1));
        QCOMPARE(m_viewer->boxes[0].text, DictionaryText(u"IDS_MSG_EXPORT_NO_FILTER"));
        m_viewer->boxes.clear();
        m_viewer->answer = IDOK;

        // A dialog cancelled: nothing.  It was offered the documents folder
        // (no export yet), the name without its extension and the two kinds
        // of file.
        m_export_target.clear();
        router.route(ids::kFileExportVisible);
        QVERIFY(m_viewer->boxes.empty());
        QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QFileInfo(documents).isDir())
            documents = QDir::homePath();
        QCOMPARE(m_dialog_folder, FromQString(documents));
        QCOMPARE(m_dialog_name, std::u16string(u"export"));
        QCOMPARE(ExportDialogFilter(), Text(u"IDS_FILE_FORMAT_NAME_LOG") + QStringLiteral(" (*.log);;")
                                           + Text(u"IDS_FILE_FORMAT_NAME_CSV") + QStringLiteral(" (*.csv)"));

        // What the dialog refuses: a missing folder, a folder, a read-only file.
        const fs::path read_only = Root() / "files" / "read-only.log";
        std::ofstream(read_only) << "kept\n";
        fs::permissions(read_only, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        QCOMPARE(ExportTargetRefusal((Root() / "no-such-folder" / "x.csv").u16string()), ENOENT);
        QCOMPARE(ExportTargetRefusal((Root() / "files").u16string()), EISDIR);
        QCOMPARE(ExportTargetRefusal(read_only.u16string()), EACCES);
        QCOMPARE(ExportTargetRefusal((Root() / "files" / "new.csv").u16string()), 0);
        QCOMPARE(ExportTargetRefusal(Write("existing.log", "x\n")), 0);

        const fs::path target = Root() / "files" / "export.csv";
        m_export_target = target.u16string();
        router.route(ids::kFileExportVisible);
        QCOMPARE(m_viewer->boxes.size(), size_t(1));
        QCOMPARE(m_viewer->boxes[0].text, DictionaryText(u"IDS_MSG_EXPORT_COMPLETE"));
        QCOMPARE(m_window->TabControl()->count(), 1); // a CSV export is not opened

        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        QProcess reader;
        reader.start(python, {QStringLiteral("-c"),
                              QStringLiteral("import csv,json,sys\n"
                                             "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                             "    print(json.dumps(list(csv.reader(f))))\n"),
                              QString::fromStdString(target.string())});
        QVERIFY(reader.waitForFinished(kTestWaitMs));
        QCOMPARE(reader.exitCode(), 0);
        const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 41);
        QCOMPARE(rows[0].toArray(), QJsonArray({QStringLiteral("Word"), QStringLiteral("Number")}));
        for (int i = 0; i < 40; ++i) {
            const QJsonArray fields = rows[i + 1].toArray();
            QCOMPARE(fields.size(), 2);
            QCOMPARE(fields[0].toString(), QStringLiteral("w%1").arg(i));
            QCOMPARE(fields[1].toString(), QString::fromStdU16String(list->CellText(i, 1)));
        }
        QCOMPARE(rows[1].toArray()[1].toString(), QStringLiteral("a,\"b\""));
    }

    void fileScopeBarIsInactiveForASmallFileAndADragToTheRightEndLoadsTheLastFullWindow()
    {
        QVERIFY(Open(Write("small.log", NumberedLines(10))));
        CFileScopeCtrl* bar = m_window->FileScopeBar();
        QTRY_VERIFY_WITH_TIMEOUT(bar->Map().TotalLines() == 10, kTestWaitMs);
        QVERIFY(!bar->Map().Active());

        CLogListCtrl* list = Open(Write("large.log", NumberedLines(1000)));
        QVERIFY(list);
        QTRY_VERIFY_WITH_TIMEOUT(bar->Map().TotalLines() == 1000 && bar->Map().Active(), kTestWaitMs);
        QVERIFY(bar->width() > 20);
        // Pressed in the middle and dragged past the right edge: the drag
        // start stops on the inner rectangle's last pixel column and the
        // segment is cut there rather than moved left.
        const int y = bar->height() / 2;
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, y));
        QVERIFY(bar->IsDragging());
        const QPoint beyond(bar->width() + 30, y);
        QMouseEvent move(QEvent::MouseMove, QPointF(beyond), bar->mapToGlobal(QPointF(beyond)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QCOMPARE(bar->DragStart(), bar->width() - 2);
        QCOMPARE(bar->DragEnd(), bar->width() - 1);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, beyond);
        QVERIFY(!bar->IsDragging());
        int64_t first = -1, last = -1;
        // The right end shows as many lines as a window holds (300 here),
        // the last line selected: not a window of one row.
        QTRY_VERIFY_WITH_TIMEOUT((FileOf(*m_app->ActiveFile()).window(first, last), first == 700), kTestWaitMs);
        QCOMPARE(last, int64_t(999));
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(299, 1), std::u16string(u"999"), kTestWaitMs);
        QCOMPARE(list->RowCount(), 300);
        QCOMPARE(list->SelectedRows(), std::vector<int>{299});
        QVERIFY(m_viewer->boxes.empty());
    }

    // The quick filter's timer firing while a job runs (inside the job's
    // wait, here while the job waits for a message box) applies nothing:
    // the view takes the text once the job has ended.  Before, the timer
    // filtered the window on the interface thread beside the running job.
    void quickFilterTimerFiredDuringAJobWaitsForItsEnd()
    {
        CLogListCtrl* list = Open(Write("race.log", NumberedLines(100)));
        QVERIFY(list);
        file_view* file = m_app->ActiveFile();
        CTopPanel* panel = Panel();
        QLineEdit* edit = panel->QuickFilterBox()->lineEdit();
        edit->setText(QStringLiteral("2"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(list->RowCount(), 19, kTestWaitMs);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(panel->QuickFilterTimer().isActive());

        std::u16string text_during;
        uint64_t jobs_during = 0;
        int fired = 0;
        const uint64_t jobs_before = m_app->WorkThread().LastJobSerial();
        const MessagePresenter previous = SetMessagePresenter([&](const std::u16string&, unsigned) {
            // The job waits for this answer: let the timer fire now.
            QTimer& timer = panel->QuickFilterTimer();
            timer.setInterval(0);
            timer.start();
            QObject::connect(&timer, &QTimer::timeout, [&fired] { ++fired; });
            for (int turn = 0; turn < 10; ++turn)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            text_during = file->quick_filter_text();
            jobs_during = m_app->WorkThread().LastJobSerial();
            return IDOK;
        });
        m_app->ReparseFrom(1000000, SELECT_FIRST, 0); // beyond the index: the job says so in a box
        SetMessagePresenter(previous);
        QVERIFY(fired > 0);
        QCOMPARE(text_during, std::u16string(u"2"));
        QCOMPARE(jobs_during, jobs_before + 1); // only the re-parse itself
        // Once the job ended the timer applies the empty text.
        QTRY_VERIFY_WITH_TIMEOUT(file->quick_filter_text().empty(), kTestWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(list->RowCount(), 100, kTestWaitMs);
        panel->QuickFilterTimer().setInterval(CTopPanel::kQuickFilterDelayMs);
    }

    // A rotation reload runs as a job with the progress dialog (opening and
    // the parser choice included), the parser box, columns and widths follow
    // the file's new parser at once, and the note takes the total part for a
    // while instead of being drawn over the parts.
    void rotationReloadIsAJobAndFollowsTheNewParser()
    {
        CLogListCtrl* list = Open(Write("rot.log", NumberedLines(50)));
        QVERIFY(list);
        QCOMPARE(Panel()->ParserChooser()->currentIndex(), 1);
        QCOMPARE(list->ColumnCount(), 2);

        std::vector<std::u16string> actions;
        m_app->SetProgressDelayMs(0);
        m_app->SetProgressDialogFactory([&](int, bool, native_signal&) -> std::unique_ptr<progress_dialog> {
            struct recording : headless_progress_dialog {
                recording(CVarnothApp& app, std::vector<std::u16string>& seen)
                    : headless_progress_dialog(app, kTestWaitMs), m_seen(seen)
                {}
                void Update(progress_record* record) override
                {
                    if (record)
                        m_seen.push_back(record->snapshot().action);
                }
                std::vector<std::u16string>& m_seen;
            };
            return std::make_unique<recording>(*m_app, actions);
        });

        // Copied away and truncated, then lines of another format.
        Write("rot.log", "one_column_only\nanother_single\n");
        m_window->Router().route(ids::kViewRefresh);
        QTRY_COMPARE_WITH_TIMEOUT(list->RowCount(), 2, kTestWaitMs);
        const std::u16string detecting = DictionaryText(u"IDS_PROGRESSDLG_STATUS_DETECT_PARSER");
        const std::u16string indexing = DictionaryText(u"IDS_PROGRESSDLG_STATUS_INDEXING");
        QVERIFY2(std::any_of(actions.begin(), actions.end(),
                             [&](const std::u16string& a) { return a == detecting || a == indexing; }),
                 "the reload did not run in a job with its progress dialog");
        QCOMPARE(Panel()->ParserChooser()->currentIndex(), 0);
        QCOMPARE(list->ColumnCount(), 1);
        QCOMPARE(list->ColumnName(0), DictionaryText(u"IDS_SPECIAL_DEFAULT_PARSER_CONTENT"));
        CLVStatusBarCtrl* bar = m_window->StatusBar();
        const QString note = bar->Note();
        QVERIFY(!note.isEmpty());
        QCOMPARE(bar->TextPart(0)->text(), note);
        QVERIFY(bar->TextPart(1)->text() != note);
        QVERIFY(bar->TextPart(2)->text() != note);

        // Rewritten in the first format again: two columns, fitted to the rows.
        Write("rot.log", NumberedLines(120));
        m_window->Router().route(ids::kViewRefresh);
        QTRY_COMPARE_WITH_TIMEOUT(list->ColumnCount(), 2, kTestWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(list->RowCount(), 120, kTestWaitMs);
        QCOMPARE(Panel()->ParserChooser()->currentIndex(), 1);
        QCOMPARE(list->CellText(119, 1), std::u16string(u"119"));
        QVERIFY(list->columnWidth(0) >= list->fontMetrics().horizontalAdvance(QStringLiteral("line")));
        QVERIFY(m_viewer->boxes.empty());
        m_app->SetProgressDialogFactory(nullptr);
    }
};

QTEST_MAIN(PanelCommandsTest)
#include "panel_commands_test.moc"
