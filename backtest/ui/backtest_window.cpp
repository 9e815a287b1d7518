// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/backtest_window.h"

#include "backtest/ledger.h"
#include "backtest/report_tables.h"
#include "backtest/ui/calibration_chart.h"
#include "backtest/ui/profit_chart.h"
#include "common/messages.h"
#include "common/number_format.h"
#include "common/safe_save.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "export/save_guard.h"
#include "patdata/folder_index.h"
#include "patdata/jv_records.h"
#include "patdata/pat_files.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"

#include <QAbstractTableModel>
#include <QBuffer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Backtest;

namespace {

constexpr int defaultLeft = 1800;
constexpr int defaultTop = 1200;
constexpr int defaultWidth = 12000;
constexpr int defaultHeight = 8400;

const QFont &frameFont()
{
    static const QFont font(QStringLiteral(u"ＭＳ Ｐゴシック"), 9);
    return font;
}

const QFont &tableFont()
{
    static const QFont font(QStringLiteral(u"ＭＳ ゴシック"), 9);
    return font;
}

QString clockText(qint64 seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Rows as compact as the file list's; the texts never wrap.
void makeCompact(QTableView *view)
{
    view->setFont(tableFont());
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setSectionsClickable(false);
}

QTableWidget *newTable(const QString &name)
{
    auto *table = new QTableWidget;
    table->setObjectName(name);
    makeCompact(table);
    return table;
}

// A report table; `heads` where the table brings none of its own.
void fill(QTableWidget *widget, const ReportTable &table, const QStringList &heads = {})
{
    const QStringList &shown = table.heads.isEmpty() ? heads : table.heads;
    widget->clear();
    widget->setColumnCount(int(shown.size()));
    widget->setRowCount(int(table.rows.size()));
    widget->setHorizontalHeaderLabels(shown);
    for (int r = 0; r < int(table.rows.size()); ++r) {
        const QStringList &row = table.rows[r];
        for (int c = 0; c < int(row.size()) && c < int(shown.size()); ++c) {
            auto *item = new QTableWidgetItem(row[c]);
            item->setTextAlignment(Qt::AlignVCenter | (c < table.keyColumns ? Qt::AlignLeft : Qt::AlignRight));
            widget->setItem(r, c, item);
        }
        // A row of a few bets is shown paler, its figures in italics.
        const int tentative = TentativeColumn(table);
        if (tentative >= 0 && tentative < int(row.size()) && !row[tentative].isEmpty()) {
            for (int c = table.keyColumns; c < int(row.size()) && c < int(shown.size()); ++c) {
                QTableWidgetItem *item = widget->item(r, c);
                QFont italic = item->font();
                italic.setItalic(true);
                item->setFont(italic);
                item->setForeground(widget->palette().color(QPalette::Disabled, QPalette::Text));
            }
        }
    }
    widget->resizeColumnsToContents();
}

// A tab with its table or chart, under a line that says what it counts.
QWidget *tab(const QString &caption, QWidget *content)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    if (!caption.isEmpty())
        layout->addWidget(new QLabel(caption));
    layout->addWidget(content, 1);
    return page;
}

} // namespace

// The ledger of a run, which may run to hundreds of thousands of bets: a
// model over the entries rather than an item a cell.
class LedgerModel final : public QAbstractTableModel {
public:
    explicit LedgerModel(const QList<LedgerEntry> &entries, QObject *parent)
        : QAbstractTableModel(parent)
        , m_entries(entries)
    {
    }

