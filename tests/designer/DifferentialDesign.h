#pragma once
// A design as the differential test means it: which fields are ticked and
// which conditions they carry, on which node of the designer's tree. The
// tree is read once from the designer's model and checked against the
// system tables; the relation of each node and its join columns come from
// the system tables alone.
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <optional>

#include "DifferentialCatalog.h"
#include "designer/Larkspan.h"

namespace Differential {

struct FieldRef {
    int modelIndex = 0;   // position in the model table's Fields
    Column column;        // the real column it stands for
};

struct Node {
    int tableNo = -1;
    int parentNo = -1;
    QString relation;                          // real relation name
    QList<QPair<QString, QString>> join;       // own column, parent column
    QList<FieldRef> fields;                    // model fields that have a real column
    bool usable = true;
};

struct Tree {
    QList<Node> nodes;     // by TableNo
    QStringList problems;  // model and system tables disagree
};

inline Tree ReadTree(TLarkspan& lk, Catalog& cat, const QString& rootRelation)
{
    Tree tree;
    lk.LoadAllFields();
    for (int i = 0; i < lk.Tables().Count(); ++i) {
        TLKTable* t = lk.Tables()[i];
        Node n;
        n.tableNo = t->TableNo;
        n.parentNo = t->ParentNo;
        if (t->TableNo != i)
            tree.problems << QString("table %1 at position %2 has TableNo %3").arg(t->TableName).arg(i).arg(t->TableNo);
        if (t->ParentNo < 0) {
            n.relation = rootRelation;
        } else if (t->ParentNo >= i) {
            tree.problems << QString("table %1 has a parent after it").arg(t->TableName);
            n.usable = false;
        } else {
            const Node& parent = tree.nodes[t->ParentNo];
            const Index own = cat.IndexNamed(t->OwnIndex);
            const Index up = cat.IndexNamed(t->ParentIndex);
            n.relation = own.relation;
            const bool linked = own.foreignKey == t->ParentIndex || up.foreignKey == t->OwnIndex;
            if (own.relation.isEmpty() || up.relation != parent.relation || !linked ||
                own.columns.isEmpty() || own.columns.size() != up.columns.size()) {
                tree.problems << QString("table %1 (#%2): indexes %3 / %4 are no foreign-key link to %5")
                                     .arg(t->TableName).arg(i).arg(t->OwnIndex, t->ParentIndex, parent.relation);
                n.usable = false;
            } else {
                for (int c = 0; c < own.columns.size(); ++c)
                    n.join.append({own.columns[c], up.columns[c]});
            }
            n.usable = n.usable && parent.usable;
            // A plain name may have been typed in any case (the detail table).
            static const QRegularExpression plain(QStringLiteral("^[A-Z][A-Z0-9_$]*$"));
            const bool sameName = t->TableName == n.relation ||
                                  (plain.match(n.relation).hasMatch() && t->TableName.toUpper() == n.relation);
            if (n.usable && !sameName)
                tree.problems << QString("table #%1 is named %2 in the model, %3 in the database")
                                     .arg(i).arg(t->TableName, n.relation);
        }
        if (n.usable) {
            const QList<Column> columns = cat.Columns(n.relation);
            QSet<QString> seen;
            for (int f = 0; f < t->Fields.Count(); ++f) {
                const QString& name = t->Fields[f]->FieldName;
                bool found = false;
                for (const Column& c : columns)
                    if (c.name == name) {
                        n.fields.append({f, c});
                        seen.insert(c.name);
                        found = true;
                    }
                if (!found)
                    tree.problems << QString("field %1 of %2 names no column").arg(name, n.relation);
            }
            for (const Column& c : columns)
                if (!seen.contains(c.name))
                    tree.problems << QString("column %1 of %2 is missing from the model").arg(c.name, n.relation);
        }
        tree.nodes.append(n);
    }
    return tree;
}

// One comparison: the operator, the text the designer is given and the
// literal that means the same value in the reference statement.
struct Comparison {
    quint8 op = 0;
    QString text;
    QString literal;
};

struct Condition {
    std::optional<Comparison> low;
    quint8 link = 0;
    std::optional<Comparison> high;   // with link 0 a stale value that must not count
};

struct FieldChoice {
    int tableNo = 0;
    int field = 0;   // index into the node's fields
    bool ticked = false;
    std::optional<Condition> condition;
};

struct Design {
    QList<FieldChoice> fields;   // sorted by table number, then model field order
};

// The condition as one parenthesised term of the reference statement; empty
// when it means nothing.
inline QString ConditionTerm(const QString& column, const Condition& c)
{
    auto term = [&](const Comparison& k) {
        return QString("(%1 %2 %3)").arg(column, CompareOperators[k.op], k.literal);
    };
    const bool second = c.link >= 1 && c.link <= 4 && c.high.has_value();
    if (c.low && second) {
        static const char* joins[5] = {"", "AND", "OR", "AND (NOT", "OR (NOT"};
        const bool negated = c.link >= 3;
        return QString("(%1 %2 %3%4)").arg(term(*c.low), joins[c.link], term(*c.high), negated ? ")" : "");
    }
    if (c.low)
        return term(*c.low);
    if (second)
        return c.link >= 3 ? "(NOT " + term(*c.high) + ")" : term(*c.high);
    return QString();
}

inline bool HasMeaning(const Condition& c)
{
    return c.low.has_value() || (c.link >= 1 && c.link <= 4 && c.high.has_value());
}

// The statement the design means, with literals; empty without a ticked field.
inline QString ReferenceSql(const Tree& tree, const Design& d, const Catalog& cat)
{
    auto alias = [](int tableNo) { return QString("R%1").arg(tableNo); };
    auto column = [&](const FieldChoice& fc) {
        return alias(fc.tableNo) + "." + cat.Quote(tree.nodes[fc.tableNo].fields[fc.field].column.name);
    };
    QSet<int> taking;
    QStringList select;
    bool ticked = false;
    for (const FieldChoice& fc : d.fields) {
        if (fc.ticked) {
            // Own column names: two ticked fields may share a name.
            select << column(fc) + QString(" AS C%1").arg(select.size());
            ticked = true;
        }
        if (fc.ticked || (fc.condition && HasMeaning(*fc.condition)))
            for (int t = fc.tableNo; t >= 0 && !taking.contains(t); t = tree.nodes[t].parentNo)
                taking.insert(t);
    }
    if (!ticked)
        return QString();
    QList<int> order = taking.values();
    std::sort(order.begin(), order.end());
    QStringList from, where;
    for (int t : order) {
        const Node& n = tree.nodes[t];
        from << cat.Quote(n.relation) + " " + alias(t);
        for (const auto& pair : n.join)
            where << QString("(%1.%2 = %3.%4)")
                         .arg(alias(t), cat.Quote(pair.first), alias(n.parentNo), cat.Quote(pair.second));
    }
    for (const FieldChoice& fc : d.fields)
        if (fc.condition && HasMeaning(*fc.condition))
            where << ConditionTerm(column(fc), *fc.condition);
    QString sql = "SELECT " + select.join(", ") + "\nFROM " + from.join(", ");
    if (!where.isEmpty())
        sql += "\nWHERE " + where.join("\n  AND ");
    return sql;
}

// The design in words, for a failure report.
inline QString Describe(const Tree& tree, const Design& d)
{
    QStringList lines;
    for (const FieldChoice& fc : d.fields) {
        const Node& n = tree.nodes[fc.tableNo];
        QString line = QString("  %1#%2.%3").arg(n.relation).arg(fc.tableNo).arg(n.fields[fc.field].column.name);
        if (fc.ticked)
            line += " [ticked]";
        if (fc.condition) {
            const Condition& c = *fc.condition;
            auto cmp = [](const std::optional<Comparison>& k) {
                return k ? QString("%1 '%2'").arg(CompareOperators[k->op], k->text) : QString("(none)");
            };
            line += " low: " + cmp(c.low);
            if (c.link || c.high)
                line += QString(" link %1 (%2) high: %3")
                            .arg(c.link)
                            .arg(c.link >= 1 && c.link <= 4 ? LinkOperators[c.link] : "none")
                            .arg(cmp(c.high));
        }
        lines << line;
    }
    return lines.join('\n');
}

// Puts the design into the designer's model: every other field unticked
// and without a condition. Returns what went wrong, or an empty text.
inline QString ApplyDesign(TLarkspan& lk, const Tree& tree, const Design& d)
{
    for (int i = 0; i < lk.Tables().Count(); ++i)
        for (const auto& f : lk.Tables()[i]->Fields) {
            f->Selected = false;
            f->MainBool = 0;
            f->BoolBetweenFields = 0;
            f->LowValue = TValueBlock{};
            f->HighValue = TValueBlock{};
            f->BuildCondition();
        }
    for (const FieldChoice& fc : d.fields) {
        TLKField* f = lk.Tables()[fc.tableNo]->Fields[tree.nodes[fc.tableNo].fields[fc.field].modelIndex];
        f->Selected = fc.ticked;
        if (!fc.condition)
            continue;
        const Condition& c = *fc.condition;
        auto put = [&](const std::optional<Comparison>& k, int which) -> bool {
            if (!k)
                return true;
            f->Value(which).Operator = k->op;
            f->SetValueText(k->text, which);
            return f->Value(which).Present == 1;
        };
        if (!put(c.low, 1) || !put(c.high, 2))
            return QString("the value texts of %1 were not taken").arg(f->FieldName);
        f->BoolBetweenFields = c.link;
        f->BuildCondition();
    }
    return QString();
}

}   // namespace Differential
