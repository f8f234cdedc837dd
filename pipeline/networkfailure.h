#pragma once

#include <QList>
#include <QString>

// What went wrong with the request that sigReplyError reports.
struct NetworkFailure
{
    int error = 0; // QNetworkReply::NetworkError
    bool tls = false; // an https request
    QString host; // host[:port] the request went to
    QList<int> certificateErrors; // QSslError::SslError: why the server's certificate was not trusted
    QString certificateErrorText; // the first of them in the TLS library's words
    QString unusableCaFile; // the trusted-authorities file that gave no certificate, if any
    bool tlsUnavailable = false; // no TLS library could be loaded
    bool timedOut = false; // no progress within the request's bound
    int timeoutMs = 0; // that bound

    int timeoutSeconds() const { return (timeoutMs + 999) / 1000; }
};

namespace SpeechProtocol {

// What the user is told when the token or a recognition request failed on the network: a server whose
// certificate is not trusted, or a scheme that does not match what the port speaks, is named as such.
QString networkFailureMessage(int id, const NetworkFailure &failure);

} // namespace SpeechProtocol
