#include "designer/SchemaReader.h"

#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/SqlNames.h"

#include <QSet>
#include <exception>

namespace LarkspanSQL {
// The metadata statements keep their lines apart with a single CR.
QString FieldsQueryText()
{
    return QStringLiteral(
        "SELECT RDB$RELATION_FIELDS.RDB$FIELD_NAME as FieldName, RDB$FIELD_TYPE as FieldType,\r"
        "       RDB$CHARACTER_LENGTH as CharLength,\r"
        "       RDB$DESCRIPTION AS Description\r"
        "FROM RDB$RELATION_FIELDS, RDB$FIELDS\r"
        "WHERE RDB$RELATION_FIELDS.RDB$RELATION_NAME = :TableName AND\r"
        "      RDB$FIELD_SOURCE = RDB$FIELD_NAME");
}

QString IndexQueryText()
{
    return QStringLiteral(
        "SELECT RDB$FIELD_NAME AS FIELD_NAME,\r"
        "       RDB$FIELD_POSITION AS FIELD_POSITION\r"
        "FROM RDB$INDEX_SEGMENTS\r"
        "WHERE RDB$INDEX_NAME = :Index\r"
        "ORDER BY RDB$FIELD_POSITION");
}

QString DetailQueryText()
{
    return QStringLiteral(
        "SELECT C.RDB$RELATION_NAME  AS DETAIL_TABLE,\r"
        "       MasterIndex.RDB$RELATION_NAME AS MASTER_TABLE,\r"
        "       DetailIndex.RDB$INDEX_NAME AS DETAIL_INDEX,\r"
        "       MasterIndex.RDB$INDEX_NAME AS MASTER_INDEX\r"
        "FROM RDB$RELATION_CONSTRAINTS C\r"
        "INNER JOIN RDB$INDICES DetailIndex ON DetailIndex.RDB$INDEX_NAME=C.RDB$INDEX_NAME\r"
        "INNER JOIN RDB$INDICES MasterIndex ON MasterIndex.RDB$INDEX_NAME=DetailIndex.RDB$FOREIGN_KEY\r"
        "WHERE RDB$CONSTRAINT_TYPE='FOREIGN KEY' AND\r"
        "C.RDB$RELATION_NAME= :TableName AND\r"
        "MasterIndex.RDB$RELATION_NAME = :MasterTable\r"
        "ORDER BY C.RDB$RELATION_NAME, MasterIndex.RDB$RELATION_NAME");
}

QString ReferenceQueryFormat()
{
    return QStringLiteral(
        "SELECT C.RDB$RELATION_NAME  AS DETAIL_TABLE,\r"
        "        MasterIndex.RDB$RELATION_NAME AS MASTER_TABLE,\r"
        "        DetailIndex.RDB$INDEX_NAME AS DETAIL_INDEX,\r"
        "        MasterIndex.RDB$INDEX_NAME AS MASTER_INDEX\r"
        "FROM RDB$RELATION_CONSTRAINTS C\r"
        "INNER JOIN RDB$INDICES DetailIndex ON DetailIndex.RDB$INDEX_NAME=C.RDB$INDEX_NAME\r"
        "INNER JOIN RDB$INDICES MasterIndex ON MasterIndex.RDB$INDEX_NAME=DetailIndex.RDB$FOREIGN_KEY\r"
        "WHERE RDB$CONSTRAINT_TYPE='FOREIGN KEY' AND\r"
        "      C.RDB$RELATION_NAME = :TableName AND\r"
        "      ( MasterIndex.RDB$RELATION_NAME NOT IN ( %s ) )\r"
        "ORDER BY C.RDB$RELATION_NAME, MasterIndex.RDB$RELATION_NAME");
}
}

namespace {
// Transactions held by an open scope. A designer runs its reads on one
// thread at a time, which may be a worker's: each thread keeps its own.
QSet<const TIBTransaction*>& held()
{
    thread_local QSet<const TIBTransaction*> transactions;
    return transactions;
}

void MakeStringInput(TIBQuery* query, const char* name)
{
    TParam& param = query->ParamNamed(QString::fromLatin1(name));
    param.SetDataType(ftString);
    param.SetParamType(ptInput);
}

// Closes a metadata query that an error left open, so that the designer's
// transaction ends with it instead of staying active.
class CloseOnError {
public:
    explicit CloseOnError(TIBQuery* query) : FQuery(query) {}
    ~CloseOnError()
    {
        if (FDismissed || !FQuery->Active())
            return;
        try {
            FQuery->Close();
        } catch (...) {
            // The error that is already on its way is the one to report.
        }
    }
    void Dismiss() { FDismissed = true; }
    CloseOnError(const CloseOnError&) = delete;
    CloseOnError& operator=(const CloseOnError&) = delete;

private:
    TIBQuery* FQuery;
    bool FDismissed = false;
};

void SetStringParam(TIBQuery* query, const QString& name, const QString& value)
{
    TParam& param = query->ParamNamed(name);
    if (param.DataType() != ftString)
        param.SetDataType(ftString);
    param.SetParamType(ptInput);
    param.SetValue(value);
}

QString ColumnText(TIBQuery* query, const char* column)
{
    return query->FieldNamed(QString::fromLatin1(column)).TextValue();
}

TSchemaReader::Link LinkAt(TIBQuery* query)
{
    return {ColumnText(query, "DETAIL_TABLE"), ColumnText(query, "MASTER_TABLE"), ColumnText(query, "DETAIL_INDEX"),
            ColumnText(query, "MASTER_INDEX")};
}
}

