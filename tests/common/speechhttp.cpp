#include "common/speechhttp.h"

#include "common/speechtestutil.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace SpeechTestUtil {

QJsonObject HttpAnswer::json() const
{
    return QJsonDocument::fromJson(body).object();
}

HttpAnswer exchange(QNetworkAccessManager &network, const QString &url, const QByteArray *postBody, int timeoutMs)
{
    QNetworkRequest request {QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    std::unique_ptr<QNetworkReply> reply(postBody ? network.post(request, *postBody) : network.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    HttpAnswer answer;
    if (!reply->isFinished() && !finished.wait(timeoutMs))
        return answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    return answer;
}

QString credentialsQuery(const QString &id, const QString &secret)
{
    return QStringLiteral("grant_type=client_credentials&client_id=%1&client_secret=%2").arg(id, secret);
}

QString tokenUrl(const QString &hostAndPort, const QString &query)
{
    return QStringLiteral("http://%1/oauth/2.0/token?%2").arg(hostAndPort, query);
}

QString fetchToken(QNetworkAccessManager &network, const QString &hostAndPort)
{
    return exchange(network, tokenUrl(hostAndPort, credentialsQuery(testClientId(), testClientSecret())))
        .json()
        .value(QStringLiteral("access_token"))
        .toString();
}

QString fetchToken(QNetworkAccessManager &network, const SpeechServiceProcess &service)
{
    return fetchToken(network, service.hostAndPort());
}

QString recognitionUrl(const QString &hostAndPort)
{
    return QStringLiteral("http://%1/server_api").arg(hostAndPort);
}

bool waitUntilHealthy(QNetworkAccessManager &network, const QString &hostAndPort, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (exchange(network, QStringLiteral("http://%1/healthz").arg(hostAndPort), nullptr, 5000).status == 200)
            return true;
        QTest::qWait(100);
    }
    return false;
}

QJsonObject requestObject(const QString &token, const QByteArray &wav, int devPid)
{
    return QJsonObject {{"format", "wav"}, {"rate", 16000}, {"dev_pid", devPid}, {"channel", 1}, {"token", token},
        {"cuid", "test"}, {"len", wav.size()}, {"speech", QString::fromLatin1(wav.toBase64())}};
}

QByteArray requestBody(const QString &token, const QByteArray &wav)
{
    return QJsonDocument(requestObject(token, wav)).toJson();
}

} // namespace SpeechTestUtil
