#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "audiotestutil.h"
#include "common/scriptedserver.h"
#include "common/windowfixture.h"
#include "ui/widget.h"

namespace ConversionTest {

// Every text the start button shows during a run, in order.
class ButtonTexts : public QObject
{
    Q_OBJECT
public:
    explicit ButtonTexts(Widget *widget);
    QStringList texts;
    // The texts with runs of the same text folded into one.
    QStringList distinct() const;
};

// The shared window fixture speaking to a scripted service, with a token already held (so no token
// exchange unless a test clears it) and short retry pauses.
struct Fixture : WindowFixture
{
    // appFolder: an application folder that outlives the fixture (a resumed run's); a fresh one otherwise.
    explicit Fixture(const QString &appFolder = QString());
    ~Fixture();
    // Speaks to our own speech service at hostAndPort with the test credentials; no token is held yet.
    void useSpeechService(const QString &hostAndPort);
    // Puts a task at the head of the list as the upload button does.
    void addTask(const QString &path);
    QString tmpFolder() const;
    QStringList segmentFiles() const; // the run's folder under myTmpWAVFiles, in index order
    QStringList tmpFilesLeft() const; // every file under myTmpWAVFiles, its subfolders included
    bool idle() const;

    QTemporaryDir media;
    ScriptedServer server;
};

} // namespace ConversionTest
