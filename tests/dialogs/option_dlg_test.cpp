#include "option_dlg_test.h"

#include "dialogs/color_picker.h"
#include "dialogs/datetime_format_edit.h"
#include "dialogs/numeric_edit.h"
#include "dialogs/option_dlg.h"
#include "platform/message_box.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

template <typename T> T* Child(QWidget* dialog, int id)
{
    return dialog->findChild<T*>(IdObjectName(id));
}

// Runs action on the next modal dialog of type T once it is open; cancels
// every dialog after five seconds so that a missing one fails rather than hangs.
template <typename T> void WhenOpen(std::function<void(T*)> action)
{
    auto* poll = new QTimer;
    auto* deadline = new QElapsedTimer;
    deadline->start();
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            delete deadline;
            action(dialog);
        } else if (deadline->elapsed() > 5000) {
            poll->stop();
            poll->deleteLater();
            delete deadline;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QDialog*>(w))
                    d->reject();
            }
        }
    });
    poll->start(10);
}

} // namespace

void option_dlg_test::init()
{
    m_messages.clear();
    SetMessagePresenter([this](const std::u16string& text, unsigned flags) {
        m_messages.emplace_back(text, flags);
        return IDOK;
    });
}

void option_dlg_test::cleanup()
{
    SetMessagePresenter({});
}

void option_dlg_test::Controls_CarryTheirIdsAndDictionaryTexts()
{
    COptionDlg dialog(option_values{});
    QCOMPARE(dialog.objectName(), IdObjectName(144));
    QCOMPARE(dialog.property("help_topic").toString(), QStringLiteral("options"));
    QCOMPARE(dialog.windowTitle(), Text(u"IDS_OPTIONDLG_TITLE"));
    QVERIFY(Child<QLineEdit>(&dialog, 1065));
    const std::vector<std::pair<int, std::u16string_view>> radios = {
        {1066, u"IDS_OPTIONDLG_RADIO_FILE_LOADING_MODE_HEAD"},
        {1067, u"IDS_OPTIONDLG_RADIO_FILE_LOADING_MODE_TAIL"},
        {1068, u"IDS_OPTIONDLG_RADIO_COLUMNSEP_SPACE"},
        {1069, u"IDS_OPTIONDLG_RADIO_COLUMNSEP_TAB"},
    };
    for (const auto& [id, key] : radios) {
        QRadioButton* radio = Child<QRadioButton>(&dialog, id);
        QVERIFY(radio);
        QCOMPARE(radio->text(), Text(key));
    }
    QCOMPARE(Child<QCheckBox>(&dialog, 1070)->text(), Text(u"IDS_OPTIONDLG_CHECK_TAIL_ON_REFRESH"));
    QCOMPARE(Child<QPushButton>(&dialog, 1)->text(), Text(u"IDS_WORD_OK"));
    QCOMPARE(Child<QPushButton>(&dialog, 2)->text(), Text(u"IDS_WORD_CANCEL"));
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    for (const std::u16string_view key : {std::u16string_view(u"IDS_OPTIONDLG_TEXT_MAX_LOADING_LINES"),
                                          std::u16string_view(u"IDS_OPTIONDLG_TEXT_FILE_LOADING_MODE"),
                                          std::u16string_view(u"IDS_OPTIONDLG_TEXT_COLUMNSEP"),
                                          std::u16string_view(u"IDS_OPTIONDLG_TEXT_STAR_NOTICE")}) {
        QVERIFY(!Text(key).isEmpty());
        QVERIFY2(labels.contains(Text(key)), qPrintable(ToQString(key)));
    }
    QVERIFY(labels.contains(QStringLiteral("(1 - 10,000,000)")));
}

