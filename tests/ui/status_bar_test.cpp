#include "status_bar_test.h"

#include "logfile/line_text.h"
#include "ui/command_ids.h"
#include "ui/file_scope_ctrl.h"
#include "ui/status_bar_ctrl.h"
#include "ui/ui_text.h"
#include "widget_events.h"

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSizeGrip>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// Six horizontal dialog units: six quarters of the mean width of the 52 letters.
int ReferenceUnit(const QFontMetrics& metrics)
{
    const double average =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    return static_cast<int>(std::lround(average * 6 / 4));
}

struct shown_bar {
    QMainWindow window;
    CLVStatusBarCtrl* bar = nullptr;
    explicit shown_bar(int width = 1000)
    {
        bar = new CLVStatusBarCtrl;
        window.setStatusBar(bar);
        window.setCentralWidget(new QWidget);
        window.resize(width, 300);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qFatal("window not exposed");
    }
};

} // namespace

void status_bar_test::Parts_EndAtMultiplesOfSixDialogUnits()
{
    shown_bar shown;
    CLVStatusBarCtrl* bar = shown.bar;
    const int m = bar->PartUnit();
    QVERIFY(std::abs(m - ReferenceUnit(bar->fontMetrics())) <= 1);
    QVERIFY(m >= 6);
    const int ends[] = {13 * m, 26 * m, 38 * m, 47 * m};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(bar->PartRect(i).x() + bar->PartRect(i).width(), ends[i]);
        QCOMPARE(bar->PartRect(i + 1).x(), ends[i]);
    }
    const QRect last = bar->PartRect(4);
    QVERIFY(last.x() + last.width() <= bar->width());
    QVERIFY(last.x() + last.width() >= bar->width() - 40); // up to the size grip
    QVERIFY(bar->isSizeGripEnabled());

    // A larger font widens every part.
    QFont big = bar->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    bar->setFont(big);
    QVERIFY(bar->PartUnit() > m);
    QCOMPARE(bar->TextPart(0)->width(), 13 * bar->PartUnit() - 2);
}

void status_bar_test::Parts_ChildrenFillTheirPartLessOnePixel()
{
    shown_bar shown(1200);
    CLVStatusBarCtrl* bar = shown.bar;
    for (int i = 0; i < 3; ++i)
        QCOMPARE(bar->TextPart(i)->geometry(), bar->PartRect(i).adjusted(1, 1, -1, -1));
    QCOMPARE(bar->EncodingBox()->geometry(), bar->PartRect(3).adjusted(1, 1, -1, -1));
    QCOMPARE(bar->FileScopeBar()->geometry(), bar->PartRect(4).adjusted(1, 1, -1, -1));
    QCOMPARE(bar->EncodingBox()->objectName(), IdObjectName(ids::kEncodingBox));
    QCOMPARE(bar->FileScopeBar()->objectName(), IdObjectName(ids::kFileScopeBar));
    QVERIFY(bar->height() >= bar->EncodingBox()->sizeHint().height() + 2);

    // The bar follows the status bar's size.
    const int before = bar->FileScopeBar()->width();
    shown.window.resize(1500, 300);
    QTRY_COMPARE_WITH_TIMEOUT(bar->width(), 1500, 5000);
    QCOMPARE(bar->FileScopeBar()->width(), before + 300);
    QCOMPARE(bar->FileScopeBar()->geometry(), bar->PartRect(4).adjusted(1, 1, -1, -1));
}

void status_bar_test::Texts_ShowTotalFilteredAndSelected()
{
    CLVStatusBarCtrl bar;
    active_view_state state;
    state.tab_count = 1;
    state.has_file = true;
    state.indexed_lines = 123456;
    state.row_count = 789;
    state.selected_count = 3;
    bar.SetStatusTexts(StatusTexts(state));
    QCOMPARE(bar.TextPart(0)->text(), QStringLiteral("Lines: 123456"));
    QCOMPARE(bar.TextPart(1)->text(), QStringLiteral("Shown: 789"));
    QCOMPARE(bar.TextPart(2)->text(), QStringLiteral("Selected: 3"));
    bar.SetStatusTexts(StatusTexts(active_view_state{}));
    for (int i = 0; i < 3; ++i)
        QVERIFY(bar.TextPart(i)->text().isEmpty());
}