TSchemaReader::TSchemaReader(QObject* owner)
    : FTransaction(std::make_unique<TIBTransaction>(owner)),
      FReferenceQuery(std::make_unique<TIBQuery>(owner)),
      FDetailQuery(std::make_unique<TIBQuery>(owner)),
      FIndexQuery(std::make_unique<TIBQuery>(owner)),
      FFieldsQuery(std::make_unique<TIBQuery>(owner))
{
    FReferenceQuery->SetTransaction(FTransaction.get());

    FFieldsQuery->SetSQL(LarkspanSQL::FieldsQueryText());
    MakeStringInput(FFieldsQuery.get(), "TableName");
    FFieldsQuery->SetTransaction(FTransaction.get());

    FIndexQuery->SetSQL(LarkspanSQL::IndexQueryText());
    MakeStringInput(FIndexQuery.get(), "Index");
    FIndexQuery->SetTransaction(FTransaction.get());

    FDetailQuery->SetSQL(LarkspanSQL::DetailQueryText());
    MakeStringInput(FDetailQuery.get(), "TableName");
    MakeStringInput(FDetailQuery.get(), "MasterTable");
    FDetailQuery->SetTransaction(FTransaction.get());
}

TSchemaReader::~TSchemaReader()
{
    // Close the statements before the transaction they run in goes away.
    for (TIBQuery* query : {FReferenceQuery.get(), FDetailQuery.get(), FIndexQuery.get(), FFieldsQuery.get()}) {
        try {
            query->Close();
        } catch (...) {
            // A failing close while the reader is destroyed is not reportable.
        }
    }
}

void TSchemaReader::SetDatabase(TIBDatabase* database)
{
    FTransaction->SetDefaultDatabase(database);
    for (TIBQuery* query : {FReferenceQuery.get(), FDetailQuery.get(), FIndexQuery.get(), FFieldsQuery.get()})
        query->SetDatabase(database);
}

QList<TSchemaReader::FieldRow> TSchemaReader::Fields(const QString& key)
{
    TIBQuery* query = FFieldsQuery.get();
    QList<FieldRow> rows;
    SetStringParam(query, QStringLiteral("TableName"), key);
    CloseOnError guard(query);
    query->Prepare();
    query->Open();
    TField& nameColumn = query->FieldNamed(QStringLiteral("FieldName"));
    TField& typeColumn = query->FieldNamed(QStringLiteral("FieldType"));
    TField& lengthColumn = query->FieldNamed(QStringLiteral("CharLength"));
    TField& descriptionColumn = query->FieldNamed(QStringLiteral("Description"));
    while (!query->Eof()) {
        rows.append({SqlNames::TrimPadding(nameColumn.TextValue()), typeColumn.IntegerValue(),
                     lengthColumn.IsNull() ? 0 : lengthColumn.IntegerValue(), descriptionColumn.TextValue()});
        query->Next();
    }
    query->Close();
    guard.Dismiss();
    TMetadataReadScope::Release(query);
    return rows;
}

bool TSchemaReader::TableExists(const QString& key)
{
    TIBQuery* query = FFieldsQuery.get();
    SetStringParam(query, QStringLiteral("TableName"), key);
    CloseOnError guard(query);
    query->Open();
    const bool exists = !query->Eof();
    query->Close();
    guard.Dismiss();
    return exists;
}

QStringList TSchemaReader::IndexColumns(const QString& indexName)
{
    TIBQuery* query = FIndexQuery.get();
    QStringList columns;
    query->Prepare();
    SetStringParam(query, QStringLiteral("Index"), indexName);
    CloseOnError guard(query);
    query->Open();
    while (!query->Eof()) {
        columns.append(SqlNames::TrimPadding(ColumnText(query, "FIELD_NAME")));
        query->Next();
    }
    query->Close();
    guard.Dismiss();
    TMetadataReadScope::Release(query);
    return columns;
}

std::optional<TSchemaReader::Link> TSchemaReader::DetailLink(const QString& detailKey, const QString& masterKey)
{
    TIBQuery* query = FDetailQuery.get();
    SetStringParam(query, QStringLiteral("TableName"), detailKey);
    SetStringParam(query, QStringLiteral("MasterTable"), masterKey);
    CloseOnError guard(query);
    query->Open();
    std::optional<Link> link;
    if (!query->Eof())
        link = LinkAt(query);
    query->Close();
    guard.Dismiss();
    return link;
}

QList<TSchemaReader::Link> TSchemaReader::References(const QString& key, const QString& pathList)
{
    TIBQuery* query = FReferenceQuery.get();
    QString sql = LarkspanSQL::ReferenceQueryFormat();
    sql.replace(sql.indexOf(QLatin1String("%s")), 2, pathList);
    query->SetSQL(sql);
    SetStringParam(query, QStringLiteral("TableName"), key);
    QList<Link> links;
    CloseOnError guard(query);
    query->Prepare();
    query->Open();
    while (!query->Eof()) {
        links.append(LinkAt(query));
        query->Next();
    }
    query->Close();
    guard.Dismiss();
    return links;
}

TMetadataReadScope::TMetadataReadScope(TIBTransaction* transaction) : FExceptions(std::uncaught_exceptions())
{
    if (!transaction || transaction->Active())
        return;
    transaction->StartTransaction();
    FTransaction = transaction;
    held().insert(transaction);
}

TMetadataReadScope::~TMetadataReadScope() noexcept(false)
{
    if (!FTransaction)
        return;
    held().remove(FTransaction);
    if (std::uncaught_exceptions() > FExceptions) {
        // The error on its way is the one to report.
        try {
            FTransaction->Rollback();
        } catch (...) {
        }
        return;
    }
    FTransaction->Commit();
}

void TMetadataReadScope::Release(TIBQuery* query)
{
    if (query->Transaction() && held().contains(query->Transaction()))
        return;
    query->Unprepare();
}
