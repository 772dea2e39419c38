#pragma once
#include <ibase.h>

#include "dbaccess/FieldTypes.h"
#include "dbaccess/TypeCodes.h"

// What the layer does with a value of each server data type. Column kinds,
// row storage, text conversion and parameter binding all read this one
// table, so a type known to one of them is known to all.
enum class ValueClass {
    FixedText,       // CHAR: padded to its declared length
    VaryingText,     // VARCHAR: a 2-byte length, then the bytes
    ScaledInteger,   // SMALLINT, INTEGER, BIGINT, with a decimal scale
    Float,           // FLOAT, DOUBLE PRECISION
    Timestamp,
    Date,
    Time,
    Blob,            // a BLOB id; the content is read on demand
    Boolean,         // one byte, 0 or 1
};

struct ServerType {
    short code;          // XSQLVAR sqltype without the null bit
    ValueClass value;
    short size;          // bytes of a value; 0: the declared length (texts)
    TFieldType kind;     // column kind before scale and sub-type are applied
};

// The entry of a server type code (null bit ignored); nullptr for types
// the layer does not handle (ARRAY and newer types): such columns are not
// offered and such parameters cannot be bound.
const ServerType* FindServerType(short sqltype);

// The column kind of a described server type (ftUnknown: not offered);
// *precision is set for ftBCD.
TFieldType ColumnKind(short type, short scale, short subtype, int* precision);
