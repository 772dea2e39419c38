#include "dbaccess/RowBuffer.h"

#include <algorithm>
#include <cstring>

namespace {
size_t align8(size_t n)
{
    return (n + 7) & ~size_t(7);
}

// Bytes per character of the multi-byte character sets, by id.
int maxBytesPerChar(int charsetId)
{
    switch (charsetId) {
    case 3: return 3;    // UNICODE_FSS
    case 4: return 4;    // UTF8
    case 69: return 4;   // GB18030
    case 5: case 6: case 44: case 56: case 57: case 67: case 68: return 2;   // SJIS, EUCJ, KSC, BIG5, GB2312, GBK, CP943C
    default: return 1;
    }
}

// A fixed-size value: the common sizes copied by moves of that size
// rather than a call.
inline void copyValue(char* to, const char* from, int size)
{
    switch (size) {
    case 8: std::memcpy(to, from, 8); break;
    case 4: std::memcpy(to, from, 4); break;
    case 2: std::memcpy(to, from, 2); break;
    case 1: *to = *from; break;
    default: std::memcpy(to, from, size_t(size)); break;
    }
}

bool isText(const ColumnSlot& s)
{
    return s.server && (s.server->value == ValueClass::FixedText || s.server->value == ValueClass::VaryingText);
}
}

void RowBuffer::Layout(XSQLDA* out)
{
    FSlots.clear();
    FTextSlots.clear();
    Clear();
    // The fetch area: every value where the client library writes it,
    // aligned, with its null indicator.
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
        s.server = FindServerType(s.type);
        s.column = i;
        const size_t size = s.type == SQL_VARYING ? size_t(var.sqllen) + 2 : size_t(var.sqllen);
        s.fetchOffset = int(offset);
        offset = align8(offset + size);
        s.fetchNull = int(offset);
        offset = align8(offset + sizeof(short));
        var.sqltype = short(var.sqltype | 1);   // always report nulls
        FSlots.push_back(s);
    }
    FFetchSize = offset > 0 ? offset : 8;
    FFetchArea = std::make_unique<char[]>(FFetchSize);
    std::memset(FFetchArea.get(), 0, FFetchSize);
    for (int i = 0; i < out->sqld; ++i) {
        out->sqlvar[i].sqldata = FFetchArea.get() + FSlots[size_t(i)].fetchOffset;
        out->sqlvar[i].sqlind = reinterpret_cast<short*>(FFetchArea.get() + FSlots[size_t(i)].fetchNull);
    }

    // The stored row: bitmap, then the fixed part, unaligned (values are
    // read with memcpy), then the text bytes.
    FBitmapBytes = (out->sqld + 7) / 8;
    int fixed = FBitmapBytes;
    for (size_t i = 0; i < FSlots.size(); ++i) {
        ColumnSlot& s = FSlots[i];
        if (!s.server)
            continue;
        s.storeOffset = fixed;
        if (isText(s)) {
            s.lengthBytes = s.length <= 255 ? 1 : 2;
            s.textIndex = int(FTextSlots.size());
            FTextSlots.push_back(int(i));
            fixed += s.lengthBytes;
        } else {
            fixed += s.server->size;
        }
    }
    FFixedSize = fixed;
}

void RowBuffer::SetChunkRows(int rows)
{
    rows = rows > 0 ? rows : 1;
    if (rows != FChunkRows) {
        Clear();
        FChunkRows = rows;
    }
}

void RowBuffer::Clear()
{
    FLastRow = -1;
    FSealed.clear();
    FOpenSize = 0;
    FOpenOffsets.clear();
    FCount = 0;
    FFirstHeld = 0;
}

