#pragma once

#include <QObject>

// The date-time format entry: which typed characters it takes, how leaving
// it normalises the text, and that pasted text is normalised too.
class format_entry_test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void Typing_TakesOnlyLettersWhoseFieldIsFree();
    void Typing_ReplacingTheSelectionFreesItsFields();
    void Typing_RefusesCharactersAboveAsciiFromAnInputMethod();
    void Normalize_Table();
    void LeavingTheControl_SeparatesPastedLettersAndSelectsTheText();

private:
    int m_beeps = 0;
};
