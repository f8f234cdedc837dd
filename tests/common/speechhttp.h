#pragma once

// Plain HTTP exchanges with a speech service under test, outside the program's own client.
// Add tests/common/speechhttp.cpp (with speechtestutil.cpp) to a test's sources to use them.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class QNetworkAccessManager;

namespace SpeechTestUtil {

class SpeechServiceProcess;

struct HttpAnswer
{
    int status = 0; // 0: no answer in time
    QByteArray body;
    QJsonObject json() const;
};

// GET, or POST of postBody, in a real event loop; waits at most timeoutMs.
HttpAnswer exchange(
    QNetworkAccessManager &network, const QString &url, const QByteArray *postBody = nullptr, int timeoutMs = 120000);

QString credentialsQuery(const QString &id, const QString &secret);
QString tokenUrl(const QString &hostAndPort, const QString &query);
// A token from the service at hostAndPort for the test credentials; empty when none came.
QString fetchToken(QNetworkAccessManager &network, const QString &hostAndPort);
QString fetchToken(QNetworkAccessManager &network, const SpeechServiceProcess &service);
QString recognitionUrl(const QString &hostAndPort);
// Until GET /healthz answers 200 (every worker's model loaded); false when it did not within timeoutMs.
bool waitUntilHealthy(QNetworkAccessManager &network, const QString &hostAndPort, int timeoutMs = 60000);

// The recognition request as the program builds it, for a test to edit.
QJsonObject requestObject(const QString &token, const QByteArray &wav, int devPid = 1737);
QByteArray requestBody(const QString &token, const QByteArray &wav);

} // namespace SpeechTestUtil