    // Before and after the entries change; withExpectedValues: two columns
    // more, the bets' chances and expected values.
    void beginReset() { beginResetModel(); }
    void endReset(bool withExpectedValues = false)
    {
        m_withExpectedValues = withExpectedValues;
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_entries.size()); }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_withExpectedValues ? 13 : 11;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= int(m_entries.size()))
            return {};
        const LedgerEntry &e = m_entries[index.row()];
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignVCenter | (index.column() >= 6 ? Qt::AlignRight : Qt::AlignLeft));
        if (role == Qt::ToolTipRole && index.column() == 0)
            return CommonFunc::RaceReference(QDir::toNativeSeparators(e.raceFile), e.raceKey);
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0:
            return CommonFunc::RaceReference(QFileInfo(e.raceFile).fileName(), e.raceKey);
        case 1:
            return e.raceName;
        case 2:
            return e.group;
        case 3:
            return BetTypeName(e.type);
        case 4:
            return e.pair;
        case 5:
            return e.mark;
        case 6:
            return e.deviation;
        case 7:
            return e.theoretical;
        case 8:
            return e.actual;
        case 9:
            return QString::number(e.stake);
        case 10:
            return QString::number(e.payout);
        case 11:
            return e.chance ? CommonFunc::FormatFixed(*e.chance, 6) : QString();
        case 12:
            return e.expectedValue ? CommonFunc::FormatFixed(*e.expectedValue, 4) : QString();
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char16_t *const heads[] = {u"レースファイル", u"レース名", u"区分",   u"券種",   u"組番",
                                                u"判定",           u"乖離％",   u"理論値", u"実際値", u"投資",
                                                u"払戻",           u"確率",     u"期待値"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
            return QAbstractTableModel::headerData(section, orientation, role);
        return QString::fromUtf16(heads[section]);
    }

private:
    const QList<LedgerEntry> &m_entries;
    bool m_withExpectedValues = false;
};

