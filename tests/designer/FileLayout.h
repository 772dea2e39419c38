#pragma once
// The designer's files assembled by hand, byte by byte, for comparing with
// what it writes: the header both files share, the query file's entries
// and records, the little-endian numbers and short strings of the records.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QtEndian>
#include <cstring>

namespace FileLayout {

// One saved-query record: two positions, three bytes, two value blocks.
constexpr int RecordSize = 527;

inline void Int32(QByteArray& out, qint32 v)
{
    char raw[4];
    qToLittleEndian(v, raw);
    out.append(raw, 4);
}

inline void Double(QByteArray& out, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    char raw[8];
    qToLittleEndian(bits, raw);
    out.append(raw, 8);
}

// A length byte and room for `room` characters.
inline void Short(QByteArray& out, const QByteArray& chars, int room)
{
    out.append(char(chars.size()));
    out.append(chars);
    out.append(QByteArray(room - chars.size(), '\0'));
}

// The magic and today's date, as days since 30 December 1899.
inline QByteArray Header()
{
    QByteArray out("LKS\xFF", 4);
    Double(out, double(QDate(1899, 12, 30).daysTo(QDate::currentDate())));
    return out;
}

// A query file's header: the magic, the date and the records per entry.
inline QByteArray Header(qint32 recordCount)
{
    QByteArray out = Header();
    Int32(out, recordCount);
    return out;
}

inline QByteArray NameField(const QByteArray& ansi)
{
    QByteArray out(1, char(ansi.size()));
    out += ansi;
    return out + QByteArray(255 - ansi.size(), '\0');
}

inline QByteArray Record(qint32 tablePos, qint32 fieldPos, quint8 selected = 0, quint8 mainBool = 0,
                         quint8 between = 0, const QByteArray& low = {}, const QByteArray& high = {})
{
    QByteArray out;
    Int32(out, tablePos);
    Int32(out, fieldPos);
    out.append(char(selected));
    out.append(char(mainBool));
    out.append(char(between));
    out += low.leftJustified(258, '\0', true);
    out += high.leftJustified(258, '\0', true);
    return out;
}

// A value block holding a 32-bit integer (type 8).
inline QByteArray IntBlock(quint8 op, qint32 v)
{
    QByteArray out;
    out.append(char(op));
    out.append('\x01');
    Int32(out, v);
    return out;
}

// A value block holding a double (types 10, 11 and 27).
inline QByteArray DoubleBlock(quint8 op, double v)
{
    QByteArray out;
    out.append(char(op));
    out.append('\x01');
    Double(out, v);
    return out;
}

// A value block holding a string (types 14, 37 and 40) in the single-byte
// code page.
inline QByteArray StringBlock(quint8 op, const QByteArray& ansi)
{
    QByteArray out;
    out.append(char(op));
    out.append('\x01');
    out.append(char(ansi.size()));
    out.append(ansi);
    return out;
}

// An entry: the free flag (0: live), the name, the records.
inline QByteArray Entry(quint8 flag, const QByteArray& name, const QList<QByteArray>& records)
{
    QByteArray out(1, char(flag));
    out += NameField(name);
    for (const QByteArray& r : records)
        out += r;
    return out;
}

}   // namespace FileLayout
