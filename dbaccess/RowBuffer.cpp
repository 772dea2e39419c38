#include "dbaccess/RowBuffer.h"

#include <cstring>

namespace {
size_t align8(size_t n)
{
    return (n + 7) & ~size_t(7);
}
}

// Bytes per character of the multi-byte character sets, by id.
static int maxBytesPerChar(int charsetId)
{
    switch (charsetId) {
    case 3: return 3;    // UNICODE_FSS
    case 4: return 4;    // UTF8
    case 69: return 4;   // GB18030
    case 5: case 6: case 44: case 56: case 57: case 67: case 68: return 2;   // SJIS, EUCJ, KSC, BIG5, GB2312, GBK, CP943C
    default: return 1;
    }
}

TFieldType ColumnKind(short type, short scale, short subtype, int* precision)
{
    *precision = 0;
    switch (type) {
    case SQL_TEXT:
    case SQL_VARYING: return ftString;
    case SQL_SHORT:
        if (scale == 0)
            return ftSmallint;
        *precision = 4;
        return ftBCD;
    case SQL_LONG:
        if (scale == 0)
            return ftInteger;
        if (scale >= -4) {
            *precision = 9;
            return ftBCD;
        }
        return ftFloat;
    case SQL_INT64:
        if (scale == 0)
            return ftLargeint;
        if (scale >= -4) {
            *precision = 18;
            return ftBCD;
        }
        return ftFloat;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return ftFloat;
    case SQL_TIMESTAMP: return ftDateTime;
    case SQL_TYPE_DATE: return ftDate;
    case SQL_TYPE_TIME: return ftTime;
    case SQL_BLOB: return subtype == 1 ? ftMemo : ftBlob;
    default: return ftUnknown;
    }
}

void RowBuffer::Layout(XSQLDA* out)
{
    FSlots.clear();
    Clear();
    size_t offset = 0;
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR& var = out->sqlvar[i];
        ColumnSlot s;
        s.type = short(var.sqltype & ~1);
        s.scale = var.sqlscale;
        s.subtype = var.sqlsubtype;
        s.length = var.sqllen;
        s.charLength = short(var.sqllen / maxBytesPerChar(var.sqlsubtype & 0xFF));
        s.kind = ColumnKind(s.type, s.scale, s.subtype, &s.precision);
        s.name = QString::fromUtf8(var.aliasname, var.aliasname_length);
        const size_t size = s.type == SQL_VARYING ? size_t(var.sqllen) + 2 : size_t(var.sqllen);
        s.dataOffset = int(offset);
        offset = align8(offset + size);
        s.nullOffset = int(offset);
        offset = align8(offset + sizeof(short));
        var.sqltype = short(var.sqltype | 1);   // always report nulls
        FSlots.push_back(s);
    }
    FStride = offset > 0 ? offset : 8;
    FFetchArea = std::make_unique<char[]>(FStride);
    std::memset(FFetchArea.get(), 0, FStride);
    for (int i = 0; i < out->sqld; ++i) {
        out->sqlvar[i].sqldata = FFetchArea.get() + FSlots[size_t(i)].dataOffset;
        out->sqlvar[i].sqlind = reinterpret_cast<short*>(FFetchArea.get() + FSlots[size_t(i)].nullOffset);
    }
}

void RowBuffer::Clear()
{
    FChunks.clear();
    FCount = 0;
}

void RowBuffer::StoreFetched()
{
    const size_t chunk = size_t(FCount / FChunkRows);
    if (chunk == FChunks.size())
        FChunks.push_back(std::make_unique_for_overwrite<char[]>(FStride * size_t(FChunkRows)));
    std::memcpy(FChunks[chunk].get() + size_t(FCount % FChunkRows) * FStride, FFetchArea.get(), FStride);
    ++FCount;
}
