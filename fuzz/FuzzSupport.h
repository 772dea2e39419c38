#pragma once
// Shared set-up of the fuzz targets: one offscreen application for the
// whole run, a scratch folder, whole-file writing, and a small designer view
// made by hand (no server), so that the file readers have a model to fill.
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/ExceptionHandler.h"
#include "designer/Larkspan.h"
#include "designer/view/TreeNodes.h"

namespace FuzzSupport {

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "larkspan-fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Exceptions that reach a slot are the readers' business, not a finding.
        SetExceptionHandler([](const std::exception&) {});
        return new QApplication(argc, argv);
    }();
    return *app;
}

inline const QString& ScratchDir()
{
    static QTemporaryDir* dir = new QTemporaryDir;
    static const QString path = dir->path();
    return path;
}

inline void WriteFile(const QString& path, const uint8_t* data, size_t size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    if (size && f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
}

// A finding that is no crash: the target states what went wrong and stops,
// so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what)
{
    fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

// Root EMPLOYEE with fields of every kind of value block; one child table
// with two fields, one with one. Every table has its fields, so that no
// step asks a server. Returns the view's field count.
inline int BuildView(QTreeWidget& tree, TLarkspan& lk)
{
    tree.clear();
    lk.Tables().Clear();
    auto root = TreeNodes::AddChildLast(&tree, nullptr, "Employee");
    TreeNodes::AddChildLast(&tree, root, "Department");
    TreeNodes::AddChildLast(&tree, root, "Job");
    lk.ViewTree() = TreeNodes::Nodes(&tree);
    TLKTable* t0 = lk.Tables().Add(std::make_unique<TLKTable>("EMPLOYEE", "", "", "", 0, -1, 0));
    const qint32 types[] = {7, 8, 16, 10, 27, 12, 13, 35, 14, 37, 261};
    int index = 0;
    for (qint32 type : types) {
        t0->Fields.Add(std::make_unique<TLKField>(QStringLiteral("F%1").arg(index),
                                                  QStringLiteral("Field %1").arg(index), type, 20,
                                                  true, false, 0, index));
        ++index;
    }
    TLKTable* t1 = lk.Tables().Add(std::make_unique<TLKTable>("DEPARTMENT", "EMPLOYEE",
                                                             "RDB$FOREIGN8", "RDB$PRIMARY5", 1, 0, 1));
    t1->Fields.Add(std::make_unique<TLKField>("DEPT_NO", "Number", 37, 3, true, false, 1, 0));
    t1->Fields.Add(std::make_unique<TLKField>("BUDGET", "Budget", 27, 0, true, false, 1, 1));
    TLKTable* t2 = lk.Tables().Add(std::make_unique<TLKTable>("JOB", "EMPLOYEE", "RDB$FOREIGN9",
                                                             "RDB$PRIMARY2", 2, 0, 2));
    t2->Fields.Add(std::make_unique<TLKField>("JOB_CODE", "Code", 37, 5, true, false, 2, 0));
    return int(std::size(types)) + 3;
}

} // namespace FuzzSupport
