// Display names of tables and fields, from an ini file, the registry
// stand-in or the fields' descriptions.
#include "designer/Larkspan.h"

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

void TLarkspan::SetDisplayNameSource(const QString& value)
{
    if (value != FDisplayNameSource)
        FDisplayNameSource = value;
}

void TLarkspan::SetDisplayNameSourceType(TDisplayNameSourceType value)
{
    if (value == FDisplayNameSourceType)
        return;
    CloseDisplaySource();
    FDisplayNameSourceType = value;
    OpenDisplaySource();
}

void TLarkspan::CloseDisplaySource()
{
    if (FRegistrySource)
        FRegistrySource->CloseKey();
    FRegistrySource.reset();
    FRegistrySourceOpen = false;
    FIniSource.reset();
}

void TLarkspan::OpenDisplaySource()
{
    if (FDisplayNameSourceType == dnsIniFile) {
        FIniSource = std::make_unique<TIniFile>(FDisplayNameSource);
    } else if (FDisplayNameSourceType == dnsRegistry) {
        FRegistrySource = std::make_unique<TRegistry>();
        // A missing key is no error: lookups then start below the root.
        FRegistrySourceOpen = FRegistrySource->OpenKey(KeyPath(FDisplayNameSource), false);
    }
}

QString TLarkspan::ReadRegistryName(const QString& tableName, const QString& valueName, bool* display)
{
    TRegistry& reg = *FRegistrySource;
    const QString base = FRegistrySourceOpen ? FDisplayNameSource : QString();
    // The table's key below the source key; else the source key itself.
    bool haveKey = reg.OpenKey(KeyPath(base, tableName), false);
    if (!haveKey && FRegistrySourceOpen)
        haveKey = reg.OpenKey(KeyPath(base), false);

    // Whatever happens, the source key is the current key afterwards.
    struct RestoreSourceKey {
        TLarkspan* self;
        TRegistry& reg;
        ~RestoreSourceKey()
        {
            reg.CloseKey();
            try {
                if (self->FRegistrySourceOpen)
                    reg.OpenKey(KeyPath(self->FDisplayNameSource), false);
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

QString TLarkspan::TableDisplayName(const QString& tableName)
{
    QString result;
    switch (FDisplayNameSourceType) {
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

QString TLarkspan::FieldDisplayInfo(const QString& tableName, const QString& fieldName, bool& visible)
{
    visible = true;
    QString result;
    switch (FDisplayNameSourceType) {
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

QString TLarkspan::FieldDisplayNameOf(const QString& tableName, const QString& fieldName)
{
    bool visible = true;
    return FieldDisplayInfo(tableName, fieldName, visible);
}
