#pragma once
// What the differential test knows about a database, read straight from its
// system tables through a session of its own: the columns of a relation,
// the relation and columns of an index and the foreign key it points at, and
// a sample of each column's values. Nothing here comes from the designer.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

namespace Differential {

// System-table names are blank-padded CHAR: only the padding at the end goes.
inline QString TrimEnd(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == QLatin1Char(' '))
        --n;
    return s.left(n);
}

struct Column {
    QString name;    // exact, case and inner blanks kept
    int type = 0;    // RDB$FIELD_TYPE
    int scale = 0;   // RDB$FIELD_SCALE
    bool array = false;
};

struct Index {
    QString relation;     // the relation the index belongs to
    QString foreignKey;   // the index it references; empty unless a foreign key
    QStringList columns;  // in segment order
};

// A session of the test's own, in the dialect its statements are written in.
class Catalog {
public:
    explicit Catalog(const QString& path)
    {
        TestServer::configure(db, path);
        db.SetLoginPrompt(false);
        db.SetDefaultTransaction(&tr);
        tr.SetDefaultDatabase(&db);
        db.SetConnected(true);
        dialect = db.DBSQLDialect();
        db.SetSQLDialect(dialect);
    }
    ~Catalog()
    {
        if (tr.Active())
            tr.Commit();
    }

    // A name as the reference statement writes it: delimited where the
    // dialect has delimited names, bare in dialect 1.
    QString Quote(const QString& name) const
    {
        if (dialect < 3)
            return name;
        QString inner = name;
        inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        return QLatin1Char('"') + inner + QLatin1Char('"');
    }

    // A string literal, inner quotes doubled.
    static QString Literal(const QString& text)
    {
        QString inner = text;
        inner.replace(QLatin1Char('\''), QStringLiteral("''"));
        return QLatin1Char('\'') + inner + QLatin1Char('\'');
    }

    QList<Column> Columns(const QString& relation)
    {
        if (const auto it = columns.constFind(relation); it != columns.constEnd())
            return *it;
        TIBQuery q;
        Bind(q,
             "SELECT RF.RDB$FIELD_NAME, F.RDB$FIELD_TYPE, F.RDB$FIELD_SCALE, F.RDB$DIMENSIONS "
             "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
             "WHERE RF.RDB$RELATION_NAME = :R ORDER BY RF.RDB$FIELD_POSITION");
        q.ParamNamed("R").SetText(relation);
        QList<Column> list;
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            list.append({TrimEnd(q.Fields(0).TextValue()), q.Fields(1).IntegerValue(),
                         q.Fields(2).IntegerValue(), q.Fields(3).IntegerValue() > 0});
        q.Close();
        columns.insert(relation, list);
        return list;
    }

    // The index of that exact name; an unknown name yields an empty relation.
    Index IndexNamed(const QString& name)
    {
        Index ix;
        TIBQuery q;
        Bind(q, "SELECT RDB$RELATION_NAME, RDB$FOREIGN_KEY FROM RDB$INDICES WHERE RDB$INDEX_NAME = :I");
        q.ParamNamed("I").SetText(name);
        q.Open();
        q.First();
        if (!q.Eof()) {
            ix.relation = TrimEnd(q.Fields(0).TextValue());
            ix.foreignKey = TrimEnd(q.Fields(1).TextValue());
        }
        q.Close();
        Bind(q, "SELECT RDB$FIELD_NAME FROM RDB$INDEX_SEGMENTS WHERE RDB$INDEX_NAME = :I "
                "ORDER BY RDB$FIELD_POSITION");
        q.ParamNamed("I").SetText(name);
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            ix.columns << TrimEnd(q.Fields(0).TextValue());
        q.Close();
        return ix;
    }

    // The relation a user-typed main table name means: the exact name, or for
    // a plain identifier the name in upper case.
    QString ResolveRelation(const QString& given)
    {
        for (const QString& candidate : {given, given.toUpper()}) {
            TIBQuery q;
            Bind(q, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = :R");
            q.ParamNamed("R").SetText(candidate);
            q.Open();
            const int n = q.Fields(0).IntegerValue();
            q.Close();
            if (n == 1)
                return candidate;
        }
        return QString();
    }

    // Up to limit rows of the given columns, each value as the session's
    // text; nulls are left out.
    QList<QStringList> Sample(const QString& relation, const QStringList& cols, int limit)
    {
        QStringList items;
        for (const QString& c : cols)
            items << "S." + Quote(c);
        TIBQuery q;
        Bind(q, QString("SELECT FIRST %1 %2 FROM %3 S").arg(limit).arg(items.join(", "), Quote(relation)));
        QList<QStringList> values(cols.size());
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            for (int i = 0; i < cols.size(); ++i)
                if (!q.Fields(i).IsNull())
                    values[i] << q.Fields(i).TextValue();
        q.Close();
        return values;
    }

    TIBDatabase db;
    TIBTransaction tr;
    int dialect = 1;

    void Bind(TIBQuery& q, const QString& sql)
    {
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
        q.SetSQL(sql);
    }

private:
    QHash<QString, QList<Column>> columns;
};

}   // namespace Differential
