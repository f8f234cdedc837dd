#include "platform/processes.h"

#include <QProcess>
#include <QSocketNotifier>

#include <csignal>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int childNiceness = 5;

class ParentBoundProcess : public QProcess
{
public:
    explicit ParentBoundProcess(QObject *parent)
        : QProcess(parent)
        , parentPid(::getpid())
    { }

protected:
    // Runs in the child between fork and exec.
    void setupChildProcess() override
    {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The parent may have died before the request was made.
        if (::getppid() != parentPid)
            ::_exit(1);
        // A helper busy on every core must not keep the window's thread waiting for one.
        const int raised = ::nice(childNiceness);
        (void)raised;
    }

private:
    const pid_t parentPid;
};

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    const ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void)written;
}

} // namespace

void killRunningProcesses(const QList<QProcess *> &processes)
{
    for (QProcess *process : processes) {
        if (process && process->state() != QProcess::NotRunning)
            process->kill();
    }
}

QProcess *newChildEndingWithParent(QObject *parent)
{
    return new ParentBoundProcess(parent);
}

void watchTerminationSignals(QObject *context, std::function<void(int signalNumber)> onSignal)
{
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onSignal] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1)
            onSignal(int(byte));
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}
