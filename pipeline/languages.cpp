#include "pipeline/languages.h"

#include <QCoreApplication>

namespace Languages {

namespace {

const Language *find(const QString &name)
{
    for (const Language &language : all()) {
        if (name.compare(language.code, Qt::CaseInsensitive) == 0 || name == language.text
            || name == QCoreApplication::translate("Language", language.text.toUtf8().constData()))
            return &language;
    }
    return nullptr;
}

} // namespace

const QVector<Language> &all()
{
    static const QVector<Language> table {
        {QStringLiteral("zh"), QString::fromUtf8(QT_TRANSLATE_NOOP("Language", "中文近场")), 1537},
        {QStringLiteral("zh-far"), QString::fromUtf8(QT_TRANSLATE_NOOP("Language", "中文远场")), 1936},
        {QStringLiteral("en"), QString::fromUtf8(QT_TRANSLATE_NOOP("Language", "英文")), 1737},
        {QStringLiteral("yue"), QString::fromUtf8(QT_TRANSLATE_NOOP("Language", "粤语")), 1637},
        {QStringLiteral("sichuan"), QString::fromUtf8(QT_TRANSLATE_NOOP("Language", "四川话")), 1837},
    };
    return table;
}

QString codeOf(const QString &name)
{
    const Language *language = find(name);
    return language ? language->code : QString();
}

QString textOf(const QString &name)
{
    const Language *language = find(name);
    return language ? language->text : QString();
}

int devPidOf(const QString &name)
{
    const Language *language = find(name);
    return language ? language->devPid : -1;
}

QString displayName(const QString &name)
{
    const Language *language = find(name);
    return language ? QCoreApplication::translate("Language", language->text.toUtf8().constData()) : name;
}

} // namespace Languages
