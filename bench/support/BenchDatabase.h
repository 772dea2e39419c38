#pragma once
#include <QString>
#include <QStringList>
#include <functional>

// A database of a benchmark, kept in the private server's database folder
// under a fixed name, so that a run reuses what an earlier run built.
namespace BenchDatabase {
// The absolute path of name.fdb. When the file exists and ready(path)
// says it holds what the benchmark needs, it is used as it is; otherwise
// it is (re)created and the statements (isql statements without their
// terminator, dialect 3) are run in it.
QString Ensure(const QString& name, const std::function<bool(const QString& path)>& ready,
               const QStringList& statements);

// Peak resident memory of this process so far, in KiB (VmHWM).
long PeakResidentKiB();
// Client CPU time of this process, in milliseconds.
double CpuMs();
}
