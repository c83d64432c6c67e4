#pragma once

#include <QObject>

// The list control: columns, selection, the selection kinds, the window-move
// keys, the row search, the row count and the popup's clicked cell.
class log_list_ctrl_test : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void Columns_WidthIsTenPixelsPlusTheNameAndFitSamplesTheRowsInView();
    void Invert_ThreeOfTenSelectsTheOtherSevenWithOneNotification();
    void Invert_NoneAllAndRandomSelectionsMatchTheComplement();
    void SelectRow_SelectsOnlyThatRowMarksAndShowsIt();
    void SelectionKinds_KeepFocusFirstFocusLastSelectRow();
    void Keys_UpOnTheFirstRowAsksForMinusOne();
    void Keys_DownAndPagesAtTheEdgesAskForTheirDistance();
    void Keys_InsideTheWindowMoveTheFocusWithoutARequest();
    void FindRow_MatchesAPlainScanReference();
    void FindRow_EdgeCases();
    void RowCount_ChangesWithoutScrollingOrLosingTheSelection();
    void HitTest_AndTheContextMenuCarryTheClickedCell();
    void Redraw_OffReadsNoRows();
    void ToolTip_ShowsTheWholeTextOfACutCellOnly();
    void Header_DraggedColumnsKeepTheirCellsAndNumbers();
    void Font_RowsFollowTheFontInheritedFromTheWindow();
    void Keys_LeftAndRightScrollSidewaysAndRowsKeepTheSidewaysPosition();
};
