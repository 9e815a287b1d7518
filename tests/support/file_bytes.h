// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <sys/stat.h>

// Whole files as bytes, for comparing what the program wrote.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every entry of a folder as seen without following links: its name, type
// and device number, and a regular file's bytes.  Shows whether a refused
// save left the folder as it was.
inline QList<QByteArray> folderSnapshot(const QString &folder)
{
    QList<QByteArray> out;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString path = dir.filePath(name);
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            continue;
        QByteArray entry = name.toUtf8() + ' ' + QByteArray::number(info.st_mode, 8) + ' '
            + QByteArray::number(quint64(info.st_rdev));
        if (S_ISREG(info.st_mode))
            entry += ' ' + readAll(path);
        out << entry;
    }
    return out;
}
