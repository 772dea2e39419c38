#include "designer/RegistryStandIn.h"

#include "core/CodePage.h"
#include "core/Errors.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace {

const QString RootName = QStringLiteral("HKEY_CURRENT_USER");

// Collapses repeated backslashes and removes those at either end.
QString NormalizePath(const QString& path)
{
    return path.split('\\', Qt::SkipEmptyParts).join('\\');
}

QString KeyOf(const QString& path)
{
    return NormalizePath(path).toUpper();
}

// The text of the file: UTF-16 (version 5 exports) when it has the byte
// order mark, otherwise UTF-8 when valid, else Windows-1250 (REGEDIT4).
QString ReadText(const QString& fileName, bool* unicode)
{
    *unicode = false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xFF\xFE")) {
        *unicode = true;
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        return utf16.decode(bytes.mid(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return CodePage::FromAnsi(bytes);
}

// A quoted text at `pos` with \\ and \" escapes; pos moves past the closing
// quote. Null when there is no complete quoted text.
QString ReadQuoted(const QString& line, qsizetype& pos)
{
    if (pos >= line.size() || line[pos] != '"')
        return {};
    QString result("");
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            result += line[++i];
        } else if (c == '"') {
            pos = i + 1;
            return result;
        } else {
            result += c;
        }
    }
    return {};
}

// "hex(2):41,00,42,00,00,00" style byte lists.
QByteArray HexBytes(const QString& list)
{
    QByteArray bytes;
    for (const QString& part : list.split(',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint b = part.trimmed().toUInt(&ok, 16);
        if (!ok || b > 0xFF)
            return {};
        bytes.append(char(b));
    }
    return bytes;
}

} // namespace

TRegistry::TRegistry()
{
    Load();
}

QString TRegistry::FileName()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/larkspan/registry.reg");
}

void TRegistry::Load()
{
    FKeys.clear();
    bool unicode = false;
    const QString text = ReadText(FileName(), &unicode);

    // Join continuation lines (hex lists end a line with a backslash).
    QStringList lines;
    QString pending;
    for (const QString& raw : text.split('\n')) {
        QString line = raw.trimmed();
        if (!pending.isEmpty()) {
            line = pending + line;
            pending.clear();
        }
        if (line.endsWith('\\') && !line.startsWith('[')) {
            line.chop(1);
            pending = line;
            continue;
        }
        lines.append(line);
    }
    if (!pending.isEmpty())
        lines.append(pending);

    if (lines.isEmpty()
        || (lines.first() != QLatin1String("REGEDIT4")
            && lines.first() != QLatin1String("Windows Registry Editor Version 5.00")))
        return;

    Section* current = nullptr;
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QString& line = lines[n];
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            current = nullptr;
            if (!line.endsWith(']'))
                continue;
            const QString path = NormalizePath(line.mid(1, line.size() - 2));
            const QString upper = path.toUpper();
            QString below;
            if (upper == RootName || upper == QLatin1String("HKCU"))
                below = QString("");
            else if (upper.startsWith(RootName + '\\'))
                below = upper.mid(RootName.size() + 1);
            else if (upper.startsWith(QLatin1String("HKCU\\")))
                below = upper.mid(5);
            else
                continue; // another root, or a deletion "[-...]"
            // The parents of a key exist as well.
            QString parent;
            for (const QString& part : below.split('\\', Qt::SkipEmptyParts)) {
                parent = parent.isEmpty() ? part : parent + '\\' + part;
                if (!FKeys.contains(parent))
                    FKeys.insert(parent, Section());
            }
            current = &FKeys[below];
            continue;
        }
        if (!current)
            continue;
        qsizetype pos = 0;
        QString name;
        if (line.startsWith('@')) {
            name = QString("");
            pos = 1;
        } else {
            name = ReadQuoted(line, pos);
            if (name.isNull())
                continue;
        }
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            continue;
        QString data = line.mid(pos + 1).trimmed();
        Value value;
        if (data.startsWith('"')) {
            qsizetype p = 0;
            value.Text = ReadQuoted(data, p);
            if (value.Text.isNull())
                continue;
            value.Type = rdString;
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            bool ok = false;
            const QString digits = data.mid(6).trimmed();
            value.Number = digits.toUInt(&ok, 16);
            if (!ok || digits.size() > 8)
                continue;
            value.Type = rdInteger;
        } else if (data.startsWith(QLatin1String("hex(2):"), Qt::CaseInsensitive)) {
            const QByteArray bytes = HexBytes(data.mid(7));
            QString s = unicode ? QStringDecoder(QStringDecoder::Utf16LE).decode(bytes)
                                : CodePage::FromAnsi(bytes);
            while (s.endsWith(QChar(0)))
                s.chop(1);
            value.Text = s;
            value.Type = rdExpandString;
        } else if (data == QLatin1String("-")) {
            current->remove(name.toUpper());
            continue;
        } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            value.Type = rdBinary;
        } else {
            continue;
        }
        current->insert(name.toUpper(), value);
    }
}

QString TRegistry::Resolve(const QString& key) const
{
    if (key.startsWith('\\'))
        return NormalizePath(key);
    return NormalizePath(FCurrentPath + '\\' + key);
}

bool TRegistry::OpenKey(const QString& key, bool canCreate)
{
    // The stand-in is read-only: a key that does not exist is never created.
    Q_UNUSED(canCreate);
    Load();
    const QString path = Resolve(key);
    if (!path.isEmpty() && !FKeys.contains(path.toUpper()))
        return false;
    FCurrentPath = path;
    return true;
}

void TRegistry::CloseKey()
{
    FCurrentPath.clear();
}

QString TRegistry::CurrentPath() const
{
    return FCurrentPath;
}

bool TRegistry::KeyExists(const QString& key) const
{
    const QString path = Resolve(key);
    return path.isEmpty() || FKeys.contains(KeyOf(path));
}

const TRegistry::Value* TRegistry::Find(const QString& name) const
{
    const auto section = FKeys.constFind(KeyOf(FCurrentPath));
    if (section == FKeys.constEnd())
        return nullptr;
    const auto value = section->constFind(name.toUpper());
    return value == section->constEnd() ? nullptr : &value.value();
}

bool TRegistry::ValueExists(const QString& name) const
{
    return Find(name) != nullptr;
}

TRegistry::TRegDataType TRegistry::GetDataType(const QString& name) const
{
    const Value* v = Find(name);
    return v ? v->Type : rdUnknown;
}

QString TRegistry::ReadString(const QString& name) const
{
    const Value* v = Find(name);
    if (!v)
        return QString("");
    if (v->Type != rdString && v->Type != rdExpandString)
        throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
    return v->Text;
}

int TRegistry::ReadInteger(const QString& name) const
{
    const Value* v = Find(name);
    if (!v)
        throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(name));
    if (v->Type != rdInteger)
        throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
    return int(qint32(v->Number));
}
