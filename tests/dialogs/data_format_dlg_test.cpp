#include "data_format_dlg_test.h"

#include "dialog_test_support.h"
#include "dialogs/data_format_dlg.h"
#include "dialogs/datetime_format_edit.h"
#include "dialogs/datetime_language_dlg.h"
#include "dialogs/dialog_parts.h"
#include "format/datetime.h"
#include "format/local_time.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <bit>
#include <cstdlib>

namespace {

constexpr int64_t kNow = 1710504000; // 2024-03-15 12:00:00 UTC, mid-month in every zone

tagDATA_FORMAT Numeric(uint8_t digits, bool separator)
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_NUMERIC;
    format.digit_count = digits;
    format.separator_1000 = separator;
    return format;
}

tagDATA_FORMAT DateTime(std::u16string pattern, std::u16string language = {})
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_DATETIME;
    format.format = std::move(pattern);
    format.language = std::move(language);
    return format;
}

// What the format library writes for the numeric example of the dialog.
std::u16string LibraryNumber(uint8_t digits, bool separator)
{
    tagDATA_VALUE value;
    value.valid = true;
    value.payload = digits == 0 ? 1234567 : std::bit_cast<int64_t>(1234567.123456789);
    std::u16string text;
    FormatDataValue(value, Numeric(digits, separator), text);
    return text;
}

// What the format library writes for the dialog's moment.
std::u16string LibraryNow(const std::u16string& pattern, const std::u16string& language)
{
    tagDATA_VALUE value;
    value.payload = kNow;
    value.valid = true;
    std::u16string text;
    FormatDataValue(value, DateTime(pattern, language), text);
    return text;
}

tagDATETIME_WORDS Words(const char* prefix)
{
    tagDATETIME_WORDS words;
    for (int m = 0; m < 12; ++m) {
        words.full_name[static_cast<std::size_t>(m)] = Wide(prefix) + u"full" + NumberText(m + 1);
        words.nick_name[static_cast<std::size_t>(m)] = Wide(prefix) + u"nick" + NumberText(m + 1);
    }
    words.am = Wide(prefix) + u"am";
    words.pm = Wide(prefix) + u"pm";
    return words;
}

std::vector<QString> BoxTexts(QComboBox* box)
{
    std::vector<QString> texts;
    for (int i = 0; i < box->count(); ++i)
        texts.push_back(box->itemText(i));
    return texts;
}

// Types a field's texts in the language editor: each text goes into the
// field with the focus, then Tab moves on, as a user fills the form.
void TypeFields(QDialog* editor, const std::vector<std::u16string>& texts)
{
    for (const std::u16string& text : texts) {
        QWidget* field = Focused();
        QVERIFY(field && editor->isAncestorOf(field));
        TypeText(field, ToQString(text));
        QTest::keyClick(field, Qt::Key_Tab);
    }
}

} // namespace

data_format_dlg_test::data_format_dlg_test() = default;
data_format_dlg_test::~data_format_dlg_test() = default;

void data_format_dlg_test::init()
{
    m_zone = std::make_unique<scoped_zone>("UTC0");
    SetDialogClock([] { return kNow; });
    SetDateTimeLanguages({});
}

void data_format_dlg_test::cleanup()
{
    m_zone.reset();
    SetDialogClock({});
    SetDateTimeLanguages({});
}

