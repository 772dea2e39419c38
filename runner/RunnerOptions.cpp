#include "runner/RunnerOptions.h"

#include <QCommandLineParser>

namespace {
std::string Text(const QString& s)
{
    return s.toStdString();
}
}

QString RunnerOptions::DatabaseName() const
{
    return Server.isEmpty() ? Path : Server + QLatin1Char(':') + Path;
}

namespace RunnerCommandLine {
QString Usage()
{
    return QStringLiteral(
        "Usage: larkspan-run --path DATABASE [connection and view options] ACTION\n"
        "\n"
        "Actions (exactly one):\n"
        "  --list               print the saved designs, one per line: INDEX<TAB>NAME\n"
        "  --sql NAME|INDEX     print the design's statement, then a blank line and its\n"
        "                       parameters, one per line: :NAME = 'VALUE' (or NULL)\n"
        "  --csv NAME|INDEX     run the design and write its rows as CSV (RFC 4180,\n"
        "                       UTF-8, header row, CR LF line ends)\n"
        "  --help               print this text\n"
        "\n"
        "A NAME|INDEX of digits only is the index that --list prints; any other\n"
        "text is a design's name (the first design of that name in the file).\n"
        "\n"
        "Options:\n"
        "  --server ADDRESS     server host, optionally /PORT; none: PATH alone\n"
        "  --path DATABASE      database file or alias on the server (required)\n"
        "  --user NAME          login name (default: the ISC_USER variable)\n"
        "  --password TEXT      password (default: the ISC_PASSWORD variable)\n"
        "  --table NAME         main table of the view (default Employee)\n"
        "  --detail NAME        detail table of the view (default Employee_project;\n"
        "                       an empty NAME: none)\n"
        "  --cache-dir DIR      folder of the query file TABLE@DETAIL.qry and of the\n"
        "                       view cache, which is then used (default: the current\n"
        "                       folder, no view cache)\n"
        "  --output FILE        --csv only: write to FILE instead of standard output;\n"
        "                       the file is replaced only when every row was written\n"
        "\n"
        "Exit status: 0 success, 1 error (message on standard error), 2 bad usage.\n");
}

RunnerOptions Parse(const QStringList& arguments, bool& help)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption server(QStringLiteral("server"), QString(), QStringLiteral("ADDRESS"));
    const QCommandLineOption path(QStringLiteral("path"), QString(), QStringLiteral("DATABASE"));
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption password(QStringLiteral("password"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption table(QStringLiteral("table"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption detail(QStringLiteral("detail"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption cacheDir(QStringLiteral("cache-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption list(QStringLiteral("list"));
    const QCommandLineOption sql(QStringLiteral("sql"), QString(), QStringLiteral("NAME|INDEX"));
    const QCommandLineOption csv(QStringLiteral("csv"), QString(), QStringLiteral("NAME|INDEX"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions(
        {server, path, user, password, table, detail, cacheDir, list, sql, csv, output, helpOption});

    // The parser wants the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("larkspan-run")} + arguments))
        throw RunnerUsageError(Text(parser.errorText()));
    help = parser.isSet(helpOption);
    if (help)
        return {};
    if (!parser.positionalArguments().isEmpty())
        throw RunnerUsageError(Text(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())));
    for (const QCommandLineOption* single : {&server, &path, &user, &password, &table, &detail, &cacheDir, &sql, &csv, &output})
        if (parser.values(*single).size() > 1)
            throw RunnerUsageError(Text(QStringLiteral("Option '%1' is given more than once.").arg(single->names().first())));

    const int actions = int(parser.isSet(list)) + int(parser.isSet(sql)) + int(parser.isSet(csv));
    if (actions != 1)
        throw RunnerUsageError("Give exactly one of --list, --sql and --csv.");
    if (!parser.isSet(path) || parser.value(path).isEmpty())
        throw RunnerUsageError("Option '--path' is required.");
    if (parser.isSet(output) && !parser.isSet(csv))
        throw RunnerUsageError("Option '--output' goes with --csv only.");
    if (parser.isSet(output) && parser.value(output).isEmpty())
        throw RunnerUsageError("Option '--output' needs a file name.");

    RunnerOptions o;
    o.Server = parser.value(server);
    o.Path = parser.value(path);
    o.HasUser = parser.isSet(user);
    o.User = parser.value(user);
    o.HasPassword = parser.isSet(password);
    o.Password = parser.value(password);
    if (parser.isSet(table))
        o.Table = parser.value(table);
    if (o.Table.isEmpty())
        throw RunnerUsageError("Option '--table' needs a table name.");
    if (parser.isSet(detail))
        o.Detail = parser.value(detail);
    o.CacheDir = parser.value(cacheDir);
    if (parser.isSet(list)) {
        o.Do = RunnerOptions::Action::List;
    } else {
        o.Do = parser.isSet(sql) ? RunnerOptions::Action::Sql : RunnerOptions::Action::Csv;
        o.Design = parser.value(parser.isSet(sql) ? sql : csv);
        if (o.Design.isEmpty())
            throw RunnerUsageError("A design's name or index is needed.");
    }
    o.Output = parser.value(output);
    return o;
}
}
