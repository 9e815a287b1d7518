// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/jv_records.h"

#include "common/file_checks.h"
#include "common/messages.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "patdata/cp932.h"
#include "patdata/jv_layout.h"
#include "patdata/race_data.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

namespace CommonFunc {

namespace {

namespace L = JvLayout;

// The reasons are English; minukuru-cli translates them for the user's language.
struct JvRecordsText {
    Q_DECLARE_TR_FUNCTIONS(JvRecordsText)
};

QByteArrayView field(QByteArrayView record, L::Span span) { return record.sliced(span.offset, span.width); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allOf(QByteArrayView bytes, char c)
{
    return std::all_of(bytes.begin(), bytes.end(), [c](char b) { return b == c; });
}

std::optional<int> number(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const char c : digits) {
        const unsigned digit = unsigned(uchar(c)) - unsigned('0');
        if (digit > 9)
            return std::nullopt;
        value = value * 10 + int(digit);
    }
    return value;
}

// The record types the program reads, with their lengths without CR LF.
enum class Type { Ra, Se, Hr, O1, O2, O3, Other };

Type typeOf(QByteArrayView code)
{
    if (code == "RA")
        return Type::Ra;
    if (code == "SE")
        return Type::Se;
    if (code == "HR")
        return Type::Hr;
    if (code == "O1")
        return Type::O1;
    if (code == "O2")
        return Type::O2;
    if (code == "O3")
        return Type::O3;
    return Type::Other;
}

int lengthOf(Type type)
{
    switch (type) {
    case Type::Ra:
        return L::Ra::size - 2;
    case Type::Se:
        return L::Se::size - 2;
    case Type::Hr:
        return L::Hr::size - 2;
    case Type::O1:
        return L::O1::size - 2;
    case Type::O2:
        return L::O2::size - 2;
    case Type::O3:
        return L::O3::size - 2;
    case Type::Other:
        break;
    }
    return 0;
}

const char *codeOf(Type type)
{
    static const char *const codes[] = {"RA", "SE", "HR", "O1", "O2", "O3", "??"};
    return codes[int(type)];
}

bool isCodeChar(char c) { return (c >= 'A' && c <= 'Z') || isDigit(c); }

// A record's head: type code, data kind, creation date and race key.
bool isRecordHead(QByteArrayView head)
{
    if (head.size() < L::headSize)
        return false;
    if (!isCodeChar(head[0]) || !isCodeChar(head[1]) || !(head[0] >= 'A' && head[0] <= 'Z'))
        return false;
    const QByteArrayView date = field(head, L::madeDate);
    const QByteArrayView key = field(head, L::raceKey);
    return isCodeChar(head[L::dataKind.offset]) && std::all_of(date.begin(), date.end(), isDigit)
        && std::all_of(key.begin(), key.end(), isDigit);
}

// Odds of the furthest stage count: 中間 1, 前日売最終 2, 最終 3, 確定 4 and 5.
int stageRank(char kind) { return isDigit(kind) ? kind - '0' : 0; }

} // namespace

bool IsJvRaceKey(QStringView text)
{
    return text.size() == JvRaceKeyLength
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool LooksLikeJvRecords(QByteArrayView head) { return isRecordHead(head); }

bool IsJvRecordFile(const QString &path)
{
    QByteArray head;
    return ReadRegularFile(path, L::headSize, head) && LooksLikeJvRecords(head);
}

QString RaceReference(const QString &path, const QString &key)
{
    return key.isEmpty() ? path : path + QStringLiteral(" --race ") + key;
}

QString JvOddsStageName(char dataKind)
{
    switch (dataKind) {
    case '1':
        return QStringLiteral(u"中間ｵｯｽﾞ");
    case '2':
        return QStringLiteral(u"前日売最終ｵｯｽﾞ");
    case '3':
        return QStringLiteral(u"最終ｵｯｽﾞ");
    case '4':
        return QStringLiteral(u"確定ｵｯｽﾞ");
    case '5':
        return QStringLiteral(u"確定ｵｯｽﾞ(月曜)");
    default:
        return QStringLiteral(u"ｵｯｽﾞ(区分%1)").arg(QChar(char16_t(uchar(dataKind))));
    }
}

QStringList JvRecordIndex::keys() const
{
    QStringList out;
    out.reserve(qsizetype(races.size()));
    for (const JvRaceRecords &race : races)
        out.append(race.keyText());
    return out;
}

const JvRaceRecords *JvRecordIndex::find(QStringView key) const
{
    if (!IsJvRaceKey(key))
        return nullptr;
    std::array<char, JvRaceKeyLength> wanted {};
    for (int k = 0; k < JvRaceKeyLength; ++k)
        wanted[std::size_t(k)] = char(key[k].unicode());
    const auto it = std::lower_bound(races.begin(), races.end(), wanted,
                                     [](const JvRaceRecords &race, const auto &k) { return race.key < k; });
    return it != races.end() && it->key == wanted ? &*it : nullptr;
}

namespace {

// Takes one line of the file: its offset, its length without the line end
// and its first bytes.
class Indexer {
public:
    explicit Indexer(JvRecordIndex &index)
        : m_index(index)
    {
    }

    void line(qint64 offset, qint64 length, QByteArrayView head)
    {
        ++m_lines;
        if (length == 0)
            return;
        if (!isRecordHead(head)) {
            ++m_index.strayLines;
            return;
        }
        const Type type = typeOf(head.first(2));
        if (type == Type::Other || full())
            return; // a record of a kind the program does not read
        JvRaceRecords &race = raceOf(field(head, L::raceKey));
        if (length != lengthOf(type)) {
            if (race.problem.isEmpty())
                race.problem = JvRecordsText::tr("its %1 record on line %2 is %3 bytes long before its line end, not %4")
                                   .arg(QLatin1String(codeOf(type)))
                                   .arg(m_lines)
                                   .arg(length)
                                   .arg(lengthOf(type));
            return;
        }
        const char kind = head[L::dataKind.offset];
        switch (type) {
        case Type::Ra:
            race.ra = kind == '0' ? -1 : offset;
            break;
        case Type::Hr:
            // A race called off (9) pays nothing from this record.
            if (kind != '9')
                race.hr = kind == '0' ? -1 : offset;
            break;
        case Type::Se: {
            const std::optional<int> horse = number(field(head, L::Se::horse));
            if (!horse || *horse < 1 || *horse > MaxHorses) {
                if (race.problem.isEmpty())
                    race.problem = JvRecordsText::tr("its SE record on line %1 has the horse number \"%2\"")
                                       .arg(m_lines)
                                       .arg(QString::fromLatin1(field(head, L::Se::horse)));
                return;
            }
            race.se[std::size_t(*horse - 1)] = kind == '0' ? -1 : offset;
            break;
        }
        case Type::O1:
        case Type::O2:
        case Type::O3:
            takeOdds(race, int(type) - int(Type::O1), kind, field(head, L::O1::announced), offset);
            break;
        case Type::Other:
            break;
        }
    }

    // Decades of racing are some 200,000 races; a file claiming far more is
    // refused before its index outgrows the memory.
    static constexpr std::size_t kMaxRaces = 1000000;
    bool full() const { return m_full; }

    void finish()
    {
        std::vector<JvRaceRecords> &races = m_index.races;
        // A race is listed where it has win/place odds, as a PAT race is by
        // its odds file, or where it cannot be read: then it is counted.
        races.erase(std::remove_if(races.begin(), races.end(),
                                   [](const JvRaceRecords &race) {
                                       return race.odds[0] < 0 && race.problem.isEmpty();
                                   }),
                    races.end());
        std::sort(races.begin(), races.end(),
                  [](const JvRaceRecords &a, const JvRaceRecords &b) { return a.key < b.key; });
    }

private:
    JvRaceRecords &raceOf(QByteArrayView key)
    {
        const QByteArray wanted = key.toByteArray();
        const auto it = m_byKey.constFind(wanted);
        if (it != m_byKey.constEnd())
            return m_index.races[std::size_t(*it)];
        if (m_index.races.size() + 1 >= kMaxRaces)
            m_full = true;
        m_byKey.insert(wanted, int(m_index.races.size()));
        JvRaceRecords &race = m_index.races.emplace_back();
        std::copy_n(key.data(), JvRaceKeyLength, race.key.begin());
        race.se.fill(-1);
        return race;
    }

    static void takeOdds(JvRaceRecords &race, int which, char kind, QByteArrayView announced, qint64 offset)
    {
        const auto k = std::size_t(which);
        if (kind == '0') {
            race.odds[k] = -1;
            return;
        }
        if (kind == '9')
            return; // the race was called off: these odds are no market
        std::array<char, 8> time {};
        std::copy_n(announced.data(), time.size(), time.begin());
        if (race.odds[k] >= 0) {
            const int had = stageRank(race.oddsKind[k]);
            const int now = stageRank(kind);
            if (now < had || (now == had && time < race.announced[k]))
                return;
        }
        race.odds[k] = offset;
        race.oddsKind[k] = kind;
        race.announced[k] = time;
    }

    JvRecordIndex &m_index;
    QHash<QByteArray, int> m_byKey;
    bool m_full = false;
    qint64 m_lines = 0;
};

} // namespace

bool ScanJvRecords(const QString &path, JvRecordIndex &index, QString *problem)
{
    index = JvRecordIndex();
    index.path = path;
    QFile file;
    if (!OpenRegularFile(path, file, problem))
        return false;
    const QFileInfo info(path);
    index.size = info.size();
    index.modified = info.lastModified();

    Indexer indexer(index);
    constexpr qint64 kBuffer = qint64(1) << 20;
    const std::unique_ptr<char[]> buffer(new char[std::size_t(kBuffer)]);
    // The line in hand: where it starts, its length so far, its first bytes.
    qint64 lineStart = 0;
    qint64 lineLength = 0;
    char lastByte = 0;
    std::array<char, L::O1::announced.end()> head {};
    qint64 position = 0;
    bool first = true;
    const auto take = [&](qint64 length) {
        const QByteArrayView headView(head.data(), std::min<qint64>(length, qint64(head.size())));
        if (first) {
            if (!isRecordHead(headView))
                return false;
            first = false;
        }
        indexer.line(lineStart, length, headView);
        return true;
    };
    const auto notRecords = [&] {
        if (problem)
            *problem = JvRecordsText::tr("not a file of JV-Data records");
        return false;
    };
    for (;;) {
        const qint64 got = file.read(buffer.get(), kBuffer);
        if (got < 0) {
            if (problem)
                *problem = file.errorString();
            return false;
        }
        if (got == 0)
            break;
        const char *data = buffer.get();
        qint64 at = 0;
        while (at < got) {
            const void *found = std::memchr(data + at, '\n', std::size_t(got - at));
            const qint64 end = found ? qint64(static_cast<const char *>(found) - data) : got;
            const qint64 piece = end - at;
            if (lineLength < qint64(head.size())) {
                const qint64 n = std::min<qint64>(piece, qint64(head.size()) - lineLength);
                std::memcpy(head.data() + lineLength, data + at, std::size_t(n));
            }
            if (piece > 0)
                lastByte = data[end - 1];
            lineLength += piece;
            if (!found)
                break;
            // CR LF ends a record; a bare LF is taken too.
            if (!take(lineLength > 0 && lastByte == '\r' ? lineLength - 1 : lineLength))
                return notRecords();
            at = end + 1;
            lineStart = position + at;
            lineLength = 0;
            lastByte = 0;
        }
        position += got;
    }
    if (indexer.full()) {
        if (problem)
            *problem = JvRecordsText::tr("more than %1 races").arg(Indexer::kMaxRaces);
        return false;
    }
    // The last line, without its line end.
    if (lineLength > 0 && !take(lastByte == '\r' ? lineLength - 1 : lineLength))
        return notRecords();
    if (first)
        return notRecords();
    indexer.finish();
    return true;
}

std::shared_ptr<const JvRecordIndex> JvRecordIndexOf(const QString &path, QString *problem)
{
    // The files of a run: a backtest lists them all, then reads their races
    // file by file.  A file's index is small beside the file.
    struct Kept {
        QString path;
        std::shared_ptr<const JvRecordIndex> index;
    };
    static std::mutex mutex;
    static std::vector<Kept> kept;
    constexpr std::size_t kKept = 256;

    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    {
        const std::lock_guard lock(mutex);
        for (auto it = kept.begin(); it != kept.end(); ++it) {
            if (it->path == absolute) {
                if (it->index->size == info.size() && it->index->modified == info.lastModified())
                    return it->index;
                kept.erase(it);
                break;
            }
        }
    }
    auto index = std::make_shared<JvRecordIndex>();
    if (!ScanJvRecords(path, *index, problem))
        return nullptr;
    const std::lock_guard lock(mutex);
    if (kept.size() >= kKept)
        kept.erase(kept.begin());
    kept.push_back({absolute, index});
    return index;
}

// ---- One race -------------------------------------------------------------------

namespace {

// Course names by their codes; the code itself for a course outside JRA's ten.
QString courseNameOf(int code)
{
    static constexpr const char16_t *kNames[] = {u"札幌", u"函館", u"福島", u"新潟", u"東京",
                                                 u"中山", u"中京", u"京都", u"阪神", u"小倉"};
    if (code >= 1 && code <= 10)
        return QString::fromUtf16(kNames[code - 1]);
    return QString::number(code).rightJustified(2, u'0');
}

// A field of code page 932 text cut to width bytes at a character boundary,
// its blanks (half- and full-width) dropped at the end, as a reader of the
// PAT files gives it: decoded and padded with spaces to width characters.
qsizetype fittedLength(QByteArrayView bytes, int width)
{
    qsizetype n = bytes.size();
    for (;;) {
        if (n > 0 && bytes[n - 1] == ' ')
            --n;
        else if (n > 1 && uchar(bytes[n - 2]) == 0x81 && uchar(bytes[n - 1]) == 0x40)
            n -= 2;
        else
            break;
    }
    qsizetype cut = 0;
    while (cut < n) {
        const uchar c = uchar(bytes[cut]);
        const qsizetype length = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
        if (cut + length > width || cut + length > n)
            break;
        cut += length;
    }
    return cut;
}

QString fitted(QByteArrayView bytes, int width)
{
    return Cp932::decodePadded(bytes.first(fittedLength(bytes, width)), width);
}

// The fields below are given the bytes a PAT file would hold, as its reader
// gives them: no text is made for a field until something reads it.
constexpr char kSpaces[PatText::kMaxWidth + 1] = "                                                                ";
static_assert(sizeof(kSpaces) - 1 == PatText::kMaxWidth);

void putBlank(PatText &field, int width) { field.setBytes(QByteArrayView(kSpaces, width)); }

// The bytes, then spaces to width (none cut where they are more).
void putPadded(PatText &field, QByteArrayView bytes, int width)
{
    std::array<char, PatText::kMaxWidth> out;
    const qsizetype n = std::min<qsizetype>(bytes.size(), PatText::kMaxWidth);
    std::copy_n(bytes.data(), n, out.data());
    const qsizetype size = std::max<qsizetype>(n, std::min(width, PatText::kMaxWidth));
    std::fill(out.data() + n, out.data() + size, ' ');
    field.setBytes(QByteArrayView(out.data(), size));
}

// fitted() as bytes: the cut field's blanks become spaces, which read the same.
void putFitted(PatText &field, QByteArrayView bytes, int width)
{
    putPadded(field, bytes.first(fittedLength(bytes, width)), width);
}

// A whole number of 0 or more right-aligned in width bytes, wider where it
// has more digits.
void putRightAligned(PatText &field, int value, int width)
{
    std::array<char, 16> digits;
    const qsizetype n = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr - digits.data();
    std::array<char, PatText::kMaxWidth> out;
    const qsizetype pad = std::clamp<qsizetype>(width - n, 0, PatText::kMaxWidth - n);
    std::fill_n(out.data(), pad, ' ');
    std::copy_n(digits.data(), n, out.data() + pad);
    field.setBytes(QByteArrayView(out.data(), pad + n));
}

// An odds field: tenths, a scratched horse, or no number (no votes, not
// registered, anything else).
struct Odds {
    enum Kind { Number, Scratched, None } kind = None;
    int tenths = 0;
};

Odds oddsOf(QByteArrayView digits)
{
    // "----" scratched before sale (発売前取消), "****" after (発売後取消).
    const bool marked = digits.isEmpty() || digits[0] == '-' || digits[0] == '*';
    if (marked && (allOf(digits, '-') || allOf(digits, '*')))
        return {Odds::Scratched, 0};
    const std::optional<int> value = number(digits);
    if (!value || *value == 0)
        return {}; // "0000" no votes, blank not registered
    return {Odds::Number, *value};
}

// The PAT file's bytes of odds into out[0, width): "5.3" right-aligned, at
// most maxTenths; the scratched marker; blank for no number.  Straight into
// bytes: a race has 459 pair odds fields.
void putOdds(const Odds &odds, int width, int maxTenths, char *out)
{
    std::fill(out, out + width, ' ');
    if (odds.kind == Odds::Scratched) {
        static constexpr char kMarker[] = "\xC4\xD8\xB9\xBC"; // "ﾄﾘｹｼ" in code page 932
        std::copy_n(kMarker, 4, out);
    } else if (odds.kind == Odds::Number) {
        int tenths = std::min(odds.tenths, maxTenths);
        int at = width - 1;
        out[at--] = char('0' + tenths % 10);
        out[at--] = '.';
        tenths /= 10;
        do {
            out[at--] = char('0' + tenths % 10);
            tenths /= 10;
        } while (tenths > 0 && at >= 0);
    }
}

// A whole number right-aligned in out[0, width), blank for 0.
void putNumber(int value, int width, char *out)
{
    std::fill(out, out + width, ' ');
    for (int at = width - 1; value > 0 && at >= 0; --at, value /= 10)
        out[at] = char('0' + value % 10);
}

void putOdds(PatText &field, const Odds &odds, int width, int maxTenths)
{
    std::array<char, 8> bytes {};
    putOdds(odds, width, maxTenths, bytes.data());
    field.setBytes(QByteArrayView(bytes.data(), width));
}

// The widest odds a PAT field holds: "999.9" and "9999.9".
constexpr int kMaxSingleTenths = 9999;
constexpr int kMaxPairTenths = 99999;

class RaceReader {
public:
    RaceReader(const QString &path, const JvRaceRecords &race)
        : m_path(path)
        , m_race(race)
    {
    }

    bool read(RaceData &data)
    {
        QString problem;
        if (!OpenRegularFile(m_path, m_file, &problem))
            return fail(problem);
        if (!m_race.problem.isEmpty())
            return fail(m_race.problem);
        readSpan();
        QByteArrayView o1;
        if (!record(m_race.odds[0], Type::O1, o1))
            return false;
        QByteArrayView ra;
        if (m_race.ra >= 0 && !record(m_race.ra, Type::Ra, ra))
            return false;
        std::array<QByteArrayView, MaxHorses> se;
        bool anySe = false;
        for (int k = 0; k < MaxHorses; ++k) {
            if (m_race.se[std::size_t(k)] >= 0) {
                if (!record(m_race.se[std::size_t(k)], Type::Se, se[std::size_t(k)]))
                    return false;
                anySe = true;
            }
        }
        QByteArrayView o2;
        QByteArrayView o3;
        QByteArrayView hr;
        if ((m_race.odds[1] >= 0 && !record(m_race.odds[1], Type::O2, o2))
            || (m_race.odds[2] >= 0 && !record(m_race.odds[2], Type::O3, o3))
            || (m_race.hr >= 0 && !record(m_race.hr, Type::Hr, hr)))
            return false;

        if (!fillOdds(o1, ra, data))
            return false;
        if (!ra.isEmpty() || anySe)
            fillEntry(ra, se, data);
        if (!o2.isEmpty() || !o3.isEmpty())
            fillPairs(o2, o3, data);
        if (!hr.isEmpty()) {
            data.hasResult = fillResult(hr, se, data.result);
            data.resultUnreadable = !data.hasResult;
            if (!data.hasResult)
                data.result = ResultData();
        }
        return true;
    }

private:
    bool fail(const QString &why)
    {
        Messages::error(JvRecordsText::tr("%1, race %2: %3").arg(m_path, m_race.keyText(), why));
        return false;
    }

    // The record at offset, checked to be the one the index found there.
    // A race's records mostly stand together: one read takes them all where
    // they lie within a few times a race's size.
    void readSpan()
    {
        qint64 first = -1;
        qint64 last = -1;
        const auto take = [&](qint64 offset, Type type) {
            if (offset < 0)
                return;
            first = first < 0 ? offset : std::min(first, offset);
            last = std::max(last, offset + lengthOf(type));
        };
        take(m_race.ra, Type::Ra);
        take(m_race.hr, Type::Hr);
        take(m_race.odds[0], Type::O1);
        take(m_race.odds[1], Type::O2);
        take(m_race.odds[2], Type::O3);
        for (const qint64 offset : m_race.se)
            take(offset, Type::Se);
        constexpr qint64 kMaxSpan = qint64(1) << 16;
        if (first < 0 || last - first > kMaxSpan || !m_file.seek(first))
            return;
        m_span = m_file.read(last - first);
        m_spanStart = first;
    }

    // The record as a view into what was read, valid while the reader lives.
    bool record(qint64 offset, Type type, QByteArrayView &bytes)
    {
        const int length = lengthOf(type);
        if (offset >= m_spanStart && offset + length <= m_spanStart + m_span.size()) {
            bytes = QByteArrayView(m_span).sliced(offset - m_spanStart, length);
        } else {
            if (!m_file.seek(offset))
                return fail(m_file.errorString());
            bytes = m_apart.emplace_back(m_file.read(length));
        }
        if (bytes.size() != length || QByteArrayView(bytes).first(2) != codeOf(type)
            || field(bytes, L::raceKey) != QByteArrayView(m_race.key.data(), JvRaceKeyLength))
            return fail(JvRecordsText::tr("the file has changed since it was read"));
        return true;
    }

    bool fillOdds(QByteArrayView o1, QByteArrayView ra, RaceData &data)
    {
        // Find each horse's entry by its number, not by its slot.
        std::array<int, MaxHorses + 1> tanSlot {};
        std::array<int, MaxHorses + 1> fukuSlot {};
        int highest = 0;
        for (int slot = 0; slot < L::O1::entries; ++slot) {
            const int tanAt = L::O1::tan + slot * L::O1::tanEntry;
            const int fukuAt = L::O1::fuku + slot * L::O1::fukuEntry;
            for (int pass = 0; pass < 2; ++pass) {
                const int at = pass == 0 ? tanAt : fukuAt;
                std::array<int, MaxHorses + 1> *horseSlot = pass == 0 ? &tanSlot : &fukuSlot;
                const std::optional<int> horse = number(QByteArrayView(o1).sliced(at, L::O1::horseWidth));
                if (!horse || *horse == 0)
                    continue;
                if (*horse > MaxHorses)
                    return fail(JvRecordsText::tr("its O1 record has horse number %1, more than 18").arg(*horse));
                (*horseSlot)[std::size_t(*horse)] = at;
                highest = std::max(highest, *horse);
            }
        }
        const std::optional<int> registered = number(field(o1, L::O1::registered));
        if (registered && *registered > MaxHorses)
            return fail(JvRecordsText::tr("its O1 record has %1 horses, more than 18").arg(*registered));
        const int count = std::max(highest, registered.value_or(0));

        PatFileHeader &h = data.odds.Header;
        headerOf(ra, o1, count, h);
        m_scratched.fill(false);
        for (int k = 1; k <= count; ++k) {
            TanFukuOddsRecord &r = data.odds.Odds[k];
            const QByteArrayView bytes(o1);
            const Odds tan = tanSlot[std::size_t(k)]
                ? oddsOf(bytes.sliced(tanSlot[std::size_t(k)] + L::O1::horseWidth, L::O1::oddsWidth))
                : Odds();
            Odds low;
            Odds high;
            if (fukuSlot[std::size_t(k)]) {
                const int at = fukuSlot[std::size_t(k)] + L::O1::horseWidth;
                low = oddsOf(bytes.sliced(at, L::O1::oddsWidth));
                high = oddsOf(bytes.sliced(at + L::O1::oddsWidth, L::O1::oddsWidth));
            }
            const bool scratched = tan.kind == Odds::Scratched || low.kind == Odds::Scratched;
            m_scratched[std::size_t(k)] = scratched;
            const Odds mark {Odds::Scratched, 0};
            putBlank(r.Reserved1, 1);
            putBlank(r.Reserved2, 2);
            if (tanSlot[std::size_t(k)]) {
                const std::optional<int> popularity = number(
                    bytes.sliced(tanSlot[std::size_t(k)] + L::O1::horseWidth + L::O1::oddsWidth,
                                 L::O1::popularityWidth));
                if (popularity && *popularity > 0)
                    putRightAligned(r.Reserved2, *popularity, 2);
            }
            putOdds(r.TanOdds, scratched ? mark : tan, 5, kMaxSingleTenths);
            putOdds(r.FukuOddsMin, scratched ? mark : low, 5, kMaxSingleTenths);
            putOdds(r.FukuOddsMax, scratched ? mark : high, 5, kMaxSingleTenths);
        }
        data.oddsStage = JvOddsStageName(m_race.oddsKind[0]);
        const auto &t = m_race.announced[0];
        if (std::all_of(t.begin(), t.end(), isDigit)) {
            const auto two = [&](int at) { return QString::fromLatin1(t.data() + at, 2); };
            data.oddsStage += QStringLiteral(u" %1/%2 %3:%4発表").arg(two(0), two(2), two(4), two(6));
        }
        return true;
    }

    void headerOf(QByteArrayView ra, QByteArrayView o1, int count, PatFileHeader &h) const
    {
        const QByteArrayView key(m_race.key.data(), JvRaceKeyLength);
        const auto at = [&](L::Span span) { return key.sliced(span.offset - L::raceKey.offset, span.width); };
        const int course = number(at(L::course)).value_or(0);
        h.Reserved1 = QString::fromLatin1(key.first(8));
        h.Reserved2 = QString::fromLatin1(field(o1, L::O1::announced));
        h.Reserved3 = QString::fromLatin1(at(L::course));
        h.Reserved4 = QString::fromLatin1(key.sliced(8, 8));
        h.Reserved5 = QStringLiteral("00");
        putFitted(h.Course, Cp932::encode(courseNameOf(course)), 4);
        h.Reserved6 = ra.isEmpty() ? QString(4, u' ') : QString::fromLatin1(field(ra, L::Ra::distance));
        putRightAligned(h.Kai, number(at(L::kai)).value_or(0), 2);
        putRightAligned(h.Nichi, number(at(L::nichi)).value_or(0), 2);
        putRightAligned(h.RaceNo, number(at(L::raceNo)).value_or(0), 2);
        putBlank(h.Reserved7, 1);
        putBlank(h.FormatCode, 1);
        h.Reserved8 = QString::fromLatin1(field(o1, L::O1::announced).sliced(4, 4));
        QByteArrayView name;
        QByteArrayView conditions;
        if (!ra.isEmpty()) {
            name = field(ra, L::Ra::raceName);
            conditions = field(ra, L::Ra::conditionName);
            // An ordinary race has no name of its own: its conditions name it.
            if (TrimSpacesView(fitted(name, 28)).isEmpty())
                name = conditions;
        }
        putFitted(h.RaceName, name, 28);
        putFitted(h.Conditions, conditions, 64);
        putRightAligned(h.HorseCount, count, 2);
    }

    void fillEntry(QByteArrayView ra, const std::array<QByteArrayView, MaxHorses> &se, RaceData &data) const
    {
        data.hasEntry = true;
        EntryHeader &h = data.entry.Header;
        const int count = PatCount(data.odds.Header.HorseCount);
        h.Reserved1 = data.odds.Header.Reserved1;
        h.StartTime = ra.isEmpty() ? QString(4, u' ') : QString::fromLatin1(field(ra, L::Ra::startTime));
        h.HorseCount = data.odds.Header.HorseCount;
        for (int k = 1; k <= count; ++k) {
            const QByteArrayView record = se[std::size_t(k - 1)];
            putFitted(data.entry.Horses[k].HorseName, record.isEmpty() ? QByteArrayView() : field(record, L::Se::name),
                      18);
        }
    }

    void fillPairs(QByteArrayView o2, QByteArrayView o3, RaceData &data) const
    {
        data.hasPairs = true;
        PairOddsTable &table = data.pairs;
        table.Header = data.odds.Header;
        table.Reserved = QStringLiteral("  ");
        table.blank();
        const int count = PatCount(data.odds.Header.HorseCount);
        // Each pair by its 組番, wherever its entry stands.
        struct Entry {
            Odds umaRen;
            Odds wideLow;
            Odds wideHigh;
            int popularity = 0;
        };
        std::array<std::array<Entry, MaxHorses + 1>, MaxHorses + 1> entries {};
        const auto pairOf = [](QByteArrayView kumi) -> std::optional<std::pair<int, int>> {
            const std::optional<int> a = number(kumi.first(2));
            const std::optional<int> b = number(kumi.sliced(2, 2));
            if (!a || !b || *a < 1 || *b <= *a || *b > MaxHorses)
                return std::nullopt;
            return std::pair {*a, *b};
        };
        if (!o2.isEmpty()) {
            for (int slot = 0; slot < L::O2::entries; ++slot) {
                const QByteArrayView e = QByteArrayView(o2).sliced(L::O2::pairs + slot * L::O2::entry, L::O2::entry);
                if (const auto pair = pairOf(e.first(L::pairCombinationWidth))) {
                    Entry &entry = entries[std::size_t(pair->first)][std::size_t(pair->second)];
                    entry.umaRen = oddsOf(e.sliced(L::pairCombinationWidth, L::O2::oddsWidth));
                    entry.popularity = number(
                                           e.sliced(L::pairCombinationWidth + L::O2::oddsWidth, L::O2::popularityWidth))
                                           .value_or(0);
                }
            }
        }
        if (!o3.isEmpty()) {
            for (int slot = 0; slot < L::O3::entries; ++slot) {
                const QByteArrayView e = QByteArrayView(o3).sliced(L::O3::pairs + slot * L::O3::entry, L::O3::entry);
                if (const auto pair = pairOf(e.first(L::pairCombinationWidth))) {
                    Entry &entry = entries[std::size_t(pair->first)][std::size_t(pair->second)];
                    entry.wideLow = oddsOf(e.sliced(L::pairCombinationWidth, L::O3::oddsWidth));
                    entry.wideHigh = oddsOf(e.sliced(L::pairCombinationWidth + L::O3::oddsWidth, L::O3::oddsWidth));
                }
            }
        }
        const Odds mark {Odds::Scratched, 0};
        std::array<char, 25> record {};
        for (int i = 1; i <= count; ++i) {
            for (int j = i + 1; j <= count; ++j) {
                const Entry &e = entries[std::size_t(i)][std::size_t(j)];
                const bool scratched = m_scratched[std::size_t(i)] || m_scratched[std::size_t(j)]
                    || e.umaRen.kind == Odds::Scratched || e.wideLow.kind == Odds::Scratched;
                // The PAT record: 2 reserved, popularity 5, umaren 6, wide low 6, wide high 6.
                record[0] = record[1] = ' ';
                putNumber(scratched ? 0 : e.popularity, 5, record.data() + 2);
                putOdds(scratched ? mark : e.umaRen, 6, kMaxPairTenths, record.data() + 7);
                putOdds(scratched ? mark : e.wideLow, 6, kMaxPairTenths, record.data() + 13);
                putOdds(scratched ? mark : e.wideHigh, 6, kMaxPairTenths, record.data() + 19);
                table.setBytes(i, j, QByteArrayView(record.data(), qsizetype(record.size())));
            }
        }
    }

    // The first seven from the horses' finishing places, the payouts from
    // HR.  False when an amount is no number.
    static bool fillResult(QByteArrayView hr, const std::array<QByteArrayView, MaxHorses> &se, ResultData &r)
    {
        for (PatText *f : {&r.Header.Reserved1, &r.Header.Reserved2, &r.Header.Reserved3, &r.Header.Reserved4,
                           &r.Header.Reserved5, &r.Header.Reserved6, &r.Header.Reserved7, &r.Header.Reserved8,
                           &r.Header.Reserved9, &r.Header.Reserved10, &r.Header.Reserved11})
            f->clear();
        struct Finisher {
            int place;
            int horse;
        };
        std::vector<Finisher> finishers;
        for (int k = 1; k <= MaxHorses; ++k) {
            const QByteArrayView record = se[std::size_t(k - 1)];
            if (record.isEmpty())
                continue;
            const std::optional<int> place = number(field(record, L::Se::finish));
            if (place && *place > 0)
                finishers.push_back({*place, k});
        }
        std::stable_sort(finishers.begin(), finishers.end(),
                         [](const Finisher &a, const Finisher &b) { return a.place < b.place; });
        for (int p = 1; p <= 7; ++p) {
            ResultFinisher &f = r.Finishers[p];
            putBlank(f.Reserved, 12);
            if (std::size_t(p) > finishers.size()) {
                putBlank(f.Field1, 2);
                putBlank(f.Field2, 2);
                putBlank(f.HorseName, 18);
                putBlank(f.Field4, 6);
                continue;
            }
            const Finisher &who = finishers[std::size_t(p - 1)];
            const QByteArrayView record = se[std::size_t(who.horse - 1)];
            putRightAligned(f.Field1, who.place, 2);
            putRightAligned(f.Field2, who.horse, 2);
            putFitted(f.HorseName, field(record, L::Se::name), 18);
            const std::optional<int> time = number(field(record, L::Se::time));
            if (time && *time > 0) {
                // m:ss.t
                std::array<char, 24> text;
                char *end = std::to_chars(text.data(), text.data() + 12, *time / 1000).ptr;
                *end++ = ':';
                *end++ = char('0' + *time / 100 % 10);
                *end++ = char('0' + *time / 10 % 10);
                *end++ = '.';
                *end++ = char('0' + *time % 10);
                putPadded(f.Field4, QByteArrayView(text.data(), end - text.data()), 6);
            } else {
                putBlank(f.Field4, 6);
            }
        }
        putRightAligned(r.Reserved, int(finishers.size()), 5);

        bool ok = true;
        // A combination's bytes as the PAT file writes it, none where it is no number.
        using Combination = std::optional<QByteArray>;
        const auto payouts = [&](auto &section, int start, int count, int entryWidth, int combinationWidth,
                                 int patWidth, auto combinationBytes) {
            for (int k = 1; k <= section.size(); ++k) {
                ResultPayout &payout = section[k];
                putBlank(payout.Combination, patWidth);
                putBlank(payout.Amount, 8);
                if (k > count)
                    continue;
                const QByteArrayView e = QByteArrayView(hr).sliced(start + (k - 1) * entryWidth, entryWidth);
                const QByteArrayView combination = e.first(combinationWidth);
                const QByteArrayView amount = e.sliced(combinationWidth, L::Hr::payAmount);
                if (allOf(combination, ' ') || allOf(combination, '0'))
                    continue;
                const std::optional<int> yen = number(amount);
                if (!yen) {
                    ok = ok && allOf(amount, ' ');
                    continue;
                }
                const Combination bytes = combinationBytes(combination);
                if (!bytes) {
                    ok = false;
                    continue;
                }
                putPadded(payout.Combination, *bytes, patWidth);
                putRightAligned(payout.Amount, *yen, 8);
            }
        };
        const auto single = [](QByteArrayView c) -> Combination {
            const std::optional<int> horse = number(c);
            if (!horse)
                return std::nullopt;
            return *horse < 10 ? ' ' + QByteArray::number(*horse) : QByteArray::number(*horse);
        };
        const auto bracket = [](QByteArrayView c) -> Combination {
            if (!number(c.first(1)) || !number(c.sliced(1, 1)))
                return std::nullopt;
            const char text[] = {c[0], '-', c[1]};
            return QByteArray(text, 3);
        };
        const auto pair = [](QByteArrayView c) -> Combination {
            const std::optional<int> a = number(c.first(2));
            const std::optional<int> b = number(c.sliced(2, 2));
            if (!a || !b)
                return std::nullopt;
            return MakePairLabel(*a, *b).toLatin1();
        };
        payouts(r.Tan, L::Hr::tan, L::Hr::tanCount, L::Hr::singleEntry, L::Hr::singleCombination, 2, single);
        payouts(r.Fuku, L::Hr::fuku, L::Hr::fukuCount, L::Hr::singleEntry, L::Hr::singleCombination, 2, single);
        payouts(r.WakuRen, L::Hr::wakuRen, L::Hr::wakuRenCount, L::Hr::singleEntry, L::Hr::singleCombination, 4,
                bracket);
        payouts(r.UmaRen, L::Hr::umaRen, L::Hr::umaRenCount, L::Hr::pairEntry, L::Hr::pairCombination, 6, pair);
        payouts(r.Wide, L::Hr::wide, L::Hr::wideCount, L::Hr::pairEntry, L::Hr::pairCombination, 6, pair);
        return ok;
    }

    const QString &m_path;
    const JvRaceRecords &m_race;
    QFile m_file;
    QByteArray m_span; // the race's records read at once, from m_spanStart
    std::vector<QByteArray> m_apart; // records read on their own, outside the span
    qint64 m_spanStart = -1;
    std::array<bool, MaxHorses + 1> m_scratched {};
};

} // namespace

namespace {

void startRace(const QString &path, const QString &key, RaceData &data)
{
    RacePaths paths;
    paths.odds = path;
    paths.raceKey = key;
    StartRaceData(paths, data);
}

} // namespace

bool ReadJvRace(const JvRecordIndex &index, const QString &key, RaceData &data)
{
    startRace(index.path, key, data);
    const JvRaceRecords *race = index.find(key);
    if (!race) {
        Messages::error(JvRecordsText::tr("%1 holds no race %2").arg(index.path, key));
        return false;
    }
    return RaceReader(index.path, *race).read(data);
}

bool ReadJvRace(const QString &path, const QString &key, RaceData &data)
{
    QString problem;
    const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(path, &problem);
    if (!index) {
        startRace(path, key, data);
        Messages::error(QStringLiteral("%1: %2").arg(path, problem));
        return false;
    }
    return ReadJvRace(*index, key, data);
}

} // namespace CommonFunc
