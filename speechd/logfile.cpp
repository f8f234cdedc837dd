#include "speechd/logfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace speechd {

namespace {
std::mutex rotation;
std::string logPath;
long long logLimit = 0;

bool openOnStderr(const std::string &path, std::string &error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) {
        error = "cannot write the log file " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}
} // namespace

bool logToFile(const std::string &path, long long maxBytes, std::string &error)
{
    std::lock_guard<std::mutex> lock(rotation);
    std::fflush(stderr);
    if (!openOnStderr(path, error))
        return false;
    logPath = path;
    logLimit = maxBytes;
    return true;
}

void rotateLogIfFull()
{
    std::lock_guard<std::mutex> lock(rotation);
    struct stat status
    {
    };
    if (logPath.empty() || ::fstat(STDERR_FILENO, &status) != 0 || status.st_size < logLimit)
        return;
    std::fflush(stderr);
    std::string error;
    // Another instance appending to the same file may have begun a new one already: only that is opened.
    struct stat named
    {
    };
    if (::stat(logPath.c_str(), &named) == 0 && named.st_ino == status.st_ino && named.st_dev == status.st_dev)
        ::rename(logPath.c_str(), (logPath + ".1").c_str());
    openOnStderr(logPath, error);
}

} // namespace speechd
