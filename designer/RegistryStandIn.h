#pragma once
#include <QMap>
#include <QString>

// The per-user registry (HKEY_CURRENT_USER) on a platform without one: a file
// in registry-export syntax, $XDG_CONFIG_HOME/larkspan/registry.reg
// (~/.config when the variable is unset). It starts with "REGEDIT4" or
// "Windows Registry Editor Version 5.00"; a section line
// [HKEY_CURRENT_USER\Software\...] names a key, an entry line "Name"="text"
// is a string value and "Name"=dword:0000000a a 32-bit integer. Key and value
// names match without regard to letter case; a key exists when its section
// does. Access is read-only.
class TRegistry {
public:
    enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

    // Rooted at HKEY_CURRENT_USER; reads the file.
    TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // The stand-in file's path.
    static QString FileName();

    // Opens `key`: relative to the current key, or absolute from the root
    // when it starts with a backslash. Re-reads the file. Succeeds only when
    // the key exists (nothing is ever created); the current key then moves.
    bool OpenKey(const QString& key, bool canCreate);
    // Back to the root.
    void CloseKey();
    // The current key's path below the root, without a leading backslash.
    QString CurrentPath() const;
    bool KeyExists(const QString& key) const;

    bool ValueExists(const QString& name) const;
    TRegDataType GetDataType(const QString& name) const;
    // A missing value gives "" (the caller decides); a value of another type
    // raises ERegistryException "Invalid data type for '<name>'".
    QString ReadString(const QString& name) const;
    // A missing value raises ERegistryException "Failed to get data for
    // '<name>'"; another type "Invalid data type for '<name>'".
    int ReadInteger(const QString& name) const;

private:
    struct Value {
        TRegDataType Type = rdUnknown;
        QString Text;       // rdString, rdExpandString
        quint32 Number = 0; // rdInteger
    };
    // Keys by upper-case path below the root; values by upper-case name.
    using Section = QMap<QString, Value>;

    void Load();
    QString Resolve(const QString& key) const;
    const Value* Find(const QString& name) const;

    QString FCurrentPath;
    QMap<QString, Section> FKeys;
};
