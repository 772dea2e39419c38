#include "designer/SchemaSnapshot.h"

#include "dbaccess/IBQuery.h"
#include "designer/Larkspan.h"
#include "designer/SqlNames.h"
#include "designer/TreeNodes.h"

#include <QSet>
#include <QTreeWidgetItem>

QString TSchemaSnapshot::LinkStatement()
{
    // The per-table link statement without its two filters, in its order.
    return QStringLiteral(
        "SELECT C.RDB$RELATION_NAME  AS DETAIL_TABLE,\r"
        "        MasterIndex.RDB$RELATION_NAME AS MASTER_TABLE,\r"
        "        DetailIndex.RDB$INDEX_NAME AS DETAIL_INDEX,\r"
        "        MasterIndex.RDB$INDEX_NAME AS MASTER_INDEX\r"
        "FROM RDB$RELATION_CONSTRAINTS C\r"
        "INNER JOIN RDB$INDICES DetailIndex ON DetailIndex.RDB$INDEX_NAME=C.RDB$INDEX_NAME\r"
        "INNER JOIN RDB$INDICES MasterIndex ON MasterIndex.RDB$INDEX_NAME=DetailIndex.RDB$FOREIGN_KEY\r"
        "WHERE RDB$CONSTRAINT_TYPE='FOREIGN KEY'\r"
        "ORDER BY C.RDB$RELATION_NAME, MasterIndex.RDB$RELATION_NAME");
}

QString TSchemaSnapshot::SegmentStatement()
{
    return QStringLiteral(
        "SELECT S.RDB$INDEX_NAME AS INDEX_NAME, S.RDB$FIELD_NAME AS FIELD_NAME\r"
        "FROM RDB$INDEX_SEGMENTS S\r"
        "INNER JOIN RDB$RELATION_CONSTRAINTS C ON C.RDB$INDEX_NAME=S.RDB$INDEX_NAME\r"
        "WHERE C.RDB$CONSTRAINT_TYPE='FOREIGN KEY'\r"
        "ORDER BY S.RDB$INDEX_NAME, S.RDB$FIELD_POSITION");
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
    while (!query->Eof()) {
        Link link{detailTable.TextValue(), masterTable.TextValue(), detailIndex.TextValue(), masterIndex.TextValue(),
                  QString()};
        link.master = SqlNames::TrimPadding(link.masterTable);
        FLinks[SqlNames::TrimPadding(link.detailTable)].push_back(std::move(link));
        query->Next();
    }
    query->Close();
}

const QStringList& TSchemaSnapshot::IndexColumns(const QString& indexName)
{
    if (!FSegmentsRead) {
        FSegmentsRead = true;
        std::unique_ptr<TIBQuery> query = MakeQuery(SegmentStatement());
        query->Open();
        TField& index = query->FieldNamed(QStringLiteral("INDEX_NAME"));
        TField& field = query->FieldNamed(QStringLiteral("FIELD_NAME"));
        while (!query->Eof()) {
            FSegments[SqlNames::TrimPadding(index.TextValue())].append(SqlNames::TrimPadding(field.TextValue()));
            query->Next();
        }
        query->Close();
    }
    static const QStringList none;
    auto it = FSegments.constFind(SqlNames::TrimPadding(indexName));
    return it == FSegments.constEnd() ? none : it.value();
}

void TSchemaSnapshot::AddReferencedTables(const QString& tableName, int tableNo, QTreeWidgetItem* node)
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
        QTreeWidgetItem* child =
            TreeNodes::AddChildLast(lk.FTreeView.data(), node, prefix + lk.TableDisplayName(names[i]));
        t->NodeIndex = lk.FPlacedNodes++;
        AddReferencedTables(names[i], first + i, child);
    }
}
