#include "progress_dlg_test.h"

#include "logfile/primitives.h"
#include "ui/progress_dlg.h"
#include "ui/ui_text.h"
#include "work/progress_state.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {
void Set(progress_record& record, int file_number, int current, int total, std::u16string action, std::u16string object)
{
    auto state = record.lock();
    state->file_number = file_number;
    state->current = current;
    state->total = total;
    state->action = std::move(action);
    state->object = std::move(object);
}
} // namespace

void progress_dlg_test::OneFile_NoFilesBarCounterOneOfOneNoCancel()
{
    native_signal cancel;
    CProgressDlg dialog(1, false, &cancel);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    progress_record record;
    Set(record, 1, -1, -1, u"Indexing lines...", u"app.log");
    dialog.Update(&record);
    QVERIFY(!dialog.FilesBar()->isVisible());
    QVERIFY(!dialog.CancelButton()->isVisible());
    QCOMPARE(dialog.CounterText()->text(), QString("1 / 1"));
    QCOMPARE(dialog.ActionText()->text(), QString("Indexing lines..."));
    QCOMPARE(dialog.ObjectText()->text(), QString("app.log"));
    QVERIFY(dialog.ActionText()->alignment() & Qt::AlignLeft);
    QVERIFY(dialog.ObjectText()->alignment() & Qt::AlignRight);
    QVERIFY(dialog.IsMarquee());
    // Every control is found by its id.
    for (int id : {1000, 1001, 1002, 1003, 1004, 2})
        QVERIFY2(dialog.findChild<QWidget*>(IdObjectName(id)), qPrintable(QString::number(id)));
    QCOMPARE(dialog.objectName(), IdObjectName(136));
}

void progress_dlg_test::SeveralFiles_FilesBarFollowsTheFileNumber()
{
    CProgressDlg dialog(3, false, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.FilesBar()->isVisible());
    QCOMPARE(dialog.FilesBar()->maximum(), 3);
    progress_record record;
    for (int file = 1; file <= 3; ++file) {
        Set(record, file, -1, -1, u"Reading lines...", u"f" + std::u16string(1, char16_t(u'0' + file)));
        dialog.Update(&record);
        QCOMPARE(dialog.CounterText()->text(), QString("%1 / 3").arg(file));
        QCOMPARE(dialog.FilesBar()->value(), file);
    }
    // A very long name is shortened in the middle; the tooltip keeps it whole.
    const std::u16string long_name(400, u'x');
    Set(record, 3, -1, -1, u"Reading lines...", long_name);
    dialog.Update(&record);
    QVERIFY(dialog.ObjectText()->text().size() < 400);
    QCOMPARE(dialog.ObjectText()->toolTip(), ToQString(long_name));
}

void progress_dlg_test::PositionBar_SwitchesBetweenMovingAndRange()
{
    CProgressDlg dialog(1, true, nullptr);
    progress_record record;
    struct row {
        int current;
        int total;
        bool marquee;
    };
    const row rows[] = {{-1, -1, true}, {0, 100, false},   {30, 100, false},  {-1, 100, true}, {5, -1, true},
                        {0, 0, false},  {100, 100, false}, {150, 100, false}, {-1, -1, true}};
    for (const row& r : rows) {
        Set(record, 1, r.current, r.total, u"Exporting...", u"out.csv");
        dialog.Update(&record);
        QCOMPARE(dialog.IsMarquee(), r.marquee);
        if (!r.marquee && r.total > 0) {
            QCOMPARE(dialog.PositionBar()->maximum(), r.total);
            QCOMPARE(dialog.PositionBar()->value(), std::min(r.current, r.total));
        }
    }
}

void progress_dlg_test::NoRecord_EmptyTextsAndZeroCounter()
{
    CProgressDlg dialog(2, false, nullptr);
    progress_record record;
    Set(record, 2, 1, 2, u"Filtering lines...", u"a.log");
    dialog.Update(&record);
    dialog.Update(nullptr);
    QVERIFY(dialog.ActionText()->text().isEmpty());
    QVERIFY(dialog.ObjectText()->text().isEmpty());
    QCOMPARE(dialog.CounterText()->text(), QString("0 / 0"));
    QVERIFY(dialog.IsMarquee());
}

void progress_dlg_test::Cancel_PressedTwice_SetsTheEventOnceAndDisablesItself()
{
    native_signal cancel;
    CProgressDlg dialog(1, true, &cancel);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPushButton* button = dialog.CancelButton();
    QVERIFY(button->isVisible());
    QCOMPARE(button->text(), Text(u"IDS_WORD_CANCEL"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(cancel.wait(0), 0);
    QVERIFY(!button->isEnabled());
    // The job takes the cancel (resetting it); a second press sets nothing.
    cancel.reset();
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(cancel.wait(0), 1);
    QVERIFY(dialog.isVisible());
}

void progress_dlg_test::Cancel_EscapeAndCloseBoxDoNotCloseTheDialog()
{
    native_signal cancel;
    CProgressDlg dialog(1, true, &cancel);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(cancel.wait(0), 0);
    QVERIFY(!dialog.CancelButton()->isEnabled());
    QVERIFY(!dialog.close());
    QVERIFY(dialog.isVisible());
}

void progress_dlg_test::NotCancellable_EscapeDoesNothing()
{
    native_signal cancel;
    CProgressDlg dialog(1, false, &cancel);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.close());
    QCOMPARE(cancel.wait(0), 1);
    QVERIFY(dialog.isVisible());
}

void progress_dlg_test::End_EndsExecWithItsResult()
{
    CProgressDlg dialog(1, false, nullptr);
    QTimer::singleShot(0, &dialog, [&] { dialog.End(1); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&] { dialog.done(-5); });
    watchdog.start(10000);
    QCOMPARE(dialog.Exec(), 1);
    QVERIFY(!dialog.isVisible());
}