void status_bar_test::CutNote_ShowsWhileLinesAreCutAndNarrowsTheScopeBar()
{
    shown_bar shown(1200);
    CLVStatusBarCtrl* bar = shown.bar;
    active_view_state state;
    state.tab_count = 1;
    state.has_file = true;
    state.indexed_lines = 11;
    bar->SetStatusTexts(StatusTexts(state));
    QVERIFY(!bar->CutNote()->isVisible());
    const QRect whole = bar->PartRect(4).adjusted(1, 1, -1, -1);
    QCOMPARE(bar->FileScopeBar()->geometry(), whole);

    state.cut_lines = 4;
    bar->SetStatusTexts(StatusTexts(state));
    QCOMPARE(bar->TextPart(0)->text(), QStringLiteral("Lines: 11"));
    QVERIFY(bar->CutNote()->isVisible());
    QCOMPARE(bar->CutNote()->text(), QStringLiteral("Long lines cut: 4"));
    QVERIFY(bar->CutNote()->toolTip().contains(QStringLiteral("65535")));
    // The note starts part 4, the scope bar takes the rest, neither overlaps.
    const QRect note = bar->CutNote()->geometry();
    const QRect scope = bar->FileScopeBar()->geometry();
    QCOMPARE(note.left(), whole.left());
    QVERIFY(note.width() >= bar->CutNote()->fontMetrics().horizontalAdvance(bar->CutNote()->text()));
    QVERIFY(scope.left() > note.right());
    QCOMPARE(scope.right(), whole.right());

    state.cut_lines = 0;
    bar->SetStatusTexts(StatusTexts(state));
    QVERIFY(!bar->CutNote()->isVisible());
    QCOMPARE(bar->FileScopeBar()->geometry(), whole);
}

void status_bar_test::BinaryNote_ShowsBesideTheCutNoteWithoutOverlap()
{
    shown_bar shown(1200);
    CLVStatusBarCtrl* bar = shown.bar;
    active_view_state state;
    state.tab_count = 1;
    state.has_file = true;
    state.indexed_lines = 11;
    state.looks_binary = true;
    bar->SetStatusTexts(StatusTexts(state));
    const QRect whole = bar->PartRect(4).adjusted(1, 1, -1, -1);
    QVERIFY(bar->BinaryNote()->isVisible());
    QVERIFY(!bar->CutNote()->isVisible());
    QCOMPARE(bar->BinaryNote()->text(), QStringLiteral("Looks binary"));
    QVERIFY(bar->BinaryNote()->toolTip().contains(QStringLiteral("zero bytes")));
    QCOMPARE(bar->BinaryNote()->geometry().left(), whole.left());
    QVERIFY(bar->FileScopeBar()->geometry().left() > bar->BinaryNote()->geometry().right());

    // Both notes: binary first, then the cut note, then the scope bar.
    state.cut_lines = 3;
    bar->SetStatusTexts(StatusTexts(state));
    const QRect binary = bar->BinaryNote()->geometry();
    const QRect cut = bar->CutNote()->geometry();
    const QRect scope = bar->FileScopeBar()->geometry();
    QVERIFY(bar->CutNote()->isVisible());
    QVERIFY(binary.width() >= bar->BinaryNote()->fontMetrics().horizontalAdvance(bar->BinaryNote()->text()));
    QVERIFY(cut.left() > binary.right());
    QVERIFY(scope.left() > cut.right());
    QCOMPARE(scope.right(), whole.right());
    QCOMPARE(bar->TextPart(0)->text(), QStringLiteral("Lines: 11"));

    state.looks_binary = false;
    state.cut_lines = 0;
    bar->SetStatusTexts(StatusTexts(state));
    QVERIFY(!bar->BinaryNote()->isVisible());
    QCOMPARE(bar->FileScopeBar()->geometry(), whole);
}

void status_bar_test::PackingNote_OpensPartFourBeforeTheOtherNotes()
{
    shown_bar shown(1200);
    CLVStatusBarCtrl* bar = shown.bar;
    active_view_state state;
    state.tab_count = 1;
    state.has_file = true;
    state.indexed_lines = 11;
    state.packing = u"zstd";
    state.looks_binary = true;
    bar->SetStatusTexts(StatusTexts(state));
    const QRect whole = bar->PartRect(4).adjusted(1, 1, -1, -1);
    QVERIFY(bar->PackingNote()->isVisible());
    QCOMPARE(bar->PackingNote()->objectName(), QStringLiteral("status_packing_note"));
    QCOMPARE(bar->PackingNote()->text(), QStringLiteral("zstd"));
    QVERIFY(bar->PackingNote()->toolTip().contains(QStringLiteral("compressed")));
    QCOMPARE(bar->PackingNote()->geometry().left(), whole.left());
    QVERIFY(bar->BinaryNote()->geometry().left() > bar->PackingNote()->geometry().right());

    state.packed = packed_note::truncated;
    bar->SetStatusTexts(StatusTexts(state));
    QCOMPARE(bar->PackingNote()->text(), QStringLiteral("zstd: ends early"));
    QVERIFY(bar->PackingNote()->geometry().width()
            >= bar->PackingNote()->fontMetrics().horizontalAdvance(bar->PackingNote()->text()));

    state.packing.clear();
    state.looks_binary = false;
    bar->SetStatusTexts(StatusTexts(state));
    QVERIFY(!bar->PackingNote()->isVisible());
    QCOMPARE(bar->FileScopeBar()->geometry(), whole);
}

