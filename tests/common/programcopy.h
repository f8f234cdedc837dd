#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The real program in a folder of its own (a hard link, or a copy, of the build's executable), with a
// deployment file beside it that points it at a test's service: that folder is its application and data
// folder. It runs as over ssh: no DISPLAY, no WAYLAND_DISPLAY, QT_QPA_PLATFORM unset.
class ProgramCopy
{
public:
    // serviceHost: host:port of both endpoints, with the test credentials; parallelRequests as in the file.
    explicit ProgramCopy(const QString &serviceHost, int parallelRequests = 1);
    bool isValid() const { return valid; }
    QString path() const { return folder.path(); }
    QString filePath(const QString &relative) const { return folder.filePath(relative); }

    // Runs it under this LANG, with no LANGUAGE, LC_ALL or LC_MESSAGES to outvote it; empty keeps the test's own.
    void setLang(const QString &value) { lang = value; }
    // Sets a variable of its environment (after the display's are removed).
    void setVariable(const QString &name, const QString &value) { variables.insert(name, value); }
    // Puts the build's quillora-speechd beside it, for runs that start the service themselves.
    bool addSpeechService() const;

    // Starts the program with these arguments; the caller waits for it.
    void start(QProcess &process, const QStringList &arguments) const;
    struct Result
    {
        int exitCode = -1; // -1 when it crashed or did not end in time
        QString out;
        QString err;
    };
    Result run(const QStringList &arguments, int timeoutMs = 300000) const;

private:
    QTemporaryDir folder;
    QString lang;
    QProcessEnvironment variables;
    bool valid = false;
};
