#pragma once

#include <QObject>

// What every data-format, language and value-input dialog shares: its id,
// title and help page, Enter for OK and Esc for Cancel, keyboard letters of
// its own that reach their fields, its tab order, and a layout that fits its
// texts at normal and at double size.
class dialog_conventions_test : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void Mnemonics_PickDistinctLettersWordStartsFirst();
    void EveryDialog_CarriesItsIdTitleAndHelpPage();
    void EveryDialog_EnterIsOkAndEscIsCancel();
    void EveryDialog_LettersAreDistinctAndReachTheirFields();
    void EveryDialog_TabVisitsTheFieldsInReadingOrder();
    void EveryDialog_FitsItsTextsAtNormalAndDoubleSize();
};
