#pragma once
#include <QString>

class TLarkspan;

// Changes to single entries of a query file beyond appending: an entry
// freed (deleted), an entry overwritten in place by the current design.
namespace QueryEntries {
// Marks entry index of the designer's query file free; its room is reused
// by a later save. Raises an error naming the file when it is not a query
// file or has no live entry index.
void Delete(TLarkspan& designer, int index);

// Writes the designer's current design under name over entry index, in
// place: the entry keeps its position, the others stay as they are.
void Replace(TLarkspan& designer, int index, const QString& name);
}