void data_format_dlg_test::Numeric_DigitCountTypedFollowsTheRulesAndTheExampleFollowsIt()
{
    // The design's own examples first.
    QCOMPARE(ToQString(NumericFormatExample(Numeric(2, true))), QStringLiteral("1,234,567.12"));
    QCOMPARE(ToQString(NumericFormatExample(Numeric(0, false))), QStringLiteral("1234567"));

    struct row {
        uint8_t start;
        const char* keys; // typed after selecting the field's text; '<' is Backspace
        const char* shown;
        uint8_t digits;
    };
    const std::vector<row> rows = {
        {0, "2", "2", 2},    {0, "20", "15", 15}, {3, "<", "0", 0},  {0, "16", "15", 15},
        {0, "15", "15", 15}, {0, "07", "7", 7},   {9, "<5", "5", 5}, {20, "", "15", 15},
        {4, "99", "15", 15}, {0, "1", "1", 1},    {2, "<<", "0", 0}, {0, "x-", "0", 0},
    };
    for (const row& r : rows) {
        const QString name = QStringLiteral("start %1, keys '%2'").arg(r.start).arg(QLatin1String(r.keys));
        for (const bool separator : {false, true}) {
            CDataFormatDlg_Numeric dialog(Numeric(r.start, separator));
            dialog.show();
            QVERIFY(Activate(&dialog));
            auto* digits = Child<QLineEdit>(&dialog, CDataFormatDlg_Numeric::kDigitCountEdit);
            digits->selectAll();
            for (const char* key = r.keys; *key; ++key) {
                if (*key == '<')
                    QTest::keyClick(digits, Qt::Key_Backspace);
                else
                    QTest::keyClick(digits, *key);
            }
            QVERIFY2(digits->text() == QLatin1String(r.shown),
                     qPrintable(name + QStringLiteral(": ") + digits->text()));
            if (QLatin1String(r.keys).endsWith(QLatin1Char('<')) && digits->text() == QLatin1String("0"))
                QVERIFY2(digits->selectedText() == QLatin1String("0"), qPrintable(name)); // cleared: "0" selected
            QCOMPARE(dialog.Format().digit_count, r.digits);
            QCOMPARE(ToQString(dialog.Example()), ToQString(LibraryNumber(r.digits, separator)));
            QCOMPARE(Child<QLineEdit>(&dialog, CDataFormatDlg_Numeric::kExampleEdit)->text(),
                     ToQString(LibraryNumber(r.digits, separator)));
        }
    }
    // The separator box refreshes the example at once, by click and by Space.
    CDataFormatDlg_Numeric dialog(Numeric(3, false));
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* separator = Child<QCheckBox>(&dialog, CDataFormatDlg_Numeric::kSeparatorCheck);
    QTest::mouseClick(separator, Qt::LeftButton);
    QCOMPARE(ToQString(dialog.Example()), ToQString(LibraryNumber(3, true)));
    QCOMPARE(ToQString(dialog.Example()), QStringLiteral("1,234,567.123"));
    QTest::keyClick(separator, Qt::Key_Space);
    QCOMPARE(ToQString(dialog.Example()), ToQString(LibraryNumber(3, false)));
}

void data_format_dlg_test::Numeric_OkWritesBackAndCancelKeepsTheFormat()
{
    QWidget owner;
    tagDATA_FORMAT format = Numeric(0, false);
    format.format = u"untouched";
    when_modal<CDataFormatDlg_Numeric> ok([](CDataFormatDlg_Numeric* dialog) {
        QWidget* digits = Focused();
        QCOMPARE(digits, Child<QWidget>(dialog, CDataFormatDlg_Numeric::kDigitCountEdit));
        QTest::keyClicks(digits, QStringLiteral("4"));
        QTest::keyClick(digits, Qt::Key_Tab);
        QTest::keyClick(Focused(), Qt::Key_Space); // the separator box
        QTest::keyClick(Focused(), Qt::Key_Return);
    });
    QVERIFY(RunDataFormatDlg(format, &owner));
    QVERIFY(ok.Ran());
    QCOMPARE(format.digit_count, uint8_t{4});
    QVERIFY(format.separator_1000);
    QCOMPARE(ToQString(format.format), QStringLiteral("untouched"));

    const tagDATA_FORMAT before = format;
    when_modal<CDataFormatDlg_Numeric> cancel([](CDataFormatDlg_Numeric* dialog) {
        QTest::keyClicks(Child<QWidget>(dialog, CDataFormatDlg_Numeric::kDigitCountEdit), QStringLiteral("9"));
        QTest::keyClick(Focused(), Qt::Key_Escape);
    });
    QVERIFY(!RunDataFormatDlg(format, &owner));
    QVERIFY(cancel.Ran());
    QVERIFY(format == before);

    tagDATA_FORMAT text;
    QVERIFY(!RunDataFormatDlg(text, &owner)); // text columns have no format dialog
}

