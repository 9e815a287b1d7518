// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/pat_bytes.h"

#include <QList>
#include <QString>

// A hand-made race family written into a folder: win/place odds, and when
// asked, pair odds, entry and result files.
struct RaceFiles {
    struct Horse {
        QString tan;
        QString fukuMin;
        QString fukuMax;
        QString name;
    };
    struct Pair {
        QString umaren;
        QString wideMin;
        QString wideMax;
    };

    PatBytes::Header header;
    QList<Horse> horses;
    QList<Pair> pairs; // (1,2), (1,3) … in order; empty means no pair odds file
    QString startTime = QStringLiteral("1535");
    bool entry = true;
    QList<QString> wideResults; // combinations of the wide payouts; empty means no result file
    QList<QString> wideAmounts; // their amounts, by entry; "     300" where absent
    QList<std::pair<QString, QString>> umarenPayouts; // combination and amount; blank where absent

    // Writes Zo-<id>.jra and its siblings into folder; returns the odds path.
    QString write(const QString &folder, const QString &id = QStringLiteral("0101A.jra")) const
    {
        using namespace PatBytes;
        QByteArray zo = patHeader(withCount(header, horses.size()));
        for (const Horse &h : horses)
            zo += tanFukuRecord(h.tan, h.fukuMin, h.fukuMax);
        const QString odds = folder + QStringLiteral("/Zo-") + id;
        PatBytes::write(odds, zo);

        if (!pairs.isEmpty()) {
            QByteArray uo = patHeader(withCount(header, horses.size())) + raw("00", 2);
            for (const Pair &p : pairs)
                uo += pairRecord(p.umaren, p.wideMin, p.wideMax);
            PatBytes::write(folder + QStringLiteral("/Uo-") + id, uo);
        }
        if (entry) {
            QByteArray de = entryHeader(startTime, QString::number(horses.size()));
            for (const Horse &h : horses)
                de += entryRecord(h.name);
            PatBytes::write(folder + QStringLiteral("/De-") + id, de);
        }
        if (!wideResults.isEmpty()) {
            QByteArray ks = QByteArray(90, '0');
            for (int place = 1; place <= 7; ++place)
                ks += field(QString::number(place), 2) + field(QString::number(place), 2)
                    + field(QStringLiteral("Horse") + QString::number(place), 18) + field(QStringLiteral("1.35.0"), 6)
                    + QByteArray(12, ' ');
            ks += QByteArray(5, ' ');
            ks += field(QStringLiteral(" 1"), 2) + field(QStringLiteral("     250"), 8) + QByteArray(20, ' ');
            ks += QByteArray(50, ' ') + QByteArray(36, ' ');
            for (int k = 0; k < 3; ++k)
                ks += k < umarenPayouts.size() ? field(umarenPayouts[k].first, 6) + field(umarenPayouts[k].second, 8)
                                               : QByteArray(14, ' ');
            for (int k = 0; k < 11; ++k)
                ks += k < wideResults.size()
                    ? field(wideResults[k], 6) + field(wideAmounts.value(k, QStringLiteral("     300")), 8)
                    : QByteArray(14, ' ');
            Q_ASSERT(ks.size() == 687);
            PatBytes::write(folder + QStringLiteral("/Ks-") + id.left(1) + QStringLiteral("99") + id.mid(1), ks);
        }
        return odds;
    }

private:
    static PatBytes::Header withCount(PatBytes::Header h, qsizetype count)
    {
        if (h.horseCount == PatBytes::Header().horseCount)
            h.horseCount = QString::number(count);
        return h;
    }
};
