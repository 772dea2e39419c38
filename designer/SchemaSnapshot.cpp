#include "designer/SchemaSnapshot.h"

#include "dbaccess/IBQuery.h"
#include "designer/Larkspan.h"
#include "designer/SqlNames.h"

#include <QSet>
#include <algorithm>
#include <utility>
#include <vector>

QString TSchemaSnapshot::LinkStatement()
{
    // The per-table link statement without its two filters, in its order,
    // with the columns of each foreign-key index as one text: every column
    // as its position, ":", the length of its name, ":" and the name,
    // joined by ",". The lengths make the text unambiguous whatever the
    // names hold.
    return QStringLiteral(
        "SELECT C.RDB$RELATION_NAME  AS DETAIL_TABLE,\r"
        "        MasterIndex.RDB$RELATION_NAME AS MASTER_TABLE,\r"
        "        DetailIndex.RDB$INDEX_NAME AS DETAIL_INDEX,\r"
        "        MasterIndex.RDB$INDEX_NAME AS MASTER_INDEX,\r"
        "        (SELECT CAST(LIST(S.RDB$FIELD_POSITION || ':' || CHAR_LENGTH(TRIM(TRAILING FROM S.RDB$FIELD_NAME))\r"
        "                          || ':' || TRIM(TRAILING FROM S.RDB$FIELD_NAME), ',') AS VARCHAR(8000))\r"
        "         FROM RDB$INDEX_SEGMENTS S WHERE S.RDB$INDEX_NAME=DetailIndex.RDB$INDEX_NAME) AS DETAIL_COLUMNS\r"
        "FROM RDB$RELATION_CONSTRAINTS C\r"
        "INNER JOIN RDB$INDICES DetailIndex ON DetailIndex.RDB$INDEX_NAME=C.RDB$INDEX_NAME\r"
        "INNER JOIN RDB$INDICES MasterIndex ON MasterIndex.RDB$INDEX_NAME=DetailIndex.RDB$FOREIGN_KEY\r"
        "WHERE RDB$CONSTRAINT_TYPE='FOREIGN KEY'\r"
        "ORDER BY C.RDB$RELATION_NAME, MasterIndex.RDB$RELATION_NAME");
}

namespace {
// The column names of a DETAIL_COLUMNS text, in position order; empty when
// the text is not as the statement writes it.
QStringList parseColumns(const QString& text)
{
    std::vector<std::pair<int, QString>> columns;
    qsizetype i = 0;
    auto number = [&](int* value) {
        const qsizetype start = i;
        while (i < text.size() && text[i].isDigit())
            ++i;
        bool ok = false;
        *value = text.mid(start, i - start).toInt(&ok);
        return ok && i < text.size() && text[i++] == QLatin1Char(':');
    };
    while (i < text.size()) {
        int position = 0, length = 0;
        if (!number(&position) || !number(&length))
            return {};
        // The length counts characters; a character outside the basic
        // plane takes two places in the string.
        const qsizetype start = i;
        for (int n = 0; n < length && i < text.size(); ++n)
            i += text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        columns.emplace_back(position, text.mid(start, i - start));
        if (i < text.size() && text[i++] != QLatin1Char(','))
            return {};
    }
    std::sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList names;
    for (const auto& c : columns)
        names << c.second;
    return names;
}
}

TSchemaSnapshot::TSchemaSnapshot(TLarkspan* designer, bool active) : FDesigner(designer), FActive(active)
{
    if (FActive)
        FDesigner->FSnapshot = this;
}

TSchemaSnapshot::~TSchemaSnapshot()
{
    if (FActive)
        FDesigner->FSnapshot = nullptr;
}

std::unique_ptr<TIBQuery> TSchemaSnapshot::MakeQuery(const QString& sql)
{
    // On the designer's own session and transaction, like its four queries.
    auto query = std::make_unique<TIBQuery>();
    query->SetDatabase(FDesigner->IBDataBase());
    query->SetTransaction(FDesigner->MetadataTransaction());
    query->SetSQL(sql);
    return query;
}