BacktestWindow::BacktestWindow(OpenHandler onOpen, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_onOpen(std::move(onOpen))
{
    setObjectName(QStringLiteral("frmBacktest"));
    setWindowTitle(QStringLiteral(u"回収率検証"));
    setFont(frameFont());
    m_lastSaveFolder = QDir::currentPath();

    chooseFolderDialog = [this](const QString &folder) {
        return QFileDialog::getExistingDirectory(this, QStringLiteral(u"フォルダの選択"), folder);
    };
    saveLedgerDialog = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral(u"名前を付けて保存"), suggested,
                                            QStringLiteral(u"CSV(カンマ区切り) (*.csv)"));
    };
    saveChartDialog = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral(u"名前を付けて保存"), suggested,
                                            QStringLiteral(u"PNG 画像 (*.png)"));
    };

    const auto button = [this](const char *name, const char16_t *caption) {
        auto *b = new QPushButton(QString::fromUtf16(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    const auto label = [this](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };

    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("txtFolder"));
    m_browse = button("btnBrowse", u"参照...");
    m_subfolders = new QCheckBox(QStringLiteral(u"サブフォルダも検索"), this);
    m_subfolders->setObjectName(QStringLiteral("chkSubfolders"));
    // Off by default: the comparison loads every settled race three times more.
    m_compareModels = new QCheckBox(QStringLiteral(u"理論値ﾓﾃﾞﾙを比較"), this);
    m_compareModels->setObjectName(QStringLiteral("chkModels"));
    const auto edit = [this](const char *name, const char16_t *placeholder, int width) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setPlaceholderText(QString::fromUtf16(placeholder));
        if (width > 0)
            e->setMaximumWidth(fontMetrics().horizontalAdvance(QString(width, u'0')));
        return e;
    };
    m_course = edit("txtCourse", u"東京,中山", 0);
    m_runners = edit("txtRunners", u"9-12", 8);
    m_raceNumber = edit("txtRaceNumber", u"1-12", 8);
    m_favourite = edit("txtFavourite", u"2.0-2.9", 10);
    m_conditionText = edit("txtConditions", u"３歳以上", 0);
    m_stakingMethod = new QComboBox(this);
    m_stakingMethod->setObjectName(QStringLiteral("cboStaking"));
    for (StakingMethod method : {StakingMethod::Flat, StakingMethod::Fraction, StakingMethod::Kelly})
        m_stakingMethod->addItem(StakingMethodName(method));
    const Staking defaults;
    m_bankroll = edit("txtBankroll", u"", 10);
    m_bankroll->setText(QString::number(defaults.bankroll));
    m_fraction = edit("txtFraction", u"", 6);
    m_fraction->setText(QString::number(defaults.fraction));
    m_kelly = edit("txtKelly", u"", 6);
    m_kelly->setText(QString::number(defaults.kelly));
    m_cap = edit("txtCap", u"", 6);
    m_cap->setText(QString::number(defaults.cap));
    m_start = button("btnStart", u"開始");
    m_cancel = button("btnCancel", u"中止");
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgRaces"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_count = label("lblCount");
    m_remaining = label("lblRemaining");
    m_status = label("lblStatus");

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabResults"));
    m_recommended = newTable(QStringLiteral("grdRecommended"));
    m_counts = newTable(QStringLiteral("grdCounts"));
    m_intervals = label("lblIntervals");
    m_dimension = new QComboBox;
    m_dimension->setObjectName(QStringLiteral("cboBreakdown"));
    for (int d = 0; d < kDimensions; ++d)
        m_dimension->addItem(DimensionName(Dimension(d)));
    m_breakdown = newTable(QStringLiteral("grdBreakdown"));
    m_modelRecommended = newTable(QStringLiteral("grdModelRecommended"));
    m_marks = newTable(QStringLiteral("grdMarks"));
    m_buckets = newTable(QStringLiteral("grdBuckets"));
    m_failures = newTable(QStringLiteral("grdFailures"));
    m_notes = newTable(QStringLiteral("grdNotes"));
    m_models = newTable(QStringLiteral("grdModels"));
    m_models->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    m_modelMarks = newTable(QStringLiteral("grdModelMarks"));
    m_ledgerModel = new LedgerModel(m_ledger, this);
    m_ledgerView = new QTableView;
    m_ledgerView->setObjectName(QStringLiteral("grdLedger"));
    m_ledgerView->setModel(m_ledgerModel);
    makeCompact(m_ledgerView);
    m_chart = new ProfitChart;
    m_chart->setObjectName(QStringLiteral("picChart"));
    m_calibrationChart = new CalibrationChart;
    m_calibrationChart->setObjectName(QStringLiteral("picCalibration"));
    m_calibration = newTable(QStringLiteral("grdCalibration"));

    // The three small tables of the summary take only the height they need.
    for (QTableWidget *small : {m_recommended, m_counts})
        small->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    auto *summary = new QWidget;
    auto *summaryLayout = new QVBoxLayout(summary);
    summaryLayout->addWidget(new QLabel(QStringLiteral(u"推奨買い目 (1点100円)")));
    summaryLayout->addWidget(m_recommended);
    summaryLayout->addWidget(new QLabel(QStringLiteral(u"件数")));
    summaryLayout->addWidget(m_counts);
    summaryLayout->addWidget(m_intervals);
    m_stakingCaption = new QLabel(QStringLiteral(u"資金運用 (推奨買い目を資金から賭けた場合)"));
    m_stakingTable = newTable(QStringLiteral("grdStaking"));
    m_stakingTable->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    summaryLayout->addWidget(m_stakingCaption);
    summaryLayout->addWidget(m_stakingTable);
    summaryLayout->addStretch(1);
    m_tabs->addTab(summary, QStringLiteral(u"推奨買い目"));
    m_tabs->addTab(tab(QStringLiteral(u"判定印 (印の付いた組をすべて買った場合)"), m_marks), QStringLiteral(u"判定印"));
    m_tabs->addTab(tab(QStringLiteral(u"乖離％別 (全組を買った場合)"), m_buckets), QStringLiteral(u"乖離％別"));
    auto *breakdown = new QWidget;
    auto *breakdownLayout = new QVBoxLayout(breakdown);
    auto *dimensionRow = new QHBoxLayout;
    dimensionRow->addWidget(new QLabel(QStringLiteral(u"推奨買い目と判定印の回収率を")));
    dimensionRow->addWidget(m_dimension);
    dimensionRow->addWidget(new QLabel(QStringLiteral(u"別に")));
    dimensionRow->addStretch(1);
    breakdownLayout->addLayout(dimensionRow);
    breakdownLayout->addWidget(m_breakdown, 1);
    m_tabs->addTab(breakdown, QStringLiteral(u"条件別"));
    m_tabs->addTab(tab(QString(), m_chart), QStringLiteral(u"収支グラフ"));
    auto *calibration = new QWidget;
    auto *calibrationLayout = new QHBoxLayout(calibration);
    calibrationLayout->addWidget(m_calibrationChart, 1);
    calibrationLayout->addWidget(m_calibration, 1);
    m_tabs->addTab(calibration, QStringLiteral(u"較正"));
    m_tabs->addTab(tab(QString(), m_ledgerView), QStringLiteral(u"買い目一覧"));
    auto *models = new QWidget;
    auto *modelsLayout = new QVBoxLayout(models);
    m_modelsHint = new QLabel(
        QStringLiteral(u"「理論値ﾓﾃﾞﾙを比較」にチェックを入れて開始すると、ここにﾓﾃﾞﾙの比較が出ます。"));
    m_modelsHint->setObjectName(QStringLiteral("lblModelsHint"));
    modelsLayout->addWidget(m_modelsHint);
    modelsLayout->addWidget(
        new QLabel(QStringLiteral(u"確定ﾚｰｽの全組 (対数損失と Brier は小さいほど良い、太字は対数損失の最小)")));
    modelsLayout->addWidget(m_models);
    modelsLayout->addWidget(new QLabel(QStringLiteral(u"ﾓﾃﾞﾙ別 推奨買い目")));
    modelsLayout->addWidget(m_modelRecommended, 1);
    modelsLayout->addWidget(new QLabel(QStringLiteral(u"ﾓﾃﾞﾙ別 判定印")));
    modelsLayout->addWidget(m_modelMarks, 1);
    m_tabs->addTab(models, QStringLiteral(u"ﾓﾃﾞﾙ比較"));
    m_tabs->addTab(tab(QString(), m_failures), QStringLiteral(u"読込失敗"));
    m_tabs->addTab(tab(QString(), m_notes), QStringLiteral(u"注記"));

    m_saveLedger = button("btnSaveLedger", u"買い目一覧を保存...");
    m_saveChart = button("btnSaveChart", u"グラフを保存...");
    m_close = button("btnClose", u"閉じる");

    auto *layout = new QVBoxLayout(this);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral(u"フォルダ")));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);
    layout->addLayout(folderRow);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(m_subfolders);
    runRow->addWidget(m_compareModels);
    runRow->addStretch(1);
    runRow->addWidget(m_start);
    runRow->addWidget(m_cancel);
    layout->addLayout(runRow);
    // A control after its caption, which gives it the keyboard focus.
    const auto addCaptioned = [](QHBoxLayout *row, const char16_t *caption, QWidget *control, int stretch) {
        auto *name = new QLabel(QString::fromUtf16(caption));
        name->setBuddy(control);
        row->addWidget(name);
        row->addWidget(control, stretch);
    };
    auto *conditionRow = new QHBoxLayout;
    const std::pair<const char16_t *, QLineEdit *> conditionEdits[] = {
        {u"場名", m_course},           {u"頭数", m_runners},       {u"ﾚｰｽ", m_raceNumber},
        {u"1番人気単勝", m_favourite}, {u"条件", m_conditionText},
    };
    for (const auto &[caption, control] : conditionEdits)
        addCaptioned(conditionRow, caption, control, control == m_course || control == m_conditionText ? 1 : 0);
    layout->addLayout(conditionRow);
    auto *stakingRow = new QHBoxLayout;
    const std::pair<const char16_t *, QWidget *> stakingControls[] = {
        {u"資金運用", m_stakingMethod}, {u"初期資金", m_bankroll}, {u"定率", m_fraction},
        {u"ケリー倍率", m_kelly},       {u"1レース上限", m_cap},
    };
    for (const auto &[caption, control] : stakingControls)
        addCaptioned(stakingRow, caption, control, 0);
    stakingRow->addStretch(1);
    layout->addLayout(stakingRow);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    m_count->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000 / 000000")));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_remaining->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral(u"残り 00:00:00")));
    progressRow->addWidget(m_count);
    progressRow->addWidget(m_remaining);
    layout->addLayout(progressRow);
    layout->addWidget(m_tabs, 1);
    auto *bottomRow = new QHBoxLayout;
    bottomRow->addWidget(m_status, 1);
    bottomRow->addWidget(m_saveLedger);
    bottomRow->addWidget(m_saveChart);
    bottomRow->addWidget(m_close);
    layout->addLayout(bottomRow);

    connect(m_browse, &QPushButton::clicked, this, &BacktestWindow::browse);
    connect(m_dimension, &QComboBox::currentIndexChanged, this, &BacktestWindow::showBreakdown);
    connect(m_stakingMethod, &QComboBox::currentIndexChanged, this, &BacktestWindow::stakingMethodChanged);
    connect(m_start, &QPushButton::clicked, this, &BacktestWindow::start);
    connect(m_cancel, &QPushButton::clicked, this, &BacktestWindow::cancel);
    connect(m_saveLedger, &QPushButton::clicked, this, &BacktestWindow::saveLedger);
    connect(m_saveChart, &QPushButton::clicked, this, &BacktestWindow::saveChart);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(&m_runner, &BacktestRunner::progressed, this, &BacktestWindow::showProgress);
    connect(&m_runner, &BacktestRunner::finished, this, &BacktestWindow::showOutcome);
    connect(m_ledgerView, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid() && index.row() < int(m_ledger.size()))
            openRow(m_ledger[index.row()].raceFile, m_ledger[index.row()].raceKey);
    });
    connect(m_failures, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (m_report && index.isValid() && index.row() < int(m_report->failures.size()))
            openRow(m_report->failures[index.row()].file, m_report->failures[index.row()].raceKey);
    });

    clearResults();
    setRunning(false);
}

