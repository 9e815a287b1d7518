// SPDX-License-Identifier: GPL-3.0-or-later
// ReadResultFile on one result file.
#include "fuzz_checks.h"

#include "patdata/pat_files.h"

using namespace CommonFunc;
using namespace FuzzSupport;

namespace {

template <int N>
void requirePayouts(const Slots<ResultPayout, N> &payouts, int combinationWidth)
{
    for (const ResultPayout &payout : payouts) {
        require(payout.Combination.size() == combinationWidth, "combination width");
        require(payout.Amount.size() == Layout::payoutAmount, "amount width");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    const QByteArray bytes = bytesOf(data, size);
    const QString path = writeScratchFile(QStringLiteral("Ks-0990101.jra"), bytes);

    ResultData result;
    const bool read = ReadResultFile(path, result);
    require(read == (bytes.size() >= Layout::resultFileSize), "result read exactly when all of it is there");
    if (!read)
        return 0;

    requireWidths(result.Header, Layout::resultHeader, "header widths");
    for (const ResultFinisher &finisher : result.Finishers)
        requireWidths(finisher, Layout::finisher, "finisher widths");
    require(result.Reserved.size() == Layout::resultGap, "gap width");
    requirePayouts(result.Tan, Layout::tanCombination);
    requirePayouts(result.Fuku, Layout::fukuCombination);
    requirePayouts(result.WakuRen, Layout::wakuRenCombination);
    requirePayouts(result.UmaRen, Layout::umaRenCombination);
    requirePayouts(result.Wide, Layout::wideCombination);
    return 0;
}
