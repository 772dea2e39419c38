// larkspan-run: the designer without a window. Connects, builds the view
// around a table, and lists the saved designs, prints a design's statement
// or writes its rows as CSV. See RunnerCommandLine::Usage for the options.
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <exception>

#include "core/Errors.h"
#include "runner/RunnerJob.h"
#include "runner/RunnerOptions.h"

namespace {
// Messages of the server may span lines; the runner reports on one.
QString OneLine(const QString& message)
{
    QStringList lines;
    for (const QString& line : message.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines.join(QLatin1Char(' '));
}

void PrintError(const QString& message)
{
    std::fprintf(stderr, "larkspan-run: %s\n", OneLine(message).toUtf8().constData());
}
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    RunnerOptions options;
    try {
        bool help = false;
        options = RunnerCommandLine::Parse(application.arguments().mid(1), help);
        if (help) {
            std::fputs(RunnerCommandLine::Usage().toUtf8().constData(), stdout);
            return 0;
        }
    } catch (const RunnerUsageError& e) {
        PrintError(QString::fromUtf8(e.what()));
        std::fputs(RunnerCommandLine::Usage().toUtf8().constData(), stderr);
        return 2;
    }

    try {
        QFile out;
        if (!out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw EStreamError(QStringLiteral("Cannot write to standard output: %1").arg(out.errorString()));
        RunnerJob::Run(options, out);
        return 0;
    } catch (const ELarkspanError& e) {
        PrintError(e.Message());
    } catch (const std::exception& e) {
        PrintError(QString::fromUtf8(e.what()));
    } catch (...) {
        PrintError(QStringLiteral("Unknown error."));
    }
    return 1;
}
