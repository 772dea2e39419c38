#include "dbaccess/StatusVector.h"

#include "dbaccess/ConnectionLoss.h"
#include "core/Errors.h"

#include <QStringList>
#include <cstring>

void StatusVector::Clear()
{
    std::memset(FStatus, 0, sizeof FStatus);
}

void StatusVector::Check(const char* call) const
{
    if (!Failed())
        return;
    ISC_STATUS_ARRAY copy;
    std::memcpy(copy, FStatus, sizeof copy);
    const long sqlCode = isc_sqlcode(copy);

    QStringList texts;
    const ISC_STATUS* cursor = copy;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0)
        texts << QString::fromLocal8Bit(buffer);
    QString message = texts.join(QStringLiteral("\r\n"));
    if (message.endsWith(QLatin1Char('.')))
        message.chop(1);
    // A broken connection: the sessions drop what it leaves behind, and the
    // error says in words what happened. A failed attach is a connect
    // failure, not a loss.
    if (ConnectionLoss::IsNetworkFailure(copy) && std::strcmp(call, "isc_attach_database") != 0)
        ConnectionLoss::Raise(message, sqlCode, call, ConnectionLoss::Notice());
    throw EIBInterBaseError(message, sqlCode, QString::fromLatin1(call));
}
