// SPDX-License-Identifier: GPL-3.0-or-later
// ReadTanFukuOddsFile and ReadPatFileHeader on one win/place odds file.
#include "fuzz_checks.h"

#include "patdata/pat_files.h"

using namespace CommonFunc;
using namespace FuzzSupport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    const QByteArray bytes = bytesOf(data, size);
    const QString path = writeScratchFile(QStringLiteral("Zo-01010101.jra"), bytes);

    PatFileHeader header;
    const bool headerRead = ReadPatFileHeader(path, header);
    require(headerRead == (bytes.size() >= Layout::patHeaderSize && formatCodeAccepted(bytes)),
            "header read exactly when it is whole and its format code is known");

    TanFukuOddsData odds;
    const bool read = ReadTanFukuOddsFile(path, odds);
    if (!headerRead) {
        require(!read, "no odds without a header");
        return 0;
    }
    requireWidths(header, Layout::patHeader, "header widths");
    const int count = PatCount(header.HorseCount);
    const bool whole = count <= MaxHorses
        && bytes.size() >= Layout::patHeaderSize + qsizetype(std::max(count, 0)) * Layout::tanFukuOddsSize;
    require(read == whole, "odds read exactly when every record is there");
    if (!read)
        return 0;

    for (const auto &field : Layout::patHeader)
        require(odds.Header.*(field.member) == header.*(field.member), "both header readers agree");
    for (int k = 1; k <= MaxHorses; ++k) {
        if (k <= count)
            requireWidths(odds.Odds[k], Layout::tanFukuOdds, "odds record widths");
        else
            requireEmpty(odds.Odds[k], Layout::tanFukuOdds, "slots above the count stay empty");
    }
    return 0;
}
