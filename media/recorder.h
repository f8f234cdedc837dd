#pragma once

#include "platform/capturedevices.h"

#include <QObject>
#include <QString>

class QProcess;
class QTimer;

// One recording at a time: ffmpeg capturing a device into a new file of the recordings folder, and the
// clock that counts it. Owns its process, its timer and the file name; reports only through signals.
class Recorder : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Recorder)

public:
    explicit Recorder(QObject *parent = nullptr);

    // Starts recording into dataDir/myWAVFiles/<start time>.wav: started(), or failed() when that file
    // already exists. A missing ffmpeg is not noticed here: the stop finds no file.
    void start(const CaptureDevices::Device &device, const QString &dataDir);
    // Asks ffmpeg to finish the file and waits for it (blocking, bounded), then stops the clock:
    // finished(path) when the file exists, failed() otherwise.
    void stop();
    // Whole seconds of wall-clock time since the clock started.
    int elapsedSeconds() const;

    QProcess *recordProcess() const { return process; }
    QTimer *recordTimer() const { return clock; } // ticks every 500 ms while recording
    QString recordFilePath() const { return filePath; } // the current recording, or the last one

signals:
    void started();
    void finished(const QString &path);
    void failed(const QString &message);

private:
    QProcess *process = nullptr;
    QTimer *clock = nullptr;
    qint64 recordStartMs = 0; // milliseconds since the epoch when the clock started
    QString filePath;
};
