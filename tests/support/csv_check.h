// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/race_sheet.h"
#include "common/text_convert.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cmath>

// Reads a saved CSV file back on its own terms (Shift-JIS, CR LF, commas,
// quoted texts with doubled quotes) and holds it against the sheet it was
// saved from.
namespace CsvCheck {

struct Field {
    QString text;
    bool quoted = false;
};
using Line = QList<Field>;

// The lines of the file; false with a reason when it is not well formed.
inline bool read(const QByteArray &bytes, QList<Line> &lines, QString *error)
{
    lines.clear();
    QStringDecoder decoder("windows-31j");
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        *error = QStringLiteral("not Shift-JIS");
        return false;
    }
    if (!text.endsWith(QStringLiteral("\r\n"))) {
        *error = QStringLiteral("does not end in CR LF");
        return false;
    }
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto lineEnd = [&] { return i + 1 < n && text[i] == u'\r' && text[i + 1] == u'\n'; };
    const auto fail = [&](const char *what) {
        *error = QStringLiteral("%1 in line %2").arg(QLatin1String(what)).arg(lines.size() + 1);
        return false;
    };
    while (i < n) {
        Line line;
        if (lineEnd()) {
            lines.append(line);
            i += 2;
            continue;
        }
        for (;;) {
            Field field;
            if (text[i] == u'"') {
                field.quoted = true;
                for (++i;; ++i) {
                    if (i >= n)
                        return fail("unterminated quote");
                    if (text[i] != u'"') {
                        field.text += text[i];
                    } else if (i + 1 < n && text[i + 1] == u'"') {
                        field.text += u'"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                }
            } else {
                while (i < n && text[i] != u',' && !lineEnd()) {
                    if (text[i] == u'"' || text[i] == u'\r' || text[i] == u'\n')
                        return fail("stray quote or line break");
                    field.text += text[i++];
                }
            }
            line.append(field);
            if (i < n && text[i] == u',') {
                ++i;
                continue;
            }
            if (!lineEnd())
                return fail("field followed by neither a comma nor CR LF");
            i += 2;
            break;
        }
        lines.append(line);
    }
    return true;
}

// What a text becomes in the file: the one character the decoder makes of
// undecodable bytes has no Shift-JIS code and is written as "?".
inline QString written(const QString &text)
{
    if (!text.contains(QChar(0xFFFD)))
        return text;
    QString out = text;
    out.replace(QChar(0xFFFD), u'?');
    return out;
}

// Plain decimal: an optional minus, digits, and digits after a point.
inline bool plainDecimal(const QString &text)
{
    qsizetype i = text.startsWith(u'-') ? 1 : 0;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        return i > from;
    };
    if (!digits())
        return false;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        if (!digits())
            return false;
    }
    return i == text.size();
}

// A number field holds the cell's value to seven significant digits at most:
// exactly when fewer suffice, else rounded in the seventh.
inline bool sameValue(const QString &field, float value)
{
    if (!plainDecimal(field))
        return false;
    const std::optional<double> written = CommonFunc::ParseNumber(field);
    if (!written)
        return false;
    if (float(*written) == value)
        return true;
    if (value == 0.0f)
        return false;
    const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(double(value)))) - 6);
    return std::fabs(*written - double(value)) <= unit / 2 * (1 + 1e-9);
}

