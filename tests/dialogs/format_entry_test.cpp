#include "format_entry_test.h"

#include "dialogs/beep.h"
#include "dialogs/datetime_format_edit.h"
#include "format/datetime.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <vector>

void format_entry_test::init()
{
    m_beeps = 0;
    SetBeepHook([this] { ++m_beeps; });
}

void format_entry_test::cleanup()
{
    SetBeepHook({});
}

void format_entry_test::Typing_TakesOnlyLettersWhoseFieldIsFree()
{
    struct row {
        const char* text;
        char typed;
        bool accepted;
    };
    const std::vector<row> rows = {
        {"d/b/Y", 'm', false}, {"d/b/Y", 'B', false}, {"d/b/Y", 'b', false}, {"d/b/Y", 'y', false},
        {"d/b/Y", 'd', false}, {"d/b/Y", 'H', true},  {"d/b/Y", 'h', true},  {"d/b/Y", 'M', true},
        {"d/b/Y", '5', false}, {"d/b/Y", '0', false}, {"d/b/Y", 'x', false}, {"d/b/Y", 'Z', false},
        {"d/b/Y", ' ', true},  {"d/b/Y", ':', true},  {"d/b/Y", '%', true},  {"d/b/Y", '[', true},
        {"d/b/Y", '_', true},  {"d/b/Y", '`', true},  {"H:M:S", 's', true},  {"H:M:S", 'S', false},
        {"h:M p", 'H', false}, {"h:M p", 'p', false}, {"h:M p", 'S', true},  {"", 'Y', true},
        {"y", 'Y', false},     {"s", 's', false},     {"S", 's', true},      {"m", 'B', false},
    };
    for (const row& r : rows) {
        m_beeps = 0;
        CDateTimeFormatEdit edit;
        edit.setText(QString::fromLatin1(r.text));
        edit.end(false);
        QTest::keyClick(&edit, r.typed);
        const QString expected = QString::fromLatin1(r.text) + (r.accepted ? QString(QLatin1Char(r.typed)) : QString());
        const QString name = QStringLiteral("'%1' + '%2'").arg(QLatin1String(r.text)).arg(QLatin1Char(r.typed));
        QVERIFY2(edit.text() == expected, qPrintable(name + QStringLiteral(" gives ") + edit.text()));
        QVERIFY2(m_beeps == (r.accepted ? 0 : 1), qPrintable(name));
        // The rule function says the same.
        QCOMPARE(
            DateTimeFormatCharAccepted(QString::fromLatin1(r.text).toStdU16String(), static_cast<char16_t>(r.typed)),
            r.accepted);
    }
    // Every format letter, typed into an empty field, is taken; the others are refused.
    for (char16_t c = u'A'; c <= u'z'; ++c) {
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        QCOMPARE(DateTimeFormatCharAccepted(u"", c), !letter || IsDateTimeFormatLetter(c));
    }
    QVERIFY(!DateTimeFormatCharAccepted(u"", u'\u00e9'));
    QVERIFY(!DateTimeFormatCharAccepted(u"", u'\u5e74'));
}

void format_entry_test::Typing_ReplacingTheSelectionFreesItsFields()
{
    CDateTimeFormatEdit edit;
    edit.setText(QStringLiteral("d/b/Y"));
    edit.setSelection(2, 1); // "b"
    QTest::keyClick(&edit, 'm');
    QCOMPARE(edit.text(), QStringLiteral("d/m/Y"));
    edit.selectAll();
    QTest::keyClick(&edit, 'Y');
    QCOMPARE(edit.text(), QStringLiteral("Y"));
    // Backspace and the caret keys are never refused.
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Left);
    QCOMPARE(edit.text(), QString());
    QCOMPARE(m_beeps, 0);
}

void format_entry_test::Typing_RefusesCharactersAboveAsciiFromAnInputMethod()
{
    CDateTimeFormatEdit edit;
    edit.setText(QStringLiteral("Y"));
    edit.end(false);
    QInputMethodEvent foreign(QString(), {});
    foreign.setCommitString(QStringLiteral("\u5e74"));
    QApplication::sendEvent(&edit, &foreign);
    QCOMPARE(edit.text(), QStringLiteral("Y"));
    QCOMPARE(m_beeps, 1);
    QInputMethodEvent plain(QString(), {});
    plain.setCommitString(QStringLiteral("-"));
    QApplication::sendEvent(&edit, &plain);
    QCOMPARE(edit.text(), QStringLiteral("Y-"));
    QCOMPARE(m_beeps, 1);
}

void format_entry_test::Normalize_Table()
{
    struct row {
        const char16_t* text;
        const char16_t* normal;
    };
    const std::vector<row> rows = {
        {u"YmdHMS", u"Y m d H M S"},
        {u"d/b/Y H:M:S", u"d/b/Y H:M:S"},
        {u"", u""},
        {u"Y\u00e9m", u"Y m"},
        {u"\u5e74Y", u"Y"},
        {u"xY", u"xY"},
        {u"YYY", u"Y Y Y"},
        {u"Y  m", u"Y  m"},
        {u"hMp", u"h M p"},
        {u"[d/b/Y:H:M:S", u"[d/b/Y:H:M:S"},
        {u"Y12m", u"Y12m"},
    };
    for (const row& r : rows)
        QCOMPARE(NormalizeDateTimeFormat(r.text), std::u16string(r.normal));

    CDateTimeFormatEdit edit;
    edit.setText(QStringLiteral("d/b/Y"));
    edit.setCursorPosition(1);
    QVERIFY(!edit.Normalize());
    QVERIFY(!edit.hasSelectedText());
    QCOMPARE(edit.cursorPosition(), 1);
}

void format_entry_test::LeavingTheControl_SeparatesPastedLettersAndSelectsTheText()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new CDateTimeFormatEdit(&window);
    auto* other = new QPushButton(QStringLiteral("other"), &window);
    layout->addWidget(edit);
    layout->addWidget(other);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    edit->setFocus();
    QVERIFY(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 5000));
    QApplication::clipboard()->setText(QStringLiteral("YmdHMS"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), QStringLiteral("YmdHMS"));
    QCOMPARE(m_beeps, 0);

    other->setFocus(Qt::TabFocusReason);
    QVERIFY(QTest::qWaitFor([other] { return other->hasFocus(); }, 5000));
    QCOMPARE(edit->text(), QStringLiteral("Y m d H M S"));
    QCOMPARE(edit->selectedText(), edit->text());
}
