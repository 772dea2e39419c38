#include <gtest/gtest.h>

#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A server that takes the connection and never answers: the kernel
// completes the handshake for a listening socket that is never accepted
// from, so the client's connect succeeds and its first request waits.
namespace {
class SilentListener {
public:
    SilentListener()
    {
        FSocket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (FSocket < 0 || ::bind(FSocket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(FSocket, 8) != 0 || ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on the loopback interface");
        FPort = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(FSocket); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    QString DatabaseName() const { return QStringLiteral("127.0.0.1/%1:/silent/nothing.fdb").arg(FPort); }

private:
    int FSocket = -1;
    int FPort = 0;
};

// Connects db and returns the error's message; the milliseconds it took in *ms.
QString connectError(TIBDatabase& db, qint64* ms)
{
    QElapsedTimer t;
    t.start();
    try {
        db.SetConnected(true);
    } catch (const ELarkspanError& e) {
        *ms = t.elapsed();
        return e.Message();
    }
    *ms = t.elapsed();
    return QStringLiteral("<connected>");
}
}

TEST(ConnectTimeout, SilentServerGivesTheTimeoutErrorInTime)
{
    SilentListener listener;
    TIBDatabase db;
    db.SetDatabaseName(listener.DatabaseName());
    qint64 ms = 0;

    // A Params line sets the time, in any of the accepted spellings.
    db.SetParams({"user_name=SYSDBA", "password=x", "ISC_DPB_CONNECT_TIMEOUT= 2 "});
    EXPECT_EQ(connectError(db, &ms), "The server did not answer within 2 s");
    EXPECT_GE(ms, 1500);
    EXPECT_LT(ms, 6000);
    EXPECT_FALSE(db.Connected());

    // Without one the connect gives up after 15 s.
    db.SetParams({"user_name=SYSDBA", "password=x"});
    EXPECT_EQ(connectError(db, &ms), "The server did not answer within 15 s");
    EXPECT_GE(ms, 14000);
    EXPECT_LT(ms, 25000);
    EXPECT_FALSE(db.Connected());
}

TEST(ConnectTimeout, ValuesThatAreNotWholeSecondsAreRefused)
{
    SilentListener listener;
    TIBDatabase db;
    db.SetDatabaseName(listener.DatabaseName());
    for (const QString& value : {QString("abc"), QString("-1"), QString("1.5"), QString(""), QString("99999999999")}) {
        db.SetParams({"user_name=SYSDBA", "connect_timeout=" + value});
        qint64 ms = 0;
        EXPECT_EQ(connectError(db, &ms), "Invalid connect_timeout value: " + value);
        EXPECT_LT(ms, 1000) << "the refused value reached the server: " << value.toStdString();
        EXPECT_FALSE(db.Connected());
    }
}
