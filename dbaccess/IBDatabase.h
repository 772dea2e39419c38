#pragma once
#include <QObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "dbaccess/ClientHandles.h"
#include "dbaccess/FieldTypes.h"

class TIBTransaction;
class TIBQuery;

// One connection to one database, over the client library's isc_ functions.
class TIBDatabase : public QObject {
    Q_OBJECT
public:
    explicit TIBDatabase(QObject* owner = nullptr);
    ~TIBDatabase() override;   // disconnects, ignoring errors; detaches queries and transactions

    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& name);   // "Cannot perform operation -- DB is currently open"

    // Connection parameters, one "name=value" per line: user_name, password,
    // lc_ctype, sql_role_name, connect_timeout (seconds, 15 when not given;
    // 0: no limit). A leading isc_dpb_ is allowed.
    const QStringList& Params() const { return FParams; }
    void SetParams(const QStringList& params) { FParams = params; }

    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool value) { FLoginPrompt = value; }
    TIBTransaction* DefaultTransaction() const { return FDefaultTransaction; }
    void SetDefaultTransaction(TIBTransaction* transaction);
    int IdleTimer() const { return FIdleTimer; }
    void SetIdleTimer(int ms) { FIdleTimer = ms; }
    int SQLDialect() const { return FSQLDialect; }
    void SetSQLDialect(int dialect);             // "SQL Dialect Invalid"
    int DBSQLDialect() const { return FDBSQLDialect; }

    // False again as soon as an operation finds the connection broken
    // (EIBConnectionLost); the next operation then connects again.
    bool Connected() const;
    void SetConnected(bool value);

    // The connection character set named by lc_ctype (empty: none).
    QString CharacterSet() const { return FCharacterSet; }

    // Statements this session has executed since it was created, counted
    // at execute; StatementExecuted is emitted with the text sent.
    quint64 ExecutedStatementCount() const { return FExecutedStatements; }

    // Asks the server to stop whatever the session is running right now (a
    // statement's execute or a fetch, usually on another thread). The
    // running call then fails with the server's "operation was cancelled"
    // error; the session stays connected and its next statement runs
    // normally. Safe to call from any thread while another thread works on
    // the session; does nothing when the session is not connected.
    void CancelOperation();

signals:
    void StatementExecuted(const QString& sql);
    // The connection was found broken and dropped (Connected is false now);
    // the failing operation raises EIBConnectionLost after this. Receivers
    // must not throw.
    void ConnectionDropped();

public:
    // ---- used inside the access layer ----
    void RegisterTransaction(TIBTransaction* t);
    void UnregisterTransaction(TIBTransaction* t);
    void RegisterQuery(TIBQuery* q);
    void UnregisterQuery(TIBQuery* q);
    void NoteStatementExecuted(const QString& sql);
    // Whether the attachment still answers (a round trip to the server).
    bool AttachmentAlive();
    // The connection is broken: drop its transactions, statements and the
    // attachment, without a word from the failing calls.
    void DropBrokenConnection();

private:
    // The attachment, for the calls of the session's transactions and
    // statements that name it.
    friend class TIBTransaction;
    friend class TIBQuery;
    isc_db_handle* HandlePtr() { return &FAttachment; }

    void Connect();
    void Disconnect(bool destroying);
    void Forget();   // the disconnected state

    QString FDatabaseName;
    QStringList FParams;
    bool FLoginPrompt = true;
    TIBTransaction* FDefaultTransaction = nullptr;
    int FIdleTimer = 0;
    int FSQLDialect = 1;
    int FDBSQLDialect = 1;
    QString FCharacterSet;
    quint64 FExecutedStatements = 0;
    AttachmentHandle FAttachment;
    QList<TIBTransaction*> FTransactions;
    QList<TIBQuery*> FQueries;
};
