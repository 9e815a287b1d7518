// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/file_list.h"

#include "common/file_checks.h"
#include "common/messages.h"
#include "common/stable_order.h"
#include "common/text_convert.h"
#include "patdata/folder_index.h"
#include "patdata/jv_records.h"
#include "patdata/pat_files.h"
#include "patdata/race_data.h"
#include "patdata/race_source.h"

#include <cmath>
#include <optional>
#include <vector>

namespace CommonFunc {

namespace {

// Passes each distinct message on once: a folder of files in a foreign
// format must not stack up one box per file.
class OncePerTextSink final : public Messages::Sink {
public:
    explicit OncePerTextSink(Messages::Sink *next)
        : m_next(next)
    {
    }

    void show(const Messages::Message &message) override
    {
        for (const Messages::Message &seen : m_seen) {
            if (seen.kind == message.kind && seen.text == message.text)
                return;
        }
        m_seen.append(message);
        m_next->show(message);
    }

private:
    Messages::Sink *m_next;
    QList<Messages::Message> m_seen;
};

// "#0": the whole number nearest to the text, halves away from zero.
QString formatWholeNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("0");
    const std::optional<double> value = ParseNumber(trimmed);
    if (!value)
        return trimmed;
    double rounded = std::round(*value);
    if (rounded == 0.0)
        rounded = 0.0; // no "-0"
    return QString::number(rounded, 'f', 0);
}

QString withoutSpaces(QString text)
{
    text.remove(u' ');
    return text;
}

FileListRow makeRow(const PatFileHeader &header, const QString &fileName)
{
    FileListRow row;
    row.cells[1] = header.Course;
    row.cells[2] = FormatKaisai(header.Kai, header.Nichi);
    row.cells[3] = withoutSpaces(header.RaceNo) + u'R';
    row.cells[4] = header.RaceName;
    row.cells[5] = header.HorseCount;
    row.cells[6] = header.Conditions;
    row.cells[7] = fileName;
    return row;
}

constexpr int sortKeys[] = {1, 2, 3};

struct SortKey {
    QString text;
    std::optional<double> number;
};

// Numbers compare by value when both sides are numbers, anything else as
// ordinal text.
int compareKey(const SortKey &a, const SortKey &b)
{
    if (a.number && b.number)
        return *a.number < *b.number ? -1 : (*b.number < *a.number ? 1 : 0);
    return QString::compare(a.text, b.text, Qt::CaseSensitive);
}

// That mixed rule is not a strict weak order ("2" < "1e1" < "1f" < "2"):
// StableOrder stays stable and safe whatever the comparison says.
void sortRows(QList<FileListRow> &rows)
{
    const std::size_t count = std::size_t(rows.size());
    std::vector<std::array<SortKey, std::size(sortKeys)>> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t k = 0; k < std::size(sortKeys); ++k) {
            const QString &text = rows[qsizetype(i)].cells[std::size_t(sortKeys[k])];
            keys[i][k] = {text, ParseNumber(text)};
        }
    }
    auto less = [&keys](std::size_t a, std::size_t b) {
        for (std::size_t k = 0; k < std::size(sortKeys); ++k) {
            const int c = compareKey(keys[a][k], keys[b][k]);
            if (c != 0)
                return c < 0;
        }
        return false;
    };

    const std::vector<std::size_t> order = StableOrder(count, less);

    QList<FileListRow> sorted;
    sorted.reserve(rows.size());
    for (const std::size_t i : order)
        sorted.append(std::move(rows[qsizetype(i)]));
    rows = std::move(sorted);
}

} // namespace

std::array<FileListColumn, FileListColumnCount> FileListColumns()
{
    return {{
        {QStringLiteral("No"), 400},
        {QStringLiteral(u"場名"), 700},
        {QStringLiteral(u"開催"), 1000},
        {QStringLiteral(u"ﾚｰｽ"), 600},
        {QStringLiteral(u"ﾚｰｽ名"), 2000},
        {QStringLiteral(u"頭数"), 450},
        {QStringLiteral(u"条件"), 2200},
        {QStringLiteral(u"ﾌｧｲﾙ名"), 1500},
    }};
}

QString FormatKaisai(const QString &kai, const QString &nichi)
{
    return u'第' + formatWholeNumber(kai) + QStringLiteral(u"回 ") + formatWholeNumber(nichi) + u'日';
}

QList<FileListRow> BuildFileList(const QString &folder, const std::function<void(int)> &progress)
{
    QList<FileListRow> rows;
    if (folder.isEmpty())
        return rows;

    OncePerTextSink filter(Messages::currentSink());
    const Messages::ScopedSink scope(&filter);

    // Files only, in the order the folder lists them: a folder named like a
    // race file is not listed, and the reader refuses anything but a
    // regular file.
    const FolderIndex index = FolderIndex::of(folder);
    for (int i = 0; i < index.count(); ++i) {
        if (progress && (i + 1) % 64 == 0)
            progress(i + 1);
        if (!PatFolderSource().startsRace(index, i))
            continue;
        const QString name = index.name(i);
        PatFileHeader header;
        if (!ReadPatFileHeader(index.folder() + name, header))
            continue; // one bad file must not hide the ones after it
        rows.append(makeRow(header, name));
    }

    sortRows(rows);
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].cells[0] = QString::number(i + 1);
    return rows;
}

QList<FileListRow> BuildRecordFileList(const QString &recordFile, const std::function<void(int)> &progress)
{
    QList<FileListRow> rows;
    QString problem;
    const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(recordFile, &problem);
    if (!index) {
        Messages::error(QStringLiteral("%1: %2").arg(recordFile, problem));
        return rows;
    }
    RaceData data;
    int done = 0;
    for (const JvRaceRecords &race : index->races) {
        if (progress && ++done % 64 == 0)
            progress(done);
        const QString key = race.keyText();
        if (!ReadJvRace(*index, key, data))
            continue;
        FileListRow row = makeRow(data.odds.Header, key);
        row.raceKey = key;
        rows.append(std::move(row));
    }
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].cells[0] = QString::number(i + 1);
    return rows;
}

int CountUnrepresentableOddsFiles(const QString &folder)
{
    int count = 0;
    const FolderIndex index = FolderIndex::of(folder);
    for (int i = 0; i < index.count(); ++i) {
        const QByteArrayView name = index.rawName(i);
        if (!index.isRepresentable(i) && name.size() >= 7 && name.first(3).compare("zo-", Qt::CaseInsensitive) == 0
            && name.last(4).compare(".jra", Qt::CaseInsensitive) == 0)
            ++count;
    }
    return count;
}

} // namespace CommonFunc
