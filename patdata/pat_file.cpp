// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/pat_files.h"

#include "common/file_checks.h"
#include "common/messages.h"
#include "common/text_convert.h"
#include "patdata/cp932.h"
#include "patdata/pat_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace CommonFunc {

bool PatFile::open(const QString &path, qint64 maxBytes)
{
    m_data.clear();
    m_position = 0;
    if (path.isEmpty())
        return false;
    // Only regular files: a folder or a pipe given the name of a race file,
    // even one swapped in by the terminal's folder meanwhile, must neither be
    // read nor block the program.
    return ReadRegularFile(path, maxBytes, m_data);
}

bool PatFile::take(int n, QByteArrayView &bytes)
{
    if (n < 0 || remaining() < n)
        return false;
    bytes = QByteArrayView(m_data).sliced(m_position, n);
    m_position += n;
    return true;
}

namespace {

// Most fields of a race's files are blank or one or two plain characters
// (marks, counts, reserved codes): those share one text each, made once per
// thread, instead of a text of their own per field.
const QString *sharedText(QByteArrayView bytes)
{
    constexpr int kMaxBlank = 64;
    constexpr int kFirst = 0x20;
    constexpr int kPrintable = 0x7F - kFirst;
    const qsizetype n = bytes.size();
    if (n == 0 || n > kMaxBlank)
        return nullptr;
    const auto printable = [](char c) { return c >= kFirst && c < 0x7F; };
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == ' '; })) {
        thread_local std::array<QString, kMaxBlank + 1> blanks;
        QString &text = blanks[std::size_t(n)];
        if (text.isNull())
            text = QString(n, u' ');
        return &text;
    }
    if (n == 1 && printable(bytes[0])) {
        thread_local std::array<QString, kPrintable> ones;
        QString &text = ones[std::size_t(bytes[0] - kFirst)];
        if (text.isNull())
            text = Cp932::decodePadded(bytes, 1);
        return &text;
    }
    if (n == 2 && printable(bytes[0]) && printable(bytes[1])) {
        thread_local std::vector<QString> twos(std::size_t(kPrintable * kPrintable));
        QString &text = twos[std::size_t((bytes[0] - kFirst) * kPrintable + (bytes[1] - kFirst))];
        if (text.isNull())
            text = Cp932::decodePadded(bytes, 2);
        return &text;
    }
    return nullptr;
}

} // namespace

bool ReadPatField(PatFile &file, int width, QString &slot)
{
    QByteArrayView bytes;
    if (!file.take(width, bytes))
        return false;
    if (const QString *shared = sharedText(bytes))
        slot = *shared;
    else
        slot = Cp932::decodePadded(bytes, width);
    return true;
}

bool ReadPatHeader(PatFile &file, PatFileHeader &header)
{
    if (!Layout::readRecord(file, header, Layout::patHeader))
        return false;
    if (header.FormatCode != u" " && header.FormatCode != u"2" && header.FormatCode != u"3") {
        Messages::notice(Messages::formatMismatchText());
        return false;
    }
    return true;
}

bool ReadPatFileHeader(const QString &path, PatFileHeader &header)
{
    PatFile file;
    if (!file.open(path, Layout::patHeaderSize))
        return false;
    return ReadPatHeader(file, header);
}

int PatCount(const QString &text)
{
    // Counts above 18 fail in the readers; the clamp only keeps the integer sane.
    const double value = std::trunc(NumericValue(text));
    return int(std::clamp(value, -1.0, 999.0));
}

} // namespace CommonFunc
