#include "common/TestServer.h"

#include "dbaccess/IBDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryFile>
#include <QTextStream>

#include <gtest/gtest.h>
#include <cstdlib>
#include <stdexcept>

namespace {
QString serverRoot()
{
    const QString env = qEnvironmentVariable("LARKSPAN_FB_ROOT");
    return env.isEmpty() ? QStringLiteral(LARKSPAN_SOURCE_DIR "/.fbserver") : env;
}

// Settings written by scripts/fbserver.sh, overridden by the environment.
QString setting(const char* name)
{
    const QString fromEnv = qEnvironmentVariable(name);
    if (!fromEnv.isEmpty())
        return fromEnv;
    static QHash<QString, QString> fileValues = [] {
        QHash<QString, QString> values;
        QFile f(serverRoot() + "/env.sh");
        if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            QTextStream in(&f);
            while (!in.atEnd()) {
                const QString line = in.readLine();
                const int eq = line.indexOf('=');
                if (eq > 0)
                    values.insert(line.left(eq), line.mid(eq + 1));
            }
        }
        return values;
    }();
    const QString value = fileValues.value(QString::fromLatin1(name));
    if (value.isEmpty())
        throw std::runtime_error(std::string("test server setting ") + name +
                                 " is unknown: run scripts/fbserver.sh start");
    return value;
}

// Scratch databases are files of this process; they go when it ends, and
// copies left behind by processes that no longer run go at the next start.
void removeWhenProcessEnds(const QString& path)
{
    // Never freed: the exit handler reads it after static destructors may have run.
    static QStringList* const paths = [&path] {
        QDir dir(QFileInfo(path).absolutePath());
        for (const QFileInfo& f : dir.entryInfoList({"*_*.fdb"}, QDir::Files)) {
            const QString pid = f.completeBaseName().section('_', -1);
            bool ok = false;
            pid.toLongLong(&ok);
            if (ok && !QFileInfo::exists("/proc/" + pid))
                QFile::remove(f.absoluteFilePath());
        }
        std::atexit([] {
            for (const QString& p : *paths)
                QFile::remove(p);
        });
        return new QStringList;
    }();
    if (!paths->contains(path))
        paths->append(path);
}
}

namespace TestServer {
QString serverAddress()
{
    // A port given the way scripts/fbserver.sh takes it names the server of
    // that port, unless the address itself is given.
    const QString port = qEnvironmentVariable("LARKSPAN_FB_PORT");
    if (qEnvironmentVariableIsEmpty("LARKSPAN_FB_SERVER") && !port.isEmpty())
        return QStringLiteral("localhost/") + port;
    return setting("LARKSPAN_FB_SERVER");
}
QString employeeDialect1() { return setting("LARKSPAN_EMPLOYEE_D1"); }
QString employeeDialect3() { return setting("LARKSPAN_EMPLOYEE_D3"); }
QString connectionString(const QString& path) { return serverAddress() + ":" + path; }

QStringList loginParams()
{
    return {"user_name=" + setting("LARKSPAN_FB_USER"), "password=" + setting("LARKSPAN_FB_PASSWORD")};
}

void configure(TIBDatabase& db, const QString& path)
{
    db.SetDatabaseName(connectionString(path));
    db.SetParams(loginParams());
    db.SetLoginPrompt(false);
}

QString createScratchDatabase(const QString& name, const QStringList& statements)
{
    const QString dir = serverRoot() + "/databases";
    QDir().mkpath(dir);
    // One copy per test process: ctest runs tests of one suite in parallel
    // processes, and each must own the database it drops and re-creates.
    const QString path = dir + "/" + name + "_" + QString::number(QCoreApplication::applicationPid()) + ".fdb";
    removeWhenProcessEnds(path);
    const QString conn = connectionString(path);
    const QString user = setting("LARKSPAN_FB_USER");
    const QString password = setting("LARKSPAN_FB_PASSWORD");

    QString script;
    QTextStream out(&script);
    out << "set sql dialect 3;\n";
    out << "create database '" << conn << "' user '" << user << "' password '" << password
        << "' default character set WIN1250;\n";
    out << "set term ^ ;\n";
    for (const QString& s : statements)
        out << s << " ^\n";
    out << "commit ^\n";
    out << "set term ; ^\n";
    out.flush();

    auto runIsql = [&](const QStringList& args, const QByteArray& input) {
        QProcess isql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ISC_USER", user);
        env.insert("ISC_PASSWORD", password);
        isql.setProcessEnvironment(env);
        isql.setProcessChannelMode(QProcess::MergedChannels);
        isql.start("isql-fb", args);
        isql.write(input);
        isql.closeWriteChannel();
        if (!isql.waitForFinished(120000))
            throw std::runtime_error("isql-fb did not finish");
        return QString::fromLocal8Bit(isql.readAll());
    };

    // Drop an earlier copy through the server, so it holds no stale handle.
    if (QFile::exists(path))
        runIsql({"-q", conn}, "drop database;\n");
    QFile::remove(path);
    const QString output = runIsql({"-q", "-bail"}, script.toUtf8());
    if (!QFile::exists(path) || output.contains("Statement failed") || output.contains("error", Qt::CaseInsensitive))
        throw std::runtime_error(("creating scratch database failed:\n" + output).toStdString());
    return path;
}
}
