#include "pipeline/qthttpclass.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <QVariant>

namespace {
const char *const idProperty = "quilloraRequestId";
}

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
    manager->get(request)->setProperty(idProperty, id);
}

void QtHttpClass::httpPost(int id, const QString &url, const QByteArray &body)
{
    requestId = id;
    QNetworkRequest request {QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setTransferTimeout(transferTimeoutMs);
    manager->post(request, body)->setProperty(idProperty, id);
}

void QtHttpClass::sltReplyFinished(QNetworkReply *reply)
{
    // An aborted request (a stopped run) is closed already: there is nothing to read.
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    // Several requests may be in flight: each reply is reported with the id it was sent with.
    const QVariant sentWith = reply->property(idProperty);
    const int id = sentWith.isValid() ? sentWith.toInt() : requestId;
    if (reply->error() == QNetworkReply::NoError)
        emit sigReplyFinish(id, body);
    else
        emit sigReplyError(id, body);
    reply->deleteLater();
}
