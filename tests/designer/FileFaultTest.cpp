// Query and cache files under faults: two programs saving into one query
// file, a file another program holds, a file size limit and a full disk.
// Each fault that needs its own process runs a disabled test of this file
// in a child process (ChildProcess.h).
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "DesignerTestFixture.h"
#include "common/FileBytes.h"
#include "common/FileBusy.h"
#include "core/Errors.h"
#include "designer/BinaryFile.h"

namespace {

constexpr int SavesPerProgram = 40;
// A child that finds no way to mount a file system of its own says so.
constexpr int NoMountExitCode = 77;

// The dialect 1 view of Employee, its files in dir.
struct FileView : DesignerTestFixture {
    QString dir;
    explicit FileView(const QString& folder)
        : DesignerTestFixture(TestServer::employeeDialect1())
        , dir(folder)
    {
        lk.SetDetailTableName("Employee_project");
        lk.SetPermanentCacheDir(folder);
    }
    QString QueryPath() const { return dir + "/Employee@Employee_project.qry"; }
    QString CachePath() const { return dir + "/Employee@Employee_project.lks"; }
    QStringList Names()
    {
        QStringList names;
        lk.EnumQueries([&](int, const QString& name) { names << name; });
        return names;
    }
    QStringList Files() const { return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
};

QString SystemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString ChildDir()
{
    return qEnvironmentVariable("LARKSPAN_CHILD_DIR");
}

QProcessEnvironment ChildEnvironment(const QString& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LARKSPAN_CHILD_DIR", dir);
    return env;
}

#define EXPECT_CHILD_OK(result)                                                                    \
    do {                                                                                           \
        const ChildResult& r_ = (result);                                                          \
        EXPECT_TRUE(r_.finished) << r_.output.toStdString();                                       \
        EXPECT_FALSE(r_.crashed) << "the child was killed\n" << r_.output.toStdString();          \
        EXPECT_EQ(r_.exitCode, 0) << r_.output.toStdString();                                      \
    } while (0)

// Whether another open file description holds a lock on path.
bool LockedElsewhere(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return busy;
}

// Another program holding a lock on path: a child that locks it and sleeps
// until it is killed, which releases the lock.
struct LockHolder {
    QProcess* process;
    LockHolder(const QString& path, bool shared)
    {
        QProcessEnvironment env = ChildEnvironment(path);
        env.insert("LARKSPAN_CHILD_LOCK", shared ? "shared" : "exclusive");
        process = StartChild("FileFaultChild.DISABLED_HoldsALock", env);
        QElapsedTimer waited;
        waited.start();
        while (!LockedElsewhere(path) && waited.elapsed() < 10000)
            QThread::msleep(10);
        EXPECT_TRUE(LockedElsewhere(path));
    }
    ~LockHolder()
    {
        process->kill();
        FinishChild(process);
    }
};

} // namespace

// --- the child programs ---------------------------------------------------

TEST(FileFaultChild, DISABLED_HoldsALock)
{
    const int fd = ::open(QFile::encodeName(ChildDir()).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const bool shared = qEnvironmentVariable("LARKSPAN_CHILD_LOCK") == "shared";
    ASSERT_EQ(::flock(fd, shared ? LOCK_SH : LOCK_EX), 0);
    QThread::sleep(60);
}

TEST(FileFaultChild, DISABLED_SavesFromOneProgram)
{
    FileView v(ChildDir());
    v.lk.LoadAllFields();   // so that every save is short
    const QString prefix = qEnvironmentVariable("LARKSPAN_CHILD_NAME");
    const qint64 start = qEnvironmentVariable("LARKSPAN_CHILD_START").toLongLong();
    while (QDateTime::currentMSecsSinceEpoch() < start)
        QThread::msleep(1);
    for (int i = 0; i < SavesPerProgram; ++i)
        v.lk.SaveQuery(prefix + QString::number(i));
}

TEST(FileFaultChild, DISABLED_UnderAFileSizeLimit)
{
    FileView v(ChildDir());
    v.lk.SaveQuery("base");
    v.lk.WriteViewToCache();
    const QByteArray query = ReadAll(v.QueryPath());
    const QByteArray cache = ReadAll(v.CachePath());
    const QStringList files = v.Files();

    rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit unlimited = limit;
    limit.rlim_cur = rlim_t(query.size() + 1000);   // less than another entry
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    try {
        v.lk.SaveQuery("over the limit");
        ADD_FAILURE() << "the save went through";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Write error: file \"" + v.QueryPath() + "\". " + SystemWords(EFBIG));
    }
    EXPECT_EQ(ReadAll(v.QueryPath()), query);

    limit.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    try {
        v.lk.WriteViewToCache();
        ADD_FAILURE() << "the cache was written";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Cannot write file \"" + v.CachePath() + "\". " + SystemWords(EFBIG));
    }
    EXPECT_EQ(ReadAll(v.CachePath()), cache);
    // A query file the failed save created is gone again.
    v.lk.SetDetailTableName("Other");
    EXPECT_THROW(v.lk.SaveQuery("new file"), EStreamError);
    EXPECT_EQ(v.Files(), files);

    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &unlimited), 0);
    v.lk.SetDetailTableName("Employee_project");
    v.lk.SaveQuery("after");
    EXPECT_EQ(v.Names(), (QStringList{"base", "after"}));
}

