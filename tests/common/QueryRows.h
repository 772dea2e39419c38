#pragma once
// The rows of a statement as texts, for comparing results regardless of order.
#include <QStringList>

#include "dbaccess/IBQuery.h"

// Opens the query, reads every row (its cells' texts joined by "|"), closes
// it and returns the rows sorted.
inline QStringList SortedRows(TIBQuery& q)
{
    QStringList rows;
    q.Open();
    for (q.First(); !q.Eof(); q.Next()) {
        QStringList cells;
        for (int i = 0; i < q.FieldCount(); ++i)
            cells << q.Fields(i).TextValue();
        rows << cells.join('|');
    }
    q.Close();
    rows.sort();
    return rows;
}
