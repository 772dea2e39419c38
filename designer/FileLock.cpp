#include "designer/FileLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>

#include "core/Errors.h"

TFileLock::TFileLock(QFile& file, Mode mode)
    : FFile(file)
    , FHandle(file.handle())
{
    const int operation = (mode == Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(FHandle, operation) == 0)
            return;
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK)
            throw EStreamError(QStringLiteral("Cannot lock file \"%1\". %2")
                                   .arg(file.fileName(), QString::fromLocal8Bit(std::strerror(error))));
        if (waited.elapsed() >= WaitMilliseconds)
            throw EStreamError(QStringLiteral("The file \"%1\" is busy: another program is using "
                                              "it. Try again in a moment.")
                                   .arg(file.fileName()));
        QThread::msleep(20);
    }
}

TFileLock::~TFileLock()
{
    ::flock(FHandle, LOCK_UN);
}

bool TFileLock::StillNamed() const
{
    struct stat held, named;
    if (::fstat(FHandle, &held) != 0 || held.st_nlink == 0)
        return false;
    if (::stat(QFile::encodeName(FFile.fileName()).constData(), &named) != 0)
        return false;
    return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

std::unique_ptr<TFileLock> TFileLock::OpenLocked(QFile& file, Mode mode, const std::function<void(QFile&)>& open)
{
    for (int attempt = 0;; ++attempt) {
        open(file);
        auto lock = std::make_unique<TFileLock>(file, mode);
        if (attempt >= 3 || lock->StillNamed())
            return lock;
        lock.reset();
        file.close();
    }
}
