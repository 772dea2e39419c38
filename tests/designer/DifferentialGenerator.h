#pragma once
// Random designs over a tree: ticked fields on one to four tables,
// conditions of every operator and link, with values taken from the data,
// also on tables without a ticked field and with only the second
// comparison given. One design depends only on its seed and the data.
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <random>

#include "DifferentialDesign.h"
#include "core/UserLocale.h"

namespace Differential {

inline bool IsIntegerCode(int t) { return t == 7 || t == 8 || t == 16; }
inline bool IsFloatCode(int t) { return t == 10 || t == 11 || t == 27; }
inline bool IsStringCode(int t) { return t == 14 || t == 37 || t == 40; }
inline bool IsDateTimeCode(int t) { return t == 12 || t == 13 || t == 35; }

inline bool CanTick(const Column& c) { return !c.array; }
inline bool CanCondition(const Column& c)
{
    return !c.array && (IsIntegerCode(c.type) || IsFloatCode(c.type) || IsStringCode(c.type) || IsDateTimeCode(c.type));
}

// The texts the designer is given follow this locale, set by the test.
inline UserLocale FixedLocale()
{
    UserLocale l;
    l.DecimalSeparator = '.';
    l.ThousandSeparator = ',';
    l.ShortDateFormat = "dd/MM/yyyy";
    l.LongTimeFormat = "HH:mm:ss";
    return l;
}

struct Counts {
    int designs = 0, noTicks = 0, conditions = 0, orLinks = 0, negated = 0, onlySecond = 0,
        staleSecond = 0, untickedTables = 0, stringOps = 0;
};

class Generator {
public:
    Generator(const Tree& tree, Catalog& cat) : FTree(tree)
    {
        for (const Node& n : tree.nodes) {
            if (!n.usable || FSamples.contains(n.relation))
                continue;
            QStringList cols;
            for (const FieldRef& f : n.fields)
                if (CanCondition(f.column))
                    cols << f.column.name;
            QHash<QString, QStringList> byColumn;
            if (!cols.isEmpty()) {
                const QList<QStringList> values = cat.Sample(n.relation, cols, 200);
                for (int i = 0; i < cols.size(); ++i)
                    byColumn.insert(cols[i], values[i]);
            }
            FSamples.insert(n.relation, byColumn);
        }
    }

    bool CanTickSomething() const
    {
        for (const Node& n : FTree.nodes)
            if (n.usable && std::any_of(n.fields.begin(), n.fields.end(), [](const FieldRef& f) { return CanTick(f.column); }))
                return true;
        return false;
    }

    Design Make(quint64 seed, Counts& counts)
    {
        std::mt19937_64 rng(seed);
        auto below = [&rng](int n) { return n <= 0 ? 0 : int(rng() % quint64(n)); };
        QList<int> tickable, conditionable;
        for (const Node& n : FTree.nodes) {
            if (!n.usable)
                continue;
            if (std::any_of(n.fields.begin(), n.fields.end(), [](const FieldRef& f) { return CanTick(f.column); }))
                tickable << n.tableNo;
            if (std::any_of(n.fields.begin(), n.fields.end(), [](const FieldRef& f) { return CanCondition(f.column); }))
                conditionable << n.tableNo;
        }
        QMap<QPair<int, int>, FieldChoice> chosen;
        QSet<int> tickedTables;
        const bool noTicks = below(100) < 3;
        if (!noTicks && !tickable.isEmpty()) {
            std::shuffle(tickable.begin(), tickable.end(), rng);
            const int tables = std::min<int>(1 + below(4), int(tickable.size()));
            for (int i = 0; i < tables; ++i) {
                const Node& n = FTree.nodes[tickable[i]];
                tickedTables.insert(n.tableNo);
                const int wanted = 1 + below(3);
                for (int k = 0; k < wanted; ++k) {
                    const int f = below(int(n.fields.size()));
                    if (!CanTick(n.fields[f].column))
                        continue;
                    FieldChoice& fc = chosen[{n.tableNo, f}];
                    fc.tableNo = n.tableNo;
                    fc.field = f;
                    fc.ticked = true;
                }
            }
        }
        int conditions = below(4);
        if (noTicks)
            conditions = std::max(conditions, 1);
        for (int k = 0; k < conditions && !conditionable.isEmpty(); ++k) {
            QList<int> elsewhere;
            for (int t : conditionable)
                if (!tickedTables.contains(t))
                    elsewhere << t;
            const QList<int>& from = (!elsewhere.isEmpty() && below(100) < 40) ? elsewhere : conditionable;
            const Node& n = FTree.nodes[from[below(int(from.size()))]];
            QList<int> fields;
            for (int f = 0; f < n.fields.size(); ++f)
                if (CanCondition(n.fields[f].column))
                    fields << f;
            const int f = fields[below(int(fields.size()))];
            FieldChoice& fc = chosen[{n.tableNo, f}];
            fc.tableNo = n.tableNo;
            fc.field = f;
            fc.condition = MakeCondition(rng, n, n.fields[f].column, counts);
            if (!tickedTables.contains(n.tableNo))
                ++counts.untickedTables;
        }
        Design d;
        for (const FieldChoice& fc : chosen)
            d.fields << fc;
        std::sort(d.fields.begin(), d.fields.end(), [this](const FieldChoice& a, const FieldChoice& b) {
            const int ma = FTree.nodes[a.tableNo].fields[a.field].modelIndex;
            const int mb = FTree.nodes[b.tableNo].fields[b.field].modelIndex;
            return a.tableNo != b.tableNo ? a.tableNo < b.tableNo : ma < mb;
        });
        ++counts.designs;
        if (noTicks)
            ++counts.noTicks;
        return d;
    }

private:
    Condition MakeCondition(std::mt19937_64& rng, const Node& n, const Column& c, Counts& counts)
    {
        auto below = [&rng](int k) { return int(rng() % quint64(k)); };
        auto comparison = [&]() {
            Comparison k;
            k.op = quint8(below(IsStringCode(c.type) ? 8 : 6));
            if (k.op >= 6)
                ++counts.stringOps;
            const QStringList& values = FSamples[n.relation][c.name];
            const QString sample = values.isEmpty() ? QString() : values[below(int(values.size()))];
            Fill(k, c, sample, rng);
            return k;
        };
        Condition cond;
        const int shape = below(100);
        if (shape < 30) {
            cond.low = comparison();
        } else if (shape < 70) {
            cond.low = comparison();
            cond.link = quint8(1 + below(4));
            cond.high = comparison();
        } else if (shape < 85) {
            cond.link = quint8(1 + below(4));
            cond.high = comparison();
            ++counts.onlySecond;
        } else if (shape < 93) {
            cond.low = comparison();
            cond.link = quint8(1 + below(4));
        } else {
            cond.low = comparison();
            cond.high = comparison();
            ++counts.staleSecond;
        }
        ++counts.conditions;
        if (cond.high && (cond.link == fboOr || cond.link == fboOrNot))
            ++counts.orLinks;
        if (cond.high && cond.link >= fboAndNot)
            ++counts.negated;
        return cond;
    }

