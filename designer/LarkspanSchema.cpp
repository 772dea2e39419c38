// Schema discovery: the tree of tables around the main table, built from
// the foreign keys in the system tables, and the join pass over it.
#include "designer/Larkspan.h"

#include "dbaccess/IBQuery.h"
#include "designer/SchemaReader.h"
#include "designer/SchemaSnapshot.h"
#include "designer/SqlNames.h"

#include <QHash>
#include <QSet>
#include <vector>

void TLarkspan::GenerateView()
{
    if (!FViews || !FViews->Complete())
        throw ELarkspanError(LarkspanMessages::ControlsMissing());
    ClearView();
    try {
        GenerateModel();
    } catch (...) {
        // No tree of nodes that the model no longer has.
        FViews->ClearTree();
        throw;
    }
    FillViews();
}

void TLarkspan::GenerateModel()
{
    ClearModel();
    if (FTableName.isEmpty())
        throw ELarkspanError(LarkspanMessages::TableNameMissing());

    if (CacheExists()) {
        ReadModelFromCache();
        FModelFromCache = true;
    } else {
        // One transaction for every read of the generation; the links
        // read at once when the designer is asked to.
        TMetadataReadScope metadata(FSchema.Transaction());
        TSchemaSnapshot snapshot(this, FReadSchemaAtOnce);
        // Nodes are only ever added as the last node of the tree so far
        // (depth first), so a node's index is the count of nodes before it.
        FPlacedNodes = 1;
        const int root = FViewTree.AddLast(-1, TableDisplayName(FTableName));
        TLKTable* rootTable =
            FTables.Add(std::make_unique<TLKTable>(FTableName, QString(), QString(), QString(), 0, -1, 0));
        LoadTableFields(rootTable);
        AddReferencedTables(FTableName, 0, root);

        if (!FDetailTableName.isEmpty()) {
            const int detailNode = FViewTree.AddLast(root, TableDisplayName(FDetailTableName));
            TLKTable* detail = FTables.Add(std::make_unique<TLKTable>(
                FDetailTableName, FTableName, QString(), QString(), FTables.Count(), 0, FPlacedNodes++));
            // Loading the fields first settles which table the typed
            // name stands for; the link query then asks for that one.
            LoadTableFields(detail);
            if (const auto link = FSchema.DetailLink(MetadataKey(detail), MetadataKey(rootTable))) {
                detail->OwnIndex = SqlNames::TrimPadding(link->DetailIndex);
                detail->ParentIndex = SqlNames::TrimPadding(link->MasterIndex);
            }
            AddReferencedTables(FDetailTableName, detail->TableNo, detailNode);
        }
    }
    LinkTableTree(FTables);
    if (FUsePermanentCache)
        WriteViewToCache();
    FViewGenerated = true;
}

void TLarkspan::FillViews()
{
    // A view read from the cache opens on its first table; a generated one
    // waits for the user's choice.
    if (FViews)
        FViews->ShowTree(FModelFromCache);
}

void TLarkspan::ClearView()
{
    if (FViews) {
        const bool wasFilling = FFillingList;
        FFillingList = true;
        FViews->ClearFieldList();
        FFillingList = wasFilling;
    }
    ClearModel();
}

void TLarkspan::ClearModel()
{
    // Nothing may keep pointing into the model that is about to go.
    FUsedTables.clear();
    FParamList.clear();
    FUserKeys.clear();
    FIndexColumns.clear();
    for (const auto& table : FTables)
        table->Fields.Clear();
    FTables.Clear();
    FViewTree.Clear();
    FModelFromCache = false;
    FViewGenerated = false;
}

void TLarkspan::LoadTableFields(TLKTable* table)
{
    if (!table)
        return;
    TMetadataReadScope metadata(FSchema.Transaction());
    QList<TSchemaReader::FieldRow> rows = FSchema.Fields(MetadataKey(table));
    if (IsUserNamedTable(table) && !FUserKeys.contains(table->TableName)) {
        // A typed name in mixed or lower case stands for its upper-case
        // form; when no such table exists, for the table of exactly that name.
        if (rows.isEmpty() && SqlNames::UserNameKey(table->TableName) != table->TableName) {
            rows = FSchema.Fields(table->TableName);
            if (!rows.isEmpty())
                FUserKeys.insert(table->TableName, table->TableName);
        }
        if (!FUserKeys.contains(table->TableName))
            FUserKeys.insert(table->TableName, SqlNames::UserNameKey(table->TableName));
    }
    for (const TSchemaReader::FieldRow& row : rows) {
        QString displayName;
        bool visible = true;
        if (FDisplayNames.Type() == dnsRDBDescription)
            displayName = row.Description;
        else
            displayName = FieldDisplayInfo(table->TableName, row.FieldName, visible);
        table->Fields.Add(std::make_unique<TLKField>(row.FieldName, displayName, row.FieldType, row.CharLength,
                                                     visible, false, table->NodeIndex, table->Fields.Count()));
    }
}

