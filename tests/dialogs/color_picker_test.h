#pragma once

#include <QObject>

// The colour swatch: painting, which actions open the colour dialog, and
// that only OK changes the colour and notifies the owner.
class color_picker_test : public QObject {
    Q_OBJECT
private slots:
    void Swatch_PaintsItsColourInsideAShadowFrame();
    void Cancel_ChangesNothingAndNotifiesNobody();
    void Ok_TakesTheColourAndNotifiesOnce();
    void Opening_OnlyByALeftReleaseOverItOrSpace();
    void StandardDialog_AnsweredOkAndCancel();
};
