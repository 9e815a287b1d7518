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

bool ReadPatField(PatFile &file, int width, PatText &slot)
{
    QByteArrayView bytes;
    if (width > PatText::kMaxWidth || !file.take(width, bytes))
        return false;
    slot.setBytes(bytes);
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

int PatCount(QStringView text)
{
    // Counts above 18 fail in the readers; the clamp only keeps the integer sane.
    const double value = std::trunc(NumericValue(text));
    return int(std::clamp(value, -1.0, 999.0));
}

int PatCount(const PatText &field)
{
    PatText::Buffer buffer;
    return PatCount(field.view(buffer));
}

} // namespace CommonFunc
