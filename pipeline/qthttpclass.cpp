#include "pipeline/qthttpclass.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QUrl>
#include <QVariant>

namespace {
const char *const idProperty = "quilloraRequestId";
const char *const certificateErrorsProperty = "quilloraCertificateErrors";
const char *const certificateTextProperty = "quilloraCertificateText";

QString hostAndPort(const QUrl &url)
{
    const QString host = url.host().contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(url.host()) : url.host();
    return url.port() < 0 ? host : QStringLiteral("%1:%2").arg(host).arg(url.port());
}
} // namespace

QtHttpClass::QtHttpClass(QObject *parent)
    : QObject(parent)
    , manager(new QNetworkAccessManager(this))
{
    connect(manager, &QNetworkAccessManager::finished, this, &QtHttpClass::sltReplyFinished);
    // Only recorded, never ignored: the handshake fails and nothing of the request is sent.
    connect(manager, &QNetworkAccessManager::sslErrors, this, [](QNetworkReply *reply, const QList<QSslError> &errors) {
        QVariantList codes;
        for (const QSslError &error : errors)
            codes << int(error.error());
        reply->setProperty(certificateErrorsProperty, codes);
        if (!errors.isEmpty())
            reply->setProperty(certificateTextProperty, errors.first().errorString());
    });
}

QtHttpClass::~QtHttpClass()
{
    delete manager;
}

void QtHttpClass::setCaFile(const QString &path)
{
    if (path == caFile)
        return;
    caFile = path;
    caCertificates = path.isEmpty() ? QList<QSslCertificate>() : QSslCertificate::fromPath(path, QSsl::Pem);
}

QNetworkRequest QtHttpClass::request(const QString &url) const
{
    QNetworkRequest request {QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(transferTimeoutMs);
    if (request.url().scheme() == QLatin1String("https")) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        tls.setProtocol(QSsl::TlsV1_2OrLater);
        if (!caFile.isEmpty())
            tls.setCaCertificates(caCertificates); // also stops the system's store from being loaded
        request.setSslConfiguration(tls);
    }
    return request;
}

void QtHttpClass::httpGet(int id, const QString &url)
{
    requestId = id;
    manager->get(request(url))->setProperty(idProperty, id);
}

void QtHttpClass::httpPost(int id, const QString &url, const QByteArray &body)
{
    requestId = id;
    QNetworkRequest post = request(url);
    post.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    manager->post(post, body)->setProperty(idProperty, id);
}

void QtHttpClass::sltReplyFinished(QNetworkReply *reply)
{
    // An aborted request (a stopped run) is closed already: there is nothing to read.
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    // Several requests may be in flight: each reply is reported with the id it was sent with.
    const QVariant sentWith = reply->property(idProperty);
    const int id = sentWith.isValid() ? sentWith.toInt() : requestId;
    if (reply->error() == QNetworkReply::NoError) {
        emit sigReplyFinish(id, body);
    } else {
        const QUrl url = reply->request().url();
        failure = NetworkFailure();
        failure.error = reply->error();
        failure.tls = url.scheme() == QLatin1String("https");
        failure.host = hostAndPort(url);
        for (const QVariant &code : reply->property(certificateErrorsProperty).toList())
            failure.certificateErrors << code.toInt();
        failure.certificateErrorText = reply->property(certificateTextProperty).toString();
        if (failure.tls && !caFile.isEmpty() && caCertificates.isEmpty())
            failure.unusableCaFile = caFile;
        failure.tlsUnavailable = failure.tls && !QSslSocket::supportsSsl();
        // The transfer timeout aborts a request; the caller drops the replies it aborted itself.
        failure.timedOut = failure.error == QNetworkReply::OperationCanceledError;
        failure.timeoutMs = transferTimeoutMs;
        emit sigReplyError(id, body);
    }
    reply->deleteLater();
}
