#pragma once
// Runs one disabled test of the current test executable in a child process,
// for tests that need a second program (file locks) or a process whose
// limits or mounts may be changed (file size limit, full disk). The child
// gets its settings through the environment; its output is returned for the
// failure message.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <functional>

struct ChildResult {
    bool finished = false;
    bool crashed = false;
    int exitCode = -1;
    QString output;
};

inline QProcess* StartChild(const QString& test, const QProcessEnvironment& env,
                            std::function<void()> modifier = {})
{
    auto* child = new QProcess;
    child->setProgram(QCoreApplication::applicationFilePath());
    child->setArguments({"--gtest_also_run_disabled_tests", "--gtest_filter=" + test});
    child->setProcessEnvironment(env);
    child->setProcessChannelMode(QProcess::MergedChannels);
    if (modifier)
        child->setChildProcessModifier(modifier);
    child->start();
    return child;
}

inline ChildResult FinishChild(QProcess* child, int timeoutMs = 120000)
{
    ChildResult r;
    r.finished = child->waitForFinished(timeoutMs);
    if (!r.finished)
        child->kill(), child->waitForFinished(5000);
    r.crashed = child->exitStatus() == QProcess::CrashExit;
    r.exitCode = child->exitCode();
    r.output = QString::fromLocal8Bit(child->readAll());
    delete child;
    return r;
}
