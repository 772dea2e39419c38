// Display names of tables and fields, from an ini file, the registry
// stand-in or the fields' descriptions.
#include "designer/DisplayNameSource.h"

#include "designer/IniFile.h"
#include "designer/RegistryStandIn.h"

namespace {
const QString DisplayValueName = QStringLiteral("Display");

// An absolute key path below HKEY_CURRENT_USER.
QString KeyPath(QString base, const QString& sub = QString())
{
    while (base.startsWith(QLatin1Char('\\')))
        base.remove(0, 1);
    QString path = QStringLiteral("\\") + base;
    if (!sub.isEmpty()) {
        if (!path.endsWith(QLatin1Char('\\')))
            path += QLatin1Char('\\');
        path += sub;
    }
    return path;
}
}

void TDisplayNameSource::SetSource(const QString& value)
{
    if (value != FSource)
        FSource = value;
}

void TDisplayNameSource::SetType(TDisplayNameSourceType value)
{
    if (value == FType)
        return;
    Close();
    FType = value;
    Open();
}

TDisplayNameSource::TDisplayNameSource() = default;

TDisplayNameSource::~TDisplayNameSource()
{
    Close();
}

void TDisplayNameSource::Close()
{
    if (FRegistrySource)
        FRegistrySource->CloseKey();
    FRegistrySource.reset();
    FRegistrySourceOpen = false;
    FIniSource.reset();
}

void TDisplayNameSource::Open()
{
    if (FType == dnsIniFile) {
        FIniSource = std::make_unique<TIniFile>(FSource);
    } else if (FType == dnsRegistry) {
        FRegistrySource = std::make_unique<TRegistry>();
        // A missing key is no error: lookups then start below the root.
        FRegistrySourceOpen = FRegistrySource->OpenKey(KeyPath(FSource), false);
    }
}

QString TDisplayNameSource::ReadRegistryName(const QString& tableName, const QString& valueName, bool* display)
{
    TRegistry& reg = *FRegistrySource;
    const QString base = FRegistrySourceOpen ? FSource : QString();
    // The table's key below the source key; else the source key itself.
    bool haveKey = reg.OpenKey(KeyPath(base, tableName), false);
    if (!haveKey && FRegistrySourceOpen)
        haveKey = reg.OpenKey(KeyPath(base), false);

    // Whatever happens, the source key is the current key afterwards.
    struct RestoreSourceKey {
        TDisplayNameSource* self;
        TRegistry& reg;
        ~RestoreSourceKey()
        {
            reg.CloseKey();
            try {
                if (self->FRegistrySourceOpen)
                    reg.OpenKey(KeyPath(self->FSource), false);
            } catch (...) {
                // Left at the root; the next lookup reports what is wrong.
            }
        }
    } restore{this, reg};

    QString name;
    if (haveKey)
        name = reg.ReadString(valueName);
    if (display) {
        if (!haveKey)
            throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(DisplayValueName));
        *display = reg.ReadInteger(DisplayValueName) != 0;
    }
    return name;
}

QString TDisplayNameSource::TableDisplayName(const QString& tableName)
{
    QString result;
    switch (FType) {
    case dnsIniFile:
        result = FIniSource ? FIniSource->ReadString(tableName, QStringLiteral("DisplayName"), tableName) : tableName;
        break;
    case dnsRegistry:
        result = FRegistrySource ? ReadRegistryName(tableName, tableName, nullptr) : QString();
        break;
    case dnsIBTable:
    case dnsRDBDescription:
        break;
    case dnsNone:
        result = tableName;
        break;
    }
    return result.isEmpty() ? tableName : result;
}

QString TDisplayNameSource::FieldDisplayInfo(const QString& tableName, const QString& fieldName, bool& visible)
{
    visible = true;
    QString result;
    switch (FType) {
    case dnsIniFile:
        if (FIniSource) {
            result = FIniSource->ReadString(tableName, fieldName, fieldName);
            visible = FIniSource->ReadInteger(tableName, QStringLiteral("D_") + fieldName, 1) != 0;
        }
        break;
    case dnsRegistry:
        if (FRegistrySource)
            result = ReadRegistryName(tableName, fieldName, &visible);
        break;
    case dnsIBTable:
    case dnsRDBDescription:
        break;
    case dnsNone:
        result = fieldName;
        break;
    }
    return result.isEmpty() ? fieldName : result;
}

QString TDisplayNameSource::FieldDisplayNameOf(const QString& tableName, const QString& fieldName)
{
    bool visible = true;
    return FieldDisplayInfo(tableName, fieldName, visible);
}
