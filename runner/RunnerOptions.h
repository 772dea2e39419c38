#pragma once
#include <QString>
#include <QStringList>
#include <stdexcept>

// The command line of larkspan-run.
struct RunnerOptions {
    enum class Action { List, Sql, Csv };

    QString Server;      // host or host/port; empty: the path alone is the database
    QString Path;        // database file or alias on the server
    QString User;        // empty: none given (ISC_USER is taken if set)
    QString Password;    // empty: none given (ISC_PASSWORD is taken if set)
    bool HasUser = false;
    bool HasPassword = false;
    QString Table = QStringLiteral("Employee");
    QString Detail = QStringLiteral("Employee_project");
    QString CacheDir;    // empty: query file and cache in the current directory, no view cache
    Action Do = Action::List;
    QString Design;      // NAME or INDEX of --sql / --csv
    QString Output;      // --csv target; empty: standard output

    // The database name for the session: "server:path", or the path alone.
    QString DatabaseName() const;
};

// A command line that cannot be run; its text says why (one line).
class RunnerUsageError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

namespace RunnerCommandLine {
// Reads the arguments after the program name. Raises RunnerUsageError.
// --help gives back nothing and sets help.
RunnerOptions Parse(const QStringList& arguments, bool& help);
// The usage text, several lines ending with a line break.
QString Usage();
}
