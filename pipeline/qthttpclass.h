#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

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
};
