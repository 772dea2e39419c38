#pragma once
#include <QString>
#include <QStringList>

// A schema shaped like a tree of foreign keys, for timing view generation:
// the root table refers to 3 to 10 tables, each of them to 3 to 10 more,
// down to depth 2 to 4, until about the asked number of tables exists.
// A few tables also refer back to an ancestor (cycles, which the tree's path
// rule stops) and a few refer to one child twice (double links).
struct TreeSchema {
    int tables = 0;
    int links = 0;
    int cycles = 0;
    int doubleLinks = 0;
    int depth = 0;
    QString root;
    QStringList statements;   // isql statements without terminator, dialect 3
};

TreeSchema MakeTreeSchema(int tableCount, unsigned seed);