void BacktestWindow::stakingMethodChanged()
{
    // Each parameter matters to its method only; the bankroll and the cap to both.
    const auto method = StakingMethod(m_stakingMethod->currentIndex());
    const bool staked = method != StakingMethod::Flat && !m_running;
    m_bankroll->setEnabled(staked);
    m_cap->setEnabled(staked);
    m_fraction->setEnabled(staked && method == StakingMethod::Fraction);
    m_kelly->setEnabled(staked && method == StakingMethod::Kelly);
}

BacktestWindow::~BacktestWindow()
{
    m_runner.stop();
    storePlacement();
    // The ledger's view and model go before the entries they show.
    delete m_ledgerView;
    m_ledgerView = nullptr;
    delete m_ledgerModel;
    m_ledgerModel = nullptr;
}

void BacktestWindow::open()
{
    Gui::bringForward(this);
}

void BacktestWindow::showEvent(QShowEvent *event)
{
    if (!m_opened && !event->spontaneous()) {
        m_opened = true;
        restorePlacement();
        if (m_folder->text().isEmpty())
            setFolder(CommonFunc::GetPatFolder());
    }
    QWidget::showEvent(event);
}

// A run must not outlive the window that shows it: closing stops it.
void BacktestWindow::closeEvent(QCloseEvent *event)
{
    if (m_runner.isRunning())
        m_runner.stop();
    event->accept();
}

