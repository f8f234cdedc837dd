#include "speechd/tokenkey.h"

#include "speechd/tokensigner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace speechd {

namespace {
// Keeps a path such as /dev/urandom from being read for ever.
const qint64 maximumKeyFileBytes = 64 * 1024;
} // namespace

bool readTokenKey(const std::string &path, std::string &key, std::string &error)
{
    key.clear();
    const QString name = QString::fromStdString(path);
    const QFileInfo info(name);
    if (path.empty() || !info.exists()) {
        error = "token key file " + path + " does not exist";
        return false;
    }
    QFile file(name);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        error = "token key file " + path + " cannot be read";
        return false;
    }
    const QByteArray bytes = file.read(maximumKeyFileBytes + 1);
    if (bytes.size() > maximumKeyFileBytes) {
        error = "token key file " + path + " is larger than " + std::to_string(maximumKeyFileBytes)
            + " bytes; it is not a key file";
        return false;
    }
    if (size_t(bytes.size()) < TokenSigner::minimumKeyBytes) {
        error = "token key file " + path + " holds " + std::to_string(bytes.size()) + " bytes; a key needs at least "
            + std::to_string(TokenSigner::minimumKeyBytes);
        return false;
    }
    key = bytes.toStdString();
    return true;
}

std::string randomTokenKey()
{
    std::string key(TokenSigner::minimumKeyBytes, '\0');
    if (!fillRandom(reinterpret_cast<unsigned char *>(&key[0]), key.size()))
        return std::string();
    return key;
}

std::string tokenKeyFileSetting(const QString &iniPath)
{
    if (!QFileInfo(iniPath).isReadable())
        return std::string();
    const QSettings ini(iniPath, QSettings::IniFormat);
    const QString path = ini.value(QStringLiteral("service/token_key_file")).toString();
    if (path.isEmpty())
        return std::string();
    return QDir::cleanPath(QFileInfo(iniPath).absoluteDir().absoluteFilePath(path)).toStdString();
}

} // namespace speechd
