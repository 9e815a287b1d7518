// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/model_fit_window.h"
#include "settings/settings_store.h"
#include "support/message_recorder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;

class TestModelFitWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init() { SetSettingsFile(m_dir.filePath(QStringLiteral("settings.ini"))); }
    void cleanupTestCase() { SetSettingsFile(QString()); }
    void fitsOffTheWindowThreadAndSaves();
};

// The sample day: the tables as the command prints them, nothing stored
// until 設定に保存, then the fitted values.
void TestModelFitWindow::fitsOffTheWindowThreadAndSaves()
{
    MessageRecorder recorder;
    ModelFitWindow window;
    window.folderEdit()->setText(QStringLiteral(MINUKURU_SAMPLE_DIR));
    QSignalSpy done(&window, &ModelFitWindow::fitDone);
    QVERIFY(window.start());
    QVERIFY(!window.start());
    QVERIFY(done.wait(60000));
    const Backtest::FitReport *report = window.report();
    QVERIFY(report);
    QCOMPARE(report->fit.races, 26);
    auto *estimates = window.findChild<QTableWidget *>(QStringLiteral("grdFitEstimates"));
    QCOMPARE(estimates->rowCount(), 3);
    QCOMPARE(estimates->item(0, 1)->text(), Backtest::FitEstimateText(report->fit.lambda2));
    QCOMPARE(estimates->item(0, 2)->text(), QStringLiteral("0.81"));
    QCOMPARE(window.findChild<QTableWidget *>(QStringLiteral("grdFitHoldout"))->rowCount(), 3);
    QCOMPARE(Settings::DiscountLambda2().get(), 0.81);

    auto *save = window.findChild<QPushButton *>(QStringLiteral("btnSaveFit"));
    QVERIFY(save->isEnabled());
    save->click();
    QCOMPARE(Settings::DiscountLambda2().get(), report->fit.lambda2.value);
    QCOMPARE(Settings::DiscountLambda3().get(), report->fit.lambda3.value);
    QCOMPARE(Settings::WinPowerExponent().get(), report->fit.power.value);
    QCOMPARE(estimates->item(0, 2)->text(), ModelRealText(report->fit.lambda2.value));
    QVERIFY(recorder.messages.isEmpty());

    // A folder without races: nothing to save.
    window.folderEdit()->setText(m_dir.path());
    QVERIFY(window.start());
    QVERIFY(done.wait(60000));
    QVERIFY(!save->isEnabled());
}

QTEST_MAIN(TestModelFitWindow)
#include "test_model_fit_window.moc"
