#include "language_dlg_test.h"

#include "dialog_test_support.h"
#include "dialogs/datetime_language_dlg.h"
#include "dialogs/dialog_parts.h"
#include "format/datetime.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <functional>

namespace {

language_fields Valid(const char* name)
{
    language_fields fields;
    fields.name = Wide(name);
    fields.am = u"vorm.";
    fields.pm = u"nachm.";
    for (int m = 0; m < 12; ++m) {
        fields.full_name[static_cast<std::size_t>(m)] = u"Monat" + NumberText(m + 1);
        fields.nick_name[static_cast<std::size_t>(m)] = u"M" + NumberText(m + 1);
    }
    return fields;
}

tagDATETIME_WORDS WordsOf(const language_fields& fields)
{
    return WordsFromFields(fields);
}

// The field widgets of an editor in field-number order.
std::vector<QLineEdit*> EditorFields(QWidget* editor)
{
    std::vector<QLineEdit*> fields = {Child<QLineEdit>(editor, CDateTimeLanguageEditDlg::kNameEdit),
                                      Child<QLineEdit>(editor, CDateTimeLanguageEditDlg::kAmEdit),
                                      Child<QLineEdit>(editor, CDateTimeLanguageEditDlg::kPmEdit)};
    for (int m = 1; m <= 12; ++m) {
        fields.push_back(Child<QLineEdit>(editor, CDateTimeLanguageEditDlg::FullNameId(m)));
        fields.push_back(Child<QLineEdit>(editor, CDateTimeLanguageEditDlg::NickNameId(m)));
    }
    return fields;
}

// Types fields into an editor by keys, each field emptied first.
void Type(QWidget* editor, const language_fields& fields)
{
    const std::vector<QLineEdit*> edits = EditorFields(editor);
    const std::vector<std::u16string> texts = [&] {
        std::vector<std::u16string> all = {fields.name, fields.am, fields.pm};
        for (int m = 0; m < 12; ++m) {
            all.push_back(fields.full_name[static_cast<std::size_t>(m)]);
            all.push_back(fields.nick_name[static_cast<std::size_t>(m)]);
        }
        return all;
    }();
    for (std::size_t i = 0; i < edits.size(); ++i) {
        edits[i]->selectAll();
        QTest::keyClick(edits[i], Qt::Key_Delete);
        TypeText(edits[i], ToQString(texts[i]));
    }
}

} // namespace

void language_dlg_test::init()
{
    SetDateTimeLanguages({});
}

void language_dlg_test::cleanup()
{
    SetDateTimeLanguages({});
}

