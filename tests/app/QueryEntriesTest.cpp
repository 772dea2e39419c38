// Replacing and deleting saved designs beside another program that holds
// the query file (the system's flock command, a program of its own): they
// wait as a save does, then say the file is busy and leave it as it was.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <memory>
#include <gtest/gtest.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "common/FileBusy.h"
#include "common/FileBytes.h"
#include "core/Errors.h"

namespace {

// Another program holding a lock on path until it is killed.
class LockHolder {
public:
    LockHolder(const QString& path, bool shared)
    {
        // The program says when it holds the lock, then sleeps with it.
        FProcess.start("flock", {"--no-fork", shared ? "--shared" : "--exclusive", path, "sh", "-c",
                                 "echo locked; exec sleep 60"});
        EXPECT_TRUE(FProcess.waitForReadyRead(10000)) << FProcess.errorString().toStdString();
        EXPECT_EQ(FProcess.readAllStandardOutput(), "locked\n");
    }
    ~LockHolder()
    {
        FReleaser.reset();   // a kill still to come lands before the program is reaped
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }
    // Ends the program in a while, from a thread of its own; meanwhile this
    // thread waits for the lock.
    void ReleaseAfter(int ms)
    {
        const pid_t pid = pid_t(FProcess.processId());
        FReleaser.reset(QThread::create([pid, ms] {
            QThread::msleep(ms);
            ::kill(pid, SIGKILL);
        }));
        FReleaser->start();
    }

private:
    QProcess FProcess;
    struct Joined {
        void operator()(QThread* thread) const
        {
            thread->wait();
            delete thread;
        }
    };
    std::unique_ptr<QThread, Joined> FReleaser;
};

class QueryEntriesTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        Connect();
        if (HasFatalFailure())
            return;
        SelectTable("Employees");
        Tick("Last name");
        form->Larkspan1->SaveQuery("first");
        form->Larkspan1->SaveQuery("second");
        path = form->Larkspan1->QueryFileName();
    }

    QStringList Listed()
    {
        QStringList names;
        form->Larkspan1->EnumQueries([&](int, const QString& name) { names << name; });
        return names;
    }

    // action must wait for the lock, then fail with the busy message.
    void ExpectBusy(const std::function<void()>& action, const char* what) { ExpectFileBusy(path, action, what); }

    QString path;
};

TEST_F(QueryEntriesTest, ReplaceAndDeleteWaitForAnotherProgramsLock)
{
    const QByteArray before = ReadAll(path);
    TLarkspan& designer = *form->Larkspan1;
    for (bool shared : {false, true}) {
        // Neither a writer nor a reader of the file lets them in.
        LockHolder holder(path, shared);
        ExpectBusy([&] { designer.ReplaceQuery(0, "replaced"); }, "replacing");
        ExpectBusy([&] { designer.DeleteQuery(1); }, "deleting");
    }
    EXPECT_EQ(ReadAll(path), before);

    // A lock given up while they wait: they go on.
    {
        LockHolder holder(path, false);
        holder.ReleaseAfter(500);
        designer.ReplaceQuery(0, "replaced");
    }
    {
        LockHolder holder(path, true);
        holder.ReleaseAfter(500);
        designer.DeleteQuery(1);
    }
    EXPECT_EQ(Listed(), QStringList{"replaced"});
    EXPECT_EQ(ReadAll(path).size(), before.size());
}

TEST_F(QueryEntriesTest, MissingQueryFileIsReportedNotCreated)
{
    TLarkspan& designer = *form->Larkspan1;
    ASSERT_TRUE(QFile::remove(path));
    const QString missing = "Cannot open file \"" + path + "\": ";
    for (int replace = 0; replace < 2; ++replace) {
        try {
            if (replace)
                designer.ReplaceQuery(0, "replaced");
            else
                designer.DeleteQuery(0);
            ADD_FAILURE() << "went through without a file";
        } catch (const EStreamError& e) {
            EXPECT_TRUE(e.Message().startsWith(missing)) << e.Message().toStdString();
        }
        EXPECT_FALSE(QFile::exists(path));
    }
}

}   // namespace
