#pragma once

#include <QObject>

// The parser editor and the parser manager: the column tree and its checks,
// the escapes of start and end texts, the test line against a split made
// here by hand, and the manager's list with the parser files it writes at
// once, over a host that stands for the open files.
class parser_dlg_test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void Editor_EscapesAreShownAndStoredBothWays();
    void Editor_NewColumnsAreNumberedAndOkFollowsTheColumnCount();
    void Editor_DuplicateLeafNamesAreRefusedAndGroupsMayShareAName();
    void Editor_NameCharactersAreRefused();
    void Editor_EndTextIsNeededPerLevelExceptOnTheLast();
    void Editor_TestLineSplitsAPackageLogLineLikeAPlainCut();
    void Editor_TestMessagesAndTheFailedTestQuestion();
    void Manager_DuplicateNumbersTheCopies();
    void Manager_AddingANameDifferingInCaseReplacesThatParser();
    void Manager_EditingAParserInUseAsksFirst();
    void Manager_RemoveAsksAndClosesTheUsers();
    void Manager_AReadOnlyParserFileIsReportedAndTheListKeepsTheParser();
    void Manager_RenameInPlaceChecksTheNameAndMovesTheFile();
    void Manager_SuggestFillsTheEditorWithTheSplitShare();
};