void language_dlg_test::Editor_ChecksInOrderWithTheirMessagesAndFocus()
{
    SetDateTimeLanguages({{u"German", WordsOf(Valid("German"))}, {u"Other", WordsOf(Valid("Other"))}});
    struct row {
        const char* why;
        std::function<void(language_fields&)> change;
        bool edit_mode; // editing "German"
        std::u16string message;
        int focus; // field number, -1 for no change of focus
        bool accepted;
    };
    const std::u16string spaces = u"  \t ";
    const std::vector<row> rows = {
        {"valid", [](language_fields&) {}, false, {}, -1, true},
        {"empty name", [](language_fields& f) { f.name.clear(); }, false,
         FromQString(Text(u"IDS_MSG_INPUT_LANGUAGE_NAME")), LANGUAGE_FIELD_NAME, false},
        {"name of spaces", [&](language_fields& f) { f.name = spaces; }, false,
         FromQString(Text(u"IDS_MSG_INPUT_LANGUAGE_NAME")), LANGUAGE_FIELD_NAME, false},
        {"empty name before empty AM",
         [](language_fields& f) {
             f.name.clear();
             f.am.clear();
         },
         false, FromQString(Text(u"IDS_MSG_INPUT_LANGUAGE_NAME")), LANGUAGE_FIELD_NAME, false},
        {"existing name", [](language_fields& f) { f.name = u"German"; }, false,
         FromQString(Text(u"IDS_MSG_LANGUAGE_NAME_EXIST")), LANGUAGE_FIELD_NAME, false},
        {"existing name with blanks", [](language_fields& f) { f.name = u" German "; }, false,
         FromQString(Text(u"IDS_MSG_LANGUAGE_NAME_EXIST")), LANGUAGE_FIELD_NAME, false},
        {"name in other capitals", [](language_fields& f) { f.name = u"german"; }, false, {}, -1, true},
        {"own name when editing", [](language_fields& f) { f.name = u"German"; }, true, {}, -1, true},
        {"another's name when editing", [](language_fields& f) { f.name = u"Other"; }, true,
         FromQString(Text(u"IDS_MSG_LANGUAGE_NAME_EXIST")), LANGUAGE_FIELD_NAME, false},
        {"empty AM", [](language_fields& f) { f.am.clear(); }, false, FromQString(Text(u"IDS_MSG_INPUT_AM")),
         LANGUAGE_FIELD_AM, false},
        {"PM of spaces", [&](language_fields& f) { f.pm = spaces; }, false, FromQString(Text(u"IDS_MSG_INPUT_PM")),
         LANGUAGE_FIELD_PM, false},
        {"same AM and PM", [](language_fields& f) { f.pm = f.am; }, false, FromQString(Text(u"IDS_MSG_SAME_AM_PM")), -1,
         false},
        {"AM and PM differing in case", [](language_fields& f) { f.pm = u"VORM."; }, false, {}, -1, true},
        {"empty full name 5", [&](language_fields& f) { f.full_name[4] = spaces; }, false,
         Filled(u"IDS_MSG_EMPTY_FULLNAME", {u"5"}), FullNameField(5), false},
        {"empty abbreviated name 5", [](language_fields& f) { f.nick_name[4].clear(); }, false,
         Filled(u"IDS_MSG_EMPTY_NICKNAME", {u"5"}), NickNameField(5), false},
        {"month 3's full name empty before month 2's abbreviation",
         [](language_fields& f) {
             f.full_name[2].clear();
             f.nick_name[1].clear();
         },
         false, Filled(u"IDS_MSG_EMPTY_NICKNAME", {u"2"}), NickNameField(2), false},
        {"an empty name before equal names",
         [](language_fields& f) {
             f.full_name[1] = f.full_name[0];
             f.nick_name[11].clear();
         },
         false, Filled(u"IDS_MSG_EMPTY_NICKNAME", {u"12"}), NickNameField(12), false},
        {"same full names 2 and 1", [](language_fields& f) { f.full_name[1] = f.full_name[0]; }, false,
         Filled(u"IDS_MSG_SAME_FULLNAME", {u"2", u"1"}), FullNameField(2), false},
        {"same abbreviated names 9 and 3", [](language_fields& f) { f.nick_name[8] = f.nick_name[2]; }, false,
         Filled(u"IDS_MSG_SAME_NICKNAME", {u"9", u"3"}), NickNameField(9), false},
        {"both equal at 7 and 4: full name first",
         [](language_fields& f) {
             f.full_name[6] = f.full_name[3];
             f.nick_name[6] = f.nick_name[3];
         },
         false, Filled(u"IDS_MSG_SAME_FULLNAME", {u"7", u"4"}), FullNameField(7), false},
        {"equal only after trimming", [](language_fields& f) { f.full_name[10] = u"  " + f.full_name[5] + u" "; },
         false, Filled(u"IDS_MSG_SAME_FULLNAME", {u"11", u"6"}), FullNameField(11), false},
        {"names differing in case", [](language_fields& f) { f.full_name[1] = u"monat1"; }, false, {}, -1, true},
        {"abbreviation equal to another month's full name",
         [](language_fields& f) { f.nick_name[1] = f.full_name[0]; },
         false,
         {},
         -1,
         true},
    };
    for (const row& r : rows) {
        scripted_boxes boxes;
        language_fields fields = Valid("Neu");
        r.change(fields);
        std::unique_ptr<CDateTimeLanguageEditDlg> editor =
            r.edit_mode ? std::make_unique<CDateTimeLanguageEditDlg>(u"German", WordsOf(Valid("German")))
                        : std::make_unique<CDateTimeLanguageEditDlg>();
        editor->show();
        QVERIFY(Activate(editor.get()));
        Type(editor.get(), fields);
        QWidget* focused_before = EditorFields(editor.get()).back();
        focused_before->setFocus();
        QTest::keyClick(focused_before, Qt::Key_Return);
        if (r.accepted) {
            QVERIFY2(boxes.shown.empty(), r.why);
            QVERIFY2(editor->result() == QDialog::Accepted, r.why);
            language_fields expected = fields;
            QVERIFY2(CheckLanguageFields(expected, *DateTimeLanguages(), r.edit_mode ? u"German" : u"").Passed(),
                     r.why);
            QVERIFY2(editor->Name() == expected.name, r.why);
            QVERIFY2(editor->Words() == WordsOf(expected), r.why);
            continue;
        }
        QVERIFY2(boxes.shown.size() == 1, r.why);
        QVERIFY2(boxes.shown[0].first == r.message,
                 qPrintable(QString::fromLatin1(r.why) + QStringLiteral(": ") + ToQString(boxes.shown[0].first)));
        QCOMPARE(boxes.shown[0].second, unsigned{MB_OK | MB_ICONINFORMATION});
        QVERIFY2(editor->isVisible() && editor->result() != QDialog::Accepted, r.why);
        QWidget* expected_focus = r.focus < 0 ? focused_before : EditorFields(editor.get())[r.focus];
        QVERIFY2(QApplication::focusWidget() == expected_focus, r.why);
        // The check function says the same.
        language_fields again = fields;
        const language_check check = CheckLanguageFields(again, *DateTimeLanguages(), r.edit_mode ? u"German" : u"");
        QVERIFY2(check.message == r.message && check.field == r.focus, r.why);
    }
    // The table is never touched by the editor itself.
    QCOMPARE(DateTimeLanguages()->size(), std::size_t{2});
}

