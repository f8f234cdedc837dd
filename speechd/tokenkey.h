#pragma once

#include <QString>

#include <string>

namespace speechd {

// The token key from a file, its bytes taken as they are (a trailing newline is part of the key).
// False with a message that names the file and the fault, never the key, when the file is missing,
// unreadable, shorter than TokenSigner::minimumKeyBytes or larger than a key file can sensibly be.
bool readTokenKey(const std::string &path, std::string &key, std::string &error);

// A random key for an instance given no key file: its tokens are valid at itself only. Empty if the
// system's random source fails.
std::string randomTokenKey();

// token_key_file under [service] of the ini file; a relative path is taken from the ini file's folder.
// Empty when the file or the key is absent.
std::string tokenKeyFileSetting(const QString &iniPath);

} // namespace speechd