void TSchemaSnapshot::ReadLinks()
{
    FLinksRead = true;
    std::unique_ptr<TIBQuery> query = MakeQuery(LinkStatement());
    query->Open();
    TField& detailTable = query->FieldNamed(QStringLiteral("DETAIL_TABLE"));
    TField& masterTable = query->FieldNamed(QStringLiteral("MASTER_TABLE"));
    TField& detailIndex = query->FieldNamed(QStringLiteral("DETAIL_INDEX"));
    TField& masterIndex = query->FieldNamed(QStringLiteral("MASTER_INDEX"));
    TField& detailColumns = query->FieldNamed(QStringLiteral("DETAIL_COLUMNS"));
    while (!query->Eof()) {
        Link link{detailTable.TextValue(), masterTable.TextValue(), detailIndex.TextValue(), masterIndex.TextValue(),
                  QString()};
        link.master = SqlNames::TrimPadding(link.masterTable);
        FSegments.insert(SqlNames::TrimPadding(link.detailIndex), parseColumns(detailColumns.TextValue()));
        FLinks[SqlNames::TrimPadding(link.detailTable)].push_back(std::move(link));
        query->Next();
    }
    query->Close();
}

const QStringList& TSchemaSnapshot::IndexColumns(const QString& indexName) const
{
    static const QStringList none;
    auto it = FSegments.constFind(SqlNames::TrimPadding(indexName));
    return it == FSegments.constEnd() ? none : it.value();
}

void TSchemaSnapshot::AddReferencedTables(const QString& tableName, int tableNo, int node)
{
    if (!FLinksRead)
        ReadLinks();
    TLarkspan& lk = *FDesigner;
    TLKTables& tables = lk.FTables;

    // The names the per-table statement would exclude: the table and its
    // ancestors (a broken parent chain ends the walk, as there). The server
    // compares these names as CHAR values: exactly, trailing blanks aside.
    QSet<QString> path;
    for (int no = tableNo, steps = 0; no >= 0 && no < tables.Count() && steps < tables.Count(); ++steps) {
        const TLKTable* table = tables[no];
        path.insert(SqlNames::TrimPadding(lk.MetadataKey(table)));
        if (table->ParentNo == -1)
            break;
        no = table->ParentNo;
    }
    const TLKTable* self = tableNo >= 0 && tableNo < tables.Count() ? tables[tableNo] : nullptr;
    const QString key = SqlNames::TrimPadding(self ? lk.MetadataKey(self) : SqlNames::UserNameKey(tableName));

    const int first = tables.Count();
    QStringList names;
    const auto links = FLinks.constFind(key);
    if (links != FLinks.constEnd()) {
        for (const Link& link : links.value()) {
            if (path.contains(link.master))
                continue;
            names.append(link.master);
            tables.Add(std::make_unique<TLKTable>(link.master, link.detailTable, link.masterIndex, link.detailIndex,
                                                  tables.Count(), tableNo, -1));
        }
    }

    for (int i = 0; i < names.count(); ++i) {
        TLKTable* t = tables[first + i];
        const TLKTable* linked = FindTableByName(tables, t->LinkedTable);
        const int linkedNo = linked ? linked->TableNo : -1;
        QString prefix;
        if (CountTableLinks(tables, names[i], t->LinkedTable, linkedNo) > 1) {
            // Several foreign keys lead to the same table: tell the nodes
            // apart by the foreign-key columns.
            for (const QString& column : IndexColumns(t->ParentIndex))
                prefix += lk.FieldDisplayNameOf(t->LinkedTable, column);
            prefix += QLatin1String(" - ");
        }
        const int child = lk.FViewTree.AddLast(node, prefix + lk.TableDisplayName(names[i]));
        t->NodeIndex = lk.FPlacedNodes++;
        AddReferencedTables(names[i], first + i, child);
    }
}
