#include "edit_combo_box_test.h"

#include "ui/edit_combo_box.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

// A window with the box and one other field to move the focus to.
struct focus_window {
    QWidget window;
    CEditComboBox* box = nullptr;
    QLineEdit* other = nullptr;
    focus_window()
    {
        auto* layout = new QVBoxLayout(&window);
        box = new CEditComboBox(&window);
        box->addItems({QStringLiteral("POST"), QStringLiteral("PUT"), QStringLiteral("GET")});
        box->setEditText(QString());
        other = new QLineEdit(&window);
        layout->addWidget(box);
        layout->addWidget(other);
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            qFatal("window not active");
    }
};

bool FocusTo(QWidget* widget, Qt::FocusReason reason)
{
    widget->setFocus(reason);
    return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 5000);
}

} // namespace

void edit_combo_box_test::EditChange_ReportsEveryUserChangeOnly()
{
    focus_window w;
    QSignalSpy changes(w.box, &CEditComboBox::EditChange);
    QSignalSpy chosen(w.box, &QComboBox::activated);
    QVERIFY(FocusTo(w.box, Qt::OtherFocusReason));
    QTest::keyClicks(w.box, QStringLiteral("POS"));
    QCOMPARE(changes.count(), 3);
    QCOMPARE(changes.at(2).at(0).toString(), QStringLiteral("POS"));
    QTest::keyClick(w.box, Qt::Key_Backspace);
    QCOMPARE(changes.count(), 4);
    QCOMPARE(changes.at(3).at(0).toString(), QStringLiteral("PO"));
    QApplication::clipboard()->setText(QStringLiteral("ST"));
    QTest::keyClick(w.box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.box->currentText(), QStringLiteral("POST"));
    QCOMPARE(changes.count(), 5);

    // Text set by the program, or an entry chosen from the list, is no edit.
    w.box->setEditText(QStringLiteral("elsewhere"));
    QCOMPARE(changes.count(), 5);
    QTest::keyClick(w.box, Qt::Key_Down);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(changes.count(), 5);
    // Enter neither inserts an entry nor counts as an edit.
    QTest::keyClicks(w.box, QStringLiteral("x"));
    QTest::keyClick(w.box, Qt::Key_Return);
    QCOMPARE(w.box->count(), 3);
    QCOMPARE(changes.count(), 6);
}

void edit_combo_box_test::Typing_IsNeverCompletedFromTheList()
{
    focus_window w;
    QVERIFY(FocusTo(w.box, Qt::OtherFocusReason));
    QTest::keyClicks(w.box, QStringLiteral("P"));
    QCOMPARE(w.box->currentText(), QStringLiteral("P"));
    QVERIFY(!w.box->lineEdit()->hasSelectedText());
    QTest::keyClicks(w.box, QStringLiteral("u"));
    QCOMPARE(w.box->currentText(), QStringLiteral("Pu"));
}

void edit_combo_box_test::Selection_KeptAcrossFocusChanges()
{
    focus_window w;
    QVERIFY(FocusTo(w.box, Qt::OtherFocusReason));
    QTest::keyClicks(w.box, QStringLiteral("abcdef"));
    QTest::keyClick(w.box, Qt::Key_Home);
    QTest::keyClick(w.box, Qt::Key_Right);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(w.box, Qt::Key_Right, Qt::ShiftModifier);
    const CEditComboBox::selection expected{1, 3, 4};
    QCOMPARE(w.box->CurrentSelection(), expected);

    // Tab away and back (Qt would select the whole text on a Tab focus).
    QVERIFY(FocusTo(w.other, Qt::TabFocusReason));
    QCOMPARE(w.box->SavedSelection(), expected);
    QVERIFY(FocusTo(w.box, Qt::BacktabFocusReason));
    QCOMPARE(w.box->CurrentSelection(), expected);
    QCOMPARE(w.box->lineEdit()->selectedText(), QStringLiteral("bcd"));

    // A caret without selection is kept too.
    QTest::keyClick(w.box, Qt::Key_Home);
    QTest::keyClick(w.box, Qt::Key_Right);
    QCOMPARE(w.box->CurrentSelection(), (CEditComboBox::selection{1, 0, 1}));
    QVERIFY(FocusTo(w.other, Qt::OtherFocusReason));
    QVERIFY(FocusTo(w.box, Qt::TabFocusReason));
    QCOMPARE(w.box->CurrentSelection(), (CEditComboBox::selection{1, 0, 1}));
    QTest::keyClicks(w.box, QStringLiteral("X"));
    QCOMPARE(w.box->currentText(), QStringLiteral("aXbcdef"));

    // The text changed by the program while away: the saved place is clamped to it.
    QVERIFY(FocusTo(w.other, Qt::OtherFocusReason));
    w.box->setEditText(QStringLiteral("a"));
    QVERIFY(FocusTo(w.box, Qt::TabFocusReason));
    QCOMPARE(w.box->lineEdit()->cursorPosition(), 1);
}

void edit_combo_box_test::Selection_LeftwardsKeepsTheCaretAtItsStart()
{
    focus_window w;
    QVERIFY(FocusTo(w.box, Qt::OtherFocusReason));
    QTest::keyClicks(w.box, QStringLiteral("abcdef"));
    QTest::keyClick(w.box, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(w.box, Qt::Key_Left, Qt::ShiftModifier);
    const CEditComboBox::selection expected{4, 2, 4};
    QCOMPARE(w.box->CurrentSelection(), expected);
    QVERIFY(FocusTo(w.other, Qt::TabFocusReason));
    QVERIFY(FocusTo(w.box, Qt::BacktabFocusReason));
    QCOMPARE(w.box->CurrentSelection(), expected);
    // Shift+Left grows the restored selection leftwards, as before.
    QTest::keyClick(w.box, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(w.box->lineEdit()->selectedText(), QStringLiteral("def"));
}
