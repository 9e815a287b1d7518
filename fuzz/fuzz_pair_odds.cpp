// SPDX-License-Identifier: GPL-3.0-or-later
// ReadPairOddsFile on one pair odds file.
#include "fuzz_checks.h"

#include "patdata/pat_files.h"

using namespace CommonFunc;
using namespace FuzzSupport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    const QByteArray bytes = bytesOf(data, size);
    const QString path = writeScratchFile(QStringLiteral("Uo-01010101.jra"), bytes);

    // A table still holding an earlier race: a read that fails before the
    // pairs must leave it alone.
    static const QString earlier = QStringLiteral("  12.3");
    PairOddsTable table;
    table.at(1, 2).UmaRenOdds = earlier;

    const bool read = ReadPairOddsFile(path, table);
    const qsizetype headed = Layout::patHeaderSize + Layout::pairOddsGap;
    if (bytes.size() < headed || !formatCodeAccepted(bytes)) {
        require(!read, "no pairs without a header");
        require(table.at(1, 2).UmaRenOdds == earlier, "a failed header leaves the table alone");
        return 0;
    }
    requireWidths(table.Header, Layout::patHeader, "header widths");
    require(table.Reserved.size() == Layout::pairOddsGap, "gap width");
    const int count = PatCount(table.Header.HorseCount);
    const qsizetype pairs = count > 1 ? qsizetype(count) * (count - 1) / 2 : 0;
    const bool whole = count <= MaxHorses && bytes.size() >= headed + pairs * Layout::pairOddsSize;
    require(read == whole, "pairs read exactly when every record is there");
    if (!read)
        return 0;

    for (int i = 1; i <= MaxHorses; ++i) {
        for (int j = 1; j <= MaxHorses; ++j) {
            const PairOddsRecord &pair = table.at(i, j);
            requireWidths(pair, Layout::pairOdds, "pair record widths");
            if (i < j && j <= count)
                continue;
            for (const auto &field : Layout::pairOdds)
                require((pair.*(field.member)).count(u' ') == field.width, "unread pairs hold spaces");
        }
    }
    return 0;
}