TEST(FileFaultChild, DISABLED_OnAFullDisk)
{
    // ChildDir() is a small file system of this process's own.
    FileView v(ChildDir());
    v.lk.SaveQuery("base");
    v.lk.WriteViewToCache();
    const QByteArray query = ReadAll(v.QueryPath());
    const QByteArray cache = ReadAll(v.CachePath());

    // Fill it up.
    const QByteArray fillerPath = QFile::encodeName(v.dir + "/filler");
    const int fd = ::open(fillerPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const QByteArray block(4096, 'x');
    while (::write(fd, block.constData(), size_t(block.size())) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);

    try {
        v.lk.SaveQuery("no room");
        ADD_FAILURE() << "the save went through";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Write error: file \"" + v.QueryPath() + "\". " + SystemWords(ENOSPC));
    }
    EXPECT_EQ(ReadAll(v.QueryPath()), query);
    try {
        v.lk.WriteViewToCache();
        ADD_FAILURE() << "the cache was written";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Cannot write file \"" + v.CachePath() + "\". " + SystemWords(ENOSPC));
    }
    EXPECT_EQ(ReadAll(v.CachePath()), cache);
    EXPECT_EQ(v.Files(), (QStringList{"Employee@Employee_project.lks", "Employee@Employee_project.qry",
                                      "filler"}));

    ::unlink(fillerPath.constData());
    v.lk.SaveQuery("room again");
    EXPECT_EQ(v.Names(), (QStringList{"base", "room again"}));
}

// --- the tests ------------------------------------------------------------

// Two programs saving into one query file at the same moment: every save
// lands, none overwrites another.
TEST(FileFaults, TwoProgramsSavingLoseNothing)
{
    QTemporaryDir dir;
    const qint64 start = QDateTime::currentMSecsSinceEpoch() + 6000;
    QList<QProcess*> children;
    for (const char* name : {"first-", "second-"}) {
        QProcessEnvironment env = ChildEnvironment(dir.path());
        env.insert("LARKSPAN_CHILD_NAME", name);
        env.insert("LARKSPAN_CHILD_START", QString::number(start));
        children << StartChild("FileFaultChild.DISABLED_SavesFromOneProgram", env);
    }
    for (QProcess* child : children)
        EXPECT_CHILD_OK(FinishChild(child));

    FileView v(dir.path());
    QStringList names = v.Names();
    QStringList expected;
    for (const char* name : {"first-", "second-"})
        for (int i = 0; i < SavesPerProgram; ++i)
            expected << name + QString::number(i);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    const qint64 entrySize = 257 + qint64(v.lk.LoadAllFields()) * 527;
    EXPECT_EQ(QFileInfo(v.QueryPath()).size(), 16 + 2 * SavesPerProgram * entrySize);
}

