// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/text_table.h"

#include "common/text_util.h"

namespace {

bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF)
        || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF)
        || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
        || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x2460 && c <= 0x24FF)
        || (c >= 0x25A0 && c <= 0x25FF) || (c >= 0x2600 && c <= 0x26FF) || c == 0x00D7 || c == 0x2605
        || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

int TextTable::displayWidth(const QString &text)
{
    int width = 0;
    for (char32_t c : text.toUcs4())
        width += isWide(c) ? 2 : 1;
    return width;
}

void TextTable::addRow(const QStringList &cells)
{
    QStringList row;
    row.reserve(cells.size());
    for (const QString &cell : cells)
        row.append(CommonFunc::VisibleText(cell));
    m_rows.append(row);
}

QString TextTable::render(const QString &indent) const
{
    QList<int> widths;
    for (const QStringList &row : m_rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (widths.size() <= c)
                widths.append(0);
            widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
    }
    QString out;
    for (const QStringList &row : m_rows) {
        QString line = indent;
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QString padding(widths[c] - displayWidth(row[c]), u' ');
            const bool right = c < m_alignments.size() && m_alignments[c] == Align::Right;
            if (c > 0)
                line += u' ';
            line += right ? padding + row[c] : row[c] + padding;
        }
        out += CommonFunc::TrimTrailingSpacesView(line);
        out += u'\n';
    }
    return out;
}
