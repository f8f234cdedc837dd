#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>

#include "pipeline/networkfailure.h"

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// One GET or POST at a time, tagged with the caller's id; the finished reply comes back as a signal.
class QtHttpClass : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(QtHttpClass)

public:
    explicit QtHttpClass(QObject *parent = nullptr);
    ~QtHttpClass() override;

    void httpGet(int id, const QString &url);
    void httpPost(int id, const QString &url, const QByteArray &body);
    // https requests trust the certificate authorities of this PEM file instead of the system's store
    // (empty: the system's store). A file that gives none trusts no server at all.
    void setCaFile(const QString &path);
    // Valid while sigReplyError is being emitted.
    const NetworkFailure &lastFailure() const { return failure; }

    QNetworkAccessManager *manager = nullptr;
    int requestId = -1;
    // A request that makes no progress for this long ends with a network error. Decoding a full
    // segment takes seconds; minutes leave room for a busy service's queue without waiting for good.
    int transferTimeoutMs = 180000;

signals:
    void sigReplyFinish(int id, QByteArray body);
    void sigReplyError(int id, QByteArray body);

private slots:
    void sltReplyFinished(QNetworkReply *reply);

private:
    QNetworkRequest request(const QString &url) const;

    QString caFile;
    QList<QSslCertificate> caCertificates;
    NetworkFailure failure;
};