QString BacktestWindow::folder() const { return QDir::fromNativeSeparators(m_folder->text().trimmed()); }

void BacktestWindow::setFolder(const QString &folder) { m_folder->setText(QDir::toNativeSeparators(folder)); }

void BacktestWindow::browse()
{
    const QString chosen = chooseFolderDialog(folder());
    if (!chosen.isEmpty())
        setFolder(chosen);
}

// ---- The run --------------------------------------------------------------------

void BacktestWindow::start()
{
    if (m_running)
        return;
    const QString path = folder();
    if (path.isEmpty() || !QFileInfo(path).isDir()) {
        Messages::error(QStringLiteral(u"フォルダが見つかりません。"));
        return;
    }
    const std::optional<Conditions> asked = conditions();
    if (!asked)
        return;
    const std::optional<Staking> stake = staking();
    if (!stake)
        return;
    Input input;
    input.paths = {path};
    input.recursive = m_subfolders->isChecked();
    input.compareModels = m_compareModels->isChecked();
    input.calibration = true; // cheap beside the race loads
    input.conditions = *asked;
    input.staking = *stake;
    // One snapshot of the options for the whole run, as a race load takes one.
    CommonFunc::RefreshSettings();
    input.options = CommonFunc::ReadRaceOptions();
    input.threads = m_threads;

    clearResults();
    if (!m_runner.start(input))
        return;
    m_runPaths = input.paths;
    m_runRecursive = input.recursive;
    m_runExpectedValues = input.options.showExpectedValue;
    m_total = 0;
    m_clock.start();
    setRunning(true);
    m_progress->setRange(0, 0); // busy until the races are counted
    m_status->setText(QStringLiteral(u"検証中..."));
}