void TLarkspan::GetIndexFields(const QString& indexName, QStringList& list)
{
    // An index's columns do not change while the model lives: each index is
    // read once per model, not at every statement built from it. A table
    // without an index (the main table) has no columns to read.
    const QString key = SqlNames::TrimPadding(indexName);
    if (key.isEmpty())
        return;
    auto known = FIndexColumns.constFind(key);
    if (known == FIndexColumns.constEnd())
        known = FIndexColumns.insert(key, FSchema.IndexColumns(indexName));
    list.append(known.value());
}

void TLarkspan::SetIndexColumns(const QString& indexName, const QStringList& columns)
{
    FIndexColumns.insert(SqlNames::TrimPadding(indexName), columns);
}

QString TLarkspan::TablePathList(int tableNo)
{
    QString result;
    // Walk up through the parents; a broken chain (a parent number that
    // loops or points outside the list) ends the walk.
    for (int steps = 0; tableNo >= 0 && tableNo < FTables.Count() && steps < FTables.Count(); ++steps) {
        const TLKTable* table = FTables[tableNo];
        result += QLatin1Char(',') + SqlNames::StringLiteral(MetadataKey(table));
        if (table->ParentNo == -1)
            break;
        tableNo = table->ParentNo;
    }
    if (result.startsWith(QLatin1Char(',')))
        result.remove(0, 1);
    return result;
}

void TLarkspan::AddReferencedTables(const QString& tableName, int tableNo, int node)
{
    if (FSnapshot)
        return FSnapshot->AddReferencedTables(tableName, tableNo, node);
    // The path list holds the names as the system tables spell them, each a
    // string literal: a name is data here, never SQL text.
    const TLKTable* self = tableNo >= 0 && tableNo < FTables.Count() ? FTables[tableNo] : nullptr;
    const QList<TSchemaReader::Link> links =
        FSchema.References(self ? MetadataKey(self) : SqlNames::UserNameKey(tableName), TablePathList(tableNo));

    const int first = FTables.Count();
    QStringList names;
    for (const TSchemaReader::Link& link : links) {
        const QString name = SqlNames::TrimPadding(link.MasterTable);
        names.append(name);
        FTables.Add(std::make_unique<TLKTable>(name, link.DetailTable, link.MasterIndex, link.DetailIndex,
                                               FTables.Count(), tableNo, -1));
    }

    for (int i = 0; i < names.count(); ++i) {
        TLKTable* t = FTables[first + i];
        const TLKTable* linked = FindTableByName(FTables, t->LinkedTable);
        const int linkedNo = linked ? linked->TableNo : -1;
        QString prefix;
        if (CountTableLinks(FTables, names[i], t->LinkedTable, linkedNo) > 1) {
            // Several foreign keys lead to the same table: tell the nodes
            // apart by the foreign-key columns.
            QStringList columns;
            GetIndexFields(t->ParentIndex, columns);
            for (const QString& column : columns)
                prefix += FieldDisplayNameOf(t->LinkedTable, column);
            prefix += QLatin1String(" - ");
        }
        const int child = FViewTree.AddLast(node, prefix + TableDisplayName(names[i]));
        t->NodeIndex = FPlacedNodes++;
        AddReferencedTables(names[i], first + i, child);
    }
}

void TLarkspan::MarkQueryTables()
{
    FUsedTables.clear();
    // A designer that shows its tree offers only what the tree shows.
    if (FViews && FViews->ShowsEmptyTree())
        return;
    if (TLKTable* root = LinkTableTree(FTables))
        MarkTable(root);
    ResolveUserNamedTables();
    LoadFieldsOfConditionTables();
}

bool TLarkspan::MarkTable(TLKTable* top)
{
    QSet<const TLKTable*> used;
    for (const auto& entry : FUsedTables)
        used.insert(entry.second);
    auto addOnce = [&](TLKTable* table) {
        if (!used.contains(table)) {
            used.insert(table);
            AddJoinTable(table);
        }
    };
    // A table takes part when it has a ticked field or a condition, or when
    // a table below it takes part. A parent joins right after the first of
    // its children that decides it; every child is visited all the same.
    // Iterative, so that neither a wide nor a deep tree costs more than one
    // visit per table.
    struct Frame {
        TLKTable* table;
        size_t nextChild;
        bool result;
    };
    std::vector<Frame> stack;
    stack.push_back({top, 0, false});
    bool finished = false;
    while (true) {
        Frame& frame = stack.back();
        if (frame.nextChild < frame.table->Children.size()) {
            TLKTable* child = frame.table->Children[frame.nextChild++];
            stack.push_back({child, 0, false});
            continue;
        }
        if (frame.table->Children.empty()) {
            frame.result = TakesPart(frame.table);
            if (frame.result)
                addOnce(frame.table);
        }
        finished = frame.result;
        stack.pop_back();
        if (stack.empty())
            break;
        Frame& parent = stack.back();
        parent.result = parent.result || finished;
        if (!parent.result)
            parent.result = TakesPart(parent.table);
        if (parent.result)
            addOnce(parent.table);
    }
    return finished;
}

