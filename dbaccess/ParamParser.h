#pragma once
#include <QString>
#include <QStringList>

// Finds the parameter references (":" and a name) of a statement text,
// skipping '...' and "..." literals (doubled quotes stay inside), /* */
// comments and -- comments to the end of the line.
struct ParsedStatement {
    QString text;        // the statement with every reference replaced by "?"
    QStringList names;   // the referenced names, in order of occurrence
};

// Strict parsing raises EIBClientError "SQL Parse Error:..." for a ":"
// without a name and for a literal or comment left open; lenient parsing
// (used when the text is assigned) just collects what it can.
ParsedStatement ParseStatementParams(const QString& sql, bool strict);