std::optional<Conditions> BacktestWindow::conditions()
{
    Conditions asked;
    for (const QString &name : m_course->text().split(u',')) {
        if (!name.trimmed().isEmpty())
            asked.courses.append(name.trimmed());
    }
    const std::pair<QLineEdit *, std::optional<Range> *> ranges[] = {
        {m_runners, &asked.runners},
        {m_raceNumber, &asked.raceNumber},
        {m_favourite, &asked.favourite},
    };
    for (const auto &[control, range] : ranges) {
        if (control->text().trimmed().isEmpty())
            continue;
        *range = ParseRange(control->text());
        if (!*range) {
            Messages::error(QStringLiteral(u"範囲は 9-12 のように最小-最大で入力してください。"));
            control->setFocus();
            control->selectAll();
            return std::nullopt;
        }
    }
    asked.text = m_conditionText->text().trimmed();
    return asked;
}

std::optional<Staking> BacktestWindow::staking()
{
    Staking asked;
    asked.method = StakingMethod(std::clamp(m_stakingMethod->currentIndex(), 0, 2));
    if (!asked.active())
        return asked;
    const auto fail = [](QLineEdit *control, const char16_t *text) -> std::optional<Staking> {
        Messages::error(QString::fromUtf16(text));
        control->setFocus();
        control->selectAll();
        return std::nullopt;
    };
    bool ok = false;
    asked.bankroll = m_bankroll->text().trimmed().toLongLong(&ok);
    if (!ok || asked.bankroll < kStakeUnit || asked.bankroll > 1000000000000LL)
        return fail(m_bankroll, u"初期資金は100円以上の整数で入力してください。");
    const std::pair<QLineEdit *, double *> shares[] = {{m_fraction, &asked.fraction},
                                                       {m_kelly, &asked.kelly},
                                                       {m_cap, &asked.cap}};
    for (const auto &[control, share] : shares) {
        *share = control->text().trimmed().toDouble(&ok);
        if (!ok || !(*share > 0.0) || *share > 1.0)
            return fail(control, u"定率・ケリー倍率・上限は0より大きく1以下の数で入力してください。");
    }
    return asked;
}

void BacktestWindow::cancel()
{
    if (!m_running)
        return;
    m_runner.cancel();
    m_cancel->setEnabled(false);
    m_status->setText(QStringLiteral(u"中止しています..."));
}

void BacktestWindow::showProgress(int done, int total)
{
    m_total = total;
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(done);
    m_count->setText(QStringLiteral("%1 / %2").arg(done).arg(total));
    // From the rate so far; the first races, which find the folder, make it
    // a little high at the start.
    if (done > 0 && done < total) {
        const qint64 left = m_clock.elapsed() * (total - done) / done;
        m_remaining->setText(QStringLiteral(u"残り ") + clockText((left + 999) / 1000));
    } else {
        m_remaining->clear();
    }
}

