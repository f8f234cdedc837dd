#include "ui/notice.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QTextDocument>

#include <optional>

namespace {
Notice::Hook &hook()
{
    static Notice::Hook instance;
    return instance;
}

std::optional<QStringList> &nextFileNames()
{
    static std::optional<QStringList> instance;
    return instance;
}

QString &lastDetail()
{
    static QString instance;
    return instance;
}

Notice::FileDialogRequest &lastRequest()
{
    static Notice::FileDialogRequest instance;
    return instance;
}
} // namespace

namespace Notice {

void information(QWidget *parent, const QString &text, const QString &detail)
{
    lastDetail() = detail;
    if (hook()) {
        hook()(text);
        return;
    }
    if (detail.isEmpty()) {
        QMessageBox::information(
            parent, QCoreApplication::translate("Notice", "提示"), text, QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    QMessageBox box(
        QMessageBox::Information, QCoreApplication::translate("Notice", "提示"), text, QMessageBox::Ok, parent);
    box.setInformativeText(detail);
    box.exec();
}

QString lastInformationDetail()
{
    return lastDetail();
}

QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    if (hook())
        return hook()(text);
    return QMessageBox::question(parent, title, text, buttons, defaultButton);
}

QString wrappingToolTip(const QString &text)
{
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

void setTestHook(Hook h)
{
    hook() = std::move(h);
}

void setNextFileNames(const QStringList &paths)
{
    nextFileNames() = paths;
}

bool takeNextFileNames(QStringList *paths)
{
    if (!nextFileNames())
        return false;
    *paths = *nextFileNames();
    nextFileNames().reset();
    return true;
}

FileDialogRequest lastFileDialogRequest()
{
    return lastRequest();
}

QStringList getOpenFileNames(QWidget *parent, const QString &caption, const QString &directory, const QString &filter)
{
    lastRequest() = {caption, directory, filter};
    QStringList paths;
    if (takeNextFileNames(&paths))
        return paths;
    return QFileDialog::getOpenFileNames(parent, caption, directory, filter);
}

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &directory, const QString &filter)
{
    lastRequest() = {caption, directory, filter};
    QStringList paths;
    if (takeNextFileNames(&paths))
        return paths.value(0);
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}

} // namespace Notice