void language_dlg_test::Editor_LimitsTypingButKeepsLongerNamesItWasGiven()
{
    CDateTimeLanguageEditDlg editor;
    const std::vector<QLineEdit*> fields = EditorFields(&editor);
    const QString long_text(30, QLatin1Char('x'));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        QTest::keyClicks(fields[i], long_text);
        const int limit = i == 0 ? 20 : i < 3 ? 10 : 20;
        QCOMPARE(fields[i]->text().size(), qsizetype{limit});
    }

    // Words of 100 characters from a hand-edited file survive an edit untouched.
    language_fields wide = Valid("");
    wide.name = std::u16string(100, u'N');
    wide.am = std::u16string(100, u'a');
    wide.pm = std::u16string(100, u'p');
    for (int m = 0; m < 12; ++m) {
        wide.full_name[static_cast<std::size_t>(m)] = std::u16string(99, u'F') + static_cast<char16_t>(u'a' + m);
        wide.nick_name[static_cast<std::size_t>(m)] = std::u16string(99, u'n') + static_cast<char16_t>(u'a' + m);
    }
    SetDateTimeLanguages({{wide.name, WordsOf(wide)}});
    CDateTimeLanguageEditDlg edit(wide.name, WordsOf(wide));
    edit.show();
    QVERIFY(Activate(&edit));
    QCOMPARE(EditorFields(&edit)[5]->text().size(), qsizetype{100});
    QTest::keyClick(Focused(), Qt::Key_Return);
    QCOMPARE(edit.result(), int{QDialog::Accepted});
    QVERIFY(edit.Name() == wide.name);
    QVERIFY(edit.Words() == WordsOf(wide));
}

