#pragma once

#include <QString>
#include <QStringList>

// Voice transforms in the form mllr_solve writes (one class, three streams of 13): a matrix of `scale`
// on the diagonal with small entries off it, a shift of `shift`, variance scales of `scale`.
inline QString voiceTransformText(double scale = 1.0, double shift = 0.0)
{
    QString text = QStringLiteral("1\n3\n");
    for (int s = 0; s < 3; ++s) {
        text += QStringLiteral("13\n");
        for (int r = 0; r < 15; ++r) {
            QStringList row;
            for (int c = 0; c < 13; ++c) {
                const double value = r == 13 ? shift + 0.01 * c : (r == c || r == 14) ? scale : 0.01 * (r - c);
                row << QString::number(value, 'f', 6);
            }
            text += row.join(QLatin1Char(' ')) + QStringLiteral(" \n");
        }
    }
    return text;
}
