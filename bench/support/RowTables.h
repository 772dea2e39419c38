#pragma once
#include <QString>

// The benchmarks' row tables: BENCH (ID INTEGER, NAME VARCHAR(40), AMOUNT
// DOUBLE PRECISION, STAMP TIMESTAMP, CODE CHAR(5)), one row per ID from 0,
// each in a database of its own that is created once and then reused.
namespace RowTables {
// 1,000,000 rows, the database reader_bench reads (reader_bench.fdb).
QString Million();
// 3,000,000 rows of the same kind (rows_3m.fdb).
QString ThreeMillion();
}
