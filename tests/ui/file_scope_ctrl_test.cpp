#include "file_scope_ctrl_test.h"

#include "ui/file_scope_ctrl.h"
#include "widget_events.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <memory>

namespace {

const QColor kStrip(200, 250, 120);
const QColor kWindow(50, 150, 255);
const QColor kRed(255, 0, 0);

constexpr int kWidth = 302; // inner columns 1..300, 299 steps
constexpr int kHeight = 22;

CFileScopeCtrl::line_text_source Lines()
{
    return [](uint64_t line, std::u16string& text) {
        text = u"line " + QString::number(line).toStdU16String();
        return true;
    };
}

std::unique_ptr<CFileScopeCtrl> ShownBar()
{
    auto bar = std::make_unique<CFileScopeCtrl>();
    bar->resize(kWidth, kHeight);
    bar->show();
    if (!QTest::qWaitForWindowExposed(bar.get()))
        qFatal("bar not exposed");
    return bar;
}

QTimer* Timer(CFileScopeCtrl* bar, const char* name)
{
    return bar->findChild<QTimer*>(QString::fromLatin1(name));
}

} // namespace

void file_scope_ctrl_test::SizeText_KilobytesMegabytesAndEmpty()
{
    CFileScopeCtrl bar;
    QVERIFY(bar.SetScope(1536, 20, 0, 19, 100, {}));
    QCOMPARE(bar.SizeText(), QStringLiteral("Size: 1KB"));
    QVERIFY(bar.SetScope(3 * 1024 * 1024, 20, 0, 19, 100, {}));
    QCOMPARE(bar.SizeText(), QStringLiteral("Size: 3MB"));
    QVERIFY(bar.SetScope(0, 0, 0, 0, 100, {}));
    QCOMPARE(bar.SizeText(), QString());
    QVERIFY(bar.SetScope(1000, 0, -1, -1, 100, {}));
    QCOMPARE(bar.SizeText(), QStringLiteral("Size: 1000B"));
}

void file_scope_ctrl_test::FileInOneWindow_InactiveLeftAlignedNoTooltip()
{
    auto bar = ShownBar();
    QVERIFY(bar->SetScope(1536, 40, 0, 39, 100000, Lines()));
    QVERIFY(!bar->Map().Active());
    QVERIFY(bar->ToolTipTextAt(100).isEmpty());

    MouseMove(bar.get(), QPoint(150, 10));
    QVERIFY(!Timer(bar.get(), "tooltip_timer")->isActive());
    MousePress(bar.get(), QPoint(150, 10));
    QVERIFY(!bar->IsDragging());

    const QImage image = bar->grab().toImage();
    QVERIFY(image.save(ScreenshotPath(m_scratch, QStringLiteral("file_scope_inactive.png")), "PNG"));
    QCOMPARE(CountPixels(image, kStrip), 0);
    QCOMPARE(CountPixels(image, kWindow), 0);
    // The size text stands at the left: ink only in the left part.
    const QColor face = bar->palette().color(QPalette::Button);
    int leftmost = kWidth, rightmost = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != face) {
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x);
            }
        }
    }
    QVERIFY2(rightmost > leftmost, "no text drawn");
    QVERIFY2(leftmost <= 6, qPrintable(QString::number(leftmost)));
    QVERIFY2(rightmost < kWidth / 2, qPrintable(QString::number(rightmost)));
}

void file_scope_ctrl_test::DarkPalette_StripAndWindowStayDarkUnderLightText()
{
    QPalette light;
    light.setColor(QPalette::Button, QColor(239, 239, 239));
    const scope_colours designed = ScopeColours(light);
    QCOMPARE(designed.strip, kStrip);
    QCOMPARE(designed.window, kWindow);
    QCOMPARE(designed.mouse_line, kRed);

    QPalette dark;
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    auto bar = ShownBar();
    bar->setPalette(dark);
    QVERIFY(bar->SetScope(300000, 2990, 1000, 1999, 1000, Lines()));
    const QImage image = bar->grab().toImage();
    const scope_colours scope = ScopeColours(dark);
    QCOMPARE(image.pixelColor(20, 3), scope.strip);
    QCOMPARE(image.pixelColor(150, 2), scope.window);
    // The light size text keeps a contrast over both.
    for (const QColor& under : {scope.strip, scope.window})
        QVERIFY2(230 - under.lightness() >= 100, qPrintable(under.name()));
    QVERIFY(scope.strip.green() > scope.strip.blue() && scope.window.blue() > scope.window.red()); // the same hues
}