void language_dlg_test::List_AddsEditsRenamesAndRemovesThroughTheTable()
{
    scripted_boxes boxes;
    CDateTimeLanguageDlg list;
    list.show();
    QVERIFY(Activate(&list));
    auto* table = Child<QTableWidget>(&list, CDateTimeLanguageDlg::kLanguageList);
    auto* edit = Child<QPushButton>(&list, CDateTimeLanguageDlg::kEditButton);
    auto* remove = Child<QPushButton>(&list, CDateTimeLanguageDlg::kRemoveButton);
    QVERIFY(!edit->isEnabled() && !remove->isEnabled());

    // Rows: the table's order (code units), each with its example.
    const auto rows = [&] {
        std::vector<std::pair<QString, QString>> shown;
        for (int row = 0; row < table->rowCount(); ++row)
            shown.emplace_back(table->item(row, 0)->text(), table->item(row, 1)->text());
        return shown;
    };
    const auto expected_rows = [] {
        std::vector<std::pair<QString, QString>> expected;
        for (const auto& [name, words] : *DateTimeLanguages())
            expected.emplace_back(ToQString(name),
                                  QStringLiteral("[%1/%2][%3/%4]")
                                      .arg(ToQString(words.am), ToQString(words.pm), ToQString(words.full_name[0]),
                                           ToQString(words.nick_name[0])));
        return expected;
    };
    const auto add = [&](const char* name, bool ok) {
        when_modal<CDateTimeLanguageEditDlg> editor([name, ok](CDateTimeLanguageEditDlg* dialog) {
            language_fields fields = Valid(name);
            fields.am = Wide(name) + u"-am";
            Type(dialog, fields);
            QTest::keyClick(Focused(), ok ? Qt::Key_Return : Qt::Key_Escape);
        });
        QVERIFY(Activate(&list)); // as the user returns to it after the editor closed
        QTest::keySequence(&list,
                           QKeySequence::mnemonic(Child<QPushButton>(&list, CDateTimeLanguageDlg::kAddButton)->text()));
        QTRY_VERIFY_WITH_TIMEOUT(editor.Ran(), kTestWaitMs); // a button's letter clicks it a moment later
    };

    add("German", true);
    add("german", true); // another name: capitals differ
    add("Cancelled", false);
    QCOMPARE(DateTimeLanguages()->size(), std::size_t{2});
    QVERIFY(rows() == expected_rows());
    QCOMPARE(table->item(table->currentRow(), 0)->text(), QStringLiteral("german")); // the new row is selected
    QVERIFY(edit->isEnabled() && remove->isEnabled());

    // Rename "German" to "Deutsch" by double-clicking its row: one entry, under the new name.
    const tagDATETIME_WORDS german_words = DateTimeLanguages()->at(u"German");
    when_modal<CDateTimeLanguageEditDlg> rename([](CDateTimeLanguageEditDlg* dialog) {
        QCOMPARE(Child<QLineEdit>(dialog, CDateTimeLanguageEditDlg::kNameEdit)->text(), QStringLiteral("German"));
        QTest::keyClicks(Child<QLineEdit>(dialog, CDateTimeLanguageEditDlg::kNameEdit), QStringLiteral("Deutsch"));
        QTest::keyClick(Focused(), Qt::Key_Return);
    });
    const QRect german_row = table->visualItemRect(table->item(0, 0));
    QVERIFY(Activate(&list));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, german_row.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, german_row.center());
    QVERIFY(rename.Ran());
    QCOMPARE(DateTimeLanguages()->size(), std::size_t{2});
    QVERIFY(DateTimeLanguages()->count(u"German") == 0);
    QVERIFY(DateTimeLanguages()->at(u"Deutsch") == german_words);
    QVERIFY(list.Renames() == (std::vector<std::pair<std::u16string, std::u16string>>{{u"German", u"Deutsch"}}));
    QVERIFY(rows() == expected_rows());
    QCOMPARE(table->item(table->currentRow(), 0)->text(), QStringLiteral("Deutsch"));

    // Editing and cancelling changes nothing.
    const auto before = DateTimeLanguages();
    when_modal<CDateTimeLanguageEditDlg> cancelled([](CDateTimeLanguageEditDlg* dialog) {
        QTest::keyClicks(Child<QLineEdit>(dialog, CDateTimeLanguageEditDlg::kAmEdit), QStringLiteral("x"));
        QTest::keyClick(Focused(), Qt::Key_Escape);
    });
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return); // Enter on the list edits, it does not close the dialog
    QVERIFY(cancelled.Ran());
    QVERIFY(list.isVisible());
    QVERIFY(*DateTimeLanguages() == *before);

    // Remove asks; No keeps the language, Yes removes it and selects the row now in its place.
    table->selectRow(0);
    boxes.Answer(IDNO);
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(DateTimeLanguages()->size(), std::size_t{2});
    boxes.Answer(IDYES);
    QTest::keyClick(table, Qt::Key_Delete);
    QCOMPARE(boxes.shown.size(), std::size_t{2});
    for (const auto& [text, flags] : boxes.shown) {
        QVERIFY(text == Filled(u"IDS_MSG_DO_YOU_WANT_TO_REMOVE_LANGUAGE", {u"Deutsch"}));
        QCOMPARE(flags, unsigned{MB_YESNO | MB_ICONQUESTION});
    }
    QVERIFY(DateTimeLanguages()->count(u"Deutsch") == 0);
    QVERIFY(rows() == expected_rows());
    QCOMPARE(table->item(table->currentRow(), 0)->text(), QStringLiteral("german"));
    boxes.Answer(IDYES);
    QTest::mouseClick(remove, Qt::LeftButton);
    QVERIFY(DateTimeLanguages()->empty());
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(!edit->isEnabled() && !remove->isEnabled());

    QTest::keyClick(table, Qt::Key_Escape);
    QVERIFY(!list.isVisible());
}

void language_dlg_test::List_StartsUsableWhenTheLanguageFileDidNotLoad()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("datetime_words.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\"?>\n<languages>not ours</languages>\n");
    file.close();
    SetDateTimeLanguages({{u"stale", WordsOf(Valid("stale"))}});
    language_file_read how = language_file_read::whole;
    QVERIFY(!LoadDateTimeLanguages(FromQString(path), &how));
    QCOMPARE(how, language_file_read::unread);

    scripted_boxes boxes;
    CDateTimeLanguageDlg list;
    list.show();
    QVERIFY(Activate(&list));
    QCOMPARE(Child<QTableWidget>(&list, CDateTimeLanguageDlg::kLanguageList)->rowCount(), 0);
    when_modal<CDateTimeLanguageEditDlg> editor([](CDateTimeLanguageEditDlg* dialog) {
        Type(dialog, Valid("Deutsch"));
        QTest::keyClick(Focused(), Qt::Key_Return);
    });
    QTest::mouseClick(Child<QPushButton>(&list, CDateTimeLanguageDlg::kAddButton), Qt::LeftButton);
    QVERIFY(editor.Ran());
    QVERIFY(boxes.shown.empty());
    QVERIFY(DateTimeLanguages()->count(u"Deutsch") == 1);
}
