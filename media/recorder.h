#pragma once

#include "platform/capturedevices.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>

class QTimer;

// One recording at a time: ffmpeg capturing a device into a new file of the recordings folder, and the
// clock that counts it. Owns its process, its timer and the file name; reports only through signals.
class Recorder : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Recorder)

public:
    explicit Recorder(QObject *parent = nullptr);
    // A recording still running is finished as finishForClose() does.
    ~Recorder() override;

    // Starts recording into dataDir/myWAVFiles/<start time>.wav: started(), or failed() when that file
    // already exists or ffmpeg cannot be found.
    void start(const CaptureDevices::Device &device, const QString &dataDir);
    // Asks ffmpeg to finish the file and returns; once it has ended (ended by force when it takes too
    // long) the clock stops and finished(path) follows when the file holds audio, failed() otherwise.
    void stop();
    bool isStopping() const { return stopping; } // stop() was asked and its outcome is still to come
    // The same for a window that closes: a shorter wait, no signals; the file is left whole, or removed
    // when it holds no audio, and is listed at the next start.
    void finishForClose();
    bool isRecording() const;
    // From the next start: the file grows packet by packet, for a reader following it.
    void setFollowed(bool followed) { flushEachPacket = followed; }
    // Whole seconds the recording has run, from a monotonic clock started with ffmpeg: neither the
    // clock's ticks (held back by a modal box) nor a change of the wall clock can make it lag.
    int elapsedSeconds() const;

    QProcess *recordProcess() const { return process; }
    QTimer *recordTimer() const { return clock; } // ticks every 500 ms while recording
    QString recordFilePath() const { return filePath; } // the current recording, or the last one

signals:
    void started();
    // A recording that ended on its own with audio in it gives finished(path), then failed(message)
    // naming the cause and what was kept; one without audio gives failed(message) alone.
    void finished(const QString &path);
    void failed(const QString &message);

private:
    void onProcessEnded();
    // Ends ffmpeg and waits: "q", then terminate after waitMs, then kill. Its own end is not reported.
    void endProcess(int waitMs);
    void onStopDeadline(); // ffmpeg has not ended since stop(): terminate, then kill
    void completeStop(); // ffmpeg has ended after stop(): the outcome
    // Puts right the header of the file ffmpeg left; removes a file without audio. The audio kept.
    qint64 keepFile();

    QProcess *process = nullptr;
    QTimer *clock = nullptr;
    QElapsedTimer recordTime; // runs from ffmpeg's start
    QTimer *stopDeadline = nullptr; // bounds the wait for ffmpeg after stop()
    QString filePath;
    QString deviceName;
    QString ffmpegLog; // what the running ffmpeg printed, its last part
    bool flushEachPacket = false;
    bool ending = false; // this side is ending ffmpeg: its exit is expected
    bool stopping = false; // stop() waits for ffmpeg to end
    bool terminated = false; // ... and has asked it with SIGTERM
};
