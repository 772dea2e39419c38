#include "core/FloatFormat.h"

#include "core/Errors.h"
#include "core/UserLocale.h"

#include <QCoreApplication>
#include <QList>

#include <cmath>
#include <cstdio>

namespace {

constexpr int MaxMaskLength = 224;
// Fixed-form pictures give up beyond this magnitude, as 18 digits is all
// the integer part may hold.
constexpr double MaxFixedMagnitude = 1.0e18;

QString FormatTooLong()
{
    return QCoreApplication::translate("FloatFormat", "Format string too long");
}

// Splits the picture at ";" outside quoted text; at most three sections,
// anything after a third ";" is ignored.
QList<QString> SplitSections(const QString& mask)
{
    QList<QString> sections;
    QString current;
    QChar quote;
    for (QChar c : mask) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            sections.append(current);
            current.clear();
            if (sections.size() == 3)
                return sections;
            continue;
        }
        current += c;
    }
    sections.append(current);
    return sections;
}

// What a section asks for, found by one pass over its unquoted characters.
struct SectionLayout {
    int intPlaceholders = 0;   // "0"/"#" before the point (or before E)
    int minInt = 0;            // integer digits always written
    int decimals = 0;          // "0"/"#" after the point
    int minFrac = 0;           // fraction digits always written
    bool hasPoint = false;
    bool grouping = false;
    bool scientific = false;
    bool expAlwaysSign = false;
    int expDigits = 0;
    bool anyPlaceholder() const { return intPlaceholders > 0 || decimals > 0 || scientific; }
};

// True when position i of s starts an exponent ("E+", "E-", "e+", "e-").
bool IsExponentAt(const QString& s, qsizetype i)
{
    return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

SectionLayout Analyse(const QString& section)
{
    SectionLayout l;
    QChar quote;
    int firstIntZero = -1;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '0' || c == '#') {
            if (l.hasPoint) {
                ++l.decimals;
                if (c == '0')
                    l.minFrac = l.decimals;
            } else {
                if (c == '0' && firstIntZero < 0)
                    firstIntZero = l.intPlaceholders;
                ++l.intPlaceholders;
            }
        } else if (c == '.') {
            l.hasPoint = true;
        } else if (c == ',') {
            l.grouping = true;
        } else if (IsExponentAt(section, i)) {
            l.scientific = true;
            l.expAlwaysSign = section[i + 1] == '+';
            i += 2;
            while (i < section.size() && section[i] == '0' && l.expDigits < 4) {
                ++l.expDigits;
                ++i;
            }
            break;   // whatever follows the exponent is literal text
        }
    }
    if (firstIntZero >= 0)
        l.minInt = l.intPlaceholders - firstIntZero;
    return l;
}

// A non-negative decimal number: value = 0.digits x 10^exp10, no trailing
// zeros in digits; empty digits is zero.
struct Decimal {
    QString digits;
    int exp10 = 0;
    bool isZero() const { return digits.isEmpty(); }
};

Decimal ToDecimal(double magnitude)
{
    Decimal d;
    if (magnitude == 0)
        return d;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", magnitude);   // d.ddddddddddddddde+XX
    const QString text = QString::fromLatin1(buf);
    const qsizetype e = text.indexOf('e');
    d.digits = text.left(e);
    d.digits.remove('.');
    d.exp10 = text.mid(e + 1).toInt() + 1;
    while (d.digits.endsWith('0'))
        d.digits.chop(1);
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero.
void RoundToDigits(Decimal& d, int keep)
{
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    if (keep >= d.digits.size())
        return;
    const bool up = d.digits[keep] >= '5';
    d.digits.truncate(keep);
    if (up) {
        int i = int(d.digits.size()) - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            d.digits[i] = QChar(d.digits[i].unicode() + 1);
        } else {
            d.digits.prepend('1');
            ++d.exp10;
        }
    }
    while (d.digits.endsWith('0'))
        d.digits.chop(1);
}

// The digit strings that a section writes.
struct Rendered {
    QString intDigits;
    QString fracDigits;
    QString exponent;   // complete, e.g. "E+03"; empty in fixed form
    bool isZero = true;
};

