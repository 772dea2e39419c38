#include "dbaccess/ServerTypes.h"

namespace {
constexpr ServerType Types[] = {
    {SQL_TEXT, ValueClass::FixedText, 0, ftString},
    {SQL_VARYING, ValueClass::VaryingText, 0, ftString},
    {SQL_SHORT, ValueClass::ScaledInteger, 2, ftSmallint},
    {SQL_LONG, ValueClass::ScaledInteger, 4, ftInteger},
    {SQL_INT64, ValueClass::ScaledInteger, 8, ftLargeint},
    {SQL_FLOAT, ValueClass::Float, 4, ftFloat},
    {SQL_DOUBLE, ValueClass::Float, 8, ftFloat},
    {SQL_D_FLOAT, ValueClass::Float, 8, ftFloat},
    {SQL_TIMESTAMP, ValueClass::Timestamp, 8, ftDateTime},
    {SQL_TYPE_DATE, ValueClass::Date, 4, ftDate},
    {SQL_TYPE_TIME, ValueClass::Time, 4, ftTime},
    {SQL_BLOB, ValueClass::Blob, 8, ftBlob},
    {SQL_BOOLEAN, ValueClass::Boolean, 1, ftBoolean},
};
}

const ServerType* FindServerType(short sqltype)
{
    const short code = short(sqltype & ~1);
    for (const ServerType& t : Types)
        if (t.code == code)
            return &t;
    return nullptr;
}

TFieldType ColumnKind(short type, short scale, short subtype, int* precision)
{
    *precision = 0;
    const ServerType* t = FindServerType(type);
    if (!t)
        return ftUnknown;
    switch (t->value) {
    case ValueClass::ScaledInteger:
        // A scale of -1 to -4 fits a currency value (a scaled SMALLINT has
        // no more decimals than that); a finer one is read as a float.
        if (scale == 0)
            return t->kind;
        if (scale >= -4 || t->size == 2) {
            *precision = t->size == 2 ? 4 : t->size == 4 ? 9 : 18;
            return ftBCD;
        }
        return ftFloat;
    case ValueClass::Blob: return subtype == 1 ? ftMemo : ftBlob;
    case ValueClass::FixedText:
    case ValueClass::VaryingText:
    case ValueClass::Float:
    case ValueClass::Timestamp:
    case ValueClass::Date:
    case ValueClass::Time:
    case ValueClass::Boolean: return t->kind;
    }
    return ftUnknown;
}