    // The designer's text and the reference literal of one value of the
    // column, taken from sample (the session's text of a stored value).
    static void Fill(Comparison& k, const Column& c, const QString& sample, std::mt19937_64& rng)
    {
        const UserLocale& locale = UserLocale::Current();
        if (IsStringCode(c.type)) {
            QString s = TrimEnd(sample);
            if (k.op == 6 && !s.isEmpty()) {   // CONTAINING: a piece from inside
                const int from = int(rng() % quint64(s.size()));
                s = s.mid(from, 1 + int(rng() % 3));
            } else if (k.op == 7 && !s.isEmpty()) {   // STARTING WITH: a head
                s = s.left(1 + int(rng() % 4));
            } else if (s.isEmpty()) {
                s = "x";
            }
            k.text = s;
            k.literal = Catalog::Literal(s);
            return;
        }
        if (IsIntegerCode(c.type)) {
            qint64 v = 0;
            if (c.scale == 0) {
                v = locale.StrToInt64(sample).value_or(0);
            } else {   // a scaled number: the designer takes whole numbers only
                v = qint64(std::floor(locale.StrToFloat(sample).value_or(0)));
            }
            k.text = k.literal = QString::number(v);
            return;
        }
        if (IsFloatCode(c.type)) {
            const double v = locale.StrToFloat(sample).value_or(0);
            k.text = k.literal = QString::number(v, 'g', 15);
            return;
        }
        // Dates and times, by the fixed locale's formats.
        const QString dateFormat = locale.ShortDateFormat, timeFormat = locale.LongTimeFormat;
        if (c.type == 13) {
            QTime t = QTime::fromString(sample, timeFormat);
            if (!t.isValid())
                t = QTime(12, 0);
            k.text = t.toString(timeFormat);
            k.literal = QString("CAST('%1' AS TIME)").arg(t.toString("HH:mm:ss"));
            return;
        }
        QDateTime dt = QDateTime::fromString(sample, dateFormat + " " + timeFormat);
        if (!dt.isValid())
            dt = QDateTime(QDate::fromString(sample, dateFormat), QTime(0, 0));
        if (!dt.isValid())
            dt = QDateTime(QDate(2000, 1, 1), QTime(0, 0));
        if (c.type == 12) {
            k.text = dt.date().toString(dateFormat);
            k.literal = QString("CAST('%1' AS DATE)").arg(dt.date().toString("yyyy-MM-dd"));
        } else {
            k.text = dt.time() == QTime(0, 0) ? dt.date().toString(dateFormat)
                                             : dt.toString(dateFormat + " " + timeFormat);
            k.literal = QString("CAST('%1' AS TIMESTAMP)").arg(dt.toString("yyyy-MM-dd HH:mm:ss"));
        }
    }

    const Tree& FTree;
    QHash<QString, QHash<QString, QStringList>> FSamples;
};

}   // namespace Differential
