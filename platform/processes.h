#pragma once

#include <QList>

#include <functional>

class QObject;
class QProcess;

// Ends by force, without waiting, each of these child processes that still runs. Only our own
// children are touched, never other programs' processes of the same name.
void killRunningProcesses(const QList<QProcess *> &processes);

// A process object whose child is ended (SIGTERM) by the system when this process dies, even by
// SIGKILL, instead of being left running without its parent. It runs a little nicer than we do, so a
// child busy on every core (the speech service decoding) leaves the window its share of the processor.
QProcess *newChildEndingWithParent(QObject *parent);

// SIGTERM, SIGINT and SIGHUP call onSignal with the signal's number on the event loop (once per signal
// received) instead of ending the process on the spot, so the program can close as its close button does.
void watchTerminationSignals(QObject *context, std::function<void(int signalNumber)> onSignal);