void file_scope_ctrl_test::Active_PaintsStripWindowAndMouseLine()
{
    auto bar = ShownBar();
    // 2990 lines over 299 steps: 10 lines a pixel; the window 1000-1999 covers x 101..200.
    QVERIFY(bar->SetScope(300000, 2990, 1000, 1999, 1000, Lines()));
    QVERIFY(bar->Map().Active());
    QCOMPARE(bar->Map().SegmentStart(), 101);
    QCOMPARE(bar->Map().SegmentEnd(), 201);
    MouseMove(bar.get(), QPoint(40, 10));
    QImage image = bar->grab().toImage();
    QVERIFY(image.save(ScreenshotPath(m_scratch, QStringLiteral("file_scope_active.png")), "PNG"));
    QCOMPARE(image.pixelColor(20, 3), kStrip);
    QCOMPARE(image.pixelColor(150, 2), kWindow);
    QCOMPARE(image.pixelColor(101, 18), kWindow);
    QCOMPARE(image.pixelColor(200, 18), kWindow);
    QCOMPARE(image.pixelColor(201, 18), kStrip);
    QCOMPARE(image.pixelColor(40, 3), kRed);
    QCOMPARE(image.pixelColor(40, 18), kRed);
    // The frame is drawn in the shadow colour, not the strip's.
    QVERIFY(image.pixelColor(kWidth / 2, 0) != kStrip);

    // Inside the segment there is no mouse line; once the mouse leaves, neither.
    MouseMove(bar.get(), QPoint(150, 10));
    image = bar->grab().toImage();
    QCOMPARE(CountPixels(image, kRed), 0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bar.get(), &leave);
    image = bar->grab().toImage();
    QCOMPARE(CountPixels(image, kRed), 0);
}

void file_scope_ctrl_test::Drag_ToTheFarRight_RequestsTheLastLine()
{
    auto bar = ShownBar();
    QVERIFY(bar->SetScope(300000, 2990, 0, 999, 1000, Lines()));
    QSignalSpy started(bar.get(), &CFileScopeCtrl::DragStarted);
    QSignalSpy requested(bar.get(), &CFileScopeCtrl::LineRequested);

    MousePress(bar.get(), QPoint(kWidth - 2, 10));
    QVERIFY(bar->IsDragging());
    QCOMPARE(started.count(), 1);
    QCOMPARE(bar->DragStart(), kWidth - 2);
    QCOMPARE(bar->DragEnd(), kWidth - 1);
    // Beyond the right edge the drag stays on the last column.
    MouseMove(bar.get(), QPoint(kWidth + 60, 10), Qt::LeftButton);
    QCOMPARE(bar->DragStart(), kWidth - 2);
    QCOMPARE(bar->DragEnd(), kWidth - 1);
    MouseRelease(bar.get(), QPoint(kWidth + 60, 10));
    QVERIFY(!bar->IsDragging());
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.at(0).at(0).toLongLong(), 2989LL);
}

void file_scope_ctrl_test::Drag_PressOutsideOrInactive_DoesNothing()
{
    auto bar = ShownBar();
    QVERIFY(bar->SetScope(300000, 2990, 0, 999, 1000, Lines()));
    QSignalSpy requested(bar.get(), &CFileScopeCtrl::LineRequested);
    // The frame row and column are outside the inner rectangle.
    MousePress(bar.get(), QPoint(100, 0));
    QVERIFY(!bar->IsDragging());
    MousePress(bar.get(), QPoint(kWidth - 1, 10));
    QVERIFY(!bar->IsDragging());
    MouseRelease(bar.get(), QPoint(100, 10));
    QCOMPARE(requested.count(), 0);
    // Right button: no drag.
    SendMouse(bar.get(), QEvent::MouseButtonPress, QPoint(100, 10), Qt::RightButton, Qt::RightButton);
    QVERIFY(!bar->IsDragging());
    // Turning inactive ends a drag without a request.
    MousePress(bar.get(), QPoint(100, 10));
    QVERIFY(bar->IsDragging());
    QVERIFY(bar->SetScope(300000, 2990, 0, 2989, 5000, Lines()));
    QVERIFY(!bar->IsDragging());
    MouseRelease(bar.get(), QPoint(100, 10));
    QCOMPARE(requested.count(), 0);
}

