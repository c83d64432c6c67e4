#pragma once

#include <QObject>

// The progress dialog on its own: what it shows for one file and several,
// the position bar's two styles, Cancel, and how it ends.
class progress_dlg_test : public QObject {
    Q_OBJECT
private slots:
    void OneFile_NoFilesBarCounterOneOfOneNoCancel();
    void SeveralFiles_FilesBarFollowsTheFileNumber();
    void PositionBar_SwitchesBetweenMovingAndRange();
    void NoRecord_EmptyTextsAndZeroCounter();
    void Cancel_PressedTwice_SetsTheEventOnceAndDisablesItself();
    void Cancel_EscapeAndCloseBoxDoNotCloseTheDialog();
    void NotCancellable_EscapeDoesNothing();
    void End_EndsExecWithItsResult();
};