void option_dlg_test::Start_ShowsTheSettingsValues()
{
    struct row {
        const char* name;
        unsigned to_save, in_force;
        bool tail_first, tail_on_refresh;
        std::u16string separator;
        bool tab;
    };
    const std::vector<row> rows = {
        {"defaults", 100000, 100000, true, true, u" ", false},
        {"head, tab, no tail", 5000, 100000, false, false, u"\t", true},
        {"another separator shows as tab", 7, 7, true, false, u";", true},
        {"two spaces are not a space", 1, 1, false, true, u"  ", true},
    };
    for (const row& r : rows) {
        app_settings settings;
        settings.max_loading_lines_to_save = r.to_save;
        settings.max_loading_lines = r.in_force;
        settings.load_tail_first = r.tail_first;
        settings.tail_on_refresh = r.tail_on_refresh;
        settings.column_separator = r.separator;
        COptionDlg dialog(OptionValuesFromSettings(settings));
        QVERIFY2(Child<QLineEdit>(&dialog, 1065)->text() == QString::number(r.to_save), r.name);
        QVERIFY2(Child<QRadioButton>(&dialog, r.tail_first ? 1067 : 1066)->isChecked(), r.name);
        QVERIFY2(!Child<QRadioButton>(&dialog, r.tail_first ? 1066 : 1067)->isChecked(), r.name);
        QVERIFY2(Child<QRadioButton>(&dialog, r.tab ? 1069 : 1068)->isChecked(), r.name);
        QVERIFY2(!Child<QRadioButton>(&dialog, r.tab ? 1068 : 1069)->isChecked(), r.name);
        QVERIFY2(Child<QCheckBox>(&dialog, 1070)->isChecked() == r.tail_on_refresh, r.name);
    }
}

void option_dlg_test::Ok_ChecksTheMaximumAsTheTableSays()
{
    const std::u16string not_integer = u"Enter an integer.";
    const std::u16string out_of_range = u"Enter an integer between 1 and 10000000.";
    struct row {
        QString text;
        bool accepted;
        unsigned value;
        std::u16string message;
    };
    const std::vector<row> rows = {
        {QStringLiteral("0"), false, 0, out_of_range},
        {QStringLiteral("1"), true, 1, {}},
        {QStringLiteral("100000"), true, 100000, {}},
        {QStringLiteral("10000000"), true, 10000000, {}},
        {QStringLiteral("10000001"), false, 0, out_of_range},
        {QStringLiteral("4294967297"), false, 0, out_of_range},
        {QStringLiteral("99999999999999999999999"), false, 0, out_of_range},
        {QStringLiteral("0007"), true, 7, {}},
        {QString(), false, 0, not_integer},
    };
    for (const row& r : rows) {
        m_messages.clear();
        option_values start;
        start.max_loading_lines = 123;
        COptionDlg dialog(start);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit* edit = Child<QLineEdit>(&dialog, 1065);
        edit->setText(r.text);
        QTest::mouseClick(Child<QPushButton>(&dialog, 1), Qt::LeftButton);
        const QString name = QStringLiteral("'%1'").arg(r.text);
        if (r.accepted) {
            QVERIFY2(m_messages.empty(), qPrintable(name));
            QVERIFY2(dialog.result() == QDialog::Accepted && !dialog.isVisible(), qPrintable(name));
            QCOMPARE(dialog.Values().max_loading_lines, r.value);
        } else {
            QVERIFY2(m_messages.size() == 1, qPrintable(name));
            QVERIFY2(m_messages[0].first == r.message, qPrintable(name + ToQString(m_messages[0].first)));
            QCOMPARE(m_messages[0].second, unsigned{MB_OK | MB_ICONWARNING});
            QVERIFY2(dialog.isVisible(), qPrintable(name));
            QCOMPARE(dialog.Values().max_loading_lines, 123u);
            QCOMPARE(edit->selectedText(), edit->text());
        }
        unsigned value = 0;
        QCOMPARE(CheckMaxLoadingLines(r.text, value) == loading_lines_check::ok, r.accepted);
    }
    // The field takes digits only; checked text with blanks or signs is still refused.
    unsigned value = 5;
    QCOMPARE(CheckMaxLoadingLines(QStringLiteral(" 42 "), value), loading_lines_check::ok);
    QCOMPARE(value, 42u);
    QCOMPARE(CheckMaxLoadingLines(QStringLiteral("-5"), value), loading_lines_check::not_an_integer);
    QCOMPARE(CheckMaxLoadingLines(QStringLiteral("4x"), value), loading_lines_check::not_an_integer);
    QCOMPARE(value, 42u);
    COptionDlg dialog(option_values{});
    QLineEdit* edit = Child<QLineEdit>(&dialog, 1065);
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("-1a2"));
    QCOMPARE(edit->text(), QStringLiteral("12"));
}

