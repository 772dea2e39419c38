#pragma once
#include <QIODevice>
#include <QList>
#include <QPair>
#include <QString>

#include "runner/RunnerOptions.h"

// One run of larkspan-run: connect, build the view, then list the saved
// designs, print a design's statement or write its rows as CSV. Every
// failure raises the project's exception (ELarkspanError and its kin) with
// a one-line text for the user; results go to out.
namespace RunnerJob {
void Run(const RunnerOptions& options, QIODevice& out);

// The live entries of a query file as the designer lists them, and the
// index of the one that design names: digits only are an index, anything
// else a name (the first entry of that name). Raises ELarkspanError naming
// the design and the file when there is none.
int FindDesign(const QList<QPair<int, QString>>& entries, const QString& design, const QString& fileName);

// Raises EInvalidFileFormat when the file exists but does not start with a
// query file's header (the designer would list nothing from it).
void CheckQueryFile(const QString& fileName);
}
