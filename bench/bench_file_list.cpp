// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/file_list.h"

#include <QByteArray>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int raceCount = 5000;

QByteArray field(const QString &text, int width)
{
    QStringEncoder encoder("windows-31j");
    QByteArray bytes = encoder.encode(text);
    bytes.resize(width, ' ');
    return bytes;
}

// A PAT header of 142 bytes; the fields the list does not show are filler.
QByteArray header(int i)
{
    static const QString courses[] = {QStringLiteral(u"東京"), QStringLiteral(u"中山"), QStringLiteral(u"京都"),
                                      QStringLiteral(u"阪神"), QStringLiteral(u"ﾆｲｶﾞ")};
    QByteArray b(28, '0');
    b += field(courses[i % 5], 4);
    b += QByteArray(4, 'X');
    b += field(QString::number(1 + i / 600 % 9).rightJustified(2), 2);
    b += field(QString::number(1 + i / 60 % 10).rightJustified(2), 2);
    b += field(QString::number(1 + i % 12).rightJustified(2), 2);
    b += "Z ";
    b += QByteArray(4, 'Y');
    b += field(QStringLiteral(u"サンプルステークス%1").arg(i), 28);
    b += field(QStringLiteral(u"３歳以上オープン　（国際）（指定）　定量"), 64);
    b += field(QStringLiteral("16"), 2);
    return b;
}

// Made once for every run of the benchmark.
const QTemporaryDir &raceFolder()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto d = std::make_unique<QTemporaryDir>();
        for (int i = 0; i < raceCount; ++i) {
            QFile file(d->filePath(QStringLiteral("Zo-%1.jra").arg(i, 5, 10, QChar(u'0'))));
            if (file.open(QIODevice::WriteOnly))
                file.write(header(i) + QByteArray(18 * 17, ' '));
        }
        // Siblings the list must pass over.
        for (int i = 0; i < raceCount; ++i) {
            QFile file(d->filePath(QStringLiteral("Uo-%1.jra").arg(i, 5, 10, QChar(u'0'))));
            if (file.open(QIODevice::WriteOnly))
                file.write(header(i));
        }
        return d;
    }();
    return *dir;
}

void BM_BuildFileList(benchmark::State &state)
{
    const QString folder = raceFolder().path();
    benchmark::DoNotOptimize(CommonFunc::BuildFileList(folder)); // warm the cache
    for (auto _ : state) {
        const QList<CommonFunc::FileListRow> rows = CommonFunc::BuildFileList(folder);
        if (rows.size() != raceCount) {
            state.SkipWithError("wrong row count");
            break;
        }
        benchmark::DoNotOptimize(rows.constData());
    }
    state.SetItemsProcessed(state.iterations() * raceCount);
}
BENCHMARK(BM_BuildFileList)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
