#include "dbaccess/ServerTypes.h"

// The named codes are the client library's.
static_assert(SqlTypeCode::Varying == SQL_VARYING && SqlTypeCode::Text == SQL_TEXT &&
              SqlTypeCode::Double == SQL_DOUBLE && SqlTypeCode::Float == SQL_FLOAT && SqlTypeCode::Long == SQL_LONG &&
              SqlTypeCode::Short == SQL_SHORT && SqlTypeCode::Timestamp == SQL_TIMESTAMP &&
              SqlTypeCode::Blob == SQL_BLOB && SqlTypeCode::DFloat == SQL_D_FLOAT && SqlTypeCode::Array == SQL_ARRAY &&
              SqlTypeCode::Quad == SQL_QUAD && SqlTypeCode::TypeTime == SQL_TYPE_TIME &&
              SqlTypeCode::TypeDate == SQL_TYPE_DATE && SqlTypeCode::Int64 == SQL_INT64 &&
              SqlTypeCode::Boolean == SQL_BOOLEAN && SqlTypeCode::Null == SQL_NULL);
static_assert(FieldTypeCode::Smallint == blr_short && FieldTypeCode::Integer == blr_long &&
              FieldTypeCode::Quad == blr_quad && FieldTypeCode::Float == blr_float &&
              FieldTypeCode::DFloat == blr_d_float && FieldTypeCode::Date == blr_sql_date &&
              FieldTypeCode::Time == blr_sql_time && FieldTypeCode::Char == blr_text &&
              FieldTypeCode::Bigint == blr_int64 && FieldTypeCode::Boolean == blr_bool &&
              FieldTypeCode::Double == blr_double && FieldTypeCode::Timestamp == blr_timestamp &&
              FieldTypeCode::Varchar == blr_varying && FieldTypeCode::Cstring == blr_cstring &&
              FieldTypeCode::BlobId == blr_blob_id && FieldTypeCode::Blob == blr_blob);

namespace {
constexpr ServerType Types[] = {
    {SqlTypeCode::Text, ValueClass::FixedText, 0, ftString},
    {SqlTypeCode::Varying, ValueClass::VaryingText, 0, ftString},
    {SqlTypeCode::Short, ValueClass::ScaledInteger, 2, ftSmallint},
    {SqlTypeCode::Long, ValueClass::ScaledInteger, 4, ftInteger},
    {SqlTypeCode::Int64, ValueClass::ScaledInteger, 8, ftLargeint},
    {SqlTypeCode::Float, ValueClass::Float, 4, ftFloat},
    {SqlTypeCode::Double, ValueClass::Float, 8, ftFloat},
    {SqlTypeCode::DFloat, ValueClass::Float, 8, ftFloat},
    {SqlTypeCode::Timestamp, ValueClass::Timestamp, 8, ftDateTime},
    {SqlTypeCode::TypeDate, ValueClass::Date, 4, ftDate},
    {SqlTypeCode::TypeTime, ValueClass::Time, 4, ftTime},
    {SqlTypeCode::Blob, ValueClass::Blob, 8, ftBlob},
    {SqlTypeCode::Boolean, ValueClass::Boolean, 1, ftBoolean},
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
    case ValueClass::Blob: return subtype == BlobSubtypeText ? ftMemo : ftBlob;
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
