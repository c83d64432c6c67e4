#pragma once

#include <QObject>

// The match overview strip's geometry without a widget: lines to rows and
// back, the rows that hold results, and where a click moves to.
class match_overview_map_test : public QObject {
    Q_OBJECT
private slots:
    void LineToRow_Table();
    void RowLines_Table();
    void RowToLine_Table();
    void RowsPartitionTheLinesInOrder_RandomShapes();
    void MarkedRows_EqualTheRowsOfTheResults_RandomResults();
};
