#include "number_entry_test.h"

#include "dialogs/beep.h"
#include "dialogs/numeric_edit.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kBackspace = '\b';
constexpr char kDelete = '\x7f';

void TypeKeys(QWidget* edit, const std::string& keys)
{
    for (const char c : keys) {
        if (c == kBackspace)
            QTest::keyClick(edit, Qt::Key_Backspace);
        else if (c == kDelete)
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClick(edit, c);
    }
}

std::string Repeat(char c, int n)
{
    return std::string(static_cast<std::size_t>(n), c);
}

// Digit grouping by the C++ library: a locale whose numpunct groups by three with ','.
struct comma_groups : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

std::string Grouped(const std::string& digits)
{
    std::ostringstream out;
    out.imbue(std::locale(std::locale::classic(), new comma_groups));
    out << std::stoull(digits);
    return out.str();
}

// A second, plain statement of the entry's rules, rendered through the library's grouping.
struct reference_entry {
    bool integers_only;
    bool grouping;
    std::string integer, decimal;
    bool point = false, negative = false;

    bool zero() const { return (integer + decimal).find_first_not_of('0') == std::string::npos; }
    bool type(char c)
    {
        if (c == '-' || c == '+') {
            negative = c == '-';
            return true;
        }
        if (c == '.') {
            if (integers_only || point)
                return false;
            point = true;
            return true;
        }
        if (c < '0' || c > '9')
            return false;
        if (integers_only || !point) {
            const std::size_t limit = integers_only ? 18 : 14;
            if (integer == "0")
                integer = std::string(1, c);
            else if (integer.size() < limit)
                integer += c;
            else
                return false;
            return true;
        }
        const std::string all = integer + decimal;
        std::size_t significant = all.size();
        while (significant > 0 && all[all.size() - significant] == '0')
            --significant;
        if (significant >= 14 || all.size() >= 25)
            return false;
        decimal += c;
        return true;
    }
    void backspace()
    {
        if (point && !integers_only)
            decimal.empty() ? void(point = false) : decimal.pop_back();
        else if (!integer.empty())
            integer.pop_back();
        if (zero())
            negative = false;
    }
    std::string text() const
    {
        const std::string digits = integer.empty() ? "0" : integer;
        std::string shown = grouping ? Grouped(digits) : std::to_string(std::stoull(digits));
        if (point && !integers_only)
            shown += "." + decimal;
        if (negative && !zero())
            shown = "-" + shown;
        return shown;
    }
};

} // namespace

void number_entry_test::init()
{
    m_beeps = 0;
    SetBeepHook([this] { ++m_beeps; });
}

void number_entry_test::cleanup()
{
    SetBeepHook({});
}

void number_entry_test::KeySequences_ShowTheTextAndBeepAsTheTableSays()
{
    struct row {
        const char* name;
        bool integers_only;
        bool grouping;
        std::string keys;
        QString shown;
        int beeps;
    };
    const std::string digits18 = "123456789012345678";
    const std::string digits14 = "12345678901234";
    const std::vector<row> rows = {
        {"grouped decimal", false, true, "1234567.5", QStringLiteral("1,234,567.5"), 0},
        {"three digits", false, true, "123", QStringLiteral("123"), 0},
        {"six digits", false, true, "123456", QStringLiteral("123,456"), 0},
        {"minus then zero", false, true, "-0", QStringLiteral("0"), 0},
        {"minus then five", false, true, "-5", QStringLiteral("-5"), 0},
        {"minus then a fraction", false, true, "-0.5", QStringLiteral("-0.5"), 0},
        {"minus after the digits", false, true, "5-", QStringLiteral("-5"), 0},
        {"plus clears the minus", false, true, "5-+", QStringLiteral("5"), 0},
        {"digits removed to zero drop the minus", false, true, "-5\b3", QStringLiteral("3"), 0},
        {"lone zero is replaced", false, true, "007", QStringLiteral("7"), 0},
        {"zeros after the point stay", false, true, "0.07", QStringLiteral("0.07"), 0},
        {"point without digits", false, false, ".", QStringLiteral("0."), 0},
        {"second point beeps", false, true, "1.2.3", QStringLiteral("1.23"), 1},
        {"backspace removes the point", false, true, "1.5\b\b", QStringLiteral("1"), 0},
        {"backspace down to nothing", false, true, "1.5\b\b\b\b", QStringLiteral("0"), 0},
        {"delete clears digits and flags", false, true, "-12.5\x7f", QStringLiteral("0"), 0},
        {"delete then a digit", false, true,
         "-12.5\x7f"
         "7",
         QStringLiteral("7"), 0},
        {"letters and spaces beep", false, true, "1a 2", QStringLiteral("12"), 2},
        {"comma beeps", false, true, "1,2", QStringLiteral("12"), 1},
        {"no grouping", false, false, "1234567.25", QStringLiteral("1234567.25"), 0},
        {"fourteen integer digits", false, false, digits14, QString::fromStdString(digits14), 0},
        {"fifteenth integer digit beeps", false, false, digits14 + "5", QString::fromStdString(digits14), 1},
        {"fourteen integer digits leave no room after the point", false, false, digits14 + ".1",
         QString::fromStdString(digits14 + "."), 1},
        {"fourteen significant digits after leading zeros", false, false, "." + Repeat('0', 11) + "123456789012345",
         QStringLiteral("0.") + QString(11, QLatin1Char('0')) + "12345678901234", 1},
        {"trailing zeros count as significant", false, false, "1." + Repeat('0', 14),
         QStringLiteral("1.") + QString(13, QLatin1Char('0')), 1},
        {"twenty-five digits in all", false, false, "0." + Repeat('0', 25),
         QStringLiteral("0.") + QString(24, QLatin1Char('0')), 1},
        {"integer mode: point beeps", true, true, "12.3", QStringLiteral("123"), 1},
        {"integer mode: eighteen digits", true, true, digits18, QStringLiteral("123,456,789,012,345,678"), 0},
        {"integer mode: nineteenth digit beeps", true, true, digits18 + "9", QStringLiteral("123,456,789,012,345,678"),
         1},
        {"integer mode: grouping a thousand", true, true, "1000", QStringLiteral("1,000"), 0},
        {"integer mode: minus then zero", true, false, "-0", QStringLiteral("0"), 0},
        {"integer mode: minus then five", true, false, "-5", QStringLiteral("-5"), 0},
        {"integer mode: backspace", true, false, "123\b", QStringLiteral("12"), 0},
    };
    for (const row& r : rows) {
        m_beeps = 0;
        CNumericEdit edit(r.integers_only, r.grouping);
        QCOMPARE(edit.text(), QStringLiteral("0"));
        TypeKeys(&edit, r.keys);
        QVERIFY2(edit.text() == r.shown, qPrintable(QStringLiteral("%1: shows %2").arg(r.name, edit.text())));
        QVERIFY2(m_beeps == r.beeps, qPrintable(QStringLiteral("%1: %2 beeps").arg(r.name).arg(m_beeps)));
        QVERIFY2(edit.cursorPosition() == edit.text().size(), r.name);
    }
}