Rendered RenderDigits(const SectionLayout& l, double magnitude)
{
    Rendered r;
    Decimal d = ToDecimal(magnitude);
    if (l.scientific) {
        const int intCount = std::max(l.intPlaceholders, 1);
        RoundToDigits(d, intCount + l.decimals);
        int exponent = 0;
        if (d.isZero()) {
            r.intDigits = QString(std::max(l.minInt, 1), '0');
        } else {
            exponent = d.exp10 - intCount;
            QString all = d.digits.leftJustified(intCount, '0');
            r.intDigits = all.left(intCount);
            r.fracDigits = all.mid(intCount);
            r.isZero = false;
        }
        QString expText = QString::number(std::abs(exponent)).rightJustified(l.expDigits, '0');
        if (exponent < 0)
            expText.prepend('-');
        else if (l.expAlwaysSign)
            expText.prepend('+');
        r.exponent = expText;   // the letter is written from the picture
    } else {
        RoundToDigits(d, d.exp10 + l.decimals);
        r.isZero = d.isZero();
        if (!d.isZero()) {
            if (d.exp10 > 0) {
                r.intDigits = d.digits.left(d.exp10).leftJustified(d.exp10, '0');
                r.fracDigits = d.digits.mid(d.exp10);
            } else {
                r.fracDigits = QString(-d.exp10, '0') + d.digits;
            }
        }
        if (r.intDigits.size() < l.minInt)
            r.intDigits = r.intDigits.rightJustified(l.minInt, '0');
    }
    while (r.fracDigits.endsWith('0') && r.fracDigits.size() > l.minFrac)
        r.fracDigits.chop(1);
    if (r.fracDigits.size() < l.minFrac)
        r.fracDigits = r.fracDigits.leftJustified(l.minFrac, '0');
    return r;
}

// Writes the section with the rendered digits in place of its placeholders.
QString Compose(const QString& section, const SectionLayout& l, const Rendered& r)
{
    const UserLocale& loc = UserLocale::Current();
    QString out;
    const int n = int(r.intDigits.size());
    const int offset = n - l.intPlaceholders;   // digits beyond the placeholders go to the first
    const bool grouping = l.grouping && !l.scientific;

    auto writeIntDigit = [&](int j) {
        out += r.intDigits[j];
        if (grouping && j < n - 1 && (n - 1 - j) % 3 == 0)
            out += loc.ThousandSeparator;
    };
    auto writeFraction = [&](int from, int count) {
        for (int k = from; k < from + count && k < r.fracDigits.size(); ++k)
            out += r.fracDigits[k];
    };

    QChar quote;
    bool afterPoint = false;
    int intIndex = 0;
    int fracIndex = 0;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '0' || c == '#') {
            if (afterPoint) {
                writeFraction(fracIndex, 1);
                ++fracIndex;
            } else {
                const int k = intIndex++;
                if (k == 0)
                    for (int j = 0; j < offset; ++j)
                        writeIntDigit(j);
                const int j = k + offset;
                if (j >= 0 && j < n)
                    writeIntDigit(j);
            }
        } else if (c == '.') {
            if (afterPoint)
                continue;   // only the first point counts
            afterPoint = true;
            if (l.intPlaceholders == 0)
                for (int j = 0; j < n; ++j)
                    writeIntDigit(j);
            if (!r.fracDigits.isEmpty())
                out += loc.DecimalSeparator;
        } else if (c == ',') {
            // grouping flag only; the separators are written with the digits
        } else if (IsExponentAt(section, i)) {
            if (!afterPoint && l.intPlaceholders == 0)
                for (int j = 0; j < n; ++j)
                    writeIntDigit(j);
            out += c;
            out += r.exponent;
            i += 2;
            int skipped = 0;
            while (i < section.size() && section[i] == '0' && skipped < 4) {
                ++skipped;
                ++i;
            }
            // The rest of the section is literal text.
            for (; i < section.size(); ++i) {
                const QChar t = section[i];
                if (t != '\'' && t != '"')
                    out += t;
            }
            break;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString FormatFloat(const QString& mask, double value)
{
    if (mask.size() > MaxMaskLength)
        throw EConvertError(FormatTooLong());
    const UserLocale& loc = UserLocale::Current();
    if (mask.isEmpty() || !std::isfinite(value))
        return loc.FloatToStr(value);

    const QList<QString> sections = SplitSections(mask);
    const bool negative = value < 0;
    const bool ownNegativeSection = negative && sections.size() >= 2 && !sections[1].isEmpty();
    const QString& section = ownNegativeSection ? sections[1] : sections[0];
    if (section.isEmpty())
        return loc.FloatToStr(value);

    const SectionLayout layout = Analyse(section);
    const double magnitude = std::fabs(value);
    if (!layout.scientific && magnitude >= MaxFixedMagnitude)
        return loc.FloatToStr(value);

    const Rendered rendered = RenderDigits(layout, magnitude);
    if (rendered.isZero && sections.size() >= 3 && !sections[2].isEmpty()) {
        const SectionLayout zeroLayout = Analyse(sections[2]);
        return Compose(sections[2], zeroLayout, RenderDigits(zeroLayout, 0));
    }
    QString text = layout.anyPlaceholder() ? Compose(section, layout, rendered)
                                           : Compose(section, layout, Rendered{});
    if (negative && !ownNegativeSection && !rendered.isZero && layout.anyPlaceholder())
        text.prepend('-');
    return text;
}
