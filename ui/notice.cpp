#include "ui/notice.h"

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
} // namespace

namespace Notice {

void information(QWidget *parent, const QString &text)
{
    if (hook()) {
        hook()(text);
        return;
    }
    QMessageBox::information(parent, QStringLiteral("提示"), text, QMessageBox::Ok, QMessageBox::NoButton);
}

QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    if (hook())
        return hook()(text);
    return QMessageBox::question(parent, title, text, buttons, defaultButton);
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

} // namespace Notice
