// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/model_fit_window.h"

#include "common/messages.h"
#include "common/ui/gui_support.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace CommonFunc;

namespace {

QTableWidget *newTable(const QString &name)
{
    auto *table = new QTableWidget;
    table->setObjectName(name);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->setSelectionMode(QAbstractItemView::NoSelection);
    // A row a line high: the tables are short and should show whole.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->verticalHeader()->setMinimumSectionSize(1);
    return table;
}

void fill(QTableWidget *widget, const Backtest::ReportTable &table)
{
    const int columns = int(table.heads.isEmpty() ? table.rows.value(0).size() : table.heads.size());
    widget->clear();
    widget->setColumnCount(columns);
    widget->setRowCount(int(table.rows.size()));
    widget->horizontalHeader()->setVisible(!table.heads.isEmpty());
    if (!table.heads.isEmpty())
        widget->setHorizontalHeaderLabels(table.heads);
    for (int r = 0; r < int(table.rows.size()); ++r) {
        for (int c = 0; c < columns && c < int(table.rows[r].size()); ++c) {
            auto *item = new QTableWidgetItem(table.rows[r][c]);
            item->setTextAlignment(c < table.keyColumns ? Qt::AlignLeft | Qt::AlignVCenter
                                                        : Qt::AlignRight | Qt::AlignVCenter);
            widget->setItem(r, c, item);
        }
    }
    widget->resizeColumnsToContents();
}

const WinProbabilityMethod kMethods[] = {WinProbabilityMethod::Normalised, WinProbabilityMethod::Power,
                                         WinProbabilityMethod::Shin};

} // namespace

