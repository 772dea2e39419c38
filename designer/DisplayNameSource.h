#pragma once
#include <QString>
#include <memory>

#include "designer/LarkspanTypes.h"

class TIniFile;
class TRegistry;

// Where the display names of tables and fields come from: an ini file (a
// section per table: DisplayName, a key per field, D_<field> 0 to hide it),
// the registry stand-in (a key per table below the source key: a value per
// field, the table's own name as the table's value, Display 0 to hide a
// field), or the fields' descriptions, which the schema reader supplies.
// Without a name of its own a table or field shows its database name.
class TDisplayNameSource {
public:
    TDisplayNameSource();
    ~TDisplayNameSource();
    TDisplayNameSource(const TDisplayNameSource&) = delete;
    TDisplayNameSource& operator=(const TDisplayNameSource&) = delete;

    // The ini file's path or the registry key; taken when the type is set.
    const QString& Source() const { return FSource; }
    void SetSource(const QString& value);
    // Setting the type closes the previous source and opens the new one.
    TDisplayNameSourceType Type() const { return FType; }
    void SetType(TDisplayNameSourceType value);

    QString TableDisplayName(const QString& tableName);
    // The field's display name; visible tells whether the field is shown.
    QString FieldDisplayInfo(const QString& tableName, const QString& fieldName, bool& visible);
    QString FieldDisplayNameOf(const QString& tableName, const QString& fieldName);

private:
    void Close();
    void Open();
    // One registry lookup: the string value valueName of the table's key
    // (empty when it does not exist); with display given, also the key's
    // "Display" flag, which must exist.
    QString ReadRegistryName(const QString& tableName, const QString& valueName, bool* display);

    TDisplayNameSourceType FType = dnsNone;
    QString FSource;
    std::unique_ptr<TIniFile> FIniSource;          // the source while dnsIniFile
    std::unique_ptr<TRegistry> FRegistrySource;    // the source while dnsRegistry
    bool FRegistrySourceOpen = false;              // its source key exists
};
