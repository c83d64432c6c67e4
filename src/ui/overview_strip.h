// The match overview strip beside a tab's list: per pixel row, whether the
// part of the whole file it stands for holds results (match_overview_map
// over the indexed line count), drawn in the palette's colours; a click
// asks for the window to move to that row's line.
//
// Thread-safety: interface thread only; the results may grow meanwhile.
#pragma once

#include "ui/match_overview_map.h"

#include <QWidget>

#include <cstdint>

class file_view;

class COverviewStrip : public QWidget {
    Q_OBJECT
public:
    explicit COverviewStrip(QWidget* parent = nullptr);

    void SetFile(file_view* file) { m_file = file; update(); }
    // The geometry as of the last paint or Sync (rows: the strip's height).
    const match_overview_map& Map() const { return m_map; }
    // Takes the file's line count and the strip's height into the map.
    void Sync();

    QSize sizeHint() const override;

    static constexpr int kWidth = 10;

signals:
    // A click at a row that stands for line (from 0).
    void LineClicked(int64_t line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    file_view* m_file = nullptr;
    match_overview_map m_map;
};