void file_scope_ctrl_test::Drag_MovingUpdatesTheSegmentAndPaintsIt()
{
    auto bar = ShownBar();
    QVERIFY(bar->SetScope(300000, 2990, 1000, 1999, 1000, Lines()));
    QSignalSpy requested(bar.get(), &CFileScopeCtrl::LineRequested);
    MousePress(bar.get(), QPoint(20, 10));
    MouseMove(bar.get(), QPoint(31, 10), Qt::LeftButton);
    QCOMPARE(bar->DragStart(), 31);
    QCOMPARE(bar->DragEnd(), 31 + bar->Map().DragWidth());
    const QImage image = bar->grab().toImage();
    QVERIFY(image.save(ScreenshotPath(m_scratch, QStringLiteral("file_scope_dragging.png")), "PNG"));
    // While dragging the window segment is only outlined: its inside shows the strip.
    QCOMPARE(image.pixelColor(150, 2), kStrip);
    QCOMPARE(image.pixelColor(101, 10), kWindow);
    QCOMPARE(image.pixelColor(200, 10), kWindow);
    // The drag segment is outlined with a dotted pen of the same blue.
    int blue_on_drag_edge = 0;
    for (int y = 1; y < kHeight - 1; ++y) {
        if (image.pixelColor(31, y) == kWindow)
            ++blue_on_drag_edge;
    }
    QVERIFY2(blue_on_drag_edge > 2 && blue_on_drag_edge < kHeight - 4, qPrintable(QString::number(blue_on_drag_edge)));
    MouseRelease(bar.get(), QPoint(31, 10));
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.at(0).at(0).toLongLong(), 300LL);
}

void file_scope_ctrl_test::Tooltip_ShowsLinePreviewsAfterTheDelay()
{
    auto bar = ShownBar();
    QVERIFY(bar->SetScope(300000, 2990, 1000, 1999, 1000, Lines()));
    QTimer* timer = Timer(bar.get(), "tooltip_timer");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 500);
    QCOMPARE(Timer(bar.get(), "leave_timer")->interval(), 100);

    MouseMove(bar.get(), QPoint(41, 10));
    QVERIFY(timer->isActive());
    QVERIFY(bar->LastToolTip().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(bar->LastToolTip(), QStringLiteral("line 400"), 5000);

    MouseMove(bar.get(), QPoint(150, 10));
    QTRY_COMPARE_WITH_TIMEOUT(bar->LastToolTip(), QStringLiteral("line 1000\n...\n...\nline 1999"), 5000);

    MousePress(bar.get(), QPoint(290, 10));
    MouseMove(bar.get(), QPoint(291, 10), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(bar->LastToolTip(), QStringLiteral("line 2900\n...\n...\nline 2989"), 5000);
    MouseRelease(bar.get(), QPoint(291, 10));

    // No line-text source: no tooltip timer at all.
    QVERIFY(bar->SetScope(300000, 2990, 1000, 1999, 1000, {}));
    MouseMove(bar.get(), QPoint(60, 10));
    QVERIFY(!timer->isActive());
    QVERIFY(bar->ToolTipTextAt(60).isEmpty());
}

void file_scope_ctrl_test::Tooltip_ShowsMarkupInLinesAsPlainText()
{
    auto bar = ShownBar();
    auto markup = [](uint64_t, std::u16string& text) {
        text = u"<b>GET</b> & <i>x</i>";
        return true;
    };
    QVERIFY(bar->SetScope(300000, 2990, 1000, 1999, 1000, markup));
    MouseMove(bar.get(), QPoint(20, 10));
    QTRY_COMPARE_WITH_TIMEOUT(bar->LastToolTip(), QStringLiteral("<b>GET</b> & <i>x</i>"), 5000);
    QVERIFY2(QToolTip::text().contains(QStringLiteral("&lt;b&gt;GET&lt;/b&gt; &amp;")), qPrintable(QToolTip::text()));
    QToolTip::hideText();
}

void file_scope_ctrl_test::Cursor_IsAHandOverTheActiveStrip()
{
    auto bar = ShownBar();
    QVERIFY(bar->SetScope(300000, 2990, 1000, 1999, 1000, Lines()));
    MouseMove(bar.get(), QPoint(20, 10));
    QCOMPARE(bar->cursor().shape(), Qt::PointingHandCursor);
    MouseMove(bar.get(), QPoint(20, 0));
    QCOMPARE(bar->cursor().shape(), Qt::ArrowCursor);
    MouseMove(bar.get(), QPoint(20, 10));
    QVERIFY(bar->SetScope(300000, 2990, 0, 2989, 5000, Lines()));
    QCOMPARE(bar->cursor().shape(), Qt::ArrowCursor);
}

void file_scope_ctrl_test::Scope_IgnoredCallsKeepTheBar()
{
    CFileScopeCtrl bar;
    bar.resize(kWidth, kHeight);
    QVERIFY(bar.SetScope(300000, 2990, 1000, 1999, 1000, Lines()));
    QVERIFY(!bar.SetScope(10, 2990, 0, 99, 1000, {}));
    QVERIFY(!bar.SetScope(300000, 2990, 10, 9, 1000, {}));
    QVERIFY(!bar.SetScope(300000, 2990, 0, 99, 0, {}));
    QVERIFY(bar.Map().Active());
    QCOMPARE(bar.Map().WindowFirst(), int64_t{1000});
    QCOMPARE(bar.ToolTipTextAt(20), QStringLiteral("line 190"));
}
