// SPDX-License-Identifier: GPL-3.0-or-later
// ReadEntryFile on one entry file.
#include "fuzz_checks.h"

#include "patdata/pat_files.h"

using namespace CommonFunc;
using namespace FuzzSupport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    const QByteArray bytes = bytesOf(data, size);
    const QString path = writeScratchFile(QStringLiteral("De-01010101.jra"), bytes);

    EntryData entry;
    const bool read = ReadEntryFile(path, entry);
    if (bytes.size() < Layout::entryHeaderSize) {
        require(!read, "no entries without a header");
        return 0;
    }
    const int count = PatCount(entry.Header.HorseCount);
    const bool whole = count <= MaxHorses
        && bytes.size() >= Layout::entryHeaderSize + qsizetype(std::max(count, 0)) * Layout::entrySize;
    require(read == whole, "entries read exactly when every record is there");
    if (!read)
        return 0;

    requireWidths(entry.Header, Layout::entryHeader, "header widths");
    for (int k = 1; k <= MaxHorses; ++k) {
        if (k <= count)
            requireWidths(entry.Horses[k], Layout::entry, "entry record widths");
        else
            requireEmpty(entry.Horses[k], Layout::entry, "slots above the count stay empty");
    }
    return 0;
}
