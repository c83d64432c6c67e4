#pragma once

#include <QObject>

// The value-input dialogs: the number entry set by the column's format, the
// IPv4 address control, and the date-time dialog's controls, zero button,
// milliseconds and its local-time round trip across daylight saving time.
// Every returned text is checked against the format library.
class value_input_dlg_test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void Numeric_TitleAndEntryFollowTheColumnFormat();
    void IPv4_PresetTypedClampedAndPasted();
    void DateTime_ControlsFollowTheFormatFields();
    void DateTime_SummerAndWinterRoundTripInADaylightSavingZone();
    void DateTime_ZeroButtonAndMilliseconds();
    void DateTime_MomentsOutsideTheYearsAreRefused();
    void Run_PicksTheDialogByDataType();
};
