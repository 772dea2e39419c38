#pragma once
// Seeded random foreign-key graphs for comparing the two ways of reading a
// schema: small sets of tables with single or composite primary keys,
// linked by foreign keys that form cycles, refer to their own table, and
// lead more than once to the same table.
#include <QString>
#include <QStringList>
#include <random>
#include <vector>

struct ForeignKeyGraph {
    QString root;
    QString detail;            // a table referring to the root, or empty
    QStringList statements;    // isql statements without terminator
    int links = 0;
};

namespace ForeignKeyGraphs {
// The tree the designer would show: every path from the root along the
// links, no table twice on one path. Counted to keep graphs small.
inline int TreeSize(const std::vector<std::vector<int>>& links, int table, std::vector<int>& path, int limit)
{
    int size = 1;
    path.push_back(table);
    for (int target : links[size_t(table)]) {
        bool onPath = false;
        for (int p : path)
            onPath = onPath || p == target;
        if (!onPath)
            size += TreeSize(links, target, path, limit - size);
        if (size > limit)
            break;
    }
    path.pop_back();
    return size;
}

// Graph number index (its tables are named G<index>_...), drawn from seed.
inline ForeignKeyGraph Make(int index, unsigned seed, const QStringList& names = {})
{
    std::mt19937 rng(seed);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    for (;;) {
        const int n = pick(3, 8);
        std::vector<bool> composite(static_cast<size_t>(n), false);
        std::vector<std::vector<int>> links(static_cast<size_t>(n));
        for (int t = 0; t < n; ++t) {
            composite[size_t(t)] = pick(0, 2) == 0;
            const int count = t == 0 ? pick(1, 3) : pick(0, 3);
            for (int l = 0; l < count; ++l) {
                const int target = pick(0, 5) == 0 ? t : pick(0, n - 1);
                links[size_t(t)].push_back(target);
                if (pick(0, 3) == 0)
                    links[size_t(t)].push_back(target);   // a second key to the same table
            }
        }
        std::vector<int> path;
        if (TreeSize(links, 0, path, 120) > 120)
            continue;

        ForeignKeyGraph g;
        auto name = [&](int t) {
            if (t < names.size())
                return names[t];
            return QStringLiteral("G%1_T%2").arg(index, 2, 10, QLatin1Char('0')).arg(t);
        };
        g.root = name(0);
        for (int t = 0; t < n; ++t) {
            QString create = QStringLiteral("CREATE TABLE %1 (").arg(name(t));
            create += composite[size_t(t)] ? "K1 INTEGER NOT NULL, K2 INTEGER NOT NULL, PRIMARY KEY (K1, K2)"
                                           : "ID INTEGER NOT NULL PRIMARY KEY";
            for (size_t l = 0; l < links[size_t(t)].size(); ++l) {
                if (composite[size_t(links[size_t(t)][l])])
                    create += QStringLiteral(", L%1_A INTEGER, L%1_B INTEGER").arg(l);
                else
                    create += QStringLiteral(", L%1 INTEGER").arg(l);
            }
            g.statements << create + ")";
        }
        for (int t = 0; t < n; ++t) {
            for (size_t l = 0; l < links[size_t(t)].size(); ++l) {
                const int target = links[size_t(t)][l];
                const QString columns = composite[size_t(target)] ? QStringLiteral("L%1_A, L%1_B").arg(l)
                                                                  : QStringLiteral("L%1").arg(l);
                const QString keys = composite[size_t(target)] ? "K1, K2" : "ID";
                g.statements << QStringLiteral("ALTER TABLE %1 ADD FOREIGN KEY (%2) REFERENCES %3 (%4)")
                                    .arg(name(t), columns, name(target), keys);
                ++g.links;
                if (target == 0 && t != 0 && g.detail.isEmpty())
                    g.detail = name(t);
            }
        }
        return g;
    }
}
}
