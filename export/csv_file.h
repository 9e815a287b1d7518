// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/number_format.h"
#include "common/text_encoding.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <optional>

// One line of a comma-separated file.  Text fields are quoted, number fields
// are not.
class CsvLine {
public:
    // The text between double quotes as it is, spaces kept; a double quote
    // inside is doubled so that the field reads back as written.
    void addText(QStringView text);
    void addText(QLatin1StringView text);
    void addText(const QString &text) { addText(QStringView(text)); }
    // Plain decimal, at most seven significant digits, no exponent, whole
    // numbers without a point, a leading zero below 1 ("0.32").
    void addNumber(float value);
    // The single-precision value of a cell's text, as addNumber writes it;
    // a text that is not a number gives 0.
    void addValueOf(QStringView text);
    // A shown number's value, as addValueOf writes its text.
    void addValue(const CommonFunc::ShownNumber &number);
    void addInteger(qint16 value);
    void addWholeNumber(qint64 value);
    // FormatFixed's digits, unquoted; an empty field for none.
    void addFixed(std::optional<double> value, int decimals);

    QString text() const { return QString::fromUtf16(m_text.constData(), m_text.size()); }
    QStringView view() const { return QStringView(m_text.constData(), m_text.size()); }
    bool isEmpty() const { return m_fields == 0; }

private:
    // Room for the comma before the field (where one is due) and n
    // characters more at the end of the line, to be filled by the caller.
    char16_t *startField(qsizetype n);
    void addDigits(const char *digits, qsizetype n);
    void addRaw(QStringView text); // unquoted, as it is

    // Built as it goes, on the stack while it is short: a save writes some
    // two thousand fields.
    QVarLengthArray<char16_t, 192> m_text;
    int m_fields = 0;
};

// The lines of a file, written in one go with CR LF ends: in code page 932,
// or in UTF-8 behind a byte-order mark.  Each line is encoded as it is added:
// a file is kept as its bytes, without a text per line.
class CsvFile {
public:
    explicit CsvFile(CommonFunc::TextEncoding encoding = CommonFunc::TextEncoding::ShiftJis);

    void addLine(const CsvLine &line) { addRawLine(line.view()); }
    void addEmptyLine() { addRawLine(QStringView()); }
    // A line written as it is, without quotes.
    void addRawLine(QStringView text);

    // What the file holds: CR LF after every line, in code page 932 or
    // UTF-8 (its byte-order mark first).  The characters that have no code
    // page 932 code and became "?" go to *unmapped (when given), each once in
    // the order met; U+FFFD is not among them, since it stands for bytes that
    // were no text in the first place.  UTF-8 has a code for every one.
    QByteArray bytes(QString *unmapped = nullptr) const;

    // Replaces the file at path as SaveFileSafely (common/safe_save.h) does,
    // refusing anything but a regular file and the files in untouchable.  On
    // failure *errorText (when given) receives the reason.  After a save that
    // wrote characters as "?", *warningText (when given) says which; else it
    // is emptied.
    bool save(const QString &path, QString *errorText = nullptr, const QStringList &untouchable = {},
              QString *warningText = nullptr) const;

private:
    QByteArray m_bytes;
    QString m_unmapped; // every character written as "?", in the order met
    CommonFunc::TextEncoding m_encoding;
};

// Why CsvFile::save would refuse path, asked before the work that makes the
// file: "" when the save may go ahead.  A folder is refused here too, so
// that no work is spent on a file that cannot be written.
QString CsvSaveRefusal(const QString &path, const QStringList &untouchable = {});
