#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <string>
#include <vector>

// The options dialog: its controls and texts, how it starts from the
// settings, the check of the maximum on OK, and what OK and Cancel store.
class option_dlg_test : public QObject {
    Q_OBJECT
public:
    explicit option_dlg_test(QString scratch) : m_scratch(std::move(scratch)) {}

private slots:
    void init();
    void cleanup();

    void Controls_CarryTheirIdsAndDictionaryTexts();
    void Start_ShowsTheSettingsValues();
    void Ok_ChecksTheMaximumAsTheTableSays();
    void Ok_ByEnterInTheField();
    void Apply_StoresTheFourValuesAndReportsChanges();
    void Run_OkStoresAndCancelKeepsTheSettings();
    void Picture_OfTheDialog();
    void Picture_OfTheInputControls();

private:
    void Save(const QImage& image, const QString& name);

    QString m_scratch;
    std::vector<std::pair<std::u16string, unsigned>> m_messages;
};