void option_dlg_test::Ok_ByEnterInTheField()
{
    COptionDlg dialog(option_values{});
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QLineEdit* edit = Child<QLineEdit>(&dialog, 1065);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("2500"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    QCOMPARE(dialog.Values().max_loading_lines, 2500u);
}

void option_dlg_test::Apply_StoresTheFourValuesAndReportsChanges()
{
    app_settings settings;
    settings.max_loading_lines = 100000;
    settings.max_loading_lines_to_save = 100000;
    option_values values = OptionValuesFromSettings(settings);
    option_changes changes = ApplyOptionValues(settings, values);
    QVERIFY(!changes.Any());

    values.max_loading_lines = 42;
    values.load_tail_first = false;
    values.tab_separator = true;
    values.tail_on_refresh = false;
    changes = ApplyOptionValues(settings, values);
    QVERIFY(changes.max_loading_lines && changes.load_tail_first && changes.column_separator
            && changes.tail_on_refresh);
    QCOMPARE(settings.max_loading_lines_to_save, 42u);
    QCOMPARE(settings.max_loading_lines, 100000u); // in force until the next start
    QVERIFY(!settings.load_tail_first);
    QCOMPARE(settings.column_separator, std::u16string(u"\t"));
    QVERIFY(!settings.tail_on_refresh);

    values.tab_separator = false;
    changes = ApplyOptionValues(settings, values);
    QVERIFY(changes.column_separator && !changes.max_loading_lines && !changes.load_tail_first);
    QCOMPARE(settings.column_separator, std::u16string(u" "));
}

void option_dlg_test::Run_OkStoresAndCancelKeepsTheSettings()
{
    app_settings settings;
    QWidget owner;
    WhenOpen<COptionDlg>([](COptionDlg* dialog) {
        Child<QLineEdit>(dialog, 1065)->setText(QStringLiteral("250000"));
        Child<QRadioButton>(dialog, 1066)->click();
        Child<QRadioButton>(dialog, 1069)->click();
        Child<QPushButton>(dialog, 1)->click();
    });
    option_changes changes = RunOptionDlg(settings, &owner);
    QVERIFY(changes.max_loading_lines && changes.load_tail_first && changes.column_separator);
    QVERIFY(!changes.tail_on_refresh);
    QCOMPARE(settings.max_loading_lines_to_save, 250000u);
    QCOMPARE(settings.max_loading_lines, 100000u);
    QVERIFY(!settings.load_tail_first);
    QCOMPARE(settings.column_separator, std::u16string(u"\t"));

    const app_settings before = settings;
    WhenOpen<COptionDlg>([](COptionDlg* dialog) {
        Child<QLineEdit>(dialog, 1065)->setText(QStringLiteral("7"));
        Child<QCheckBox>(dialog, 1070)->click();
        Child<QPushButton>(dialog, 2)->click();
    });
    changes = RunOptionDlg(settings, &owner);
    QVERIFY(!changes.Any());
    QCOMPARE(settings.max_loading_lines_to_save, before.max_loading_lines_to_save);
    QCOMPARE(settings.tail_on_refresh, before.tail_on_refresh);
    QVERIFY(m_messages.empty());
}

void option_dlg_test::Picture_OfTheDialog()
{
    COptionDlg dialog(option_values{});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage image = dialog.grab().toImage();
    QVERIFY(image.width() > 200 && image.height() > 150);
    Save(image, QStringLiteral("options_dialog.png"));
}

void option_dlg_test::Picture_OfTheInputControls()
{
    QWidget form;
    auto* layout = new QFormLayout(&form);
    auto* number = new CNumericEdit(false, true);
    auto* integer = new CNumericEdit(true, true);
    auto* format = new CDateTimeFormatEdit;
    format->setText(QStringLiteral("d/b/Y H:M:S"));
    auto* colours = new QHBoxLayout;
    for (const uint32_t colour : {0x0000FFFFu, 0x00FF8000u, 0x000000C0u}) {
        auto* picker = new CFGColorPicker;
        picker->SetColor(colour);
        colours->addWidget(picker);
    }
    colours->addStretch(1);
    layout->addRow(QStringLiteral("Decimal"), number);
    layout->addRow(QStringLiteral("Integer"), integer);
    layout->addRow(QStringLiteral("Format"), format);
    layout->addRow(QStringLiteral("Colours"), colours);
    form.resize(360, 160);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(number, QStringLiteral("-1234567.25"));
    QTest::keyClicks(integer, QStringLiteral("9876543"));
    QCOMPARE(number->text(), QStringLiteral("-1,234,567.25"));
    QCOMPARE(integer->text(), QStringLiteral("9,876,543"));
    Save(form.grab().toImage(), QStringLiteral("input_controls.png"));
}

void option_dlg_test::Save(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariableIsSet("VARNOTH_UI_SCREENSHOT_DIR")
                               ? qEnvironmentVariable("VARNOTH_UI_SCREENSHOT_DIR")
                               : m_scratch;
    QDir().mkpath(folder);
    if (!image.save(QDir(folder).filePath(name), "PNG"))
        QFAIL("the picture was not written");
}