// Differences between the file's lines and the sheet, empty when it matches.
inline QStringList compare(const QList<Line> &lines, const RaceSheet &sheet)
{
    using namespace CommonFunc;
    QStringList problems;
    qsizetype at = 0;
    // Names of fields are built only for a report: a check reads thousands.
    struct What {
        const char *name;
        int index = -1;
        QString text() const
        {
            return index < 0 ? QLatin1String(name) : QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(index);
        }
    };
    const auto report = [&](const What &what, const QString &problem) {
        problems << QStringLiteral("line %1: %2 %3").arg(at + 1).arg(what.text(), problem);
    };
    const Line end {Field {QStringLiteral("<end of file>"), false}};
    const auto next = [&]() -> const Line & { return at < lines.size() ? lines[at] : end; };

    const auto checkText = [&](const Field &f, const QString &expected, What what) {
        if (!f.quoted || f.text != written(expected))
            report(what,
                   QStringLiteral("is %1\"%2\", on the sheet \"%3\"")
                       .arg(f.quoted ? QString() : QStringLiteral("unquoted "), f.text, expected));
    };
    const auto checkValue = [&](const Field &f, const QString &cell, What what) {
        if (f.quoted || !sameValue(f.text, OddsTextToValue(cell)))
            report(what, QStringLiteral("is \"%1\" for the cell \"%2\"").arg(f.text, cell));
    };
    const auto checkInteger = [&](const Field &f, int expected, What what) {
        if (f.quoted || f.text != QString::number(expected))
            report(what, QStringLiteral("is \"%1\", expected %2").arg(f.text).arg(expected));
    };
    const auto expectFields = [&](const Line &line, qsizetype count, What what) {
        if (line.size() == count)
            return true;
        report(what, QStringLiteral("has %1 fields, expected %2").arg(line.size()).arg(count));
        return false;
    };
    const auto expectEmpty = [&](What what) {
        if (!next().isEmpty())
            report(what, QStringLiteral("should be an empty line"));
        ++at;
    };
    const auto expectTexts = [&](What what, const QStringList &texts) {
        const Line &line = next();
        if (expectFields(line, texts.size(), what)) {
            for (qsizetype k = 0; k < texts.size(); ++k)
                checkText(line[k], texts[k], {what.name, int(k) + 1});
        }
        ++at;
    };

    expectTexts({"title"},
                {QStringLiteral(u"ミヌクル君Super"), QStringLiteral("v0.10"), QStringLiteral(u"CSV出力ファイル")});
    expectEmpty({"after the title"});
    expectTexts({"kaisai"}, {QStringLiteral(u"開催"), sheet.lblKaisai});
    expectTexts({"race"}, {QStringLiteral(u"ﾚｰｽ"), sheet.lblRaceName});
    {
        const Line &line = next();
        if (expectFields(line, 2, {"horse count"})) {
            checkText(line[0], QStringLiteral(u"頭数"), {"count head"});
            checkInteger(line[1], TextToInteger(sheet.lblHorseNum), {"horse count"});
        }
        ++at;
    }
    expectEmpty({"after the header"});
    expectTexts({"horse head"},
                {QStringLiteral(u"人気"), QStringLiteral(u"判定"), QStringLiteral(u"単馬番"), QStringLiteral(u"複馬番"),
                 QStringLiteral(u"単勝人気順\u3000馬番"), QStringLiteral(u"単ｵｯｽﾞ"), QStringLiteral(u"支持率"),
                 QStringLiteral(u"単：複比"), QStringLiteral(u"複勝人気順\u3000馬番"), QStringLiteral(u"複ｵｯｽﾞMin"),
                 QStringLiteral("Max"), QStringLiteral(u"平均"), QStringLiteral(u"支持率")});

    const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    for (int k = 1; k <= count; ++k) {
        const Line &line = next();
        if (expectFields(line, 13, {"horse line", k})) {
            checkInteger(line[0], k, {"rank", k});
            checkText(line[1], sheet.lblAutoJudge[k], {"mark of rank", k});
            checkInteger(line[2], TextToInteger(sheet.lblTanHorseNo[k]), {"win horse of rank", k});
            checkInteger(line[3], TextToInteger(sheet.lblFukuHorseNo[k]), {"place horse of rank", k});
            checkText(line[4], sheet.lblTanHorseName[k], {"win name of rank", k});
            checkValue(line[5], sheet.lblTanPopOdds[k], {"win odds of rank", k});
            checkValue(line[6], sheet.lblTanPopRatio[k], {"win rate of rank", k});
            checkValue(line[7], sheet.lblTanFukuRatio[k], {"win/place ratio of rank", k});
            checkText(line[8], sheet.lblFukuHorseName[k], {"place name of rank", k});
            checkValue(line[9], sheet.lblFukuPopOddsMin[k], {"place min of rank", k});
            checkValue(line[10], sheet.lblFukuPopOddsMax[k], {"place max of rank", k});
            checkValue(line[11], sheet.lblFukuPopOdds[k], {"place mean of rank", k});
            checkValue(line[12], sheet.lblFukuPopRatio[k], {"place rate of rank", k});
        }
        ++at;
    }
    expectEmpty({"after the horses"});
    expectEmpty({"before the pair head"});
    expectTexts({"pair head"},
                {QStringLiteral(u"馬連"), QStringLiteral(u"理論値"), QStringLiteral(u"実際値"),
                 QStringLiteral(u"乖離％"), QStringLiteral(u"支持率"), QStringLiteral(u"判定"), QStringLiteral(u"人気"),
                 QStringLiteral(u"人気差"), QStringLiteral(u"ﾜｲﾄﾞ"), QStringLiteral(u"理論値"),
                 QStringLiteral(u"実際値"), QStringLiteral(u"乖離％"), QStringLiteral(u"支持率"),
                 QStringLiteral(u"判定"), QStringLiteral(u"人気"), QStringLiteral(u"人気差")});

    const TextGrid &umaren = sheet.grdUmaRen;
    const TextGrid &wide = sheet.grdWide;
    const auto checkGridRow = [&](const Line &line, qsizetype from, const TextGrid &grid, int r) {
        const bool isUmaren = &grid == &umaren;
        checkText(line[from], grid.cell(r, 0), {isUmaren ? "umaren label of row" : "wide label of row", r});
        for (int c = 1; c <= 4; ++c)
            checkValue(line[from + c], grid.cell(r, c), {isUmaren ? "umaren number of row" : "wide number of row", r});
        for (int c = 5; c <= 7; ++c)
            checkText(line[from + c], grid.cell(r, c), {isUmaren ? "umaren text of row" : "wide text of row", r});
    };
    // A grid without pair data has no rows to write.
    const int pairs = std::min(count * (count - 1) / 2, std::max(umaren.rows(), wide.rows()) - 1);
    for (int r = 1; r <= pairs; ++r) {
        const bool widePart = !wide.cell(r, 0).isEmpty();
        if (umaren.cell(r, 0).isEmpty()) {
            expectEmpty({"umaren part of row", r});
            if (widePart) {
                const Line &line = next();
                if (expectFields(line, 8, {"wide part of row", r}))
                    checkGridRow(line, 0, wide, r);
                ++at;
            }
            continue;
        }
        const Line &line = next();
        if (expectFields(line, r < wide.rows() ? 16 : 8, {"pair row", r})) {
            checkGridRow(line, 0, umaren, r);
            if (r < wide.rows())
                checkGridRow(line, 8, wide, r);
        }
        ++at;
    }

    expectEmpty({"before the bets"});
    {
        const Line &line = next();
        if (line.size() != 1 || line[0].quoted || line[0].text != u"推奨買い目")
            report({"bets head"}, QStringLiteral("should be 推奨買い目 without quotes"));
        ++at;
    }
    for (const QString &item : sheet.lstKaime)
        expectTexts({"bet"}, {item});
    expectEmpty({"after the bets"});
    expectEmpty({"before the result"});
    for (const QString &item : sheet.lstRaceResult)
        expectTexts({"result line"}, {item});
    if (at != lines.size())
        problems << QStringLiteral("%1 lines, expected %2").arg(lines.size()).arg(at);
    return problems;
}

} // namespace CsvCheck
