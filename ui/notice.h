#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Every modal question the window asks goes through here, so tests can answer instead of a person.
namespace Notice {

// Modal information box titled "提示", one OK button, no default button; detail, when given, is shown
// below the text (the file a failure concerns).
void information(QWidget *parent, const QString &text, const QString &detail = QString());
// The detail of the last information box, shown or answered by the test hook.
QString lastInformationDetail();

// Modal question box; returns the button pressed.
QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// text as a tooltip that wraps at the toolkit's width (about 80 characters), its line breaks kept: a plain
// tooltip is one line however long, which runs off a narrow or scaled screen.
QString wrappingToolTip(const QString &text);

// Test hook: when set, no box is shown. The hook receives the text and returns the button to answer
// with (ignored for information boxes).
using Hook = std::function<QMessageBox::StandardButton(const QString &text)>;
void setTestHook(Hook hook);

// Test hook for file dialogs: the next dialog returns these paths at once without showing
// (an empty list means "cancelled"). Consumed by one dialog.
void setNextFileNames(const QStringList &paths);
bool takeNextFileNames(QStringList *paths);

// What the last file dialog was asked to show, for tests that check the proposal.
struct FileDialogRequest
{
    QString caption;
    QString directory;
    QString filter;
};
FileDialogRequest lastFileDialogRequest();

// QFileDialog::getOpenFileNames / getSaveFileName, answered by setNextFileNames when a test set it.
QStringList getOpenFileNames(QWidget *parent, const QString &caption, const QString &directory, const QString &filter);
QString getSaveFileName(QWidget *parent, const QString &caption, const QString &directory, const QString &filter);

} // namespace Notice
