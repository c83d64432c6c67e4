#include "color_picker_test.h"

#include "dialogs/color_picker.h"
#include "ui/color_ref.h"

#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>
#include <vector>

namespace {

// A colour dialog that records what it was asked and answers from a script.
struct scripted_dialog {
    std::vector<uint32_t> asked;
    std::optional<uint32_t> answer;
    CFGColorPicker::color_dialog Function()
    {
        return [this](uint32_t initial, QWidget*) {
            asked.push_back(initial);
            return answer;
        };
    }
};

void Click(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(widget, button, Qt::NoModifier, at);
    QTest::mouseRelease(widget, button, Qt::NoModifier, at);
}

// Answers the next QColorDialog with colour (or cancels it when colour is
// invalid); gives up after five seconds so that a missing dialog fails the
// test instead of hanging it.
class dialog_answerer : public QObject {
public:
    explicit dialog_answerer(QColor colour) : m_colour(colour)
    {
        connect(&m_poll, &QTimer::timeout, this, &dialog_answerer::Poll);
        m_poll.start(10);
        m_deadline.start();
    }
    bool Answered() const { return m_answered; }

private:
    void Poll()
    {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (m_deadline.elapsed() > 5000) {
                m_poll.stop();
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* d = qobject_cast<QDialog*>(w))
                        d->reject();
                }
            }
            return;
        }
        m_poll.stop();
        m_answered = true;
        if (m_colour.isValid()) {
            dialog->setCurrentColor(m_colour);
            dialog->accept();
        } else {
            dialog->reject();
        }
    }
    QColor m_colour;
    QTimer m_poll;
    QElapsedTimer m_deadline;
    bool m_answered = false;
};

} // namespace

void color_picker_test::Swatch_PaintsItsColourInsideAShadowFrame()
{
    CFGColorPicker picker;
    QCOMPARE(picker.GetColor(), 0u);
    picker.resize(40, 20);
    picker.SetColor(0x00336699);
    QCOMPARE(picker.GetColor(), 0x00336699u);
    const QImage image = picker.grab().toImage();
    QCOMPARE(image.pixelColor(20, 10), QColor(0x99, 0x66, 0x33));
    QCOMPARE(image.pixelColor(0, 0).rgb(), picker.palette().color(QPalette::Dark).rgb());
    QCOMPARE(image.pixelColor(39, 19).rgb(), picker.palette().color(QPalette::Dark).rgb());
    QCOMPARE(picker.cursor().shape(), Qt::PointingHandCursor);
    // The top byte is no colour.
    picker.SetColor(0xFF00FF00);
    QCOMPARE(picker.GetColor(), 0x0000FF00u);
    QCOMPARE(ColorFromRef(0x0000FF00), QColor(0, 255, 0));
    QCOMPARE(RefFromColor(QColor(1, 2, 3)), 0x00030201u);
}

void color_picker_test::Cancel_ChangesNothingAndNotifiesNobody()
{
    CFGColorPicker picker;
    picker.resize(40, 20);
    picker.SetColor(0x0000FFFF);
    scripted_dialog dialog;
    picker.SetColorDialog(dialog.Function());
    QSignalSpy picked(&picker, &CFGColorPicker::ColorPicked);
    Click(&picker, QPoint(10, 10));
    QCOMPARE(dialog.asked, (std::vector<uint32_t>{0x0000FFFF}));
    QCOMPARE(picked.count(), 0);
    QCOMPARE(picker.GetColor(), 0x0000FFFFu);
    QCOMPARE(picker.grab().toImage().pixelColor(20, 10), QColor(255, 255, 0));
}

void color_picker_test::Ok_TakesTheColourAndNotifiesOnce()
{
    CFGColorPicker picker;
    picker.resize(40, 20);
    scripted_dialog dialog;
    dialog.answer = 0x00102030;
    picker.SetColorDialog(dialog.Function());
    QSignalSpy picked(&picker, &CFGColorPicker::ColorPicked);
    Click(&picker, QPoint(10, 10));
    QCOMPARE(dialog.asked, (std::vector<uint32_t>{0}));
    QCOMPARE(picked.count(), 1);
    QCOMPARE(picked.at(0).at(0).toUInt(), 0x00102030u);
    QCOMPARE(picker.GetColor(), 0x00102030u);
    QCOMPARE(picker.grab().toImage().pixelColor(20, 10), QColor(0x30, 0x20, 0x10));
    // The next dialog starts at the colour taken.
    Click(&picker, QPoint(10, 10));
    QCOMPARE(dialog.asked.back(), 0x00102030u);
    QCOMPARE(picked.count(), 2);
}

void color_picker_test::Opening_OnlyByALeftReleaseOverItOrSpace()
{
    CFGColorPicker picker;
    picker.resize(40, 20);
    scripted_dialog dialog;
    picker.SetColorDialog(dialog.Function());
    Click(&picker, QPoint(10, 10), Qt::RightButton);
    QTest::mousePress(&picker, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QVERIFY(dialog.asked.empty()); // pressing alone opens nothing
    QTest::mouseRelease(&picker, Qt::LeftButton, Qt::NoModifier, QPoint(80, 10));
    QVERIFY(dialog.asked.empty()); // released away from the swatch
    QTest::keyClick(&picker, Qt::Key_Return);
    QVERIFY(dialog.asked.empty()); // Enter belongs to the dialog's default button
    QTest::keyClick(&picker, Qt::Key_Space);
    QCOMPARE(dialog.asked.size(), std::size_t{1});
    picker.setEnabled(false);
    Click(&picker, QPoint(10, 10));
    QCOMPARE(dialog.asked.size(), std::size_t{1});
}

void color_picker_test::StandardDialog_AnsweredOkAndCancel()
{
    QWidget owner;
    {
        dialog_answerer answerer(QColor(10, 20, 30));
        const std::optional<uint32_t> chosen = CFGColorPicker::StandardColorDialog(0x000000FF, &owner);
        QVERIFY(answerer.Answered());
        QVERIFY(chosen.has_value());
        QCOMPARE(*chosen, 0x001E140Au);
    }
    {
        dialog_answerer answerer{QColor()};
        const std::optional<uint32_t> chosen = CFGColorPicker::StandardColorDialog(0x000000FF, &owner);
        QVERIFY(answerer.Answered());
        QVERIFY(!chosen.has_value());
    }
    // Through the swatch: the real dialog's cancel leaves the colour alone.
    CFGColorPicker picker;
    picker.resize(40, 20);
    picker.SetColor(0x00445566);
    QSignalSpy picked(&picker, &CFGColorPicker::ColorPicked);
    {
        dialog_answerer answerer{QColor()};
        picker.PickColor();
        QVERIFY(answerer.Answered());
    }
    QCOMPARE(picked.count(), 0);
    QCOMPARE(picker.GetColor(), 0x00445566u);
}
