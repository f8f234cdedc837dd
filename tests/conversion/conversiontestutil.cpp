#include "conversiontestutil.h"

#include "common/speechtestutil.h"
#include "pipeline/audioprep.h"

#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QtEndian>

namespace ConversionTest {

bool runFfmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ffmpeg"), QStringList {"-nostdin", "-loglevel", "error", "-y"} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeNoiseWav(const QString &path, qint64 samples)
{
    return runFfmpeg({"-f", "lavfi", "-i", "anoisesrc=sample_rate=16000:amplitude=0.3:seed=7", "-af",
        QStringLiteral("atrim=end_sample=%1").arg(samples), "-ac", "1", "-acodec", "pcm_s16le", path});
}

QByteArray wavData(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray all = file.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return QByteArray();
    int pos = 12;
    while (pos + 8 <= all.size()) {
        const QByteArray id = all.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + pos + 4);
        if (id == "data") {
            // A stream-written header may leave the size unset: the data runs to the end.
            if (size == 0 || size == 0xFFFFFFFFu || pos + 8 + qint64(size) > all.size())
                return all.mid(pos + 8);
            return all.mid(pos + 8, int(size));
        }
        pos += 8 + int(size) + int(size & 1);
    }
    return QByteArray();
}

ButtonTexts::ButtonTexts(Widget *widget)
{
    connect(widget, &Widget::startButtonTextChanged, this, [this](const QString &text) { texts << text; });
}

QStringList ButtonTexts::distinct() const
{
    QStringList folded;
    for (const QString &text : texts) {
        if (folded.isEmpty() || folded.last() != text)
            folded << text;
    }
    return folded;
}

Fixture::Fixture(const QString &appFolder)
    : WindowFixture(appFolder)
{
    answer = QMessageBox::Ok;
    start();
    window->testSeams.serviceHost = server.hostAndPort();
    window->accessToken = QStringLiteral("test-token");
    window->testSeams.retryPauseUnitMs = 20;
    window->testSeams.parallelRequests = 1; // one at a time unless a test asks for more
    // The scripted service listens on loopback, where only English is offered.
    window->languageBox->setCurrentText(QStringLiteral("英文"));
}

Fixture::~Fixture()
{
    // The window goes before the service it may still be talking to.
    window.reset();
}

void Fixture::useSpeechService(const QString &hostAndPort)
{
    window->accessToken.clear();
    window->testSeams.serviceHost = hostAndPort;
    window->testSeams.clientId = SpeechTestUtil::testClientId();
    window->testSeams.clientSecret = SpeechTestUtil::testClientSecret();
}

void Fixture::addTask(const QString &path)
{
    window->taskFiles.prepend(path);
    window->audioCombo->addItem(path.mid(path.lastIndexOf('/') + 1));
}

QString Fixture::tmpFolder() const
{
    return AppState::appDir + QStringLiteral("/myTmpWAVFiles");
}

QStringList Fixture::segmentFiles() const
{
    QStringList files;
    for (int k = 0; QFile::exists(AudioPrep::segmentPath(AppState::appDir, k)); ++k)
        files << AudioPrep::segmentPath(AppState::appDir, k);
    return files;
}

bool Fixture::idle() const
{
    return window->beginCoverBtn->isEnabled() && window->beginCoverBtn->text() == QStringLiteral("开始转换")
        && !window->stopCoverBtn->isEnabled();
}

} // namespace ConversionTest
