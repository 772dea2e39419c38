#pragma once
#include <QString>
#include <cstdint>
#include <ibase.h>
#include <memory>
#include <vector>

#include "dbaccess/FieldTypes.h"
#include "dbaccess/ServerTypes.h"

// One result column: how the server describes it, where the client
// library puts its value, and where a stored row keeps it.
struct ColumnSlot {
    short type = 0;        // server type without the null bit
    short scale = 0;
    short subtype = 0;
    short length = 0;      // declared length in bytes
    short charLength = 0;  // CHAR: declared length in characters
    TFieldType kind = ftUnknown;   // ftUnknown: not offered as a column
    int precision = 0;
    QString name;

    const ServerType* server = nullptr;   // nullptr: a type the layer does not store
    int fetchOffset = 0;   // value in the fetch area
    int fetchNull = 0;     // null indicator in the fetch area
    int column = 0;        // position in the row (its null bit)
    int storeOffset = 0;   // stored row: the value, or a text's length
    int lengthBytes = 0;   // texts: 1 or 2 bytes of length; other values: 0
    int textIndex = -1;    // texts: position among the row's texts
};

// A stored value: the bytes of a fixed-size value, or a text's bytes
// (a CHAR without its trailing blanks).
struct StoredValue {
    const char* data;
    int length;
};

// Fetched rows at their real size. A row is a null bitmap, then every
// fixed-size value packed at a fixed offset (texts leave their length
// there), then the text bytes one after another. A CHAR is kept without its
// trailing blanks and padded again when read. Rows are filled into one
// growing chunk of BufferChunks rows; a full chunk is sealed into a block
// of its exact size, so growing never moves rows already held. A
// forward-only buffer keeps only the chunk being filled and reuses it.
class RowBuffer {
public:
    // Lays out the columns of out and points its variables into the fetch area.
    void Layout(XSQLDA* out);
    const std::vector<ColumnSlot>& Slots() const { return FSlots; }

    void SetChunkRows(int rows);   // drops the rows when it changes
    void SetForwardOnly(bool value) { FForwardOnly = value; }
    void Clear();                  // drops the rows, keeps the layout
    void StoreFetched();           // appends the row in the fetch area

    int Count() const { return FCount; }               // rows stored so far
    int FirstHeld() const { return FFirstHeld; }       // rows before it were let go
    bool Held(int row) const { return row >= FFirstHeld && row < FCount; }
    const char* Row(int row) const
    {
        // The cells of one row are read one after another: remember it.
        if (row == FLastRow)
            return FLastRowData;
        const int r = row - FFirstHeld;
        const size_t chunk = size_t(r / FChunkRows);
        const size_t index = size_t(r % FChunkRows);
        FLastRow = row;
        if (chunk < FSealed.size())
            FLastRowData = FSealed[chunk].bytes.get() + FSealed[chunk].offsets[index];
        else
            FLastRowData = FOpenBytes.get() + FOpenOffsets[index];
        return FLastRowData;
    }
    static bool IsNull(const char* row, const ColumnSlot& s)
    {
        return (static_cast<unsigned char>(row[s.column >> 3]) >> (s.column & 7)) & 1;
    }
    StoredValue Value(const char* row, const ColumnSlot& s) const
    {
        if (s.lengthBytes == 0)
            return {row + s.storeOffset, s.server->size};
        const char* text = row + FFixedSize;
        for (int i = 0; i < s.textIndex; ++i)
            text += TextLength(row, FSlots[size_t(FTextSlots[size_t(i)])]);
        return {text, TextLength(row, s)};
    }

    // Bytes held for the rows (blocks, the chunk being filled and offsets).
    size_t HeldBytes() const;

private:
    static int TextLength(const char* row, const ColumnSlot& s)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(row + s.storeOffset);
        return s.lengthBytes == 1 ? p[0] : p[0] | (p[1] << 8);
    }
    void SealOpenChunk();
    char* GrowOpenChunk(size_t bytes);   // room for bytes more; returns where they go

    struct Block {
        std::unique_ptr<char[]> bytes;
        std::unique_ptr<std::uint32_t[]> offsets;
        size_t size = 0;
    };

    std::vector<ColumnSlot> FSlots;
    std::vector<int> FTextSlots;    // slots of the texts, in row order
    int FBitmapBytes = 0;
    int FFixedSize = 0;             // bitmap and fixed part of every row
    size_t FFetchSize = 0;
    int FChunkRows = 1000;
    bool FForwardOnly = false;
    int FCount = 0;
    int FFirstHeld = 0;
    std::unique_ptr<char[]> FFetchArea;
    std::vector<Block> FSealed;
    // The chunk being filled: its bytes grow by doubling, without the
    // zero-fill a vector would spend on every row.
    std::unique_ptr<char[]> FOpenBytes;
    size_t FOpenSize = 0;
    size_t FOpenCapacity = 0;
    std::vector<std::uint32_t> FOpenOffsets;
    // The row Row gave last; forgotten whenever rows are added or dropped,
    // since the chunk being filled may move.
    mutable int FLastRow = -1;
    mutable const char* FLastRowData = nullptr;
};
