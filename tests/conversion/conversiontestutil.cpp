#include "conversiontestutil.h"

#include "common/speechtestutil.h"
#include "pipeline/audioprep.h"

#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QPushButton>

namespace ConversionTest {

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
    const QString folder = window->conversionEngine->runFolder();
    for (int k = 0; !folder.isEmpty() && QFile::exists(AudioPrep::segmentPathIn(folder, k)); ++k)
        files << AudioPrep::segmentPathIn(folder, k);
    return files;
}

QStringList Fixture::tmpFilesLeft() const
{
    QStringList files;
    QDirIterator it(tmpFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

bool Fixture::idle() const
{
    return window->beginCoverBtn->isEnabled() && window->beginCoverBtn->text() == QStringLiteral("开始转换")
        && !window->stopCoverBtn->isEnabled();
}

} // namespace ConversionTest