void RowBuffer::SealOpenChunk()
{
    if (FForwardOnly) {
        // Let the chunk's rows go; its memory takes the next ones.
        FFirstHeld += int(FOpenOffsets.size());
    } else {
        Block block;
        block.size = FOpenSize;
        block.bytes = std::make_unique_for_overwrite<char[]>(block.size);
        std::memcpy(block.bytes.get(), FOpenBytes.get(), block.size);
        block.offsets = std::make_unique_for_overwrite<std::uint32_t[]>(FOpenOffsets.size());
        std::memcpy(block.offsets.get(), FOpenOffsets.data(), FOpenOffsets.size() * sizeof(std::uint32_t));
        FSealed.push_back(std::move(block));
    }
    FOpenSize = 0;
    FOpenOffsets.clear();
}

char* RowBuffer::GrowOpenChunk(size_t bytes)
{
    if (FOpenSize + bytes > FOpenCapacity) {
        const size_t capacity = std::max(FOpenSize + bytes, std::max<size_t>(FOpenCapacity * 2, 4096));
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (FOpenSize > 0)
            std::memcpy(grown.get(), FOpenBytes.get(), FOpenSize);
        FOpenBytes = std::move(grown);
        FOpenCapacity = capacity;
    }
    char* at = FOpenBytes.get() + FOpenSize;
    FOpenSize += bytes;
    return at;
}

void RowBuffer::StoreFetched()
{
    FLastRow = -1;
    if (int(FOpenOffsets.size()) == FChunkRows)
        SealOpenChunk();
    const char* fetch = FFetchArea.get();

    // The row's size: the fixed part and the bytes of its texts.
    size_t textBytes = 0;
    for (int slot : FTextSlots) {
        const ColumnSlot& s = FSlots[size_t(slot)];
        if (*reinterpret_cast<const short*>(fetch + s.fetchNull) < 0)
            continue;
        if (s.type == SQL_VARYING) {
            std::uint16_t length;
            std::memcpy(&length, fetch + s.fetchOffset, sizeof length);
            textBytes += length;
        } else {
            const char* p = fetch + s.fetchOffset;
            int length = s.length;
            while (length > 0 && p[length - 1] == ' ')
                --length;
            textBytes += size_t(length);
        }
    }

    const size_t start = FOpenSize;
    char* row = GrowOpenChunk(size_t(FFixedSize) + textBytes);
    FOpenOffsets.push_back(std::uint32_t(start));
    for (int i = 0; i < FBitmapBytes; ++i)   // a byte or two: not worth a call
        row[i] = 0;
    char* text = row + FFixedSize;
    for (const ColumnSlot& s : FSlots) {
        if (!s.server)
            continue;
        const bool null = *reinterpret_cast<const short*>(fetch + s.fetchNull) < 0;
        if (null)
            row[s.column >> 3] = char(row[s.column >> 3] | (1 << (s.column & 7)));
        if (s.lengthBytes == 0) {
            if (null)
                std::memset(row + s.storeOffset, 0, size_t(s.server->size));
            else
                copyValue(row + s.storeOffset, fetch + s.fetchOffset, s.server->size);
            continue;
        }
        int length = 0;
        const char* bytes = fetch + s.fetchOffset;
        if (!null) {
            if (s.type == SQL_VARYING) {
                std::uint16_t n;
                std::memcpy(&n, bytes, sizeof n);
                length = n;
                bytes += 2;
            } else {
                length = s.length;
                while (length > 0 && bytes[length - 1] == ' ')
                    --length;
            }
            std::memcpy(text, bytes, size_t(length));
            text += length;
        }
        row[s.storeOffset] = char(length & 0xFF);
        if (s.lengthBytes == 2)
            row[s.storeOffset + 1] = char(length >> 8);
    }
    ++FCount;
}

size_t RowBuffer::HeldBytes() const
{
    size_t bytes = FOpenCapacity + FOpenOffsets.capacity() * sizeof(std::uint32_t);
    for (const Block& b : FSealed)
        bytes += b.size + size_t(FChunkRows) * sizeof(std::uint32_t);
    return bytes;
}
