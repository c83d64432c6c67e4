#pragma once

#include <QObject>

// What the list paints: the colours of normal, selected, focused, search-hit
// and rule cells, the frame on marked cells of selected rows, the grid, the
// text's margins and its cut, and a picture of a real file.
class log_list_paint_test : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void Frame_MarkedCellsOfSelectedRowsGetAHighlightFrame();
    void Colors_NormalSelectedWithAndWithoutFocusSearchAndRules();
    void ListText_OverALightBackOfADarkTheme_TurnsDark();
    void Text_StartsSixPixelsInTwoInTheFirstColumnVerticallyCentred();
    void Text_CutCellsMatchTheWholeTextElided();
    void CutLine_EndsInTheCutMarkAndItsTooltipGivesTheLength();
    void RedrawOff_ShowsTheRowsAsTheyWereNeverBlankCells();
    void Screenshot_SampleFileWithRulesAndASelection();
};
