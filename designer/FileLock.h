#pragma once
#include <QString>
#include <functional>
#include <memory>

class QFile;

// An advisory whole-file lock (flock) between programs that share a file,
// held from construction to destruction. A lock that another program holds
// is waited for a little while; then the file is reported busy.
class TFileLock {
public:
    enum Mode { Shared, Exclusive };

    // How long a busy file is waited for.
    static constexpr int WaitMilliseconds = 2000;

    // file is open. Raises EStreamError "The file \"%1\" is busy: another
    // program is using it. Try again in a moment." after the wait.
    TFileLock(QFile& file, Mode mode);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // Whether the locked file is still the one its name leads to: another
    // program may have removed or replaced it while this one waited.
    bool StillNamed() const;

    // Opens file with open and locks it. A file that another program removed
    // or replaced while this one waited is opened again (a few times at
    // most), so that the lock is on the file the name leads to.
    static std::unique_ptr<TFileLock> OpenLocked(QFile& file, Mode mode, const std::function<void(QFile&)>& open);

private:
    QFile& FFile;
    int FHandle;
};