// A query file that another program holds: saving, listing and loading
// wait a moment, then say the file is busy; nothing changes.
TEST(FileFaults, BusyQueryFileIsReported)
{
    QTemporaryDir dir;
    FileView v(dir.path());
    v.lk.SaveQuery("kept");
    const QByteArray before = ReadAll(v.QueryPath());
    auto expectBusy = [&](const std::function<void()>& action, const char* what) {
        ExpectFileBusy(v.QueryPath(), action, what);
    };
    {
        LockHolder holder(v.QueryPath(), false);
        expectBusy([&] { v.lk.SaveQuery("blocked"); }, "saving");
        expectBusy([&] { v.Names(); }, "listing");
        expectBusy([&] { v.lk.LoadQuery(0); }, "loading");
    }
    EXPECT_EQ(ReadAll(v.QueryPath()), before);
    {
        // Readers share the file; a save waits for them.
        LockHolder reader(v.QueryPath(), true);
        EXPECT_EQ(v.Names(), QStringList{"kept"});
        v.lk.LoadQuery(0);
        expectBusy([&] { v.lk.SaveQuery("blocked"); }, "saving beside a reader");
    }
    // A lock given up while the save waits: the save goes on.
    {
        LockHolder holder(v.QueryPath(), false);
        const qint64 pid = holder.process->processId();
        QThread* releaser = QThread::create([pid] {
            QThread::msleep(500);
            ::kill(pid_t(pid), SIGKILL);
        });
        releaser->start();
        v.lk.SaveQuery("after waiting");
        releaser->wait();
        delete releaser;
    }
    EXPECT_EQ(v.Names(), (QStringList{"kept", "after waiting"}));
}

// A file size limit ends no program: the save and the cache report the
// system's reason, the files stay as they were.
TEST(FileFaults, FileSizeLimitIsReportedNotFatal)
{
    QTemporaryDir dir;
    QProcess* child = StartChild("FileFaultChild.DISABLED_UnderAFileSizeLimit",
                                 ChildEnvironment(dir.path()), [] {
                                     // As a program starts: the signal's default
                                     // action, whatever this process does with it.
                                     std::signal(SIGXFSZ, SIG_DFL);
                                 });
    EXPECT_CHILD_OK(FinishChild(child));
}

// A full disk is reported in the system's words, naming the file. The child
// mounts a small file system of its own in a mount namespace of its own.
TEST(FileFaults, FullDiskIsReportedInTheSystemsWords)
{
    // The bare write helper on a device that is always full.
    {
        QFile full("/dev/full");
        ASSERT_TRUE(full.open(QIODevice::WriteOnly));
        try {
            BinaryFile::WriteAt(full, 0, QByteArray(100, 'x'));
            ADD_FAILURE() << "no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.Message(), "Write error: file \"/dev/full\". " + SystemWords(ENOSPC));
        }
    }

    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    QProcess* child = StartChild(
        "FileFaultChild.DISABLED_OnAFullDisk", ChildEnvironment(dir.path()), [mountPoint, uid, gid] {
            auto writeFile = [](const char* path, const char* text) {
                const int fd = ::open(path, O_WRONLY);
                if (fd < 0)
                    return false;
                const bool ok = ::write(fd, text, std::strlen(text)) == ssize_t(std::strlen(text));
                ::close(fd);
                return ok;
            };
            if (::unshare(CLONE_NEWNS) != 0) {
                // Without the right to mount: a user namespace of its own.
                if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                    ::_exit(NoMountExitCode);
                char map[64];
                writeFile("/proc/self/setgroups", "deny");
                std::snprintf(map, sizeof map, "%u %u 1", unsigned(uid), unsigned(uid));
                if (!writeFile("/proc/self/uid_map", map))
                    ::_exit(NoMountExitCode);
                std::snprintf(map, sizeof map, "%u %u 1", unsigned(gid), unsigned(gid));
                writeFile("/proc/self/gid_map", map);
            }
            if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
                ::_exit(NoMountExitCode);
        });
    const ChildResult result = FinishChild(child);
    if (result.exitCode == NoMountExitCode && !result.crashed) {
        std::fprintf(stderr, "note: no file system of its own could be mounted here; only the "
                             "write helper was checked on /dev/full\n");
        return;
    }
    EXPECT_CHILD_OK(result);
}
