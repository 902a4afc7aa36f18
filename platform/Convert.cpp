#include "Convert.h"

#include "Exceptions.h"

namespace {

// Hexadecimal values are 32-bit patterns: more significant digits than this cannot be held.
constexpr int MaxHexDigits = 8;

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

bool IsDecimalDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool EqualsAsciiNoCase(const QString& text, const char* name) {
    qsizetype i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        char16_t a = text[i].unicode();
        char16_t b = static_cast<unsigned char>(name[i]);
        if (a >= 'a' && a <= 'z') a -= 'a' - 'A';
        if (b >= 'a' && b <= 'z') b -= 'a' - 'A';
        if (a != b) return false;
    }
    return i == text.size();
}

// Number form of a Boolean: [sign] digits [. digits] [e|E [sign] digits], at least one mantissa
// digit. Only whether the value is zero matters, so the digits are inspected rather than converted,
// which also keeps a tiny non-zero value from reading as zero.
bool TryNumberIsNonZero(const QString& text, bool& nonZero) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    int digits = 0;
    nonZero = false;
    while (i < n && IsDecimalDigit(text[i])) {
        nonZero = nonZero || text[i] != u'0';
        ++digits;
        ++i;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && IsDecimalDigit(text[i])) {
            nonZero = nonZero || text[i] != u'0';
            ++digits;
            ++i;
        }
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
        int exponentDigits = 0;
        while (i < n && IsDecimalDigit(text[i])) {
            ++exponentDigits;
            ++i;
        }
        if (exponentDigits == 0) return false;
    }
    while (i < n && text[i] == u' ')
        ++i;
    return i == n;
}

[[noreturn]] void ThrowInvalidInteger(const QString& text) {
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

} // namespace

bool TryTextToInt(const QString& text, int32_t& value) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i >= n) return false;

    bool hex = false;
    if (text[i] == u'$' || text[i] == u'x' || text[i] == u'X') {
        hex = true;
        ++i;
    } else if (text[i] == u'0' && i + 1 < n && text[i + 1] == u'x') {
        hex = true;
        i += 2;
    }
    if (i >= n) return false;

    uint32_t magnitude = 0;
    if (hex) {
        int significant = 0;
        for (; i < n; ++i) {
            const int d = HexDigitValue(text[i]);
            if (d < 0) return false;
            if (significant == 0 && d == 0) continue;
            if (++significant > MaxHexDigits) return false;
            magnitude = (magnitude << 4) | static_cast<uint32_t>(d);
        }
        // A hexadecimal value is a bit pattern; the sign negates it in 32-bit arithmetic.
        value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
        return true;
    }

    // One past INT32_MAX, so that "-2147483648" is accepted and "2147483648" is not.
    const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    uint64_t acc = 0;
    for (; i < n; ++i) {
        if (!IsDecimalDigit(text[i])) return false;
        acc = acc * 10 + (text[i].unicode() - '0');
        if (acc > limit) return false;
    }
    value = static_cast<int32_t>(negative ? -static_cast<int64_t>(acc) : static_cast<int64_t>(acc));
    return true;
}

int32_t TextToInt(const QString& text) {
    int32_t value = 0;
    if (!TryTextToInt(text, value)) ThrowInvalidInteger(text);
    return value;
}

int32_t TextToIntDef(const QString& text, int32_t defaultValue) {
    int32_t value = 0;
    return TryTextToInt(text, value) ? value : defaultValue;
}

bool TextToBool(const QString& text) {
    bool nonZero = false;
    if (TryNumberIsNonZero(text, nonZero)) return nonZero;
    if (EqualsAsciiNoCase(text, "True")) return true;
    if (EqualsAsciiNoCase(text, "False")) return false;
    throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
}

QString BoolToText(bool value) {
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

QString ColorToText(TColor color) {
    for (const TColorName& entry : ColorNames)
        if (entry.Value == color) return QString::fromLatin1(entry.Name);
    return QStringLiteral("$%1").arg(color, 8, 16, QLatin1Char('0')).toUpper();
}

TColor TextToColor(const QString& text) {
    for (const TColorName& entry : ColorNames)
        if (EqualsAsciiNoCase(text, entry.Name)) return entry.Value;
    return static_cast<TColor>(TextToInt(text));
}
