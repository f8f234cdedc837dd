#include "ui/tasks/speakerchoice.h"

#include "pipeline/runtexts.h"
#include "ui/theme.h"

#include <QAbstractItemView>
#include <QSettings>

namespace {
const QString settingsKey = QStringLiteral("speakers");
}

SpeakerChoice::SpeakerChoice(const QString &settingsPath, QWidget *parent)
    : QComboBox(parent)
    , settingsPath(settingsPath)
{
    setStyleSheet(QString::fromUtf8(Theme::comboBox));
    addItem(tr("不区分说话人"), -1);
    addItem(tr("自动区分说话人"), 0);
    for (int count = 2; count <= mostSpeakers; ++count)
        addItem(tr("%1 位说话人").arg(count), count);
    setToolTip(tr("区分说话人：文档按说话人分段，每段以说话人的名称开头"));
    setAccessibleName(tr("区分说话人"));
    view()->setAccessibleName(accessibleName());
    bool read = false;
    const int saved = QSettings(settingsPath, QSettings::IniFormat).value(settingsKey).toInt(&read);
    setSpeakers(read ? saved : -1);
    connect(this, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this] { QSettings(this->settingsPath, QSettings::IniFormat).setValue(settingsKey, speakers()); });
}

int SpeakerChoice::speakers() const
{
    return currentData().toInt();
}

void SpeakerChoice::setSpeakers(int speakers)
{
    const int index = findData(speakers);
    if (index >= 0)
        setCurrentIndex(index);
}

void SpeakerChoice::applyTo(ConversionEngine::Options *options) const
{
    options->speakers = speakers();
    options->speakerLabels = RunTexts::speakerLabels();
}
