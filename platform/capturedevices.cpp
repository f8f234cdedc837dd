#include "platform/capturedevices.h"

#include <QAudioDeviceInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace CaptureDevices {

namespace {

#ifndef Q_OS_WIN
// Empty when no PulseAudio server answers; the caller then falls back to ALSA.
bool queryPulseSources(QList<Device> *devices)
{
    QProcess pactl;
    pactl.start(
        QStringLiteral("pactl"), {QStringLiteral("--format=json"), QStringLiteral("list"), QStringLiteral("sources")});
    // A local server answers in milliseconds; the bound only guards start-up against a wedged one.
    if (!pactl.waitForFinished(3000)) {
        pactl.kill();
        pactl.waitForFinished(1000);
        return false;
    }
    if (pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0)
        return false;
    *devices = parsePulseSources(pactl.readAllStandardOutput());
    return true;
}
#endif

QList<Device> qtAudioInputs(const QString &wantedRealm, const QString &realm)
{
    QList<Device> devices;
    const QList<QAudioDeviceInfo> inputs = QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
    for (const QAudioDeviceInfo &info : inputs) {
        if (wantedRealm.isEmpty() || info.realm() == wantedRealm)
            devices.append({info.deviceName(), realm});
    }
    return devices;
}

} // namespace

QList<Device> available()
{
#ifdef Q_OS_WIN
    return qtAudioInputs(QString(), directShowRealm);
#else
    QList<Device> devices;
    if (queryPulseSources(&devices))
        return devices;
    // Qt merges ALSA's names with PulseAudio's; only ALSA's can be opened without a server.
    return qtAudioInputs(QStringLiteral("alsa"), alsaRealm);
#endif
}

QList<Device> parsePulseSources(const QByteArray &json)
{
    QList<Device> devices;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    const QJsonArray sources = document.array();
    for (const QJsonValue &value : sources) {
        const QJsonObject source = value.toObject();
        const QString name = source.value(QStringLiteral("name")).toString();
        if (name.isEmpty())
            continue;
        // A sink's monitor plays back what the machine outputs; it is not a microphone.
        const bool monitor = !source.value(QStringLiteral("monitor_source")).toString().isEmpty()
            || source.value(QStringLiteral("properties")).toObject().value(QStringLiteral("device.class")).toString()
                == QLatin1String("monitor");
        if (!monitor)
            devices.append({name, pulseRealm});
    }
    return devices;
}

QString fallbackRealm()
{
#ifdef Q_OS_WIN
    return directShowRealm;
#else
    return alsaRealm;
#endif
}

QStringList inputArguments(const Device &device)
{
    if (device.realm == directShowRealm)
        return {QStringLiteral("-f"), directShowRealm, QStringLiteral("-i"), QStringLiteral("audio=") + device.name};
    const QString format = device.realm == pulseRealm ? pulseRealm : alsaRealm;
    return {QStringLiteral("-f"), format, QStringLiteral("-i"), device.name};
}

} // namespace CaptureDevices
