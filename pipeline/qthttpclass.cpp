#include "pipeline/qthttpclass.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

QtHttpClass::QtHttpClass(QObject *parent)
    : QObject(parent)
    , manager(new QNetworkAccessManager(this))
{
    connect(manager, &QNetworkAccessManager::finished, this, &QtHttpClass::sltReplyFinished);
}

QtHttpClass::~QtHttpClass()
{
    delete manager;
}

void QtHttpClass::httpGet(int id, const QString &url)
{
    requestId = id;
    QNetworkRequest request {QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(transferTimeoutMs);
    manager->get(request);
}

void QtHttpClass::httpPost(int id, const QString &url, const QByteArray &body)
{
    requestId = id;
    QNetworkRequest request {QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setTransferTimeout(transferTimeoutMs);
    manager->post(request, body);
}

void QtHttpClass::sltReplyFinished(QNetworkReply *reply)
{
    const QByteArray body = reply->readAll();
    if (reply->error() == QNetworkReply::NoError)
        emit sigReplyFinish(requestId, body);
    else
        emit sigReplyError(requestId, body);
    reply->deleteLater();
}
