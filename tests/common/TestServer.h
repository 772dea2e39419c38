#pragma once
#include <QString>
#include <QStringList>

class TIBDatabase;

// Where the private Firebird server of scripts/fbserver.sh and its sample
// databases are. Values come from the environment (LARKSPAN_FB_SERVER, ...)
// or, when unset, from the env.sh file that the script writes; the address
// also follows LARKSPAN_FB_PORT alone, as the script's port does.
namespace TestServer {
QString serverAddress();      // e.g. "localhost/3057"
QString employeeDialect1();   // absolute path of the dialect 1 sample
QString employeeDialect3();   // absolute path of the dialect 3 sample
QString connectionString(const QString& path);   // server ":" path
QStringList loginParams();    // "user_name=SYSDBA", "password=larchwood"

// Points db at path with the login parameters (does not connect).
void configure(TIBDatabase& db, const QString& path);

// Creates (once per process, dropping an earlier copy) a scratch database
// named name.fdb in the server's database folder and runs the given
// statements (each one an isql-style statement without terminator) in
// dialect 3. Returns its absolute path.
QString createScratchDatabase(const QString& name, const QStringList& statements);
}
