#include "core/CodePage.h"

#include <QHash>

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <vector>

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

// Conversion descriptors are costly to open (several microseconds) and a
// result set converts every text column of every row, so each thread keeps
// the ones it has used. A descriptor serves one conversion at a time; the
// shift state is reset before each use.
iconv_t CachedHandle(const char* to, const char* from)
{
    struct Entry {
        QByteArray Key;
        std::unique_ptr<IconvHandle> Handle;
    };
    thread_local std::vector<Entry> cache;
    const QByteArray key = QByteArray(to) + '|' + from;
    for (const Entry& e : cache) {
        if (e.Key == key) {
            iconv(e.Handle->Get(), nullptr, nullptr, nullptr, nullptr);
            return e.Handle->Get();
        }
    }
    auto handle = std::make_unique<IconvHandle>(to, from);
    if (!handle->Valid())
        return iconv_t(-1);
    const iconv_t cd = handle->Get();
    cache.push_back({key, std::move(handle)});
    return cd;
}

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
    const iconv_t cd = CachedHandle(charset, Utf32);
    if (cd == iconv_t(-1))
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
        const size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
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
    iconv(cd, nullptr, nullptr, &t, &tLeft);
    output.truncate(out - output.data());
    output.append(tail, t - tail);
    return output;
}

// Bytes of `charset` -> text; each byte that does not decode becomes '?'.
QString DecodeWith(const char* data, int length, const char* charset)
{
    if (length <= 0)
        return QString("");
    const iconv_t cd = CachedHandle(Utf32, charset);
    if (cd == iconv_t(-1))
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
        const size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
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

// Windows-1250 both ways by table: the code page of every name and of every
// text of a database without a connection character set, so the common path
// needs no iconv call. The tables are built once through iconv itself.
struct AnsiTables {
    char16_t Decode[256];             // 0xFFFD where the byte is unassigned
    std::vector<quint8> Encode;       // by UTF-16 unit; 0 where unmapped

    AnsiTables() : Encode(0x10000, 0)
    {
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            Decode[b] = 0xFFFD;
            if (b < 0x80) {
                Decode[b] = char16_t(b);
            } else {
                const QString one = DecodeWith(&byte, 1, Ansi);
                if (one.size() == 1 && one[0] != '?')
                    Decode[b] = one[0].unicode();
            }
            if (Decode[b] != 0xFFFD)
                Encode[Decode[b]] = quint8(b);
        }
    }
};

const AnsiTables& Tables()
{
    static const AnsiTables tables;
    return tables;
}

QByteArray ToAnsiByTable(const QString& text)
{
    const AnsiTables& t = Tables();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // one character outside the basic plane: one '?'
            out.append('?');
            continue;
        }
        const quint8 b = t.Encode[c];
        out.append(b != 0 || c == 0 ? char(b) : '?');
    }
    return out;
}

QString FromAnsiByTable(const char* data, int length)
{
    const AnsiTables& t = Tables();
    QString out(length, Qt::Uninitialized);
    QChar* p = out.data();
    for (int i = 0; i < length; ++i) {
        const char16_t c = t.Decode[static_cast<unsigned char>(data[i])];
        p[i] = c == 0xFFFD ? QChar('?') : QChar(c);
    }
    return out;
}

} // namespace

namespace CodePage {

QByteArray ToAnsi(const QString& text)
{
    if (IsAscii(text))
        return text.toLatin1();
    return ToAnsiByTable(text);
}

QString FromAnsi(const char* data, int length)
{
    if (length <= 0)
        return QString("");
    if (IsAscii(data, length))
        return QString::fromLatin1(data, length);
    return FromAnsiByTable(data, length);
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
    if (name == Ansi)
        return ToAnsi(text);
    if (IsAscii(text) && name != "ASCII")
        return text.toLatin1();
    return EncodeWith(text, name.constData());
}

QString Decode(const QByteArray& bytes, const QString& firebirdCharset)
{
    const QByteArray name = IconvName(firebirdCharset);
    if (name.isEmpty())
        return QString::fromUtf8(bytes);
    if (name == Ansi)
        return FromAnsi(bytes);
    if (IsAscii(bytes.constData(), int(bytes.size())))
        return QString::fromLatin1(bytes);
    return DecodeWith(bytes.constData(), int(bytes.size()), name.constData());
}

const QString& StatementCharset(const QString& connectionCharset)
{
    static const QString utf8 = QString::fromLatin1(SessionDefaultCharset);
    return connectionCharset.isEmpty() ? utf8 : connectionCharset;
}

const QString& ValueCharset(const QString& connectionCharset, int charsetId)
{
    static const QString utf8 = QString::fromLatin1(SessionDefaultCharset);
    if (!connectionCharset.isEmpty())
        return connectionCharset;
    const int id = charsetId & 0xFF;   // the high byte is the collation
    return id == 0 || id == 1 ? connectionCharset : utf8;   // NONE, OCTETS: the stored bytes
}

int TextSize(const QString& connectionCharset, int charsetId, int describedBytes, int declaredChars)
{
    const int id = charsetId & 0xFF;
    const bool transliterated = connectionCharset.isEmpty() && id != 0 && id != 1;
    return transliterated ? declaredChars : describedBytes;
}

} // namespace CodePage
