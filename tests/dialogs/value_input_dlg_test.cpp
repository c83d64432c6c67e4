#include "value_input_dlg_test.h"

#include "dialog_test_support.h"
#include "dialogs/beep.h"
#include "dialogs/dialog_parts.h"
#include "dialogs/ipv4_address_ctrl.h"
#include "dialogs/numeric_edit.h"
#include "dialogs/value_input_dlg.h"
#include "format/datetime.h"

#include <QClipboard>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

#include <bit>

namespace {

int g_beeps = 0;

tagDATA_FORMAT Format(int32_t type, std::u16string pattern = {}, uint8_t digits = 0, bool separator = false)
{
    tagDATA_FORMAT format;
    format.data_type = type;
    format.format = std::move(pattern);
    format.digit_count = digits;
    format.separator_1000 = separator;
    return format;
}

tagDATA_VALUE Parsed(const std::u16string& text, const tagDATA_FORMAT& format)
{
    tagDATA_VALUE value;
    ParseDataValue(value, text.data(), text.size(), format);
    return value;
}

// Seconds since the epoch of a UTC date and time, by the proleptic Gregorian
// count (independent of the time zone code under test).
int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second)
{
    const int y = year - (month <= 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = int64_t{era} * 146097 + doe - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

// Picks a date and time in a date-time value dialog by its controls and OKs it.
std::u16string Pick(const tagDATA_FORMAT& format, QDate date, QTime time, const QString& milliseconds,
                    const std::u16string& expression = {})
{
    CValueInputDlg_DateTime dialog(format, expression);
    dialog.show();
    if (!Activate(&dialog))
        return u"(not active)";
    Child<QDateEdit>(&dialog, CValueInputDlg_DateTime::kDateCtrl)->setDate(date);
    Child<QTimeEdit>(&dialog, CValueInputDlg_DateTime::kTimeCtrl)->setTime(time);
    if (!milliseconds.isNull())
        Child<QLineEdit>(&dialog, CValueInputDlg_DateTime::kMillisecondEdit)->setText(milliseconds);
    QTest::keyClick(Focused(), Qt::Key_Return);
    return dialog.result() == QDialog::Accepted ? dialog.Text() : u"(refused)";
}

} // namespace

void value_input_dlg_test::init()
{
    g_beeps = 0;
    SetBeepHook([] { ++g_beeps; });
}

void value_input_dlg_test::cleanup()
{
    SetBeepHook({});
    SetDialogClock({});
}

void value_input_dlg_test::Numeric_TitleAndEntryFollowTheColumnFormat()
{
    struct row {
        uint8_t digits;
        bool separator;
        const char* keys;
        const char* shown;
        int beeps;
    };
    const std::vector<row> rows = {
        {0, false, "1234.5", "12345", 1},
        {0, true, "-1234567", "-1,234,567", 0},
        {2, true, "1234567.5", "1,234,567.5", 0},
        {3, false, "-0.25", "-0.25", 0},
        {0, false, "x", "0", 1},
        {15, true, "123456", "123,456", 0},
    };
    for (const row& r : rows) {
        const tagDATA_FORMAT format = Format(DATA_TYPE_NUMERIC, {}, r.digits, r.separator);
        g_beeps = 0;
        CValueInputDlg_Numeric dialog(format, u"987"); // the expression is not taken over
        QCOMPARE(dialog.windowTitle(), Text(r.digits == 0 ? u"IDS_VALUEINPUTDLG_NUMERIC_TITLE_INTEGER"
                                                          : u"IDS_VALUEINPUTDLG_NUMERIC_TITLE_DECIMAL"));
        dialog.show();
        QVERIFY(Activate(&dialog));
        auto* number = Child<CNumericEdit>(&dialog, CValueInputDlg_Numeric::kNumberEdit);
        QCOMPARE(number->text(), QStringLiteral("0"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(number));
        QTest::keyClicks(number, QLatin1String(r.keys));
        QTest::keyClick(number, Qt::Key_Return);
        QCOMPARE(dialog.result(), int{QDialog::Accepted});
        QCOMPARE(ToQString(dialog.Text()), QLatin1String(r.shown));
        QCOMPARE(g_beeps, r.beeps);
        // The text reads back in the column's format as the number typed.
        const tagDATA_VALUE value = Parsed(dialog.Text(), format);
        QVERIFY(value.valid);
        const QString plain = QString::fromLatin1(r.shown).remove(QLatin1Char(','));
        if (r.digits == 0)
            QCOMPARE(value.payload, static_cast<int64_t>(plain.toLongLong()));
        else
            QCOMPARE(std::bit_cast<double>(value.payload), plain.toDouble());
    }
}

void value_input_dlg_test::IPv4_PresetTypedClampedAndPasted()
{
    const tagDATA_FORMAT format = Format(DATA_TYPE_IPV4);
    struct preset {
        const char16_t* expression;
        const char* fields; // "" for blank
    };
    for (const preset& p : {preset{u"10.0.0.2", "10.0.0.2"}, preset{u"255.255.255.255", "255.255.255.255"},
                            preset{u"010.1.1.1", "10.1.1.1"}, preset{u"1..2.3", ""}, preset{u"256.1.1.1", ""},
                            preset{u"", ""}, preset{u" 1.2.3.4", ""}}) {
        CValueInputDlg_IPv4 dialog(format, p.expression);
        auto* address = Child<CIPAddressCtrl>(&dialog, CValueInputDlg_IPv4::kAddressCtrl);
        const std::array<int, 4> f = address->Fields();
        const QString shown =
            address->IsBlank() ? QString() : QStringLiteral("%1.%2.%3.%4").arg(f[0]).arg(f[1]).arg(f[2]).arg(f[3]);
        QVERIFY2(shown == QLatin1String(p.fields), qPrintable(ToQString(p.expression)));
    }

    struct typed {
        const char* keys; // '<' Backspace, '>' Right, '[' Left
        const char* text;
        int beeps;
    };
    const std::vector<typed> rows = {
        {"192.168.0.1", "192.168.0.1", 0},
        {"19216801", "192.168.1.0", 0},  // a third digit moves on
        {"300.1.2.3", "255.1.2.3", 1},   // above 255 becomes 255
        {"1.2.3.4.5", "1.2.3.45", 0},    // the last field takes no dot
        {"1.2<<<7.8.9.4", "7.8.9.4", 0}, // Backspace goes back across the dot
        {"1a.2.3.4", "1.2.3.4", 1},      // letters are refused
        {"..1.2.3.4", "1.2.3.4", 0},     // a dot in an empty field stays there
        {"12>34[[[5", "125.34.0.0", 0},  // Right at the end moves on, Left at the start back
        {"", "0.0.0.0", 0},
    };
    for (const typed& r : rows) {
        g_beeps = 0;
        CValueInputDlg_IPv4 dialog(format, u"");
        dialog.show();
        QVERIFY(Activate(&dialog));
        for (const char* key = r.keys; *key; ++key) {
            QWidget* focus = QApplication::focusWidget();
            if (*key == '<')
                QTest::keyClick(focus, Qt::Key_Backspace);
            else if (*key == '>')
                QTest::keyClick(focus, Qt::Key_Right);
            else if (*key == '[')
                QTest::keyClick(focus, Qt::Key_Left);
            else
                QTest::keyClick(focus, *key);
        }
        QTest::keyClick(Focused(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int{QDialog::Accepted});
        const QString name = QLatin1String(r.keys);
        const tagDATA_VALUE value = Parsed(dialog.Text(), format);
        QVERIFY2(value.valid, qPrintable(name));
        std::u16string library;
        QVERIFY(FormatDataValue(value, format, library));
        QVERIFY2(ToQString(library) == QLatin1String(r.text),
                 qPrintable(name + QStringLiteral(": ") + ToQString(library)));
        QVERIFY2(dialog.Text() == library, qPrintable(name));
        QVERIFY2(g_beeps == r.beeps, qPrintable(name));
    }

    // A whole address pasted into any field fills the control.
    CValueInputDlg_IPv4 dialog(format, u"");
    dialog.show();
    QVERIFY(Activate(&dialog));
    QApplication::clipboard()->setText(QStringLiteral(" 172.16.254.3 "));
    auto* address = Child<CIPAddressCtrl>(&dialog, CValueInputDlg_IPv4::kAddressCtrl);
    QTest::keyClick(address->Field(2), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(address->Address(), 0xAC10FE03u);
    QApplication::clipboard()->setText(QStringLiteral("not an address"));
    g_beeps = 0;
    QTest::keyClick(address->Field(0), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(g_beeps, 1);
    QCOMPARE(address->Address(), 0xAC10FE03u);
}

void value_input_dlg_test::DateTime_ControlsFollowTheFormatFields()
{
    struct row {
        const char16_t* format;
        bool date, time, milliseconds;
    };
    for (const row& r :
         {row{u"d/b/Y H:M:S", true, true, false}, row{u"H:M:S", false, true, false}, row{u"Y-m-d", true, false, false},
          row{u"H:M:S.s", false, true, true}, row{u"b", true, false, false}, row{u"p", false, false, false},
          row{u"M", false, true, false}, row{u"", false, false, false}, row{u"s", false, false, true}}) {
        CValueInputDlg_DateTime dialog(Format(DATA_TYPE_DATETIME, r.format), u"");
        const QString name = ToQString(r.format);
        QVERIFY2(Child<QDateEdit>(&dialog, CValueInputDlg_DateTime::kDateCtrl)->isEnabled() == r.date,
                 qPrintable(name));
        QVERIFY2(Child<QTimeEdit>(&dialog, CValueInputDlg_DateTime::kTimeCtrl)->isEnabled() == r.time,
                 qPrintable(name));
        QVERIFY2(Child<QLineEdit>(&dialog, CValueInputDlg_DateTime::kMillisecondEdit)->isEnabled() == r.milliseconds,
                 qPrintable(name));
    }
    CValueInputDlg_DateTime dialog(Format(DATA_TYPE_DATETIME, u"Y"), u"");
    auto* limits = Child<QDateEdit>(&dialog, CValueInputDlg_DateTime::kDateCtrl);
    QCOMPARE(limits->minimumDate(), QDate(1970, 1, 1));
    QCOMPARE(limits->maximumDate(), QDate(3000, 12, 31));
    QCOMPARE(limits->displayFormat(), QStringLiteral("yyyy/MM/dd"));
    QCOMPARE(Child<QTimeEdit>(&dialog, CValueInputDlg_DateTime::kTimeCtrl)->displayFormat(),
             QStringLiteral("HH:mm:ss"));
}

void value_input_dlg_test::DateTime_SummerAndWinterRoundTripInADaylightSavingZone()
{
    scoped_zone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const tagDATA_FORMAT full = Format(DATA_TYPE_DATETIME, u"Y-m-d H:M:S");
    struct row {
        QDate date;
        QTime time;
        const char16_t* text;
        int64_t utc; // the moment as seconds, UTC+2 in summer and UTC+1 in winter
    };
    const std::vector<row> rows = {
        {QDate(2024, 7, 1), QTime(12, 0, 0), u"2024-07-01 12:00:00", UtcSeconds(2024, 7, 1, 10, 0, 0)},
        {QDate(2024, 1, 15), QTime(12, 0, 0), u"2024-01-15 12:00:00", UtcSeconds(2024, 1, 15, 11, 0, 0)},
        {QDate(2024, 10, 27), QTime(1, 59, 59), u"2024-10-27 01:59:59", UtcSeconds(2024, 10, 26, 23, 59, 59)},
        {QDate(2024, 3, 31), QTime(3, 0, 0), u"2024-03-31 03:00:00", UtcSeconds(2024, 3, 31, 1, 0, 0)},
    };
    for (const row& r : rows) {
        const QString name = ToQString(r.text);
        const std::u16string text = Pick(full, r.date, r.time, QString());
        QVERIFY2(text == r.text, qPrintable(name + QStringLiteral(" gave ") + ToQString(text)));
        QVERIFY2(Parsed(text, full).payload == r.utc, qPrintable(name));
        // Opened again on its own text, the dialog shows the same moment and gives the same text.
        CValueInputDlg_DateTime again(full, text);
        QCOMPARE(Child<QDateEdit>(&again, CValueInputDlg_DateTime::kDateCtrl)->date(), r.date);
        QCOMPARE(Child<QTimeEdit>(&again, CValueInputDlg_DateTime::kTimeCtrl)->time(), r.time);
        QVERIFY(Pick(full, r.date, r.time, QString(), text) == text);
        // A time-only format returns only the time, the same in summer and in winter.
        QVERIFY2(Pick(Format(DATA_TYPE_DATETIME, u"H:M:S"), r.date, r.time, QString())
                     == ToQString(r.text).mid(11).toStdU16String(),
                 qPrintable(name));
    }
    // A wall-clock time the spring change skips reads as date-time parsing reads it.
    const std::u16string skipped = Pick(full, QDate(2024, 3, 31), QTime(2, 30, 0), QString());
    std::u16string library;
    QVERIFY(FormatDataValue(Parsed(u"2024-03-31 02:30:00", full), full, library));
    QVERIFY(skipped == library);
    QCOMPARE(ToQString(skipped), QStringLiteral("2024-03-31 03:30:00"));
}

void value_input_dlg_test::DateTime_ZeroButtonAndMilliseconds()
{
    SetDialogClock([] { return UtcSeconds(2024, 5, 6, 7, 8, 9); });
    scoped_zone zone("UTC0");
    const tagDATA_FORMAT format = Format(DATA_TYPE_DATETIME, u"d/b/Y H:M:S.s");
    CValueInputDlg_DateTime dialog(format, u"not a date");
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* time = Child<QTimeEdit>(&dialog, CValueInputDlg_DateTime::kTimeCtrl);
    auto* milliseconds = Child<QLineEdit>(&dialog, CValueInputDlg_DateTime::kMillisecondEdit);
    QCOMPARE(Child<QDateEdit>(&dialog, CValueInputDlg_DateTime::kDateCtrl)->date(), QDate(2024, 5, 6));
    QCOMPARE(time->time(), QTime(7, 8, 9));
    QCOMPARE(milliseconds->text(), QStringLiteral("0"));
    QTest::mouseClick(Child<QPushButton>(&dialog, CValueInputDlg_DateTime::kZeroButton), Qt::LeftButton);
    QCOMPARE(time->time(), QTime(0, 0, 0));
    milliseconds->setFocus();
    milliseconds->selectAll();
    QTest::keyClick(milliseconds, Qt::Key_Backspace);
    QCOMPARE(milliseconds->text(), QStringLiteral("0"));
    QCOMPARE(milliseconds->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(milliseconds, QStringLiteral("7x123"));
    QCOMPARE(milliseconds->text(), QStringLiteral("712"));
    milliseconds->selectAll();
    QTest::keyClicks(milliseconds, QStringLiteral("7"));
    QTest::keyClick(milliseconds, Qt::Key_Return);
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    tagDATA_VALUE expected;
    expected.payload = UtcSeconds(2024, 5, 6, 0, 0, 0);
    expected.milliseconds = 7;
    expected.valid = true;
    std::u16string library;
    QVERIFY(FormatDataValue(expected, format, library));
    QVERIFY(dialog.Text() == library);
    QCOMPARE(ToQString(dialog.Text()), QStringLiteral("06/May/2024 00:00:00.007"));
    // Milliseconds in the expression are taken over.
    CValueInputDlg_DateTime again(format, dialog.Text());
    QCOMPARE(Child<QLineEdit>(&again, CValueInputDlg_DateTime::kMillisecondEdit)->text(), QStringLiteral("7"));
}

void value_input_dlg_test::DateTime_MomentsOutsideTheYearsAreRefused()
{
    const tagDATA_FORMAT format = Format(DATA_TYPE_DATETIME, u"Y-m-d H:M:S");
    struct row {
        const char* zone;
        QDate date;
        QTime time;
        bool refused;
    };
    for (const row& r : {row{"CET-1", QDate(1970, 1, 1), QTime(0, 30, 0), true},
                         row{"CET-1", QDate(1970, 1, 1), QTime(1, 0, 0), false},
                         row{"EST5", QDate(3000, 12, 31), QTime(23, 0, 0), true},
                         row{"EST5", QDate(3000, 12, 31), QTime(18, 59, 59), false},
                         row{"UTC0", QDate(3000, 12, 31), QTime(23, 59, 59), false}}) {
        scoped_zone zone(r.zone);
        scripted_boxes boxes;
        const std::u16string text = Pick(format, r.date, r.time, QString());
        const QString name = QString::fromLatin1(r.zone) + QLatin1Char(' ') + r.date.toString() + r.time.toString();
        QVERIFY2((text == u"(refused)") == r.refused, qPrintable(name + ToQString(text)));
        QVERIFY2(boxes.shown.size() == (r.refused ? 1u : 0u), qPrintable(name));
        if (r.refused) {
            QVERIFY(boxes.shown[0].first == FromQString(Text(u"IDS_MSG_DATETIME_OUT_OF_RANGE")));
        } else {
            const QString expected = r.date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ')
                                     + r.time.toString(QStringLiteral("HH:mm:ss"));
            QVERIFY2(ToQString(text) == expected, qPrintable(name));
        }
    }
    // A format too long to write is refused with its own message.
    scoped_zone zone("UTC0");
    scripted_boxes boxes;
    const std::u16string text =
        Pick(Format(DATA_TYPE_DATETIME, std::u16string(150, u'%')), QDate(2024, 1, 1), QTime(0, 0, 0), QString());
    QVERIFY(text == u"(refused)");
    QCOMPARE(boxes.shown.size(), std::size_t{1});
    QVERIFY(boxes.shown[0].first == FromQString(Text(u"IDS_MSG_DATETIME_CANNOT_FORMAT")));
}

void value_input_dlg_test::Run_PicksTheDialogByDataType()
{
    QWidget owner;
    std::u16string expression = u"keep";
    QVERIFY(!RunValueInputDlg(Format(DATA_TYPE_TEXT), expression, &owner));
    QVERIFY(expression == u"keep");
    when_modal<CValueInputDlg_IPv4> ipv4([](CValueInputDlg_IPv4* dialog) {
        for (const char key : std::string("9.8.7.6"))
            QTest::keyClick(Focused(), key); // each key where the focus has moved to
        QTest::keyClick(Focused(), Qt::Key_Return);
        Q_UNUSED(dialog);
    });
    QVERIFY(RunValueInputDlg(Format(DATA_TYPE_IPV4), expression, &owner));
    QVERIFY(ipv4.Ran());
    QVERIFY(expression == u"9.8.7.6");
    when_modal<CValueInputDlg_Numeric> numeric([](CValueInputDlg_Numeric*) {
        QTest::keyClicks(Focused(), QStringLiteral("42"));
        QTest::keyClick(Focused(), Qt::Key_Escape);
    });
    QVERIFY(!RunValueInputDlg(Format(DATA_TYPE_NUMERIC), expression, &owner));
    QVERIFY(numeric.Ran());
    QVERIFY(expression == u"9.8.7.6");
}
