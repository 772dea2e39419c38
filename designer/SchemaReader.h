#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QObject;
class TIBDatabase;
class TIBQuery;
class TIBTransaction;

// The designer's reads of the system tables: four metadata statements and
// the transaction they run in. Each read returns the rows as data; the
// names come as the server gives them (padded) unless said otherwise.
class TSchemaReader {
public:
    // owner becomes the statements' and the transaction's QObject parent
    // (they are still freed with the reader).
    explicit TSchemaReader(QObject* owner = nullptr);
    ~TSchemaReader();
    TSchemaReader(const TSchemaReader&) = delete;
    TSchemaReader& operator=(const TSchemaReader&) = delete;

    void SetDatabase(TIBDatabase* database);

    struct FieldRow {
        QString FieldName;   // without its padding
        qint32 FieldType;
        qint32 CharLength;   // 0 when the server has none
        QString Description;
    };
    // A foreign key: the referring (detail) table, the referred (master)
    // table and their two indexes.
    struct Link {
        QString DetailTable, MasterTable, DetailIndex, MasterIndex;
    };

    // The fields of the table stored under key, in the server's order.
    QList<FieldRow> Fields(const QString& key);
    // Whether a table is stored under key (it has fields).
    bool TableExists(const QString& key);
    // The columns of an index in their order, without their padding.
    QStringList IndexColumns(const QString& indexName);
    // The foreign key from the detail table to the master table, if any.
    std::optional<Link> DetailLink(const QString& detailKey, const QString& masterKey);
    // The foreign keys of the table stored under key whose referred table
    // is not one of pathList (string literals separated by commas).
    QList<Link> References(const QString& key, const QString& pathList);

    TIBTransaction* Transaction() const { return FTransaction.get(); }
    TIBQuery* ReferenceQuery() const { return FReferenceQuery.get(); }
    TIBQuery* DetailQuery() const { return FDetailQuery.get(); }
    TIBQuery* IndexQuery() const { return FIndexQuery.get(); }
    TIBQuery* FieldsQuery() const { return FFieldsQuery.get(); }

private:
    // The transaction goes after the statements that run in it.
    std::unique_ptr<TIBTransaction> FTransaction;
    std::unique_ptr<TIBQuery> FReferenceQuery;
    std::unique_ptr<TIBQuery> FDetailQuery;
    std::unique_ptr<TIBQuery> FIndexQuery;
    std::unique_ptr<TIBQuery> FFieldsQuery;
};

// Holds the designer's metadata transaction across one piece of work (a
// view generation, a field load): started when the scope opens, unless it
// is active already, and ended when the scope closes, also when an error
// ends the work (committed on success, rolled back after an error). While
// it is held, the metadata queries stay prepared from one read to the next,
// so each statement is prepared once per piece of work instead of once per
// read. Scopes nest: an inner one joins the transaction of the outer one.
class TMetadataReadScope {
public:
    explicit TMetadataReadScope(TIBTransaction* transaction);
    ~TMetadataReadScope() noexcept(false);   // a failed commit on success is raised
    TMetadataReadScope(const TMetadataReadScope&) = delete;
    TMetadataReadScope& operator=(const TMetadataReadScope&) = delete;

    // After a read: the statement is released, unless a scope holds its
    // transaction, in which case it stays prepared for the next read.
    static void Release(TIBQuery* query);

private:
    TIBTransaction* FTransaction = nullptr;   // set when this scope started it
    int FExceptions = 0;
};

// The fixed metadata statements (lines separated by a single CR).
namespace LarkspanSQL {
QString FieldsQueryText();
QString IndexQueryText();
QString DetailQueryText();
QString ReferenceQueryFormat();   // one "%s" for the quoted path list
}
