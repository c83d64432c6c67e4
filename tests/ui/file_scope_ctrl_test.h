#pragma once

#include <QObject>
#include <QString>

// The file-scope bar widget: what it paints in each state, the drag and its
// notification, tooltips and their timers, the size text.
class file_scope_ctrl_test : public QObject {
    Q_OBJECT
public:
    explicit file_scope_ctrl_test(QString scratch) : m_scratch(std::move(scratch)) {}

private slots:
    void SizeText_KilobytesMegabytesAndEmpty();
    void FileInOneWindow_InactiveLeftAlignedNoTooltip();
    void Active_PaintsStripWindowAndMouseLine();
    void DarkPalette_StripAndWindowStayDarkUnderLightText();
    void Drag_ToTheFarRight_RequestsTheLastLine();
    void Drag_PressOutsideOrInactive_DoesNothing();
    void Drag_MovingUpdatesTheSegmentAndPaintsIt();
    void Tooltip_ShowsLinePreviewsAfterTheDelay();
    void Tooltip_ShowsMarkupInLinesAsPlainText();
    void Cursor_IsAHandOverTheActiveStrip();
    void Scope_IgnoredCallsKeepTheBar();

private:
    QString m_scratch;
};
