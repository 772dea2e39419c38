#include "dbaccess/ConnectionLoss.h"

#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"

#include <QList>
#include <QMutex>
#include <QScopeGuard>

namespace {
// Sessions may connect on one thread and work on another (one thread at a
// time), so the watch list is the process's.
QMutex watchLock;
QList<TIBDatabase*> watched;
thread_local bool noticing = false;

bool isWatched(TIBDatabase* db)
{
    QMutexLocker lock(&watchLock);
    return watched.contains(db);
}

bool isLossCode(ISC_STATUS code)
{
    switch (code) {
    case isc_network_error:
    case isc_net_read_err:
    case isc_net_write_err:
    case isc_conn_lost:
    case isc_lost_db_connection:
    case isc_att_shutdown:
    case isc_shutdown:
        return true;
    default:
        return false;
    }
}
}

namespace ConnectionLoss {

bool IsNetworkFailure(const ISC_STATUS* status)
{
    if (status[0] != isc_arg_gds || status[1] == 0)
        return false;
    // The codes are the isc_arg_gds entries; other arguments (strings,
    // numbers, interpreted texts) are skipped by their kind.
    for (int i = 0; i < ISC_STATUS_LENGTH - 1 && status[i] != isc_arg_end;) {
        const ISC_STATUS kind = status[i];
        if (kind == isc_arg_gds && isLossCode(status[i + 1]))
            return true;
        if (kind == isc_arg_warning)
            break;   // warnings follow the error
        i += kind == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

void Watch(TIBDatabase* db)
{
    QMutexLocker lock(&watchLock);
    if (!watched.contains(db))
        watched.append(db);
}

void Unwatch(TIBDatabase* db)
{
    QMutexLocker lock(&watchLock);
    watched.removeAll(db);
}

QString Notice()
{
    // Dropping an attachment calls the client library again, and those
    // calls fail the same way: they must not start another round.
    if (noticing)
        return QString();
    noticing = true;
    const auto done = qScopeGuard([] { noticing = false; });
    QString first;
    QList<TIBDatabase*> sessions;
    {
        QMutexLocker lock(&watchLock);
        sessions = watched;
    }
    for (TIBDatabase* db : sessions) {
        if (!isWatched(db) || db->AttachmentAlive())
            continue;
        if (first.isEmpty())
            first = db->DatabaseName();
        db->DropBrokenConnection();
    }
    return first;
}

void Raise(const QString& serverText, long sqlCode, const char* call, const QString& databaseName)
{
    const QString what = databaseName.isEmpty()
                             ? QStringLiteral("The connection to the database was lost")
                             : QStringLiteral("The connection to the database %1 was lost").arg(databaseName);
    QString message = what;
    if (!serverText.isEmpty())
        message += QStringLiteral("\r\n") + serverText;
    throw EIBConnectionLost(message, sqlCode, QString::fromLatin1(call));
}

} // namespace ConnectionLoss
