#pragma once

#include <QObject>

#include <memory>

class scoped_zone;

// The numeric and date-time data-format dialogs: the digit-count rules and
// the live examples (checked against the format library's own output), the
// language box and its selection, Setup with the language dialogs, and what
// OK and Cancel hand back.
class data_format_dlg_test : public QObject {
    Q_OBJECT
public:
    data_format_dlg_test();
    ~data_format_dlg_test() override;

private slots:
    void init();
    void cleanup();

    void Numeric_DigitCountTypedFollowsTheRulesAndTheExampleFollowsIt();
    void Numeric_OkWritesBackAndCancelKeepsTheFormat();
    void DateTime_ExampleChangesWithEachKeyAndTheLanguage();
    void DateTime_LanguageBoxSelectsTheExactNameElseByPrefix();
    void DateTime_SetupAddsAGermanLanguageThatTheExampleUsesAtOnce();
    void DateTime_SetupFollowsARenameAndFallsBackWhenTheLanguageIsGone();
    void DateTime_OkSeparatesAdjacentLetters();

private:
    std::unique_ptr<scoped_zone> m_zone;
};
