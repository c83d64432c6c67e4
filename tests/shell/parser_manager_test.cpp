// The manage button in the whole viewer under the offscreen platform: a
// parser built in the manager and its editor for the log in front of the
// user is taken by that log's tab at once, and a file whose parser is
// changed is parsed again with its columns rebuilt, without closing its tab.
#include "app/varnoth_app.h"
#include "dialogs/data_format_dlg.h"
#include "dialogs/datetime_format_edit.h"
#include "dialogs/dialog_test_support.h"
#include "dialogs/parser_dlg.h"
#include "dialogs/parser_edit_dlg.h"
#include "shell/panel_commands.h"
#include "ui/command_ids.h"
#include "ui/log_list_ctrl.h"
#include "ui/top_panel.h"
#include "ui/varnoth_dlg.h"
#include "viewer_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

namespace {

// Lines of the package manager's log; the last field holds spaces on some.
std::string PackageLog(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        const std::string second = (i < 10 ? "0" : "") + std::to_string(i);
        out += "2024-08-05 13:07:" + second + (i % 2 ? " status installed libc6:amd64 2.36-9\n"
                                                       : " configure base-files:amd64 12.4 <none>\n");
    }
    return out;
}

void Fields(QWidget* editor, const char* name, const char* end, int type = DATA_TYPE_TEXT)
{
    Child<QLineEdit>(editor, CParserEditDlg::kColumnName)->setText(QString::fromUtf8(name));
    Child<QLineEdit>(editor, CParserEditDlg::kEnd)->setText(QString::fromUtf8(end));
    Child<QComboBox>(editor, CParserEditDlg::kDataType)->setCurrentIndex(type);
}

} // namespace

class ParserManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<viewer_fixture> m_viewer;

