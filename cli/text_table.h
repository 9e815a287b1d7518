// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Columns of text aligned for a terminal, where CJK and full-width
// characters take two cells and half-width katakana one.
class TextTable {
public:
    enum class Align { Left, Right };

    void setAlignments(QList<Align> alignments) { m_alignments = std::move(alignments); }
    // Control characters in a cell are made visible (VisibleText).
    void addRow(const QStringList &cells);
    QString render(const QString &indent = QString()) const;

    static int displayWidth(const QString &text);

private:
    QList<Align> m_alignments;
    QList<QStringList> m_rows;
};
