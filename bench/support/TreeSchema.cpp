#include "support/TreeSchema.h"

#include <QMap>
#include <algorithm>
#include <random>
#include <vector>

namespace {
struct Node {
    int parent = -1;
    int depth = 0;
    std::vector<int> children;
};

QString tableName(int i)
{
    return QStringLiteral("S%1").arg(i, 3, 10, QLatin1Char('0'));
}
}

TreeSchema MakeTreeSchema(int tableCount, unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };

    // Breadth first: each table takes 3 to 10 children while tables remain
    // and its depth is below the depth limit of its branch.
    std::vector<Node> nodes(1);
    const int maxDepth = tableCount <= 40 ? 2 : tableCount <= 150 ? 3 : 4;
    for (size_t i = 0; i < nodes.size() && int(nodes.size()) < tableCount; ++i) {
        if (nodes[i].depth >= maxDepth)
            continue;
        const int fanOut = std::min(pick(3, 10), tableCount - int(nodes.size()));
        for (int c = 0; c < fanOut; ++c) {
            Node child;
            child.parent = int(i);
            child.depth = nodes[i].depth + 1;
            nodes[i].children.push_back(int(nodes.size()));
            nodes.push_back(child);
        }
    }

    TreeSchema schema;
    schema.tables = int(nodes.size());
    schema.root = tableName(0);
    for (const Node& n : nodes)
        schema.depth = std::max(schema.depth, n.depth);

    // Columns referring to other tables: one per child, a second one to a
    // child now and then, and one back to an ancestor now and then.
    QMap<int, QStringList> columns;   // table -> "column target" pairs
    for (size_t i = 0; i < nodes.size(); ++i) {
        for (int child : nodes[i].children) {
            columns[int(i)] << QStringLiteral("R_%1 %2").arg(tableName(child), tableName(child));
            if (pick(0, 24) == 0) {
                columns[int(i)] << QStringLiteral("R2_%1 %2").arg(tableName(child), tableName(child));
                ++schema.doubleLinks;
            }
        }
        if (nodes[i].depth >= 2 && pick(0, 19) == 0) {
            int ancestor = nodes[i].parent;
            for (int up = pick(1, nodes[i].depth - 1); up > 0; --up)
                ancestor = nodes[size_t(ancestor)].parent;
            columns[int(i)] << QStringLiteral("B_%1 %2").arg(tableName(ancestor), tableName(ancestor));
            ++schema.cycles;
        }
    }

    for (size_t i = 0; i < nodes.size(); ++i) {
        QString create = QStringLiteral("CREATE TABLE %1 (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20)")
                             .arg(tableName(int(i)));
        for (const QString& c : columns.value(int(i)))
            create += QStringLiteral(", %1 INTEGER").arg(c.section(' ', 0, 0));
        schema.statements << create + QStringLiteral(")");
    }
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        for (const QString& c : it.value()) {
            schema.statements << QStringLiteral("ALTER TABLE %1 ADD FOREIGN KEY (%2) REFERENCES %3 (ID)")
                                     .arg(tableName(it.key()), c.section(' ', 0, 0), c.section(' ', 1, 1));
            ++schema.links;
        }
    }
    return schema;
}
