#include "support/BenchDatabase.h"

#include "common/TestServer.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace {
QString loginValue(const char* name)
{
    for (const QString& line : TestServer::loginParams())
        if (line.startsWith(QLatin1String(name) + QLatin1Char('=')))
            return line.section(QLatin1Char('='), 1);
    return QString();
}

QString runIsql(const QStringList& args, const QByteArray& input)
{
    QProcess isql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ISC_USER", loginValue("user_name"));
    env.insert("ISC_PASSWORD", loginValue("password"));
    isql.setProcessEnvironment(env);
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start("isql-fb", args);
    isql.write(input);
    isql.closeWriteChannel();
    if (!isql.waitForFinished(-1))
        throw std::runtime_error("isql-fb did not finish");
    return QString::fromLocal8Bit(isql.readAll());
}
}

namespace BenchDatabase {
QString Ensure(const QString& name, const std::function<bool(const QString& path)>& ready,
               const QStringList& statements)
{
    const QString path = QFileInfo(TestServer::employeeDialect3()).absolutePath() + "/" + name + ".fdb";
    if (QFileInfo::exists(path)) {
        try {
            if (ready(path))
                return path;
        } catch (const std::exception&) {
        }
    }
    std::printf("creating %s (once; later runs reuse it)...\n", qPrintable(path));
    std::fflush(stdout);
    const QString conn = TestServer::connectionString(path);
    if (QFile::exists(path))
        runIsql({"-q", conn}, "drop database;\n");
    QFile::remove(path);

    QString script;
    QTextStream out(&script);
    out << "set sql dialect 3;\n";
    out << "create database '" << conn << "' user '" << loginValue("user_name") << "' password '"
        << loginValue("password") << "' page_size 16384;\n";
    out << "set term ^ ;\n";
    for (const QString& s : statements)
        out << s << " ^\n";
    out << "commit ^\n";
    out << "set term ; ^\n";
    out.flush();
    const QString output = runIsql({"-q", "-bail"}, script.toUtf8());
    if (!QFile::exists(path) || output.contains("Statement failed") || output.contains("error", Qt::CaseInsensitive))
        throw std::runtime_error(("creating " + path + " failed:\n" + output).toStdString());
    if (!ready(path))
        throw std::runtime_error(("the new " + path + " is not as expected").toStdString());
    return path;
}

long PeakResidentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double CpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
}