void BacktestWindow::showOutcome(const BacktestRunner::Outcome &outcome)
{
    const Report &r = outcome.report;
    m_report = r;
    setRunning(false);
    m_ledgerModel->beginReset();
    m_ledger = outcome.ledger;
    m_ledgerModel->endReset(m_runExpectedValues);
    m_ledgerView->resizeColumnsToContents();

    // Races a condition left out were gone through all the same.
    const int done = r.races + r.excluded;
    if (!r.cancelled || m_total == 0)
        m_total = std::max(m_total, done);
    m_progress->setRange(0, std::max(m_total, 1));
    m_progress->setValue(done);
    m_count->setText(QStringLiteral("%1 / %2").arg(done).arg(m_total));
    m_remaining->setText(QStringLiteral(u"所要 ") + clockText(m_clock.elapsed() / 1000));

    fill(m_recommended, RecommendedTable(r));
    fill(m_counts, CountsTable(r), {QStringLiteral(u"項目"), QStringLiteral(u"件数")});
    fill(m_marks, MarksTable(r));
    fill(m_buckets, BucketsTable(r));
    showBreakdown();
    QStringList captions;
    if (r.conditions.any())
        captions << QStringLiteral(u"絞り込み: ") + ConditionsText(r.conditions)
                + QStringLiteral(u" (条件外 %1 レース)").arg(r.excluded);
    if (const QString caption = IntervalCaption(r); !caption.isEmpty())
        captions << caption + QStringLiteral(u"、斜体は30点未満");
    m_intervals->setText(captions.join(u'\n'));
    fill(m_modelRecommended, ModelRecommendedTable(r));
    fill(m_models, ModelsTable(r));
    m_modelsHint->setVisible(!r.models);
    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        for (int row : LowestLogLossRows(r, kind.type)) {
            if (QTableWidgetItem *item = m_models->item(row, 1 + int(CommonFunc::IndexOf(kind.type)))) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
        }
    }
    fill(m_modelMarks, ModelMarksTable(r));
    fill(m_failures, FailuresTable(r), {QStringLiteral(u"レースファイル"), QStringLiteral(u"内容")});
    ReportTable notes;
    for (const QString &note : r.notes)
        notes.rows.append({note});
    fill(m_notes, notes, {QStringLiteral(u"注記")});
    m_tabs->setTabText(m_tabs->indexOf(m_failures->parentWidget()),
                       QStringLiteral(u"読込失敗 (%1)").arg(r.failures.size()));
    m_tabs->setTabText(m_tabs->indexOf(m_notes->parentWidget()), QStringLiteral(u"注記 (%1)").arg(r.notes.size()));
    m_chart->setCurve(r.curve, r.staking ? std::optional<qint64>(r.staking->staking.bankroll) : std::nullopt);
    fill(m_stakingTable, StakingTable(r));
    m_stakingCaption->setVisible(r.staking.has_value());
    m_stakingTable->setVisible(r.staking.has_value());
    m_calibrationChart->setCalibration(r.calibration);
    fill(m_calibration, CalibrationTable(r));

    QString status = r.cancelled ? QStringLiteral(u"中止しました。") : QStringLiteral(u"完了しました。");
    if (const QString empty = EmptyRunText(r); !empty.isEmpty())
        status += u' ' + empty;
    m_status->setText(status);

    for (const Messages::Message &message : outcome.messages)
        Messages::show(message.kind, message.text);
    emit runFinished();
}

void BacktestWindow::clearResults()
{
    m_report.reset();
    m_ledgerModel->beginReset();
    m_ledger.clear();
    m_ledgerModel->endReset();
    const Report none;
    fill(m_recommended, ReportTable {RecommendedTable(none).heads, 1, {}, {}});
    fill(m_counts, {}, {QStringLiteral(u"項目"), QStringLiteral(u"件数")});
    fill(m_marks, ReportTable {MarksTable(none).heads, 1, {}, {}});
    fill(m_buckets, ReportTable {BucketsTable(none).heads, 1, {}, {}});
    fill(m_models, ReportTable {ModelsTable(none).heads, 1, {}, {}});
    m_modelsHint->show();
    fill(m_modelMarks, ReportTable {ModelMarksTable(none).heads, 3, {}, {}});
    fill(m_modelRecommended, ReportTable {ModelRecommendedTable(none).heads, 2, {}, {}});
    fill(m_breakdown, ReportTable {BreakdownTable(none, Dimension::Course).heads, 7, {}, {}});
    m_intervals->clear();
    fill(m_failures, {}, {QStringLiteral(u"レースファイル"), QStringLiteral(u"内容")});
    fill(m_notes, {}, {QStringLiteral(u"注記")});
    m_tabs->setTabText(m_tabs->indexOf(m_failures->parentWidget()), QStringLiteral(u"読込失敗"));
    m_tabs->setTabText(m_tabs->indexOf(m_notes->parentWidget()), QStringLiteral(u"注記"));
    m_chart->setCurve({});
    m_stakingCaption->hide();
    m_stakingTable->hide();
    m_calibrationChart->setCalibration(std::nullopt);
    fill(m_calibration, ReportTable {CalibrationTable(none).heads, 2, {}, {}});
    m_count->clear();
    m_remaining->clear();
    m_status->clear();
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
}

void BacktestWindow::setRunning(bool running)
{
    m_running = running;
    m_start->setEnabled(!running);
    m_cancel->setEnabled(running);
    m_folder->setEnabled(!running);
    m_browse->setEnabled(!running);
    m_subfolders->setEnabled(!running);
    m_compareModels->setEnabled(!running);
    for (QLineEdit *control : {m_course, m_runners, m_raceNumber, m_favourite, m_conditionText})
        control->setEnabled(!running);
    m_stakingMethod->setEnabled(!running);
    stakingMethodChanged();
    m_saveLedger->setEnabled(!running && m_report.has_value());
    m_saveChart->setEnabled(!running && m_report.has_value());
}

