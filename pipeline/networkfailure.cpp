#include "pipeline/networkfailure.h"

#include "pipeline/speechprotocol.h"

#include <QNetworkReply>
#include <QSslError>

namespace SpeechProtocol {

namespace {

QString certificateProblem(int error, const QString &libraryText)
{
    switch (error) {
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return QStringLiteral("签发它的机构不受信任");
    case QSslError::HostNameMismatch:
        return QStringLiteral("证书不属于这个主机名");
    case QSslError::CertificateExpired:
        return QStringLiteral("证书已过期");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("证书尚未生效");
    case QSslError::CertificateRevoked:
        return QStringLiteral("证书已被吊销");
    default:
        return libraryText;
    }
}

} // namespace

QString networkFailureMessage(int id, const NetworkFailure &failure)
{
    const QString nothingSent = QStringLiteral("连接已中断，未发送任何音频或凭据。");
    if (failure.tlsUnavailable)
        return QStringLiteral("无法与语音服务器 %1 建立加密连接：本机缺少 OpenSSL 库（libssl），请安装后再试。")
            .arg(failure.host);
    if (!failure.unusableCaFile.isEmpty())
        return QStringLiteral("无法验证语音服务器 %1 的证书：部署配置中的证书文件 %2 无法读取或不含证书。")
                   .arg(failure.host, failure.unusableCaFile)
            + nothingSent;
    if (failure.tls && !failure.certificateErrors.isEmpty())
        return QStringLiteral("无法验证语音服务器 %1 的证书（%2）。")
                   .arg(failure.host,
                       certificateProblem(failure.certificateErrors.first(), failure.certificateErrorText))
            + nothingSent + QStringLiteral("请检查部署配置中的服务器地址和证书文件（ca_file）。");
    if (failure.tls && failure.error == QNetworkReply::SslHandshakeFailedError)
        return QStringLiteral("无法与语音服务器 %1 建立加密连接，该端口可能不支持 https。").arg(failure.host)
            + nothingSent + QStringLiteral("请检查部署配置中的服务器地址。");
    const bool closedUnanswered
        = failure.error == QNetworkReply::RemoteHostClosedError || failure.error == QNetworkReply::ProtocolFailure;
    if (!failure.tls && id == TokenRequest && closedUnanswered)
        return QStringLiteral("语音服务器 %1 未作应答就断开了连接。如果它只接受加密连接，请在部署配置中把地址写成 "
                              "https://%1。")
            .arg(failure.host);
    if (id != TokenRequest && failure.timedOut)
        return QStringLiteral("语音服务器 %1 在 %2 秒内没有响应，转换已停止，请稍后再试！")
            .arg(failure.host)
            .arg(failure.timeoutSeconds());
    if (id == TokenRequest)
        return QStringLiteral("获取访问令牌失败，请检查网络连接是否断开！");
    return QStringLiteral("转换失败，请检查网络信号是否充足！");
}

} // namespace SpeechProtocol
