#include "app/translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

static void registerTranslations()
{
    Q_INIT_RESOURCE(translations);
}

namespace Translation {

namespace {

std::unique_ptr<QTranslator> &ours()
{
    static std::unique_ptr<QTranslator> instance;
    return instance;
}

std::unique_ptr<QTranslator> &qts()
{
    static std::unique_ptr<QTranslator> instance;
    return instance;
}

} // namespace

bool keepsSourceTexts(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return false;
    return QLocale(uiLanguages.first()).language() == QLocale::Chinese;
}

namespace {
void registerOnce()
{
    static const bool registered = (registerTranslations(), true);
    Q_UNUSED(registered);
}
} // namespace

bool install(const QLocale &locale)
{
    registerOnce();
    uninstall();
    const bool english = !keepsSourceTexts(locale.uiLanguages());
    if (english) {
        ours() = std::make_unique<QTranslator>();
        if (ours()->load(QStringLiteral(":/translations/quillora_en.qm")))
            QCoreApplication::installTranslator(ours().get());
        else
            ours().reset();
    } else {
        // Qt's own texts are English already; only a Chinese user needs them translated.
        qts() = std::make_unique<QTranslator>();
        if (qts()->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qts().get());
        else
            qts().reset();
    }
    return ours() != nullptr;
}

void uninstall()
{
    for (std::unique_ptr<QTranslator> *translator : {&ours(), &qts()}) {
        if (*translator)
            QCoreApplication::removeTranslator(translator->get());
        translator->reset();
    }
}

QString early(const char *context, const char *source, const QLocale &locale)
{
    registerOnce();
    QTranslator english;
    if (!keepsSourceTexts(locale.uiLanguages()) && english.load(QStringLiteral(":/translations/quillora_en.qm"))) {
        const QString text = english.translate(context, source);
        if (!text.isEmpty())
            return text;
    }
    return QString::fromUtf8(source);
}

} // namespace Translation