ModelFitWindow::ModelFitWindow(QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("frmModelFit"));
    setWindowTitle(QStringLiteral(u"理論値ﾓﾃﾞﾙ推定"));
    m_folder = new QLineEdit(GetPatFolder());
    m_folder->setObjectName(QStringLiteral("txtFolder"));
    auto *browse = new QPushButton(QStringLiteral(u"参照..."));
    m_subfolders = new QCheckBox(QStringLiteral(u"サブフォルダも"));
    m_method = new QComboBox;
    m_method->setObjectName(QStringLiteral("cmbFitWinProbability"));
    m_method->addItems({QStringLiteral(u"正規化"), QStringLiteral(u"べき乗"), QStringLiteral(u"Shin")});
    m_start = new QPushButton(QStringLiteral(u"推定開始"));
    m_cancel = new QPushButton(QStringLiteral(u"中止"));
    m_cancel->setEnabled(false);
    m_save = new QPushButton(QStringLiteral(u"設定に保存"));
    m_save->setObjectName(QStringLiteral("btnSaveFit"));
    m_save->setEnabled(false);
    auto *close = new QPushButton(QStringLiteral(u"閉じる"));
    m_progress = new QProgressBar;
    m_status = new QLabel;
    m_counts = newTable(QStringLiteral("grdFitCounts"));
    m_estimates = newTable(QStringLiteral("grdFitEstimates"));
    m_holdout = newTable(QStringLiteral("grdFitHoldout"));

    auto *layout = new QVBoxLayout(this);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral(u"フォルダ")));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    layout->addLayout(folderRow);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(m_subfolders);
    runRow->addWidget(new QLabel(QStringLiteral(u"λ2・λ3 の勝率")));
    runRow->addWidget(m_method);
    runRow->addStretch(1);
    runRow->addWidget(m_start);
    runRow->addWidget(m_cancel);
    layout->addLayout(runRow);
    layout->addWidget(m_progress);
    layout->addWidget(new QLabel(QStringLiteral(u"件数")));
    layout->addWidget(m_counts, 1);
    layout->addWidget(new QLabel(QStringLiteral(u"最尤推定")));
    layout->addWidget(m_estimates, 1);
    layout->addWidget(
        new QLabel(QStringLiteral(u"検証 (5ﾚｰｽ毎に1ﾚｰｽを除いて推定し、除いたﾚｰｽの1-3着で評価: 大きいほど良い)")));
    layout->addWidget(m_holdout, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_save);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(browse, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral(u"フォルダの選択"),
                                                                 m_folder->text());
        if (!folder.isEmpty())
            m_folder->setText(QDir::toNativeSeparators(folder));
    });
    connect(m_start, &QPushButton::clicked, this, [this] { start(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
    connect(m_save, &QPushButton::clicked, this, [this] { saveToOptions(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

ModelFitWindow::~ModelFitWindow()
{
    m_cancelled = true;
    join();
    if (m_opened && !isMinimized())
        Gui::storePlacement(this, Section::modelFitWindow());
}

void ModelFitWindow::showEvent(QShowEvent *event)
{
    if (!m_opened && !event->spontaneous()) {
        m_opened = true;
        // Twips: 1500, 1500 and 8400 × 7800, about 560 × 520 pixels.
        Gui::restorePlacement(this, Section::modelFitWindow(), {1500, 1500, 8400, 7800});
    }
    QWidget::showEvent(event);
}

void ModelFitWindow::open() { Gui::bringForward(this); }

bool ModelFitWindow::start()
{
    if (isRunning())
        return false;
    join();
    Backtest::FitInput input;
    input.paths = {m_folder->text()};
    input.recursive = m_subfolders->isChecked();
    RefreshSettings();
    input.options = ReadRaceOptions();
    input.method = kMethods[std::clamp(m_method->currentIndex(), 0, 2)];
    m_cancelled = false;
    m_done = false;
    m_start->setEnabled(false);
    m_cancel->setEnabled(true);
    m_save->setEnabled(false);
    m_progress->setRange(0, 0);
    m_status->setText(QStringLiteral(u"推定中..."));
    m_thread = std::thread([this, input] {
        Messages::Held collector;
        const Messages::ThreadCapture capture(&collector);
        QElapsedTimer clock;
        clock.start();
        qint64 last = -50;
        const auto progress = [&](int done, int total) {
            if (done < total && clock.elapsed() - last < 50)
                return;
            last = clock.elapsed();
            QMetaObject::invokeMethod(
                this,
                [this, done, total] {
                    m_progress->setRange(0, total);
                    m_progress->setValue(done);
                },
                Qt::QueuedConnection);
        };
        Backtest::FitReport report = Backtest::RunFit(input, progress, &m_cancelled);
        m_done = true;
        QMetaObject::invokeMethod(
            this, [this, report = std::move(report)] { finished(report); }, Qt::QueuedConnection);
    });
    return true;
}

void ModelFitWindow::finished(const Backtest::FitReport &report)
{
    join();
    m_report = report;
    m_hasReport = true;
    m_start->setEnabled(true);
    m_cancel->setEnabled(false);
    m_progress->setRange(0, std::max(1, report.races));
    m_progress->setValue(report.races);
    const RaceOptions options = ReadRaceOptions();
    fill(m_counts, Backtest::FitCountsTable(report));
    fill(m_estimates, Backtest::FitEstimatesTable(report, options));
    fill(m_holdout, Backtest::FitHoldoutTable(report));
    QString status;
    if (report.cancelled)
        status = QStringLiteral(u"中止しました。");
    else if (report.races == 0)
        status = QStringLiteral(u"レースが見つかりません。");
    else if (report.fit.races == 0)
        status = QStringLiteral(u"1-3着の分かる確定ﾚｰｽがありません。");
    m_status->setText(status);
    m_save->setEnabled(!report.cancelled && Backtest::FitFitsOptions(report.fit));
    emit fitDone();
}

bool ModelFitWindow::saveToOptions()
{
    if (!m_hasReport || !Backtest::FitFitsOptions(m_report.fit)) {
        Messages::warning(QStringLiteral(u"推定値が設定の範囲外のため、保存しませんでした。"));
        return false;
    }
    {
        const SettingsBatch batch;
        Settings::DiscountLambda2().set(m_report.fit.lambda2.value);
        Settings::DiscountLambda3().set(m_report.fit.lambda3.value);
        Settings::WinPowerExponent().set(m_report.fit.power.value);
    }
    Gui::warnIfOptionsNotSaved();
    if (!SettingsWriteError().isEmpty())
        return false;
    m_status->setText(QStringLiteral(u"保存しました: λ2 %1, λ3 %2, β %3")
                          .arg(ModelRealText(m_report.fit.lambda2.value), ModelRealText(m_report.fit.lambda3.value),
                               ModelRealText(m_report.fit.power.value)));
    fill(m_estimates, Backtest::FitEstimatesTable(m_report, ReadRaceOptions()));
    return true;
}

void ModelFitWindow::join()
{
    if (m_thread.joinable())
        m_thread.join();
}
