#pragma once

#include <QObject>
#include <QString>

// The status bar: part geometry from dialog units, the three texts, the
// encoding chooser in both cases and the file-scope bar in part 4.
class status_bar_test : public QObject {
    Q_OBJECT
public:
    explicit status_bar_test(QString scratch) : m_scratch(std::move(scratch)) {}

private slots:
    void Parts_EndAtMultiplesOfSixDialogUnits();
    void Parts_ChildrenFillTheirPartLessOnePixel();
    void Texts_ShowTotalFilteredAndSelected();
    void CutNote_ShowsWhileLinesAreCutAndNarrowsTheScopeBar();
    void BinaryNote_ShowsBesideTheCutNoteWithoutOverlap();
    void PackingNote_OpensPartFourBeforeTheOtherNotes();
    void EncodingChoice_Table();
    void EncodingBox_WithoutBom_SwitchesBetweenAnsiAndUtf8();
    void EncodingBox_WithBom_ShowsTheEncodingDisabled();
    void Picture_MainWindowWithAnActiveScopeBar();

private:
    QString m_scratch;
};
