#pragma once

#include "pipeline/conversionengine.h"

#include <QComboBox>
#include <QString>

// Whether the next conversion tells the speakers apart, and how many there are: not at all (the first
// item), as many as the voices tell apart, or a count. Remembered in the window's settings file.
class SpeakerChoice : public QComboBox
{
    Q_OBJECT
    Q_DISABLE_COPY(SpeakerChoice)

public:
    SpeakerChoice(const QString &settingsPath, QWidget *parent);

    // As the engine takes it: -1 not asked, 0 as many as there are, N that many.
    int speakers() const;
    void setSpeakers(int speakers); // an item offered; anything else leaves the choice as it is
    // The count and the labels the documents get, in the language shown.
    void applyTo(ConversionEngine::Options *options) const;

    static constexpr int mostSpeakers = 6;

private:
    const QString settingsPath;
};
