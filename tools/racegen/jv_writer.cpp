// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/racegen/jv_writer.h"

#include "common/text_convert.h"
#include "common/text_util.h"
#include "tools/racegen/pat_writer.h"

#include <optional>

namespace RaceGen {

using namespace CommonFunc;

namespace {

// Record lengths with CR LF, and the offsets the writer fills.
constexpr int kRaSize = 1272;
constexpr int kSeSize = 555;
constexpr int kHrSize = 719;
constexpr int kO1Size = 962;
constexpr int kO2Size = 2042;
constexpr int kO3Size = 2654;

class Record {
public:
    Record(const char *type, char kind, int size, const QByteArray &madeDate, const QByteArray &key)
        : m_bytes(size, ' ')
    {
        m_bytes[size - 2] = '\r';
        m_bytes[size - 1] = '\n';
        text(0, 2, type);
        m_bytes[2] = kind;
        text(3, 8, madeDate);
        text(11, 16, key);
    }

    // Text at offset, cut or padded with spaces to width bytes.
    void text(int offset, int width, QByteArrayView bytes)
    {
        for (int k = 0; k < width; ++k)
            m_bytes[offset + k] = k < bytes.size() ? bytes[k] : ' ';
    }
    void kanji(int offset, int width, const QString &value) { text(offset, width, PatField(value, width)); }
    void digits(int offset, int width, qint64 value)
    {
        text(offset, width, QByteArray::number(value).rightJustified(width, '0', true));
    }

    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// "5.3" as tenths; none for the scratched marker or blank.
std::optional<int> tenthsOf(const QString &text)
{
    const QString t = TrimSpaces(text);
    const qsizetype point = t.indexOf(u'.');
    if (t.isEmpty() || point < 1 || point != t.size() - 2)
        return std::nullopt;
    bool whole = false;
    bool tenth = false;
    const int w = t.left(point).toInt(&whole);
    const int d = t.mid(point + 1).toInt(&tenth);
    if (!whole || !tenth)
        return std::nullopt;
    return w * 10 + d;
}

bool scratched(const QString &text) { return TrimSpaces(text).contains(ScratchedText()); }

void odds(Record &r, int offset, int width, const QString &text)
{
    if (scratched(text)) {
        r.text(offset, width, QByteArray(width, '-'));
        return;
    }
    const std::optional<int> tenths = tenthsOf(text);
    if (tenths)
        r.digits(offset, width, *tenths);
    else
        r.text(offset, width, QByteArray(width, '0'));
}

int count(const QString &text) { return TrimSpaces(text).toInt(); }

} // namespace

QByteArray JvRecordsOf(const GeneratedRace &race, const JvWriteOptions &options)
{
    const PatFileHeader &h = race.tanFuku.Header;
    const QByteArray day = TrimSpaces(h.Reserved1).toLatin1(); // yyyymmdd
    const auto two = [](const QString &text) { return QByteArray::number(count(text)).rightJustified(2, '0'); };
    const QByteArray key = day + TrimSpaces(h.Reserved3).toLatin1() + two(h.Kai) + two(h.Nichi) + two(h.RaceNo);
    const int n = race.horseCount;
    const int runners = n - int(race.scratched.size());
    QByteArray out;

    if (race.hasEntry) {
        Record ra("RA", '2', kRaSize, day, key);
        ra.kanji(32, 60, TrimSpaces(h.RaceName));
        ra.kanji(637, 60, TrimSpaces(h.Conditions));
        ra.digits(697, 4, count(h.Reserved6));
        ra.text(873, 4, race.entry.Header.StartTime.text().toLatin1());
        ra.digits(881, 2, n);
        ra.digits(883, 2, runners);
        out += ra.bytes();

        for (int k = 1; k <= n; ++k) {
            Record se("SE", race.hasResult ? '7' : '2', kSeSize, day, key);
            se.text(27, 1, TrimSpaces(race.entry.Horses[k].Reserved1).toLatin1());
            se.digits(28, 2, k);
            se.kanji(40, 36, TrimSpaces(race.entry.Horses[k].HorseName));
            const qsizetype place = race.finishOrder.indexOf(k);
            se.digits(334, 2, place < 0 ? 0 : place + 1);
            int time = 0;
            for (const ResultFinisher &f : race.result.Finishers) {
                if (race.hasResult && count(f.Field2) == k) {
                    QString t = TrimSpaces(f.Field4);
                    t.remove(u':');
                    t.remove(u'.');
                    time = t.toInt();
                }
            }
            se.digits(338, 4, time);
            out += se.bytes();
        }
    }

    const char finalKind = options.oddsKind ? options.oddsKind : (race.hasResult ? '4' : '1');
    const QByteArray announced = TrimSpaces(h.Reserved2).toLatin1(); // mmddhhmm
    const auto o1Of = [&](char kind, const QByteArray &when, bool doubled) {
        Record o1("O1", kind, kO1Size, day, key);
        o1.text(27, 8, when);
        o1.digits(35, 2, n);
        o1.digits(37, 2, runners);
        o1.text(39, 3, "777");
        for (int k = 1; k <= n; ++k) {
            const TanFukuOddsRecord &r = race.tanFuku.Odds[k];
            // The slots in reverse: the reader must find a horse by its number.
            const int slot = n - k;
            const int tan = 43 + slot * 8;
            const int fuku = 267 + slot * 12;
            o1.digits(tan, 2, k);
            o1.digits(fuku, 2, k);
            const auto value = [&](const QString &text) {
                const std::optional<int> tenths = tenthsOf(text);
                return doubled && tenths ? QStringLiteral("%1.%2").arg(*tenths * 2 / 10).arg(*tenths * 2 % 10) : text;
            };
            const bool out = scratched(r.TanOdds);
            odds(o1, tan + 2, 4, out ? r.TanOdds.text() : value(r.TanOdds));
            odds(o1, fuku + 2, 4, out ? r.TanOdds.text() : value(r.FukuOddsMin));
            odds(o1, fuku + 6, 4, out ? r.TanOdds.text() : value(r.FukuOddsMax));
            if (!out) {
                o1.digits(tan + 6, 2, count(r.Reserved2));
                o1.digits(fuku + 10, 2, count(r.Reserved2));
            }
        }
        return o1.bytes();
    };
    out += o1Of(finalKind, announced, false);
    if (options.earlierOdds) {
        QByteArray earlier = announced;
        const int hour = announced.mid(4, 2).toInt();
        earlier.replace(4, 2, QByteArray::number(std::max(0, hour - 1)).rightJustified(2, '0'));
        out += o1Of('1', earlier, true);
    }

    if (race.hasPairOdds) {
        Record o2("O2", finalKind, kO2Size, day, key);
        Record o3("O3", finalKind, kO3Size, day, key);
        for (Record *r : {&o2, &o3}) {
            r->text(27, 8, announced);
            r->digits(35, 2, n);
            r->digits(37, 2, runners);
            r->text(39, 1, "7");
        }
        // The pairs last to first: the reader must find a pair by its 組番.
        int slot = n * (n - 1) / 2 - 1;
        for (int i = 1; i <= n; ++i) {
            for (int j = i + 1; j <= n; ++j, --slot) {
                const PairOddsRecord &p = race.pairs.at(i, j);
                const QByteArray kumi = QByteArray::number(i).rightJustified(2, '0')
                    + QByteArray::number(j).rightJustified(2, '0');
                const int u = 40 + slot * 13;
                const int w = 40 + slot * 17;
                o2.text(u, 4, kumi);
                o3.text(w, 4, kumi);
                odds(o2, u + 4, 6, p.UmaRenOdds);
                odds(o3, w + 4, 5, p.WideOddsMin);
                odds(o3, w + 9, 5, scratched(p.WideOddsMin) ? p.WideOddsMin : p.WideOddsMax);
                if (!scratched(p.UmaRenOdds)) {
                    o2.digits(u + 10, 3, count(p.Reserved2));
                    o3.digits(w + 14, 3, count(p.Reserved2));
                }
            }
        }
        out += o2.bytes();
        out += o3.bytes();
    }

    if (race.hasResult) {
        Record hr("HR", '1', kHrSize, day, key);
        hr.digits(27, 2, n);
        hr.digits(29, 2, runners);
        hr.text(31, 71, QByteArray(71, '0'));
        const auto pays = [&](const auto &section, int start, int entries, int entryWidth, int kumiWidth) {
            for (int k = 1; k <= entries && k <= section.size(); ++k) {
                const ResultPayout &p = section[k];
                const int at = start + (k - 1) * entryWidth;
                const QString combination = TrimSpaces(p.Combination);
                if (combination.isEmpty())
                    continue;
                QByteArray kumi;
                if (kumiWidth == 4) {
                    const auto pair = PairOfLabel(combination);
                    kumi = QByteArray::number(pair->first).rightJustified(2, '0')
                        + QByteArray::number(pair->second).rightJustified(2, '0');
                } else if (combination.contains(u'-')) {
                    kumi = combination.toLatin1().replace("-", "");
                } else {
                    kumi = QByteArray::number(combination.toInt()).rightJustified(2, '0');
                }
                hr.text(at, kumiWidth, kumi);
                hr.digits(at + kumiWidth, 9, TrimSpaces(p.Amount).toLongLong());
                hr.digits(at + kumiWidth + 9, entryWidth - kumiWidth - 9, k);
            }
        };
        pays(race.result.Tan, 102, 3, 13, 2);
        pays(race.result.Fuku, 141, 5, 13, 2);
        pays(race.result.WakuRen, 206, 3, 13, 2);
        pays(race.result.UmaRen, 245, 3, 16, 4);
        pays(race.result.Wide, 293, 7, 16, 4);
        out += hr.bytes();
    }
    return out;
}

} // namespace RaceGen