void BacktestWindow::showBreakdown()
{
    const auto dimension = Dimension(std::clamp(m_dimension->currentIndex(), 0, kDimensions - 1));
    if (!m_report) {
        fill(m_breakdown, ReportTable {BreakdownTable(Report(), dimension).heads, 7, {}, {}});
        return;
    }
    fill(m_breakdown, BreakdownTable(*m_report, dimension));
}

void BacktestWindow::openRow(const QString &file, const QString &raceKey)
{
    if (m_onOpen && !file.isEmpty())
        m_onOpen(file, raceKey);
}

// ---- Saving ---------------------------------------------------------------------

namespace {

// The PAT files of the folders the run read its races from: a save of the
// run's output must replace none of them.
QStringList runFiles(const QStringList &paths, bool recursive)
{
    QSet<QString> folders;
    for (const QString &odds : FindRaces(paths, recursive))
        folders.insert(QFileInfo(odds).path());
    QStringList files;
    for (const QString &folder : std::as_const(folders)) {
        const CommonFunc::FolderIndex index = CommonFunc::FolderIndex::of(folder);
        for (const int i : index.filesInOrdinalOrder()) {
            const QString name = index.name(i);
            if (CommonFunc::IsPatFileName(name))
                files.append(index.folder() + name);
        }
    }
    return files;
}

// The reason first, then the program's own failure message, as the race CSV
// tells it.
void tellSaveFailed(const QString &reason)
{
    Messages::notice(reason);
    Messages::error(Messages::saveFailedText());
}

} // namespace

void BacktestWindow::saveLedger()
{
    if (!m_report)
        return;
    const QString path = saveLedgerDialog(QDir(m_lastSaveFolder).filePath(QStringLiteral("backtest-ledger.csv")));
    if (path.isEmpty())
        return;
    m_lastSaveFolder = QFileInfo(path).absolutePath();
    QString error;
    QString warning;
    if (!WriteLedgerFile(m_ledger, path, &error, LedgerGuard(path, m_runPaths, m_runRecursive), &warning,
                         m_runExpectedValues))
        tellSaveFailed(error);
    else if (!warning.isEmpty())
        Messages::notice(warning);
}

void BacktestWindow::saveChart()
{
    if (!m_report)
        return;
    // The chart of the tab shown; the profit chart from any other tab.
    const bool calibration = m_tabs->currentWidget() == m_calibrationChart->parentWidget();
    QWidget *const chart = calibration ? static_cast<QWidget *>(m_calibrationChart) : m_chart;
    const QString suggested = calibration ? QStringLiteral("backtest-calibration.png") : QStringLiteral("backtest-profit.png");
    const QString path = saveChartDialog(QDir(m_lastSaveFolder).filePath(suggested));
    if (path.isEmpty())
        return;
    m_lastSaveFolder = QFileInfo(path).absolutePath();
    // The size on screen, unless the tab has never been laid out.
    QSize size = chart->size();
    if (size.width() < chart->minimumWidth() || size.height() < chart->minimumHeight())
        size = calibration ? QSize(600, 600) : QSize(800, 450);
    const QImage image = calibration ? m_calibrationChart->toImage(size) : m_chart->toImage(size);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    QString error;
    if (!writer.write(image)) {
        error = writer.errorString();
    } else {
        error = CommonFunc::RaceFileNameRefusal(path);
        const QStringList untouchable = QFileInfo::exists(path) ? runFiles(m_runPaths, m_runRecursive) : QStringList();
        if (error.isEmpty()
            && CommonFunc::SaveFileSafely(
                path, png, &error, untouchable,
                QStringLiteral(u"%1 はバックテストで読んだレースのファイルなので、上書きしませんでした。")))
            return;
    }
    tellSaveFailed(error);
}

// ---- Placement ------------------------------------------------------------------

// Left and Top are the frame's corner, Width and Height the inside of the
// window, as the file list keeps them.
void BacktestWindow::restorePlacement()
{
    Gui::restorePlacement(this, CommonFunc::Section::backtestWindow(),
                          {defaultLeft, defaultTop, defaultWidth, defaultHeight});
}

void BacktestWindow::storePlacement() const
{
    if (m_opened && !isMinimized())
        Gui::storePlacement(this, CommonFunc::Section::backtestWindow());
}
