#include "dbaccess/IBDatabase.h"

#include "dbaccess/ConnectionLoss.h"
#include "dbaccess/ConnectionParams.h"
#include "core/Errors.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/StatusVector.h"

#include <QElapsedTimer>
#include <ibase.h>

TIBDatabase::TIBDatabase(QObject* owner) : QObject(owner) {}

TIBDatabase::~TIBDatabase()
{
    try {
        Disconnect(true);
    } catch (...) {
    }
    ConnectionLoss::Unwatch(this);
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
    return bool(FAttachment);
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

void TIBDatabase::Connect()
{
    if (FDatabaseName.isEmpty())
        throw EIBClientError(QStringLiteral("Database name is missing"));
    const ConnectionParams params = BuildConnectionParams(FParams);
    const QByteArray name = FDatabaseName.toLocal8Bit();

    StatusVector status;
    AttachmentHandle handle;   // detached again unless the connect completes
    QElapsedTimer waited;
    waited.start();
    isc_attach_database(&status, short(name.size()), name.constData(), &handle, short(params.Dpb.size()),
                        params.Dpb.constData());
    if (status.Failed() && params.ConnectTimeout > 0 && waited.elapsed() >= params.ConnectTimeout * 1000 - 250) {
        // The client library gave up waiting; its own text ("connection
        // rejected by remote interface") would send the user looking for a
        // refusal that never happened.
        throw EIBInterBaseError(QStringLiteral("The server did not answer within %1 s").arg(params.ConnectTimeout),
                                isc_sqlcode(status.Data()), QStringLiteral("isc_attach_database"));
    }
    status.Check("isc_attach_database");

    // The database's dialect; a reply without the item means dialect 1.
    const char items[] = {char(isc_info_db_sql_dialect), char(isc_info_end)};
    char reply[64] = {};
    status.Clear();
    isc_database_info(&status, &handle, short(sizeof items), items, short(sizeof reply), reply);
    status.Check("isc_database_info");
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

    FAttachment = std::move(handle);
    FCharacterSet = params.Charset;
    FDBSQLDialect = dialect;
    if (FDBSQLDialect < FSQLDialect)
        FSQLDialect = FDBSQLDialect;
    ConnectionLoss::Watch(this);
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
    // Ending the transactions may have found the connection broken, and
    // the connection is dropped already.
    if (!Connected())
        return;

    StatusVector status;
    isc_db_handle handle = FAttachment.Value();
    isc_detach_database(&status, &handle);
    // A connection that is gone cannot be detached, and need not be: the
    // session is disconnected as asked.
    if (status.Failed() && !destroying && !ConnectionLoss::IsNetworkFailure(status.Data()))
        status.Check("isc_detach_database");
    Forget();
}

bool TIBDatabase::AttachmentAlive()
{
    if (!Connected())
        return false;
    const char items[] = {char(isc_info_ods_version), char(isc_info_end)};
    char reply[32] = {};
    StatusVector status;
    isc_database_info(&status, &FAttachment, short(sizeof items), items, short(sizeof reply), reply);
    return !status.Failed() ||
           (!ConnectionLoss::IsNetworkFailure(status.Data()) && status.ErrorCode() != isc_bad_db_handle);
}

void TIBDatabase::DropBrokenConnection()
{
    if (!Connected())
        return;
    // Every handle of the attachment is useless now. The client library
    // still holds its side of each; the calls that release them fail
    // against the broken connection, and the failure is expected.
    const auto transactions = FTransactions;
    for (TIBTransaction* t : transactions) {
        try {
            t->Rollback();
        } catch (...) {
        }
    }
    const auto queries = FQueries;
    for (TIBQuery* q : queries) {
        try {
            q->TransactionEnding();
        } catch (...) {
        }
    }
    FAttachment.Reset();
    Forget();
    emit ConnectionDropped();
}

void TIBDatabase::Forget()
{
    ConnectionLoss::Unwatch(this);
    FAttachment.Abandon();   // detached, or gone with its connection
    FDBSQLDialect = 1;
    FCharacterSet.clear();
}

void TIBDatabase::CancelOperation()
{
    // A copy of the attachment handle: the call only names the attachment,
    // and the session's own handle stays with the thread that uses it.
    isc_db_handle handle = FAttachment.Value();
    if (!handle)
        return;
    StatusVector status;
    fb_cancel_operation(&status, &handle, fb_cancel_raise);
    // Nothing running, or the operation ended just now: nothing to stop.
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