private slots:
    void init()
    {
        viewer_fixture::options how;
        how.tail_on_refresh = false;
        how.before_window = [](CVarnothApp& app) {
            log_pattern word(u"Word");
            word.end = u" ";
            log_pattern number(u"Number");
            number.data_format.data_type = DATA_TYPE_NUMERIC;
            app.Parsers().push_back({{word, number}, u"two"});
        };
        m_viewer = std::make_unique<viewer_fixture>(how);
        QVERIFY(m_viewer->Ready());
    }
    void cleanup() { m_viewer.reset(); }

    void aParserAddedForTheSelectedRowIsTakenByItsTab()
    {
        CLogListCtrl* list = m_viewer->Open(m_viewer->Write("dpkg.log", PackageLog(12)));
        QVERIFY(list);
        QCOMPARE(list->ColumnCount(), 1); // no parser fits: the default one
        QVERIFY(list->SelectRow(3));
        const std::u16string selected = list->CellText(3, 0);

        QString test_line;
        bool formatted = false;
        when_modal<CParserDlg> manager([&](CParserDlg* dialog) {
            when_modal<CParserEditDlg> editor([&](CParserEditDlg* box) {
                test_line = Child<QLineEdit>(box, CParserEditDlg::kTestLine)->text();
                Child<QLineEdit>(box, CParserEditDlg::kParserName)->setText("dpkg");
                Child<QPushButton>(box, CParserEditDlg::kAddSubColumn)->click();
                Fields(box, "Date-time", "\\sp", DATA_TYPE_DATETIME);
                when_modal<CDataFormatDlg_DateTime> format([&](CDataFormatDlg_DateTime* format_box) {
                    Child<CDateTimeFormatEdit>(format_box, CDataFormatDlg_DateTime::kFormatEdit)
                        ->setText("Y-m-d H:M:S");
                    format_box->accept();
                    formatted = true;
                });
                Child<QPushButton>(box, CParserEditDlg::kFormat)->click();
                Child<QCheckBox>(box, CParserEditDlg::kEndAfterDateTime)->setChecked(true);
                Child<QPushButton>(box, CParserEditDlg::kAddColumn)->click();
                Fields(box, "Action", "\\sp");
                Child<QPushButton>(box, CParserEditDlg::kAddColumn)->click();
                Fields(box, "Package", "\\sp");
                Child<QPushButton>(box, CParserEditDlg::kAddColumn)->click();
                Fields(box, "Rest", "");
                box->accept();
            });
            Child<QPushButton>(dialog, CParserDlg::kAddButton)->click();
            QVERIFY(editor.Ran());
            dialog->reject();
        });
        QTest::mouseClick(m_viewer->window->TopPanel()->ManageButton(), Qt::LeftButton);
        QVERIFY(manager.Ran());
        QVERIFY(formatted);
        QCOMPARE(test_line, ToQString(selected)); // the test line starts as the selected row

        QCOMPARE(m_viewer->ActiveList(), list); // the same tab
        QCOMPARE(m_viewer->ActiveFile()->parser_name(), std::u16string(u"dpkg"));
        QCOMPARE(list->ColumnCount(), 4);
        QCOMPARE(list->ColumnName(2), std::u16string(u"Package"));
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(3, 2), std::u16string(u"installed"), kTestWaitMs);
        QCOMPARE(list->CellText(3, 3), std::u16string(u"libc6:amd64 2.36-9"));
        QCOMPARE(list->CellText(4, 2), std::u16string(u"base-files:amd64"));
        QCOMPARE(list->CellText(4, 3), std::u16string(u"12.4 <none>"));
        QVERIFY(std::filesystem::exists(std::filesystem::path(m_viewer->app->ParserDirectory()) / "dpkg.xml"));
        QVERIFY(m_viewer->boxes.empty());
    }

    void newParserFromThisLineSuggestsTypedColumnsThatTheTabTakes()
    {
        CLogListCtrl* list = m_viewer->Open(m_viewer->Write("dpkg.log", PackageLog(40)));
        QVERIFY(list);
        QVERIFY(list->SelectRow(5));
        QString note;
        when_modal<CParserEditDlg> editor([&](CParserEditDlg* box) {
            note = Child<QLabel>(box, CParserEditDlg::kSuggestionShare)->text();
            Child<QLineEdit>(box, CParserEditDlg::kParserName)->setText("packages");
            box->accept();
        });
        m_viewer->Route(ids::kEditNewParserFromLine);
        QVERIFY(editor.Ran());
        QVERIFY(!note.isEmpty());
        QCOMPARE(m_viewer->ActiveFile()->parser_name(), std::u16string(u"packages"));
        const log_pattern_list& parser = m_viewer->app->FindParser(u"packages");
        QCOMPARE(parser.front().data_format.data_type, int32_t{DATA_TYPE_DATETIME});
        QVERIFY(list->ColumnCount() >= 3);
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(5, 0), std::u16string(u"2024-08-05 13:07:05"), kTestWaitMs);
        QVERIFY(m_viewer->boxes.empty());
    }

    void aFileWhoseParserChangedIsParsedAgainInItsTab()
    {
        CLogListCtrl* list = m_viewer->Open(m_viewer->Write("words.log", "alpha 1\nbeta 2\ngamma 3\n"));
        QVERIFY(list);
        QCOMPARE(m_viewer->ActiveFile()->parser_name(), std::u16string(u"two"));
        QCOMPARE(list->ColumnName(1), std::u16string(u"Number"));
        panel_command_seams seams = SetPanelCommandSeams({});
        panel_command_seams changed = seams;
        changed.run_parser_manager = [this](QWidget*) {
            // What an edit in the manager leaves: the same name, other columns.
            log_pattern_list& parser = m_viewer->app->Parsers().front().parser;
            parser.front().end = u"a";
            parser.back().name = u"After";
        };
        SetPanelCommandSeams(changed);
        m_viewer->Route(ids::kTopPanelManage);
        SetPanelCommandSeams(seams);
        QCOMPARE(m_viewer->ActiveList(), list);
        QCOMPARE(list->ColumnName(1), std::u16string(u"After"));
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(1, 0), std::u16string(u"bet"), kTestWaitMs);
        QCOMPARE(list->CellText(1, 1), std::u16string(u" 2"));
    }
};

QTEST_MAIN(ParserManagerTest)
#include "parser_manager_test.moc"
