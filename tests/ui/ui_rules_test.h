#pragma once

#include <QObject>

// The widget-free parts of the main window: routing, key translation, the
// enabling rules, status and title texts, system error texts, message-box mapping.
class ui_rules_test : public QObject {
    Q_OBJECT
private slots:
    void Router_RoutesSingleIdsAndRanges();
    void Router_SingleIdWinsOverRange_LaterRegistrationReplaces();
    void Accelerators_TranslateTheSixteenKeysAndF1();
    void Accelerators_OtherModifierCombinations_AreNotTranslated();
    void EditFields_AreRecognised();
    void Toolbar_NoFile_OnlyOpenOptionsHelpEnabled();
    void Toolbar_WithFile_FollowsTheActiveTab();
    void Scrolling_DependsOnTheWindowEdges();
    void Menus_NoFile_EditOffersOnlyOptions();
    void Menus_WithFile_FollowTabsSelectionAndFlags();
    void StatusTexts_EmptyWithoutFile_CountsWithFile();
    void StatusTexts_CompressedFile_ShowsItsPackingAndNote();
    void WindowTitle_AppendsTheFileName();
    void ShortenedCellText_From70Characters_KeepsBothEnds();
    void SystemErrorText_KnownAndUnknownCodes();
    void MessageBoxMapping_IconsButtonsResults();
    void HistoryCombo_IsRefilledInOrderAndKeepsTheEditText();
    void GoToLine_EntriesAreLinesOfTheFileOrRefused();
};
