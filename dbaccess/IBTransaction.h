#pragma once
#include <QObject>
#include <QList>
#include <QStringList>

#include "dbaccess/ClientHandles.h"
#include "dbaccess/FieldTypes.h"

class TIBDatabase;
class TIBQuery;

// One unit of work. Transactions start implicitly when a query on them is
// prepared or opened, and end by the own-start rule or at disconnect.
class TIBTransaction : public QObject {
    Q_OBJECT
public:
    explicit TIBTransaction(QObject* owner = nullptr);
    ~TIBTransaction() override;

    TIBDatabase* DefaultDatabase() const { return FDefaultDatabase; }
    void SetDefaultDatabase(TIBDatabase* db);

    bool Active() const { return bool(FHandle); }
    TTransactionAction DefaultAction() const { return FDefaultAction; }
    void SetDefaultAction(TTransactionAction action) { FDefaultAction = action; }
    const QStringList& Params() const { return FParams; }
    void SetParams(const QStringList& params) { FParams = params; }

    void StartTransaction();   // isc_start_multiple over the attached session
    void Commit();             // closes its open queries first
    void Rollback();           // closes its open queries first

    // ---- used inside the access layer ----
    void RegisterQuery(TIBQuery* q);
    void UnregisterQuery(TIBQuery* q);
    const QList<TIBQuery*>& Queries() const { return FQueries; }
    void DatabaseDestroyed();  // the session went away: drop it

private:
    // The transaction, for the calls of its statements.
    friend class TIBQuery;
    isc_tr_handle* HandlePtr() { return &FHandle; }

    void EndQueries();

    TIBDatabase* FDefaultDatabase = nullptr;
    TTransactionAction FDefaultAction = TACommit;
    QStringList FParams;
    TransactionHandle FHandle;
    QList<TIBQuery*> FQueries;
};