void status_bar_test::EncodingChoice_Table()
{
    const QString unknown = Text(u"IDS_WORD_UNKNOWN");
    QVERIFY(!unknown.isEmpty());
    const std::vector<QString> switchable = {QStringLiteral("ANSI"), QStringLiteral("UTF-8")};
    const std::vector<QString> fixed = {unknown, QStringLiteral("UCS-2(LE)"), QStringLiteral("UCS-2(BE)"),
                                        QStringLiteral("UTF-8")};
    struct row {
        const char* name;
        bool has_file, has_bom;
        int32_t encoding;
        std::vector<QString> entries;
        int selected;
        bool enabled;
    };
    const std::vector<row> rows = {
        {"no file", false, false, ENCODING_ANSI, {}, -1, false},
        {"ANSI without BOM", true, false, ENCODING_ANSI, switchable, 0, true},
        {"UTF-8 without BOM", true, false, ENCODING_UTF8, switchable, 1, true},
        {"unknown without BOM (empty file)", true, false, ENCODING_UNKNOWN, fixed, 0, false},
        {"UCS-2 LE with BOM", true, true, ENCODING_UCS2LE, fixed, 1, false},
        {"UCS-2 BE with BOM", true, true, ENCODING_UCS2BE, fixed, 2, false},
        {"UTF-8 with BOM", true, true, ENCODING_UTF8, fixed, 3, false},
        {"out-of-range value with BOM", true, true, 77, fixed, 0, false},
    };
    for (const row& r : rows) {
        const encoding_choice choice = EncodingChoice(r.has_file, r.has_bom, r.encoding);
        QVERIFY2(choice.entries == r.entries, r.name);
        QVERIFY2(choice.selected == r.selected, r.name);
        QVERIFY2(choice.enabled == r.enabled, r.name);
    }
}

void status_bar_test::EncodingBox_WithoutBom_SwitchesBetweenAnsiAndUtf8()
{
    shown_bar shown;
    CLVStatusBarCtrl* bar = shown.bar;
    QComboBox* box = bar->EncodingBox();
    QSignalSpy chosen(bar, &CLVStatusBarCtrl::EncodingChosen);

    bar->SetEncoding(true, false, ENCODING_ANSI);
    QVERIFY(box->isEnabled());
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->currentText(), QStringLiteral("ANSI"));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), int{ENCODING_UTF8});
    // Choosing the entry already in force asks for nothing.
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(chosen.count(), 1);
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(chosen.at(1).at(0).toInt(), int{ENCODING_ANSI});

    // Refilled for a UTF-8 file, the second entry is selected.
    bar->SetEncoding(true, false, ENCODING_UTF8);
    QCOMPARE(box->currentIndex(), 1);
    // Without a file the chooser is empty and disabled.
    bar->SetEncoding(false, false, ENCODING_UTF8);
    QCOMPARE(box->count(), 0);
    QVERIFY(!box->isEnabled());
    QCOMPARE(chosen.count(), 2);
}

void status_bar_test::EncodingBox_WithBom_ShowsTheEncodingDisabled()
{
    shown_bar shown;
    CLVStatusBarCtrl* bar = shown.bar;
    QComboBox* box = bar->EncodingBox();
    QSignalSpy chosen(bar, &CLVStatusBarCtrl::EncodingChosen);
    const std::vector<std::pair<int32_t, QString>> cases = {
        {ENCODING_UCS2LE, QStringLiteral("UCS-2(LE)")},
        {ENCODING_UCS2BE, QStringLiteral("UCS-2(BE)")},
        {ENCODING_UTF8, QStringLiteral("UTF-8")},
        {ENCODING_UNKNOWN, Text(u"IDS_WORD_UNKNOWN")},
    };
    for (const auto& [encoding, text] : cases) {
        bar->SetEncoding(true, true, encoding);
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->currentText(), text);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), text);
    }
    QCOMPARE(chosen.count(), 0);
}

void status_bar_test::Picture_MainWindowWithAnActiveScopeBar()
{
    shown_bar shown(1100);
    CLVStatusBarCtrl* bar = shown.bar;
    auto* text = new QPlainTextEdit;
    text->setPlainText(QStringLiteral("2026-12-09 05:20:28 INFO  started\n2026-12-09 05:20:29 WARN  disk almost full"));
    shown.window.setCentralWidget(text);
    text->show();
    active_view_state state;
    state.tab_count = 1;
    state.has_file = true;
    state.indexed_lines = 2400000;
    state.row_count = 100000;
    state.selected_count = 12;
    bar->SetStatusTexts(StatusTexts(state));
    bar->SetEncoding(true, false, ENCODING_UTF8);
    QVERIFY(bar->FileScopeBar()->SetScope(1100000000, 2400000, 900000, 999999, 100000, {}));
    const QImage image = shown.window.grab().toImage();
    QVERIFY(image.save(ScreenshotPath(m_scratch, QStringLiteral("status_bar.png")), "PNG"));
    const QImage strip = bar->grab().toImage();
    QVERIFY(strip.save(ScreenshotPath(m_scratch, QStringLiteral("status_bar_strip.png")), "PNG"));
    QVERIFY(CountPixels(strip, QColor(200, 250, 120)) > 100);
    QVERIFY(CountPixels(strip, QColor(50, 150, 255)) > 10);
}