void number_entry_test::RandomSequences_AgreeWithTheReference()
{
    std::mt19937 random(7);
    const std::string keys = "0123456789000.-+x";
    for (int round = 0; round < 3000; ++round) {
        const bool integers_only = round % 3 == 0;
        const bool grouping = round % 2 == 0;
        numeric_entry entry(integers_only, grouping);
        reference_entry reference{integers_only, grouping, {}, {}};
        const int length = 1 + static_cast<int>(random() % 45);
        std::string typed;
        for (int i = 0; i < length; ++i) {
            const auto pick = random() % 40;
            if (pick == 0) {
                entry.Backspace();
                reference.backspace();
                typed += "<BS>";
            } else if (pick == 1 && round % 5 == 0) {
                entry.Clear();
                reference = reference_entry{integers_only, grouping, {}, {}};
                typed += "<DEL>";
            } else {
                const char c = keys[random() % keys.size()];
                typed += c;
                const bool accepted = entry.Type(static_cast<char16_t>(c));
                QVERIFY2(accepted == reference.type(c), typed.c_str());
            }
            const std::u16string text = entry.Text();
            QVERIFY2(text == QString::fromStdString(reference.text()).toStdU16String(), typed.c_str());
        }
    }
}

void number_entry_test::Caret_StaysAtTheEndWhateverTheKeysAndClicks()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new CNumericEdit(false, true, &window);
    auto* other = new QPushButton(QStringLiteral("other"), &window);
    layout->addWidget(edit);
    layout->addWidget(other);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(edit->alignment() & Qt::AlignRight);

    other->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, QPoint(3, edit->height() / 2));
    QVERIFY(edit->hasFocus());
    TypeKeys(edit, "1234");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(!edit->hasSelectedText());
    QTest::keyClick(edit, '5');
    QCOMPARE(edit->text(), QStringLiteral("12,345"));
    QCOMPARE(edit->cursorPosition(), 6);

    // Clicking or dragging never selects nor moves the caret.
    QTest::mousePress(edit, Qt::LeftButton, Qt::NoModifier, QPoint(2, edit->height() / 2));
    QTest::mouseMove(edit, QPoint(edit->width() - 2, edit->height() / 2));
    QTest::mouseRelease(edit, Qt::LeftButton, Qt::NoModifier, QPoint(edit->width() - 2, edit->height() / 2));
    QTest::mouseDClick(edit, Qt::LeftButton, Qt::NoModifier, QPoint(4, edit->height() / 2));
    QVERIFY(!edit->hasSelectedText());
    QCOMPARE(edit->cursorPosition(), 6);

    // Gaining the focus puts the caret at the end.
    other->setFocus();
    edit->setCursorPosition(0);
    edit->setFocus(Qt::TabFocusReason);
    QVERIFY(!edit->hasSelectedText());
    QCOMPARE(edit->cursorPosition(), 6);
    QCOMPARE(m_beeps, 0);
}

void number_entry_test::Paste_TypesEachCharacterAndBeepsOnce()
{
    CNumericEdit edit(false, true);
    QApplication::clipboard()->setText(QStringLiteral("-1,234.5x6y"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("-1,234.56"));
    QCOMPARE(m_beeps, 1);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("-1,234.56"));
    // The context menu and drops, which could insert text past the rules, are off.
    QCOMPARE(edit.contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(!edit.acceptDrops());
}

void number_entry_test::Keys_ForTheDialogPassThrough()
{
    CNumericEdit edit(true, false);
    QSignalSpy returned(&edit, &QLineEdit::returnPressed);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(&edit, &enter);
    QCOMPARE(returned.count(), 1);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&edit, &escape);
    QVERIFY(!escape.isAccepted());
    QKeyEvent mnemonic(QEvent::KeyPress, Qt::Key_O, Qt::AltModifier, QStringLiteral("o"));
    QApplication::sendEvent(&edit, &mnemonic);
    QVERIFY(!mnemonic.isAccepted());
    QCOMPARE(edit.text(), QStringLiteral("0"));
    QCOMPARE(m_beeps, 0);
}
