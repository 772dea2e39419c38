#include "designer/IniFile.h"

#include "core/CodePage.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <climits>
#include <optional>

namespace {

// The file's text: UTF-8 when the bytes are valid UTF-8, else Windows-1250.
QString ReadText(const QString& fileName)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return CodePage::FromAnsi(bytes);
}

// "[name]" -> name; null when the line is no section header.
QString SectionName(QStringView line)
{
    if (!line.startsWith('['))
        return {};
    const qsizetype close = line.indexOf(']');
    if (close < 0)
        return {};
    return line.mid(1, close - 1).trimmed().toString();
}

std::optional<int> ParseInteger(const QString& text)
{
    QString t = text;
    bool negative = false;
    if (t.startsWith('-') || t.startsWith('+')) {
        negative = t.startsWith('-');
        t.remove(0, 1);
    }
    bool ok = false;
    qint64 value = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || t.startsWith('$')) {
        const QString digits = t.mid(t.startsWith('$') ? 1 : 2);
        bool valid = !digits.isEmpty() && digits.size() <= 8;
        for (QChar c : digits)
            valid = valid && (c.isDigit() || (c.toLower() >= 'a' && c.toLower() <= 'f'));
        if (!valid)
            return std::nullopt;
        // Eight hex digits are a 32-bit pattern: 0xFFFFFFFF is -1.
        value = qint32(digits.toUInt(&ok, 16));
    } else {
        for (QChar c : t)
            if (!c.isDigit() || c.unicode() > 0x7F)
                return std::nullopt;
        value = t.toLongLong(&ok, 10);
        ok = ok && value <= qint64(INT_MAX) + (negative ? 1 : 0);
    }
    if (!ok)
        return std::nullopt;
    return int(negative ? -value : value);
}

} // namespace

TIniFile::TIniFile(const QString& fileName)
    : FFileName(fileName.isEmpty() ? QString() : QFileInfo(fileName).absoluteFilePath())
{
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QString text = ReadText(FFileName);
    if (text.isEmpty())
        return defaultValue;
    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    bool inSection = false;
    for (QStringView raw : QStringView(text).split('\n')) {
        const QStringView line = raw.trimmed();
        if (line.startsWith('[')) {
            const QString name = SectionName(line);
            inSection = name.compare(wantedSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(wantedKey, Qt::CaseInsensitive) != 0)
            continue;
        return line.mid(eq + 1).trimmed().left(MaxValueLength).toString();
    }
    return defaultValue;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    const QString text = ReadString(section, key, QString());
    if (text.isEmpty())
        return defaultValue;
    return ParseInteger(text).value_or(defaultValue);
}
