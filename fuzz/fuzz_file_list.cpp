// SPDX-License-Identifier: GPL-3.0-or-later
// The PAT file list over a folder of hostile win/place odds files.
//
// Input: up to 24 parts, each a 2-byte little-endian length followed by that
// many bytes (fewer when the input ends first), written as Zo-00.jra,
// zo-01.JRA (any letter case is listed), Zo-02.jra, ... into an otherwise
// empty folder.
#include "fuzz_checks.h"

#include "common/messages.h"
#include "common/text_convert.h"
#include "patdata/file_list.h"

#include <QDir>
#include <QSet>

using namespace CommonFunc;
using namespace FuzzSupport;

namespace {

constexpr int kMaxFiles = 24;

class CountingSink final : public Messages::Sink {
public:
    void show(const Messages::Message &message) override
    {
        if (message.text == Messages::formatMismatchText())
            ++formatMessages;
        else
            ++otherMessages;
    }
    int formatMessages = 0;
    int otherMessages = 0;
};

QString fileName(int k)
{
    const QString number = QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0'));
    return k == 1 ? QStringLiteral("zo-") + number + QStringLiteral(".JRA")
                  : QStringLiteral("Zo-") + number + QStringLiteral(".jra");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    static const QString folder = [] {
        const QString path = scratchFolder() + QStringLiteral("/list");
        require(QDir().mkpath(path), "list folder");
        return path;
    }();

    QSet<QString> listed;
    int expectedFormatMessages = 0;
    qsizetype at = 0;
    for (int k = 0; k < kMaxFiles; ++k) {
        const QString name = fileName(k);
        if (qsizetype(size) - at < 2) {
            removeScratchFile(QStringLiteral("list/") + name);
            continue;
        }
        const qsizetype length = data[at] | (data[at + 1] << 8);
        at += 2;
        const qsizetype taken = std::min(length, qsizetype(size) - at);
        const QByteArray bytes = bytesOf(data + at, size_t(taken));
        at += taken;
        writeScratchFile(QStringLiteral("list/") + name, bytes);
        if (bytes.size() >= Layout::patHeaderSize) {
            if (formatCodeAccepted(bytes))
                listed.insert(name);
            else
                expectedFormatMessages = 1;
        }
    }

    CountingSink sink;
    QList<FileListRow> rows;
    {
        const Messages::ScopedSink scope(&sink);
        rows = BuildFileList(folder);
    }
    require(sink.formatMessages == expectedFormatMessages,
            "the format message comes once when a file has a wrong code");
    require(sink.otherMessages == 0, "no other message");
    require(rows.size() == listed.size(), "a row for every file whose header reads");
    QSet<bool> courseKinds;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        require(rows[i].cells[0] == QString::number(i + 1), "rows are numbered from 1");
        require(listed.remove(rows[i].cells[7]), "each readable file is listed once");
        courseKinds.insert(ParseNumber(rows[i].cells[1]).has_value());
    }
    // Courses that are all numbers or all texts make the keys a true order
    // (the meeting and race cells are never numbers), and the rows follow it.
    if (courseKinds.size() == 1) {
        for (qsizetype i = 1; i < rows.size(); ++i) {
            int c = 0;
            const std::optional<double> a = ParseNumber(rows[i - 1].cells[1]);
            const std::optional<double> b = ParseNumber(rows[i].cells[1]);
            if (a && b)
                c = *a < *b ? -1 : (*b < *a ? 1 : 0);
            for (int column : {1, 2, 3}) {
                if (c == 0 && !(a && b && column == 1))
                    c = QString::compare(rows[i - 1].cells[std::size_t(column)], rows[i].cells[std::size_t(column)]);
            }
            require(c <= 0, "rows sorted by course, meeting and race");
        }
    }
    return 0;
}
