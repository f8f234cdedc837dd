#pragma once

#include "app/appstate.h"
#include "common/appfolders.h"
#include "library/myinput.h"
#include "ui/notice.h"
#include "ui/widget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

// A main window over a real temporary application folder. Message boxes are answered by `answer`
// and their texts collected in `notices`.
struct LibraryFixture
{
    QTemporaryDir dir;
    std::unique_ptr<Widget> window;
    QStringList notices;
    QMessageBox::StandardButton answer = QMessageBox::Yes;

    LibraryFixture()
    {
        Notice::setTestHook([this](const QString &text) {
            notices << text;
            return answer;
        });
    }
    ~LibraryFixture()
    {
        window.reset();
        Notice::setTestHook({});
        Notice::setNextFileNames({});
        QStringList unused;
        Notice::takeNextFileNames(&unused);
    }

    QString path(const QString &relative) const { return dir.path() + QLatin1Char('/') + relative; }

    bool write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QByteArray read(const QString &relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    Widget *start()
    {
        useAppFolder(dir.path());
        window = std::make_unique<Widget>();
        return window.get();
    }
};

inline QStringList itemTexts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

enum class RenameAnswer { Ok, CloseButton, Escape };

// Answers the next rename dialog as a person would: reads the offered name into *offered, types
// text, then presses OK, the close button or Escape.
inline void answerRenameDialog(const QString &text, RenameAnswer answer, QString *offered)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, text, answer, offered] {
        auto *input = qobject_cast<MyInput *>(QApplication::activeModalWidget());
        if (!input)
            return;
        poll->stop();
        poll->deleteLater();
        *offered = input->nameEdit->text();
        input->nameEdit->setText(text);
        if (answer == RenameAnswer::Ok)
            input->okButton->click();
        else if (answer == RenameAnswer::CloseButton)
            input->closeButton->click();
        else
            QTest::keyClick(input, Qt::Key_Escape);
    });
    poll->start(10);
}