void data_format_dlg_test::DateTime_ExampleChangesWithEachKeyAndTheLanguage()
{
    SetDateTimeLanguages({{u"Zulu", Words("z")}});
    CDataFormatDlg_DateTime dialog(DateTime(u""));
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* format = Child<QLineEdit>(&dialog, CDataFormatDlg_DateTime::kFormatEdit);
    auto* example = Child<QLineEdit>(&dialog, CDataFormatDlg_DateTime::kExampleEdit);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(format));
    QString typed;
    QStringList seen;
    for (const QChar key : QStringLiteral("d. B Y, h:M:S.s p")) {
        QTest::keyClick(format, key.toLatin1());
        typed += key;
        QCOMPARE(format->text(), typed);
        QCOMPARE(example->text(), ToQString(LibraryNow(FromQString(typed), u"")));
        seen << example->text();
    }
    seen.removeDuplicates();
    QVERIFY(seen.size() > 10); // it really changed with the keys
    // Choosing the language by keyboard uses its words at once.
    auto* language = Child<QComboBox>(&dialog, CDataFormatDlg_DateTime::kLanguageBox);
    QTest::keyClick(language, Qt::Key_Down);
    QCOMPARE(language->currentText(), QStringLiteral("Zulu"));
    QCOMPARE(example->text(), ToQString(LibraryNow(FromQString(typed), u"Zulu")));
    QVERIFY(example->text().contains(QStringLiteral("zfull3")));
    QVERIFY(example->text().contains(QStringLiteral("zpm")));
    // Removing a letter drops its field from the example, again as the library formats it.
    QTest::keyClick(format, Qt::Key_Backspace);
    QCOMPARE(example->text(), ToQString(LibraryNow(FromQString(format->text()), u"Zulu")));
}

void data_format_dlg_test::DateTime_LanguageBoxSelectsTheExactNameElseByPrefix()
{
    SetDateTimeLanguages(
        {{u"German", Words("G")}, {u"german", Words("g")}, {u"Deutsch (Schweiz)", Words("d")}, {u"ab", Words("a")}});
    const QString default_entry = Text(u"IDS_SPECIAL_DEFAULT");
    const std::vector<std::u16string> sorted = {u"ab", u"Deutsch (Schweiz)", u"German", u"german"};
    QVERIFY(LanguageEntryNames() == sorted);
    struct row {
        const char16_t* language;
        int entry; // in the box: 0 default, then the sorted names; -1 none
        const char16_t* ok_language;
    };
    const std::vector<row> rows = {
        {u"", 0, u""},
        {u"German", 3, u"German"},
        {u"german", 4, u"german"}, // names differ by case: each finds its own
        {u"GERM", 3, u"German"},   // no such name: the first entry it begins
        {u"Deutsch", 2, u"Deutsch (Schweiz)"},
        {u"(def", 0, u""},           // begins the default entry
        {u"Fran\u00E7ais", -1, u""}, // nothing fits: nothing selected, OK reads the default
        {u"AB", 1, u"ab"},
    };
    for (const row& r : rows) {
        const QString name = ToQString(r.language);
        std::vector<QString> texts = {default_entry};
        for (const std::u16string& entry : sorted)
            texts.push_back(ToQString(entry));
        QVERIFY2(FindLanguageEntry(texts, r.language) == r.entry, qPrintable(name));
        CDataFormatDlg_DateTime dialog(DateTime(u"d b Y", r.language));
        auto* box = Child<QComboBox>(&dialog, CDataFormatDlg_DateTime::kLanguageBox);
        QVERIFY(BoxTexts(box) == texts);
        QVERIFY2(box->currentIndex() == r.entry, qPrintable(name));
        dialog.show();
        QVERIFY(Activate(&dialog));
        QTest::keyClick(Focused(), Qt::Key_Return);
        QVERIFY2(dialog.result() == QDialog::Accepted, qPrintable(name));
        QVERIFY2(dialog.Format().language == r.ok_language, qPrintable(name));
    }
}

