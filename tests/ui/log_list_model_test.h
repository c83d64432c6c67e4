#pragma once

#include <QObject>

// The list's table model over a file's row source.
class log_list_model_test : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void ModelTester_AcceptsTheModelThroughRowAndColumnChanges();
    void Rows_FollowTheRowSourceRule();
    void Rows_CountChangesAtTheEndOnly();
    void Cells_A65535CharacterColumnShows65534();
    void Cells_RowOrColumnThatDoesNotExistIsEmpty();
    void Cells_SuspendedModelAnswersNothing();
    void Columns_InsertSetDeleteAndHeader();
};