bool TLarkspan::TakesPart(const TLKTable* table) const
{
    if (!table)
        return false;
    for (const auto& field : table->Fields)
        if (field->Selected || !field->ConditionSQL.isEmpty())
            return true;
    return false;
}

void TLarkspan::LoadFieldsOfConditionTables()
{
    // A condition names its field with the table's alias when another table
    // of the statement has a column of that name; that needs the columns of
    // every table in the statement, also of those only passed through.
    bool anyCondition = false;
    for (const auto& entry : FUsedTables)
        for (const auto& field : entry.second->Fields)
            anyCondition = anyCondition || !field->ConditionSQL.isEmpty();
    if (!anyCondition)
        return;
    for (const auto& entry : FUsedTables)
        if (entry.second->Fields.Count() == 0)
            LoadTableFields(entry.second);
}

bool TLarkspan::IsUserNamedTable(const TLKTable* table) const
{
    // The main table and the detail table carry the names the user typed;
    // every other table carries its name as the system tables spell it.
    if (table->ParentNo < 0)
        return true;
    return table->ParentNo == 0 && table->TableName == SqlNames::TrimPadding(FDetailTableName) &&
           table->LinkedTable == SqlNames::TrimPadding(FTableName);
}

QString TLarkspan::MetadataKey(const TLKTable* table) const
{
    if (!IsUserNamedTable(table))
        return table->TableName;
    return FUserKeys.value(table->TableName, SqlNames::UserNameKey(table->TableName));
}

void TLarkspan::ResolveUserNamedTables()
{
    // A view read from the cache has not looked its typed names up yet.
    for (const auto& entry : FUsedTables) {
        const TLKTable* table = entry.second;
        const QString& typed = table->TableName;
        if (!IsUserNamedTable(table) || FUserKeys.contains(typed))
            continue;
        QString key = SqlNames::UserNameKey(typed);
        if (key != typed && !FSchema.TableExists(key) && FSchema.TableExists(typed))
            key = typed;
        FUserKeys.insert(typed, key);
    }
}

QString TLarkspan::TableNameSql(const TLKTable* table) const
{
    if (!IsUserNamedTable(table))
        return SqlNames::Identifier(table->TableName);
    // A typed name is written as typed (the main table as the TableName
    // property was given) unless it was found under its exact spelling.
    const QString& typed = table->ParentNo < 0 && !FTableName.isEmpty() ? FTableName : table->TableName;
    const QString key = MetadataKey(table);
    return key == SqlNames::UserNameKey(typed) ? SqlNames::UserNameSql(typed) : SqlNames::Identifier(key);
}

void TLarkspan::AddJoinTable(TLKTable* table)
{
    FUsedTables.append({table->TableName, table});
    QStringList ownColumns, parentColumns;
    GetIndexFields(table->OwnIndex, ownColumns);
    GetIndexFields(table->ParentIndex, parentColumns);
    if (ownColumns.count() != parentColumns.count())
        throw ELarkspanError(LarkspanMessages::IndexFieldCount());
    QStringList pairs;
    for (int i = 0; i < ownColumns.count(); ++i)
        pairs.append(QStringLiteral("Tbl_%1.%2=Tbl_%3.%4")
                         .arg(QString::number(table->ParentNo), SqlNames::Identifier(parentColumns[i]),
                              QString::number(table->TableNo), SqlNames::Identifier(ownColumns[i])));
    table->JoinCondition = pairs.join(QLatin1String(" AND "));
}

int TLarkspan::SelectedFieldCount(TLKTable* table) const
{
    if (!table)
        return 0;
    int count = 0;
    for (const auto& field : table->Fields)
        count += field->Selected ? 1 : 0;
    return count;
}

int TLarkspan::LoadAllFields()
{
    int sum = 0;
    for (const auto& table : FTables) {
        if (table->Fields.Count() == 0)
            LoadTableFields(table.get());
        sum += table->Fields.Count();
    }
    return sum;
}