void data_format_dlg_test::DateTime_SetupAddsAGermanLanguageThatTheExampleUsesAtOnce()
{
    scripted_boxes boxes;
    QWidget owner;
    tagDATA_FORMAT format = DateTime(u"d. B Y");
    const std::vector<std::u16string> german = {u"Deutsch", u"vorm.", u"nachm.", //
                                                u"Januar",  u"Jan",   u"Februar",  u"Feb", u"M\u00E4rz", u"M\u00E4r",
                                                u"April",   u"Apr",   u"Mai",      u"Mai", u"Juni",      u"Jun",
                                                u"Juli",    u"Jul",   u"August",   u"Aug", u"September", u"Sep",
                                                u"Oktober", u"Okt",   u"November", u"Nov", u"Dezember",  u"Dez"};
    bool listed = false;
    QString example_after_setup;
    when_modal<CDataFormatDlg_DateTime> format_dialog([&](CDataFormatDlg_DateTime* dialog) {
        auto* example = Child<QLineEdit>(dialog, CDataFormatDlg_DateTime::kExampleEdit);
        QCOMPARE(example->text(), ToQString(LibraryNow(u"d. B Y", u"")));
        when_modal<CDateTimeLanguageDlg> list([&](CDateTimeLanguageDlg* languages) {
            when_modal<CDateTimeLanguageEditDlg> editor([&](CDateTimeLanguageEditDlg* edit) {
                TypeFields(edit, german);
                QTest::keyClick(Focused(), Qt::Key_Return);
            });
            QTest::mouseClick(Child<QPushButton>(languages, CDateTimeLanguageDlg::kAddButton), Qt::LeftButton);
            QVERIFY(editor.Ran());
            auto* table = Child<QTableWidget>(languages, CDateTimeLanguageDlg::kLanguageList);
            listed = table->rowCount() == 1 && table->item(0, 0)->text() == QStringLiteral("Deutsch")
                     && table->item(0, 1)->text() == QStringLiteral("[vorm./nachm.][Januar/Jan]");
            QTest::keyClick(Focused(), Qt::Key_Escape);
        });
        // Setup by its keyboard letter.
        auto* setup = Child<QPushButton>(dialog, CDataFormatDlg_DateTime::kSetupButton);
        const QKeySequence mnemonic = QKeySequence::mnemonic(setup->text());
        QVERIFY(!mnemonic.isEmpty());
        QTest::keySequence(dialog, mnemonic);
        QTRY_VERIFY_WITH_TIMEOUT(list.Ran(), kTestWaitMs); // a button's letter clicks it a moment later
        auto* language = Child<QComboBox>(dialog, CDataFormatDlg_DateTime::kLanguageBox);
        QCOMPARE(language->currentIndex(), 0); // the column's language stays chosen
        language->setFocus();
        QTest::keyClick(language, Qt::Key_Down);
        QCOMPARE(language->currentText(), QStringLiteral("Deutsch"));
        example_after_setup = example->text();
        QTest::keyClick(language, Qt::Key_Return);
    });
    QVERIFY(RunDataFormatDlg(format, &owner));
    QVERIFY(format_dialog.Ran());
    QVERIFY(listed);
    QVERIFY(boxes.shown.empty());
    QCOMPARE(example_after_setup, ToQString(LibraryNow(u"d. B Y", u"Deutsch")));
    QVERIFY(example_after_setup.contains(QStringLiteral(". M\u00E4rz 2024")));
    QCOMPARE(ToQString(format.language), QStringLiteral("Deutsch"));
    QCOMPARE(ToQString(format.format), QStringLiteral("d. B Y"));
    const auto table = DateTimeLanguages();
    QCOMPARE(table->size(), std::size_t{1});
    QVERIFY(table->at(u"Deutsch").full_name[2] == u"M\u00E4rz");
    QVERIFY(table->at(u"Deutsch").pm == u"nachm.");
}

