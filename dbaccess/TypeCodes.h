#pragma once

// The server's type codes by name. The values are the client library's own
// (ServerTypes.cpp checks them against its header), written out here so
// that code reading system tables can name them without the library's
// header and its macros.

// The sqltype of a described value (XSQLVAR), without the null bit.
namespace SqlTypeCode {
constexpr short Varying = 448;     // VARCHAR
constexpr short Text = 452;        // CHAR
constexpr short Double = 480;
constexpr short Float = 482;
constexpr short Long = 496;        // INTEGER
constexpr short Short = 500;       // SMALLINT
constexpr short Timestamp = 510;
constexpr short Blob = 520;
constexpr short DFloat = 530;
constexpr short Array = 540;
constexpr short Quad = 550;
constexpr short TypeTime = 560;
constexpr short TypeDate = 570;
constexpr short Int64 = 580;       // BIGINT
constexpr short Boolean = 32764;
constexpr short Null = 32766;
}

// RDB$FIELDS.RDB$FIELD_TYPE: a column's stored type, as the system tables
// give it.
namespace FieldTypeCode {
constexpr short Smallint = 7;
constexpr short Integer = 8;
constexpr short Quad = 9;
constexpr short Float = 10;
constexpr short DFloat = 11;
constexpr short Date = 12;         // dialect 3 DATE
constexpr short Time = 13;
constexpr short Char = 14;
constexpr short Bigint = 16;
constexpr short Boolean = 23;
constexpr short Double = 27;
constexpr short Timestamp = 35;    // also dialect 1 DATE
constexpr short Varchar = 37;
constexpr short Cstring = 40;
constexpr short BlobId = 45;
constexpr short Blob = 261;
}

// A BLOB's sub-type that holds text (XSQLVAR sqlsubtype of a BLOB).
constexpr short BlobSubtypeText = 1;
// The character set id of bytes taken as they are (OCTETS).
constexpr short CharsetOctets = 1;
