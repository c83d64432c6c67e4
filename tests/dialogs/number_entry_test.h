#pragma once

#include <QObject>

// The number entry: its rules as key sequences typed into the control, the
// behaviour of the control's other keys and the mouse, and random sequences
// against a reference built on the C++ library's digit grouping.
class number_entry_test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void KeySequences_ShowTheTextAndBeepAsTheTableSays();
    void RandomSequences_AgreeWithTheReference();
    void Caret_StaysAtTheEndWhateverTheKeysAndClicks();
    void Paste_TypesEachCharacterAndBeepsOnce();
    void Keys_ForTheDialogPassThrough();

private:
    int m_beeps = 0;
};
