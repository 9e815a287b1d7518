// SPDX-License-Identifier: GPL-3.0-or-later
// The number conversions every field of a hostile file goes through, against
// the C library: reading (whole text and leading number, double and single),
// the CSV's shortest single text, the fixed display pictures.
//
// Input: the text (bytes as Latin-1); when it is at least 8 bytes long, its
// first 8 bytes are also taken as a double for the pictures.
#include "fuzz_support.h"

#include "common/number_format.h"
#include "common/text_convert.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <regex>
#include <string>

using namespace CommonFunc;
using namespace FuzzSupport;

namespace {

// optional sign, digits with an optional point (".5" and "5." too), an
// optional exponent
const std::regex &numberPattern()
{
    static const std::regex pattern("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?");
    return pattern;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The C library's value of a number text: nullopt above the type's range,
// zero below it.
template <typename T>
std::optional<T> libraryValue(const std::string &number)
{
    errno = 0;
    const T value = std::is_same_v<T, float> ? T(std::strtof(number.c_str(), nullptr))
                                             : T(std::strtod(number.c_str(), nullptr));
    if (errno == ERANGE && std::isinf(value))
        return std::nullopt;
    return value;
}

template <typename T>
bool sameValue(const std::optional<T> &a, const std::optional<T> &b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

// The leading number of a text, as NumericValue reads it.
std::string leadingNumber(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    std::smatch match;
    const std::string rest = text.substr(i);
    if (!std::regex_search(rest, match, numberPattern(), std::regex_constants::match_continuous))
        return std::string();
    return match.str(0);
}

// The shortest text of at most 7 significant digits that reads back as the
// value, or the 7-digit one: as scientific text.
std::string shortestSingle(float value)
{
    char buffer[64];
    for (int digits = 1; digits <= 7; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, double(value));
        if (std::strtof(buffer, nullptr) == value || digits == 7)
            break;
    }
    return buffer;
}

void checkFormatSingle(float value)
{
    const QString text = FormatSingle(value);
    const std::string plain = text.toStdString();
    if (!std::isfinite(value) || value == 0.0f) {
        require(plain == "0", "FormatSingle of zero, NaN or infinity is 0");
        return;
    }
    static const std::regex decimal("-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?");
    require(std::regex_match(plain, decimal), "FormatSingle writes a plain decimal without padding zeros");
    require(std::strtod(plain.c_str(), nullptr) == std::strtod(shortestSingle(value).c_str(), nullptr),
            "FormatSingle writes the shortest decimal that reads back");
}

// Rounds the exact decimal expansion of value half away from zero.
std::string fixedReference(double value, int decimals)
{
    if (!std::isfinite(value))
        return std::string();
    std::string exact(1200, '\0');
    exact.resize(std::size_t(std::snprintf(exact.data(), exact.size(), "%.1100f", std::fabs(value))));
    const std::size_t point = exact.find('.');
    std::string digits = exact.substr(0, point) + exact.substr(point + 1, std::size_t(decimals));
    const bool up = exact[point + 1 + std::size_t(decimals)] >= '5';
    if (up) {
        std::size_t k = digits.size();
        while (k > 0 && digits[k - 1] == '9')
            digits[--k] = '0';
        if (k == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[k - 1];
    }
    const std::size_t whole = digits.size() - std::size_t(decimals);
    std::string out = digits.substr(0, whole);
    if (decimals > 0)
        out += '.' + digits.substr(whole);
    if (value < 0.0)
        out.insert(out.begin(), '-');
    return out;
}

void checkPictures(double value)
{
    for (int decimals : {0, 1, 2, 3, 5}) {
        const double shown = value == 0.0 ? 0.0 : value; // negative zero is shown unsigned
        require(FormatFixed(value, decimals).toStdString() == fixedReference(shown, decimals),
                "FormatFixed rounds the exact value half away from zero");
    }
    std::string deviation;
    if (std::isfinite(value)) {
        if (value == 0.0)
            deviation = "0.0";
        else
            deviation = (value > 0.0 ? "+" : "-") + fixedReference(std::fabs(value), 1);
    }
    require(FormatDeviation(value).toStdString() == deviation, "FormatDeviation");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    if (size > 256)
        return 0; // a field is a few bytes; long texts only slow the regexes
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const QString text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));

    // Whole text.
    std::size_t begin = 0;
    std::size_t end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    const std::string core = bytes.substr(begin, end - begin);
    const bool isNumber = std::regex_match(core, numberPattern());
    const std::optional<double> number = ParseNumber(text);
    const std::optional<float> single = ParseSingle(text);
    require(sameValue(number, isNumber ? libraryValue<double>(core) : std::nullopt), "ParseNumber");
    require(sameValue(single, isNumber ? libraryValue<float>(core) : std::nullopt), "ParseSingle");
    require(OddsTextToValue(text) == single.value_or(0.0f), "OddsTextToValue");

    // Leading number.
    const std::string leading = leadingNumber(bytes);
    const double leadingValue = leading.empty() ? 0.0 : libraryValue<double>(leading).value_or(0.0);
    const float leadingSingle = leading.empty() ? 0.0f : libraryValue<float>(leading).value_or(0.0f);
    require(NumericValue(text) == leadingValue, "NumericValue");
    require(NumericValueSingle(text) == leadingSingle, "NumericValueSingle");

    // The CSV's number texts.
    checkFormatSingle(single.value_or(0.0f));
    require(FormatSingleOfText(text) == FormatSingle(OddsTextToValue(text)), "FormatSingleOfText");
    if (number)
        checkPictures(*number);
    if (size >= 8) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        checkPictures(raw);
        // Narrowing beyond the float range is left out: it is no text's value.
        if (!(std::fabs(raw) > double(std::numeric_limits<float>::max())))
            checkFormatSingle(float(raw));
    }
    return 0;
}
