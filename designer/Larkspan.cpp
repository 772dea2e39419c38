#include "designer/Larkspan.h"

#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

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
void MakeStringInput(TIBQuery* query, const char* name)
{
    TParam& param = query->ParamNamed(QString::fromLatin1(name));
    param.SetDataType(ftString);
    param.SetParamType(ptInput);
}

// Text of a string list as a whole: every line followed by a line break.
QString ListText(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}
}

TLarkspan::TLarkspan(QObject* owner) : QObject(owner)
{
    FFillingList = false;
    FAutoSetupListView = false;
    FViewGenerated = false;

    FTransaction = new TIBTransaction(this);
    FReferenceQuery = new TIBQuery(this);
    FDetailQuery = new TIBQuery(this);
    FIndexQuery = new TIBQuery(this);
    FFieldsQuery = new TIBQuery(this);

    FReferenceQuery->SetTransaction(FTransaction);

    FFieldsQuery->SetSQL(LarkspanSQL::FieldsQueryText());
    MakeStringInput(FFieldsQuery, "TableName");
    FFieldsQuery->SetTransaction(FTransaction);

    FIndexQuery->SetSQL(LarkspanSQL::IndexQueryText());
    MakeStringInput(FIndexQuery, "Index");
    FIndexQuery->SetTransaction(FTransaction);

    FDetailQuery->SetSQL(LarkspanSQL::DetailQueryText());
    MakeStringInput(FDetailQuery, "TableName");
    MakeStringInput(FDetailQuery, "MasterTable");
    FDetailQuery->SetTransaction(FTransaction);

    OnFieldValueRequired = nullptr;
}

TLarkspan::~TLarkspan()
{
    // The views go first: nothing they show may outlive the model.
    FViews.reset();
    // Close the metadata queries before anything they refer to goes away.
    for (TIBQuery* query : {FReferenceQuery, FDetailQuery, FIndexQuery, FFieldsQuery}) {
        try {
            query->Close();
        } catch (...) {
            // A failing close while the designer is destroyed is not reportable.
        }
    }
    FUsedTables.clear();
    FParamList.clear();
    delete FReferenceQuery;
    delete FDetailQuery;
    delete FIndexQuery;
    delete FFieldsQuery;
    FReferenceQuery = FDetailQuery = FIndexQuery = FFieldsQuery = nullptr;
    FIBDataBase = nullptr;
    delete FTransaction;
    FTransaction = nullptr;
    FTables.Clear();
}

void TLarkspan::SetTableName(const QString& value)
{
    if (value == FTableName)
        return;
    FTableName = value;
    FIncludeFields.clear();
}

void TLarkspan::SetDetailTableName(const QString& value)
{
    if (value != FDetailTableName)
        FDetailTableName = value;
}

void TLarkspan::SetIBDataBase(TIBDatabase* value)
{
    if (value == FIBDataBase.data())
        return;
    FIBDataBase = value;
    AttachDatabase();
}

void TLarkspan::AttachDatabase()
{
    TIBDatabase* db = FIBDataBase.data();
    FIndexColumns.clear();   // read from the database the designer used before
    FTransaction->SetDefaultDatabase(db);
    for (TIBQuery* query : {FReferenceQuery, FDetailQuery, FIndexQuery, FFieldsQuery})
        query->SetDatabase(db);
}

void TLarkspan::SetPermanentCacheDir(const QString& value)
{
    if (value == FPermanentCacheDir)
        return;
    // The directory is joined directly with file names, so it must end in a
    // separator; the empty text (the current directory) stays empty.
    if (value.isEmpty() || value.endsWith(QLatin1Char('/')) || value.endsWith(QLatin1Char('\\')))
        FPermanentCacheDir = value;
    else
        FPermanentCacheDir = value + QLatin1Char('/');
}

void TLarkspan::SetIncludeFields(const QStringList& value)
{
    if (ListText(FIncludeFields) == ListText(value))
        return;
    FIncludeFields = value;
}
