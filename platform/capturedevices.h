#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Sound-capture devices as the platform offers them. A name alone does not say how to open it: each
// belongs to a realm, and the realm names double as the ffmpeg input format that opens the device.
namespace CaptureDevices {

inline const QString pulseRealm = QStringLiteral("pulse");
inline const QString alsaRealm = QStringLiteral("alsa");
inline const QString directShowRealm = QStringLiteral("dshow");

struct Device
{
    QString name;
    QString realm;
};

// PulseAudio's sources while a PulseAudio server answers (what the user sees in the sound settings),
// otherwise the ALSA names; DirectShow's on Windows. Platform order, nothing filtered by name.
QList<Device> available();

// The capture sources in `pactl --format=json list sources` output, monitors of sinks left out.
// Anything that is not such a list gives no device.
QList<Device> parsePulseSources(const QByteArray &json);

// The realm a name nobody listed is opened with.
QString fallbackRealm();

// The ffmpeg input options that open the device, one list element per argument.
QStringList inputArguments(const Device &device);

} // namespace CaptureDevices
