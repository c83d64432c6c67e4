#pragma once

#include <QObject>

// The file-scope bar's geometry without a widget: scope rules, layout,
// pixel-to-line mapping, drag segments, tooltip lines and the size text.
class file_scope_map_test : public QObject {
    Q_OBJECT
private slots:
    void SetScope_IgnoreRulesKeepThePreviousScope();
    void SetScope_ActiveOnlyWhenTheWindowDoesNotCoverTheFile();
    void Layout_SegmentAndDragWidthFollowTheTable();
    void PixelToLine_Table();
    void PixelToLine_RandomAgainstDirectComputation();
    void PixelToLine_NeverBeyondTheLastLineAndNeverDecreasing();
    void DragSegment_IsCutAtTheRightEdgeNotMovedLeft();
    void DragToTheFarRight_StartsOnTheLastColumnAndMapsToTheLastLine();
    void TooltipLines_DraggingInsideAndOutsideTheSegment();
    void TinyBar_NeitherDividesByZeroNorLeavesTheStrip();
    void FileSizeText_UnitsAndEmptyFile();
};
