#include "library/documenttext.h"

namespace DocumentText {

QString fromBytes(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

QByteArray toBytes(const QString &rawViewText)
{
    QString text = rawViewText;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.toLocal8Bit();
}

} // namespace DocumentText
