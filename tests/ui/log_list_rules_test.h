#pragma once

#include <QObject>

// The list's widget-free rules: the window move of a key at the edges, row
// ranges, and the text of a cell.
class log_list_rules_test : public QObject {
    Q_OBJECT
private slots:
    void WindowMoveDistance_Table();
    void MergeAndComplement_MatchABitmapReference();
    void CellView_MissingRowsAndColumnsAreEmpty();
    void CellView_CutsAt65534Characters();
    void CellView_ColumnOutsideItsLineIsEmpty();
    void CutMark_MarksTheCellWhereACutLinesTextEnds();
    void ColorValue_RoundTripsAndOrdersChannels();
};
