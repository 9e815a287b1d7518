// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store on a hostile INI file: every getter, then a few writes
// on top of the file and their read-back after the store is opened again.
// And the screen the store puts before Qt's INI reader: Qt finds only texts
// in what it lets through.
#include "fuzz_support.h"

#include "settings/ini_screen.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QSettings>

#include <algorithm>

using namespace CommonFunc;
using namespace FuzzSupport;

namespace {

// Whatever the file holds, a Get* is its TryGet* or the default.
template <typename T>
void requireFallback(const std::optional<T> &tried, const T &got, const T &fallback, const char *what)
{
    require(got == tried.value_or(fallback), what);
}

void readEverything()
{
    const struct {
        QString section;
        const char *key;
        int twips;
    } placements[] = {
        {Section::mainWindow(), "Left", 1000},        {Section::mainWindow(), "Top", 1000},
        {Section::mainWindow(), "Width", 2880},       {Section::optionWindow(), "Left", 1500},
        {Section::optionWindow(), "Top", 1000},       {Section::selectFileWindow(), "Left", 1500},
        {Section::selectFileWindow(), "Top", 1000},   {Section::selectFileWindow(), "Height", 6180},
        {Section::selectFileWindow(), "Width", 7635},
    };
    for (const auto &p : placements) {
        const QString key = QString::fromLatin1(p.key);
        const std::optional<float> tried = Settings::Placement(p.section, key, p.twips).tryGet();
        const float got = Settings::Placement(p.section, key, p.twips).get();
        require(tried ? got == *tried || (got != got && *tried != *tried) : got == float(p.twips), "placement");
    }

    const QString folder = GetPatFolder();
    require(folder.endsWith(QDir::separator()), "the PAT folder ends in a separator");
    require(GetPatFilePath(QStringLiteral("Zo-1.jra")) == folder + QStringLiteral("Zo-1.jra"), "PAT file path");

    for (int horse = 0; horse <= 19; ++horse)
        requireFallback(Settings::HorseNoColor(horse).tryGet(), Settings::HorseNoColor(horse).get(), qint32(16777215),
                        "horse colour");
    requireFallback(Settings::DetectVal().tryGet(), Settings::DetectVal().get(), qint16(5), "detect value");

    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        for (int level = 0; level <= 6; ++level) {
            (void)Settings::DetectMin(type, level).tryGet();
            (void)Settings::DetectMin(type, level).get();
            (void)Settings::DetectMax(type, level).tryGet();
            (void)Settings::DetectMax(type, level).get();
            (void)Settings::DispChar(type, level).tryGet();
            (void)Settings::DispChar(type, level).get();
        }
        requireFallback(Settings::DispSign(type).tryGet(), Settings::DispSign(type).get(), qint16(0), "display sign");
        requireFallback(Settings::PlusColor(type).tryGet(), Settings::PlusColor(type).get(), qint32(0), "plus colour");
        requireFallback(Settings::MinusColor(type).tryGet(), Settings::MinusColor(type).get(), qint32(255),
                        "minus colour");
        requireFallback(Settings::IsIdealLimit(type).tryGet(), Settings::IsIdealLimit(type).get(), true,
                        "ideal limit flag");
        requireFallback(Settings::IsRealLimit(type).tryGet(), Settings::IsRealLimit(type).get(), true,
                        "real limit flag");
        requireFallback(Settings::IsTanRatioLimit(type).tryGet(), Settings::IsTanRatioLimit(type).get(), true,
                        "win ratio flag");
        requireFallback(Settings::IsFukuRatioLimit(type).tryGet(), Settings::IsFukuRatioLimit(type).get(), true,
                        "place ratio flag");
        (void)Settings::IdealLimit(type).get();
        (void)Settings::RealLimit(type).get();
        (void)Settings::TanRatioLimit(type).get();
        (void)Settings::FukuRatioLimit(type).get();
    }
    (void)Settings::DetectMin(BetType::Umaren, 1).get();
    (void)Settings::DispChar(BetType::Wide, 5).get();
    (void)Settings::RealLimit(BetType::Umaren).get();
    (void)Settings::FukuRatioLimit(BetType::Wide).get();
}

// Whether QSettings finds a key that allKeys() lists: one with an empty part
// ("", "/", "S//n", from keys written "" or with a backslash) is not found.
bool canLookUp(const QString &key)
{
    return !key.isEmpty() && !key.startsWith(u'/') && !key.endsWith(u'/') && !key.contains(QStringLiteral("//"));
}

bool isText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QStringList)
        return true;
    if (value.typeId() != QMetaType::QVariantList)
        return false;
    const QVariantList items = value.toList();
    return std::all_of(items.cbegin(), items.cend(),
                       [](const QVariant &item) { return item.typeId() == QMetaType::QString; });
}

void checkScreen(const QByteArray &input, quint64 serial)
{
    const QByteArray screened = ScreenIniFile(input);
    require(ScreenIniFile(screened) == screened, "screening a screened file changes nothing");
    const QString name = QStringLiteral("screened-%1.ini").arg(serial);
    {
        const QSettings qt(writeScratchFile(name, screened), QSettings::IniFormat);
        for (const QString &key : qt.allKeys())
            require(!canLookUp(key) || isText(qt.value(key)), "Qt reads a screened value as text");
    }
    removeScratchFile(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    // A new name each time: the INI reader caches files by name, size and
    // time, and a rewrite within the same millisecond would read stale.
    static quint64 serial = 0;
    const QString name = QStringLiteral("settings-%1.ini").arg(++serial);
    const QString path = writeScratchFile(name, bytesOf(data, size));
    checkScreen(bytesOf(data, size), serial);

    SetSettingsFile(path);
    RefreshSettings();
    readEverything();

    // Saving options on top of whatever was there keeps them.
    {
        SettingsBatch batch;
        Settings::DetectVal().set(7);
        Settings::DispChar(BetType::Wide, 3).set(QStringLiteral(u"▲"));
        SetPatFolder(QStringLiteral(u"/pat/データ"));
        Settings::Placement(Section::mainWindow(), QStringLiteral("Left")).set(1234.5f);
    }
    SetSettingsFile(path);
    require(Settings::DetectVal().tryGet() == qint16(7), "a saved integer reads back");
    require(Settings::DispChar(BetType::Wide, 3).tryGet() == QStringLiteral(u"▲"), "a saved mark reads back");
    require(GetPatFolder() == QStringLiteral(u"/pat/データ") + QDir::separator(), "a saved folder reads back");
    require(Settings::Placement(Section::mainWindow(), QStringLiteral("Left"), 0).tryGet() == 1234.5f,
            "a saved placement reads back");
    readEverything();

    SetSettingsFile(scratchFolder() + QStringLiteral("/unused.ini"));
    removeScratchFile(name);
    return 0;
}