void data_format_dlg_test::DateTime_SetupFollowsARenameAndFallsBackWhenTheLanguageIsGone()
{
    scripted_boxes boxes({IDYES});
    SetDateTimeLanguages({{u"Alt", Words("a")}, {u"Other", Words("o")}});
    CDataFormatDlg_DateTime dialog(DateTime(u"B", u"Alt"));
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* language = Child<QComboBox>(&dialog, CDataFormatDlg_DateTime::kLanguageBox);
    auto* example = Child<QLineEdit>(&dialog, CDataFormatDlg_DateTime::kExampleEdit);
    QCOMPARE(language->currentText(), QStringLiteral("Alt"));

    // Rename "Alt" to "Neu" in the list (Enter on its row edits it).
    when_modal<CDateTimeLanguageDlg> rename([](CDateTimeLanguageDlg* languages) {
        when_modal<CDateTimeLanguageEditDlg> editor([](CDateTimeLanguageEditDlg* edit) {
            QWidget* name = Child<QWidget>(edit, CDateTimeLanguageEditDlg::kNameEdit);
            QCOMPARE(QApplication::focusWidget(), name);
            QTest::keyClicks(name, QStringLiteral("Neu")); // replaces the selected name
            QTest::keyClick(name, Qt::Key_Return);
        });
        auto* table = Child<QTableWidget>(languages, CDateTimeLanguageDlg::kLanguageList);
        QTest::keyClick(table, Qt::Key_Return);
        QVERIFY(editor.Ran());
        QVERIFY(languages->Renames() == (std::vector<std::pair<std::u16string, std::u16string>>{{u"Alt", u"Neu"}}));
        languages->reject();
    });
    dialog.OnSetup();
    QVERIFY(rename.Ran());
    QCOMPARE(language->currentText(), QStringLiteral("Neu"));
    QCOMPARE(example->text(), ToQString(LibraryNow(u"B", u"Neu")));

    // Remove it: the default entry is chosen and the column's language emptied.
    when_modal<CDateTimeLanguageDlg> remove([](CDateTimeLanguageDlg* languages) {
        auto* table = Child<QTableWidget>(languages, CDateTimeLanguageDlg::kLanguageList);
        table->selectRow(0); // "Neu" sorts before "Other"
        QTest::keyClick(table, Qt::Key_Delete);
        languages->reject();
    });
    dialog.OnSetup();
    QVERIFY(remove.Ran());
    QCOMPARE(boxes.shown.size(), std::size_t{1});
    QVERIFY(boxes.shown[0].first == Filled(u"IDS_MSG_DO_YOU_WANT_TO_REMOVE_LANGUAGE", {u"Neu"}));
    QCOMPARE(boxes.shown[0].second, unsigned{MB_YESNO | MB_ICONQUESTION});
    QCOMPARE(language->currentIndex(), 0);
    QVERIFY(dialog.Format().language.empty());
    QCOMPARE(example->text(), ToQString(LibraryNow(u"B", u"")));
}

void data_format_dlg_test::DateTime_OkSeparatesAdjacentLetters()
{
    CDataFormatDlg_DateTime dialog(DateTime(u"d/b/Y", u""));
    dialog.show();
    QVERIFY(Activate(&dialog));
    auto* format = Child<CDateTimeFormatEdit>(&dialog, CDataFormatDlg_DateTime::kFormatEdit);
    format->setText(QStringLiteral("YmdHMS\u00E9")); // as pasted
    QTest::keyClick(format, Qt::Key_Return);
    QCOMPARE(dialog.result(), int{QDialog::Accepted});
    QCOMPARE(ToQString(dialog.Format().format), QStringLiteral("Y m d H M S"));
}
