#include "dbaccess/IBDatabase.h"

#include "dbaccess/CodePage.h"
#include "dbaccess/Errors.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/StatusVector.h"

#include <ibase.h>

namespace {
// Builds the database parameter block from "name=value" lines.
QByteArray buildDpb(const QStringList& params, QString* charset)
{
    struct Entry { char code; QString value; };
    QList<Entry> entries;
    for (const QString& line : params) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        QString name = (eq < 0 ? line : line.left(eq)).trimmed().toLower();
        if (name.isEmpty())
            continue;
        if (name.startsWith(QLatin1String("isc_dpb_")))
            name = name.mid(8);
        const QString value = eq < 0 ? QString() : line.mid(eq + 1);
        if (name == QLatin1String("user_name"))
            entries.append({char(isc_dpb_user_name), value});
        else if (name == QLatin1String("password"))
            entries.append({char(isc_dpb_password), value});
        else if (name == QLatin1String("lc_ctype")) {
            entries.append({char(isc_dpb_lc_ctype), value});
            *charset = value.trimmed().toUpper();
        } else if (name == QLatin1String("sql_role_name"))
            entries.append({char(isc_dpb_sql_role_name), value});
        // Other names have no meaning for this system and are ignored.
    }
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    for (const Entry& e : entries) {
        const QByteArray bytes = CodePage::Encode(e.value, *charset);
        if (bytes.size() > 255)
            throw EIBClientError(QStringLiteral("Connection parameter value too long"));
        dpb.append(e.code);
        dpb.append(char(bytes.size()));
        dpb.append(bytes);
    }
    return dpb;
}
}

TIBDatabase::TIBDatabase(QObject* owner) : QObject(owner) {}

TIBDatabase::~TIBDatabase()
{
    try {
        Disconnect(true);
    } catch (...) {
    }
    const auto queries = FQueries;
    FQueries.clear();
    for (TIBQuery* q : queries)
        q->DatabaseDestroyed();
    const auto transactions = FTransactions;
    FTransactions.clear();
    for (TIBTransaction* t : transactions)
        t->DatabaseDestroyed();
}

void TIBDatabase::SetDatabaseName(const QString& name)
{
    if (Connected())
        throw EIBClientError(QStringLiteral("Cannot perform operation -- DB is currently open"));
    FDatabaseName = name;
}

void TIBDatabase::SetDefaultTransaction(TIBTransaction* transaction)
{
    FDefaultTransaction = transaction;
    if (transaction && transaction->DefaultDatabase() == nullptr)
        transaction->SetDefaultDatabase(this);
}

void TIBDatabase::SetSQLDialect(int dialect)
{
    if (dialect < 1 || (Connected() && dialect > FDBSQLDialect))
        throw EIBClientError(QStringLiteral("SQL Dialect Invalid"));
    FSQLDialect = dialect;
}

bool TIBDatabase::Connected() const
{
    return FHandle != 0;
}

void TIBDatabase::SetConnected(bool value)
{
    if (value == Connected())
        return;
    if (value)
        Connect();
    else
        Disconnect(false);
}

void* TIBDatabase::HandlePtr()
{
    return &FHandle;
}

void TIBDatabase::Connect()
{
    if (FDatabaseName.isEmpty())
        throw EIBClientError(QStringLiteral("Database name is missing"));
    QString charset;
    const QByteArray dpb = buildDpb(FParams, &charset);
    const QByteArray name = FDatabaseName.toLocal8Bit();

    StatusVector status;
    isc_db_handle handle = 0;
    isc_attach_database(&status, short(name.size()), name.constData(), &handle, short(dpb.size()),
                        dpb.constData());
    status.Check("isc_attach_database");

    // The database's dialect; a reply without the item means dialect 1.
    const char items[] = {char(isc_info_db_sql_dialect), char(isc_info_end)};
    char reply[64] = {};
    status.Clear();
    isc_database_info(&status, &handle, short(sizeof items), items, short(sizeof reply), reply);
    if (status.Failed()) {
        StatusVector ignored;
        isc_detach_database(&ignored, &handle);
        status.Check("isc_database_info");
    }
    int dialect = 1;
    for (const char* p = reply; p < reply + sizeof reply && *p != char(isc_info_end);) {
        const char item = *p++;
        if (item == char(isc_info_truncated) || item == char(isc_info_error))
            break;
        const short len = short(isc_vax_integer(p, 2));
        p += 2;
        if (item == char(isc_info_db_sql_dialect) && len > 0)
            dialect = int(isc_vax_integer(p, len));
        p += len;
    }

    FHandle = handle;
    FCharacterSet = charset;
    FDBSQLDialect = dialect;
    if (FDBSQLDialect < FSQLDialect)
        FSQLDialect = FDBSQLDialect;
}

void TIBDatabase::Disconnect(bool destroying)
{
    if (!Connected())
        return;
    // Active transactions end by their default action (commit); a failed
    // commit is rolled back without a word.
    const auto transactions = FTransactions;
    for (TIBTransaction* t : transactions) {
        if (!t->Active())
            continue;
        try {
            if (t->DefaultAction() == TARollback || t->DefaultAction() == TARollbackRetaining)
                t->Rollback();
            else
                t->Commit();
        } catch (...) {
            try {
                t->Rollback();
            } catch (...) {
            }
        }
    }
    const auto queries = FQueries;
    for (TIBQuery* q : queries) {
        try {
            q->TransactionEnding();
        } catch (...) {
        }
    }

    StatusVector status;
    isc_db_handle handle = FHandle;
    isc_detach_database(&status, &handle);
    if (status.Failed() && !destroying)
        status.Check("isc_detach_database");
    FHandle = 0;
    FDBSQLDialect = 1;
    FCharacterSet.clear();
}

void TIBDatabase::RegisterTransaction(TIBTransaction* t)
{
    if (!FTransactions.contains(t))
        FTransactions.append(t);
}

void TIBDatabase::UnregisterTransaction(TIBTransaction* t)
{
    FTransactions.removeAll(t);
    if (FDefaultTransaction == t)
        FDefaultTransaction = nullptr;
}

void TIBDatabase::RegisterQuery(TIBQuery* q)
{
    if (!FQueries.contains(q))
        FQueries.append(q);
}

void TIBDatabase::UnregisterQuery(TIBQuery* q)
{
    FQueries.removeAll(q);
}

void TIBDatabase::NoteStatementExecuted(const QString& sql)
{
    ++FExecutedStatements;
    emit StatementExecuted(sql);
}
