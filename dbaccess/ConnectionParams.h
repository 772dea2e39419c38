#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// The database parameter block of a connect, built from the session's
// "name=value" lines (a leading isc_dpb_ is allowed, names in any case):
//   user_name, password, sql_role_name   passed on as given
//   lc_ctype         the connection character set; without it the session
//                    attaches in UTF8 (see CodePage::StatementCharset)
//   connect_timeout  whole seconds to wait for the server's answer at
//                    connect; 0 waits as long as the client library does
// Other names have no meaning for this system and are ignored.
struct ConnectionParams {
    QByteArray Dpb;
    QString Charset;          // lc_ctype as given, upper case; "" when none
    int ConnectTimeout = 0;   // seconds; 0: none
};

inline constexpr int DefaultConnectTimeout = 15;

// "Connection parameter value too long", "Invalid connect_timeout value: %1".
ConnectionParams BuildConnectionParams(const QStringList& lines);
