#pragma once

#include <QString>

// The folder a conversion run prepares its audio in: "run-<pid>-XXXXXX" under the temporary folder,
// locked for as long as the run lives and removed with it, so runs of several engines or processes
// never touch each other's files.
class RunFolder
{
public:
    explicit RunFolder(const QString &tmpFolder); // creates and locks the folder; see isValid()
    ~RunFolder(); // removes the folder with everything in it, then lets go of the lock
    RunFolder(const RunFolder &) = delete;
    RunFolder &operator=(const RunFolder &) = delete;

    bool isValid() const { return lockFd >= 0; } // false when the folder could not be made or locked
    QString path() const { return folder; }
    void clear(); // removes what the folder holds but its lock

    // Removes from tmpFolder what no living run owns: folders of runs whose owner has died, and the
    // loose files older versions left. A living run's folder is left alone.
    static void clearAbandoned(const QString &tmpFolder);
    // The lock in a run folder is held: by an open file of a living process (the system lets go of
    // it when the owner dies, however it dies).
    static bool ownedByLivingRun(const QString &folder);

private:
    QString folder;
    int lockFd = -1;
};
