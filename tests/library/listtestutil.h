#pragma once

// What the library tests share besides the window fixture: list texts and the rename dialog answered as a
// person would.

#include "common/windowfixture.h"
#include "ui/library/myinput.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

inline QStringList itemTexts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

inline QStringList comboTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
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
