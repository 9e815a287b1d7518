// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringEncoder>

// Builds PAT file images field by field, independently of the project's own
// layout tables, so that a wrong offset in either shows up.
namespace PatBytes {

inline QByteArray sjis(const QString &text)
{
    QStringEncoder encoder("windows-31j");
    return encoder.encode(text);
}

// Text encoded and padded with spaces to width bytes.
inline QByteArray field(const QString &text, int width)
{
    QByteArray bytes = sjis(text);
    Q_ASSERT(bytes.size() <= width);
    return bytes + QByteArray(width - bytes.size(), ' ');
}

inline QByteArray raw(const char *bytes, int width)
{
    QByteArray b(bytes);
    Q_ASSERT(b.size() <= width);
    return b + QByteArray(width - b.size(), ' ');
}

struct Header {
    QString course = QStringLiteral(u"東京");
    QString kai = QStringLiteral(" 3");
    QString nichi = QStringLiteral(" 5");
    QString raceNo = QStringLiteral("11");
    QString formatCode = QStringLiteral(" ");
    QString raceName = QStringLiteral(u"ジャパンカップ");
    QString conditions = QStringLiteral(u"３歳以上オープン");
    QString horseCount = QStringLiteral("18");
};

inline QByteArray patHeader(const Header &h)
{
    QByteArray b;
    b += raw("20261129", 8) + raw("ABCDEFGH", 8) + raw("01", 2) + raw("12345678", 8) + raw("99", 2);
    b += field(h.course, 4);
    b += raw("XXXX", 4);
    b += field(h.kai, 2) + field(h.nichi, 2) + field(h.raceNo, 2);
    b += raw("Z", 1);
    b += field(h.formatCode, 1);
    b += raw("YYYY", 4);
    b += field(h.raceName, 28) + field(h.conditions, 64) + field(h.horseCount, 2);
    Q_ASSERT(b.size() == 142);
    return b;
}

inline QByteArray tanFukuRecord(const QString &tan, const QString &fukuMin, const QString &fukuMax)
{
    return raw("1", 1) + raw("01", 2) + field(tan, 5) + field(fukuMin, 5) + field(fukuMax, 5);
}

inline QByteArray pairRecord(const QString &umaren, const QString &wideMin, const QString &wideMax)
{
    return raw("01", 2) + raw("00102", 5) + field(umaren, 6) + field(wideMin, 6) + field(wideMax, 6);
}

inline QByteArray entryHeader(const QString &startTime, const QString &horseCount)
{
    QByteArray b = raw("20261129", 8) + raw("0505", 4) + raw("0311", 4) + raw("01", 2) + raw("02", 2) + raw("03", 2)
        + field(startTime, 4) + raw("ABCDEFGH", 8) + field(QStringLiteral(u"東京"), 28)
        + field(QStringLiteral(u"芝"), 28) + field(horseCount, 2);
    Q_ASSERT(b.size() == 92);
    return b;
}

inline QByteArray entryRecord(const QString &name)
{
    return raw("1", 1) + raw("2", 1) + raw("03", 2) + raw("4", 1) + raw("5", 1) + field(name, 18)
        + field(QStringLiteral(u"キシュ"), 18) + raw("57", 2) + raw("0480", 4);
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

} // namespace PatBytes
