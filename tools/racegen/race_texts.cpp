// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/racegen/race_texts.h"

#include <QStringView>

#include <iterator>

namespace RaceGen {

namespace {

constexpr QStringView kCourses[CourseCount] = {
    u"札幌", u"函館", u"福島", u"新潟", u"東京", u"中山", u"中京", u"京都", u"阪神", u"小倉",
};

// Codes of courses that race on the same weekend.
constexpr int kSpringAutumnSets[][3] = {{5, 8, 4}, {6, 9, 7}, {5, 9, 3}, {6, 8, 10}, {5, 8, 7}};
constexpr int kSummerSets[][3] = {{1, 4, 10}, {2, 3, 7}, {1, 4, 7}};

constexpr QStringView kNameParts[] = {
    u"サクラ",   u"キング",   u"ブルー",   u"スター",   u"ゴールド",   u"ミラクル",     u"ダンス",     u"ハート",
    u"ロード",   u"シャイン", u"ライト",   u"フラワー", u"ウインド",   u"メモリー",     u"オーシャン", u"ヒーロー",
    u"ドリーム", u"レッド",   u"シルバー", u"ムーン",   u"サニー",     u"ファイン",     u"ジョー",     u"エース",
    u"ノーブル", u"ルナ",     u"ソレイユ", u"マーチ",   u"リバティ",   u"クイーン",     u"プリンス",   u"ナイト",
    u"ボルト",   u"アロー",   u"ベル",     u"ティアラ", u"グラン",     u"ヴィクトリー", u"カグラ",     u"ミヤビ",
    u"ハヤテ",   u"イナズマ", u"コスモ",   u"マリン",   u"フェアリー", u"ジェット",     u"パール",     u"ロマン",
};

constexpr QStringView kRaceNameParts[] = {
    u"若葉", u"春風", u"白梅", u"紫苑", u"青葉", u"朱雀", u"飛鳥", u"千里", u"天神", u"銀河",
    u"北斗", u"鳴門", u"早苗", u"紅葉", u"雪割", u"初夏", u"潮騒", u"南風", u"夕月", u"星雲",
};
constexpr QStringView kSpecialSuffixes[] = {u"特別", u"ステークス", u"Ｓ", u"賞"};
constexpr QStringView kMainSuffixes[] = {u"ステークス", u"カップ", u"記念", u"賞"};
constexpr QStringView kGrades[] = {u"", u"（Ｌ）", u"（Ｇ３）", u"（Ｇ３）", u"（Ｇ２）", u"（Ｇ１）"};
constexpr QStringView kMarkers[] = {u"", u"［指定］", u"（混合）", u"［特指］"};

constexpr int kTurfDistances[] = {1200, 1400, 1600, 1800, 2000, 2200, 2400};
constexpr int kDirtDistances[] = {1150, 1200, 1400, 1700, 1800, 1900, 2100};

template <typename T, std::size_t N>
const T &pick(Random &random, const T (&items)[N])
{
    return items[random.below(int(N))];
}

QString fullWidthDigits(int value)
{
    QString out = QString::number(value);
    for (QChar &c : out)
        c = QChar(char16_t(0xFF10 + (c.unicode() - u'0')));
    return out;
}

} // namespace

QString CourseName(int code)
{
    if (code < 1 || code > CourseCount)
        return QString();
    return kCourses[code - 1].toString();
}

QList<int> MeetingCourses(Random &random, QDate day)
{
    const bool summer = day.month() >= 7 && day.month() <= 8;
    const int *set = summer ? pick(random, kSummerSets) : pick(random, kSpringAutumnSets);
    return {set[0], set[1], set[2]};
}

QString HorseName(Random &random)
{
    constexpr int maxLength = 9;
    constexpr double partCounts[] = {0.25, 0.65, 0.10}; // one, two or three parts
    const int wanted = 1 + random.weighted(partCounts);
    QString name;
    int parts = 0;
    // Every part fits on its own, so the name is never empty.
    for (int attempt = 0; attempt < 24 && parts < wanted; ++attempt) {
        const QStringView part = pick(random, kNameParts);
        if (name.size() + part.size() > maxLength || name.contains(part))
            continue;
        name += part;
        ++parts;
    }
    return name;
}

RaceTexts MakeRaceTexts(Random &random, int raceNo, QDate day)
{
    const bool earlyYear = day.month() <= 5;
    const QString young = earlyYear ? QStringLiteral(u"３歳") : QStringLiteral(u"２歳");
    const QString older = earlyYear ? QStringLiteral(u"４歳以上") : QStringLiteral(u"３歳以上");

    RaceTexts texts;
    const int youngAge = earlyYear ? 3 : 2;
    QString age;
    QString grade;
    QString weightRule;
    QString raceName;
    if (raceNo <= 4) {
        age = young;
        grade = raceNo == 3 && random.chance(0.5) ? QStringLiteral(u"新馬") : QStringLiteral(u"未勝利");
        weightRule = QStringLiteral(u"馬齢");
        raceName = age + grade;
    } else if (raceNo <= 8 || raceNo == 12) {
        age = older;
        grade = raceNo >= 8 ? QStringLiteral(u"２勝クラス") : QStringLiteral(u"１勝クラス");
        weightRule = random.chance(0.7) ? QStringLiteral(u"定量") : QStringLiteral(u"ハンデ");
        raceName = age + grade;
    } else if (raceNo != 11) {
        age = older;
        grade = raceNo == 10 ? QStringLiteral(u"３勝クラス") : QStringLiteral(u"２勝クラス");
        weightRule = random.chance(0.5) ? QStringLiteral(u"定量") : QStringLiteral(u"ハンデ");
        raceName = pick(random, kRaceNameParts).toString();
        raceName += pick(random, kSpecialSuffixes);
    } else {
        age = random.chance(0.3) ? young : older;
        grade = QStringLiteral(u"オープン");
        weightRule = random.chance(0.5) ? QStringLiteral(u"別定") : QStringLiteral(u"馬齢");
        raceName = pick(random, kRaceNameParts).toString();
        raceName += pick(random, kMainSuffixes);
        raceName += pick(random, kGrades);
    }

    const bool turf = raceNo == 11 || random.chance(0.55);
    texts.surface = turf ? QStringLiteral(u"芝") : QStringLiteral(u"ダート");
    texts.distance = turf ? pick(random, kTurfDistances) : pick(random, kDirtDistances);
    texts.raceName = raceName;
    texts.olderToo = age == older;
    texts.minAge = texts.olderToo ? youngAge + 1 : youngAge;

    QString conditions = QStringLiteral(u"サラ系") + age + QStringLiteral(u"　") + grade + QStringLiteral(u"　");
    const QStringView marker = pick(random, kMarkers);
    if (!marker.isEmpty())
        conditions += marker.toString() + QStringLiteral(u"　");
    conditions += weightRule + QStringLiteral(u"　") + texts.surface + fullWidthDigits(texts.distance)
        + QStringLiteral(u"ｍ");
    texts.conditions = conditions;
    return texts;
}

} // namespace RaceGen
