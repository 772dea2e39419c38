#include "dbaccess/CodePage.h"

#include <QHash>

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

// One conversion descriptor, closed on every path.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (Valid())
            iconv_close(FHandle);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool Valid() const { return FHandle != iconv_t(-1); }
    iconv_t Get() const { return FHandle; }

private:
    iconv_t FHandle;
};

const char* const Ansi = "WINDOWS-1250";
const char* const Utf32 = "UTF-32LE";

bool IsAscii(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool IsAscii(const char* data, int length)
{
    for (int i = 0; i < length; ++i)
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    return true;
}

// Text -> bytes of `charset`; each character the charset lacks becomes '?'.
QByteArray EncodeWith(const QString& text, const char* charset)
{
    if (text.isEmpty())
        return QByteArray("");
    IconvHandle cd(charset, Utf32);
    if (!cd.Valid())
        return text.toLatin1();
    const QList<uint> ucs4 = text.toUcs4();
    QByteArray input(reinterpret_cast<const char*>(ucs4.constData()), ucs4.size() * 4);
    char* in = input.data();
    size_t inLeft = size_t(input.size());
    QByteArray output;
    output.resize(ucs4.size() * 4 + 16);
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    while (inLeft > 0) {
        const size_t r = iconv(cd.Get(), &in, &inLeft, &out, &outLeft);
        if (r != size_t(-1))
            break;
        if (errno == E2BIG) {
            const auto used = out - output.data();
            output.resize(output.size() * 2);
            out = output.data() + used;
            outLeft = size_t(output.size() - used);
        } else if (errno == EILSEQ || errno == EINVAL) {
            // A character the charset cannot represent: one '?' for it.
            if (outLeft == 0) {
                const auto used = out - output.data();
                output.resize(output.size() * 2);
                out = output.data() + used;
                outLeft = size_t(output.size() - used);
            }
            *out++ = '?';
            --outLeft;
            const size_t skip = inLeft < 4 ? inLeft : 4;
            in += skip;
            inLeft -= skip;
        } else {
            break;
        }
    }
    // Flush any shift state of stateful encodings.
    char tail[16];
    char* t = tail;
    size_t tLeft = sizeof tail;
    iconv(cd.Get(), nullptr, nullptr, &t, &tLeft);
    output.truncate(out - output.data());
    output.append(tail, t - tail);
    return output;
}

// Bytes of `charset` -> text; each byte that does not decode becomes '?'.
QString DecodeWith(const char* data, int length, const char* charset)
{
    if (length <= 0)
        return QString("");
    IconvHandle cd(Utf32, charset);
    if (!cd.Valid())
        return QString::fromLatin1(data, length);
    QByteArray input(data, length);
    char* in = input.data();
    size_t inLeft = size_t(length);
    QByteArray output;
    output.resize(length * 4 + 16);
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    auto grow = [&] {
        const auto used = out - output.data();
        output.resize(output.size() * 2);
        out = output.data() + used;
        outLeft = size_t(output.size() - used);
    };
    auto putQuestionMark = [&] {
        if (outLeft < 4)
            grow();
        const char q[4] = {'?', 0, 0, 0};
        memcpy(out, q, 4);
        out += 4;
        outLeft -= 4;
    };
    while (inLeft > 0) {
        const size_t r = iconv(cd.Get(), &in, &inLeft, &out, &outLeft);
        if (r != size_t(-1))
            break;
        if (errno == E2BIG) {
            grow();
        } else if (errno == EILSEQ) {
            putQuestionMark();
            ++in;
            --inLeft;
        } else if (errno == EINVAL) {
            // Truncated multi-byte sequence at the end.
            putQuestionMark();
            break;
        } else {
            break;
        }
    }
    const auto used = out - output.data();
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(output.constData()), used / 4);
}

// The iconv name of a Firebird character set; null for UTF-8 and raw bytes.
QByteArray IconvName(const QString& firebirdCharset)
{
    const QString n = firebirdCharset.trimmed().toUpper();
    if (n.isEmpty() || n == QLatin1String("NONE"))
        return Ansi;
    if (n.startsWith(QLatin1String("WIN125")) && n.size() == 7)
        return "WINDOWS-125" + n.right(1).toLatin1();
    if (n.startsWith(QLatin1String("ISO8859_")))
        return "ISO-8859-" + n.mid(8).toLatin1();
    if (n.startsWith(QLatin1String("DOS")))
        return "CP" + n.mid(3).toLatin1();
    static const QHash<QString, QByteArray> others = {
        {"ASCII", "ASCII"},        {"KOI8R", "KOI8-R"},     {"KOI8U", "KOI8-U"},
        {"SJIS_0208", "SHIFT_JIS"}, {"EUCJ_0208", "EUC-JP"}, {"BIG_5", "BIG5"},
        {"GB_2312", "GB2312"},     {"KSC_5601", "EUC-KR"},  {"GBK", "GBK"},
        {"GB18030", "GB18030"},    {"CP943C", "CP943"},     {"TIS620", "TIS-620"},
        {"CYRL", "CP1251"},        {"UTF8", ""},            {"UNICODE_FSS", ""},
        {"OCTETS", "ISO-8859-1"},  {"BINARY", "ISO-8859-1"},
    };
    const auto it = others.find(n);
    if (it != others.end())
        return it.value();
    // An unknown name: the default code page rather than a failure.
    return Ansi;
}

} // namespace

namespace CodePage {

QByteArray ToAnsi(const QString& text)
{
    if (IsAscii(text))
        return text.toLatin1();
    return EncodeWith(text, Ansi);
}

QString FromAnsi(const char* data, int length)
{
    if (length <= 0)
        return QString("");
    if (IsAscii(data, length))
        return QString::fromLatin1(data, length);
    return DecodeWith(data, length, Ansi);
}

QString FromAnsi(const QByteArray& bytes)
{
    return FromAnsi(bytes.constData(), int(bytes.size()));
}

QByteArray Encode(const QString& text, const QString& firebirdCharset)
{
    const QByteArray name = IconvName(firebirdCharset);
    if (name.isEmpty())
        return text.toUtf8();
    if (IsAscii(text) && name != "ASCII")
        return text.toLatin1();
    return EncodeWith(text, name.constData());
}

QString Decode(const QByteArray& bytes, const QString& firebirdCharset)
{
    const QByteArray name = IconvName(firebirdCharset);
    if (name.isEmpty())
        return QString::fromUtf8(bytes);
    if (IsAscii(bytes.constData(), int(bytes.size())))
        return QString::fromLatin1(bytes);
    return DecodeWith(bytes.constData(), int(bytes.size()), name.constData());
}

} // namespace CodePage
