// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace CommonFunc {

// The store's own access, which every setting goes through (settings_store.h).
std::optional<QString> ReadSettingText(const QString &section, const QString &key);
void WriteSettingText(const QString &section, const QString &key, const QString &text);

// How values of one type are kept as text in the store.
template <typename T>
struct TextForm {
    std::optional<T> (*read)(const QString &text); // nullopt: the text does not convert
    QString (*write)(const T &value);
};

// One key of the store: where it lives, its type, its text form and its
// default, written down once (Settings:: in settings_store.h).  Reading goes
// to the store afresh each time.
template <typename T>
class Setting {
public:
    // A key that is new to the program's files is written only when its
    // value differs from the default or the file has the key already, so
    // that saving unchanged options leaves an older file as it was.
    enum class Writing { Always, OnlyWhenSet };

    Setting(QString section, QString key, std::optional<T> fallback, const TextForm<T> &form,
            Writing writing = Writing::Always)
        : m_section(std::move(section))
        , m_key(std::move(key))
        , m_fallback(std::move(fallback))
        , m_form(&form)
        , m_writing(writing)
    {
    }

    const QString &section() const { return m_section; }
    const QString &key() const { return m_key; }
    const std::optional<T> &fallback() const { return m_fallback; }

    std::optional<QString> storedText() const { return ReadSettingText(m_section, m_key); }
    bool isStored() const { return storedText().has_value(); }

    // The stored value; the default when the key is absent; nullopt when the
    // stored text does not convert, or when the key is absent and has no
    // default.
    std::optional<T> tryGet() const
    {
        const std::optional<QString> text = storedText();
        return text ? m_form->read(*text) : m_fallback;
    }
    // The value, the default where tryGet has none.
    T get() const
    {
        const std::optional<T> value = tryGet();
        return value ? *value : m_fallback.value_or(T());
    }
    void set(const T &value) const
    {
        if (m_writing == Writing::OnlyWhenSet && value == m_fallback && !isStored())
            return;
        WriteSettingText(m_section, m_key, m_form->write(value));
    }

private:
    QString m_section;
    QString m_key;
    std::optional<T> m_fallback;
    const TextForm<T> *m_form;
    Writing m_writing;
};

} // namespace CommonFunc
