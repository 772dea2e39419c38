#pragma once
#include <QString>
#include <ibase.h>
#include <memory>
#include <vector>

#include "dbaccess/FieldTypes.h"

// Where one result column lives inside a stored row.
struct ColumnSlot {
    short type = 0;        // server type without the null bit
    short scale = 0;
    short subtype = 0;
    short length = 0;      // declared length in bytes
    short charLength = 0;  // CHAR: declared length in characters
    int dataOffset = 0;
    int nullOffset = 0;
    TFieldType kind = ftUnknown;   // ftUnknown: not offered as a column
    int precision = 0;
    QString name;
};

// The column kind of a described server type (ftUnknown: not offered).
TFieldType ColumnKind(short type, short scale, short subtype, int* precision);

// Fetched rows stored compactly: each row is the raw copy of the fetch
// area (values and null flags), kept in chunks of a fixed number of rows so
// that growing never moves the rows already held.
class RowBuffer {
public:
    // Lays out the columns of out and points its variables into the fetch area.
    void Layout(XSQLDA* out);
    const std::vector<ColumnSlot>& Slots() const { return FSlots; }

    void SetChunkRows(int rows) { FChunkRows = rows > 0 ? rows : 1; }
    void Clear();                 // drops the rows, keeps the layout
    void StoreFetched();          // appends a copy of the fetch area
    int Count() const { return FCount; }
    const char* Row(int row) const
    {
        return FChunks[size_t(row / FChunkRows)].get() + size_t(row % FChunkRows) * FStride;
    }
    const char* Fetched() const { return FFetchArea.get(); }
    static bool IsNull(const char* row, const ColumnSlot& s)
    {
        return *reinterpret_cast<const short*>(row + s.nullOffset) < 0;
    }

private:
    std::vector<ColumnSlot> FSlots;
    size_t FStride = 0;
    int FChunkRows = 1000;
    int FCount = 0;
    std::unique_ptr<char[]> FFetchArea;
    std::vector<std::unique_ptr<char[]>> FChunks;
};
