#include "pipeline/networkfailure.h"

#include "pipeline/speechprotocol.h"

#include <QCoreApplication>
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
        return QCoreApplication::translate("NetworkFailure", "签发它的机构不受信任");
    case QSslError::HostNameMismatch:
        return QCoreApplication::translate("NetworkFailure", "证书不属于这个主机名");
    case QSslError::CertificateExpired:
        return QCoreApplication::translate("NetworkFailure", "证书已过期");
    case QSslError::CertificateNotYetValid:
        return QCoreApplication::translate("NetworkFailure", "证书尚未生效");
    case QSslError::CertificateRevoked:
        return QCoreApplication::translate("NetworkFailure", "证书已被吊销");
    default:
        return libraryText;
    }
}

} // namespace

QString networkFailureMessage(int id, const NetworkFailure &failure)
{
    const QString nothingSent = QCoreApplication::translate("NetworkFailure", "连接已中断，未发送任何音频或凭据。");
    if (failure.tlsUnavailable)
        return QCoreApplication::translate(
            "NetworkFailure", "无法与语音服务器 %1 建立加密连接：本机缺少 OpenSSL 库（libssl），请安装后再试。")
            .arg(failure.host);
    if (!failure.unusableCaFile.isEmpty())
        return QCoreApplication::translate(
                   "NetworkFailure", "无法验证语音服务器 %1 的证书：部署配置中的证书文件 %2 无法读取或不含证书。")
                   .arg(failure.host, failure.unusableCaFile)
            + nothingSent;
    if (failure.tls && !failure.certificateErrors.isEmpty())
        return QCoreApplication::translate("NetworkFailure", "无法验证语音服务器 %1 的证书（%2）。")
                   .arg(failure.host,
                       certificateProblem(failure.certificateErrors.first(), failure.certificateErrorText))
            + nothingSent
            + QCoreApplication::translate("NetworkFailure", "请检查部署配置中的服务器地址和证书文件（ca_file）。");
    if (failure.tls && failure.error == QNetworkReply::SslHandshakeFailedError)
        return QCoreApplication::translate(
                   "NetworkFailure", "无法与语音服务器 %1 建立加密连接，该端口可能不支持 https。")
                   .arg(failure.host)
            + nothingSent + QCoreApplication::translate("NetworkFailure", "请检查部署配置中的服务器地址。");
    const bool closedUnanswered
        = failure.error == QNetworkReply::RemoteHostClosedError || failure.error == QNetworkReply::ProtocolFailure;
    if (!failure.tls && id == TokenRequest && closedUnanswered)
        return QCoreApplication::translate("NetworkFailure",
            "语音服务器 %1 未作应答就断开了连接。如果它只接受加密连接，请在部署配置中把地址写成 "
            "https://%1。")
            .arg(failure.host);
    if (id != TokenRequest && failure.timedOut)
        return QCoreApplication::translate(
            "NetworkFailure", "语音服务器 %1 在 %2 秒内没有响应，转换已停止，请稍后再试！")
            .arg(failure.host)
            .arg(failure.timeoutSeconds());
    if (id == TokenRequest)
        return QCoreApplication::translate("NetworkFailure", "获取访问令牌失败，请检查网络连接是否断开！");
    return QCoreApplication::translate("NetworkFailure", "转换失败，请检查网络信号是否充足！");
}

} // namespace SpeechProtocol
