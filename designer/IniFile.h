#pragma once
#include <QString>

// Read access to a profile (ini) file. The file is read afresh at every
// lookup, so edits show at the next lookup. Section and key names match
// without regard to letter case; a value is the text after the first "=",
// blanks around it removed, at most 2047 characters. A missing file,
// section or key gives the default. A file name without a directory is
// looked up in the current directory.
//
// The file is decoded as UTF-8 when it is valid UTF-8, otherwise as
// Windows-1250 (files written on the original platform).
class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return FFileName; }
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Decimal or 0x-prefixed hexadecimal; anything else gives the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

    static constexpr int MaxValueLength = 2047;

private:
    QString FFileName;
};
