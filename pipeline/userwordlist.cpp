#include "pipeline/userwordlist.h"

#include "library/atomicfile.h"
#include "pipeline/datapaths.h"
#include "pipeline/userwordrules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTextCodec>

namespace UserWordList {

namespace {

bool hasLetter(const QString &text)
{
    for (const QChar c : text) {
        if (c.isLetter())
            return true;
    }
    return false;
}

// Upper case phones without stress digits; empty when one is not a model phone or there are too many.
QString normalPhones(const QString &phones)
{
    QStringList normal;
    for (QString phone : phones.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        phone.remove(QRegularExpression(QStringLiteral("[0-9]")));
        phone = phone.toUpper();
        bool known = false;
        for (const char *modelPhone : UserWordRules::phones)
            known = known || phone == QLatin1String(modelPhone);
        if (!known || size_t(normal.size()) >= UserWordRules::maxPhones)
            return QString();
        normal << phone;
    }
    return normal.join(QLatin1Char(' '));
}

} // namespace

QString storedPath(const QString &dataDir)
{
    return DataPaths::own(dataDir) + QStringLiteral("/words.txt");
}

Parsed parse(const QString &text)
{
    Parsed parsed;
    QSet<QString> seen;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        Problem problem;
        problem.line = i + 1;
        problem.text = line;
        const int equals = line.indexOf(QLatin1Char('='));
        UserWordEntry entry;
        entry.text = (equals < 0 ? line : line.left(equals)).simplified();
        const QString phones = equals < 0 ? QString() : line.mid(equals + 1).trimmed();
        if (!hasLetter(entry.text)) {
            problem.kind = Problem::NoLetter;
        } else if (size_t(entry.text.toUcs4().size()) > UserWordRules::maxTextCharacters) {
            problem.kind = Problem::TooLong;
        } else if (!phones.isEmpty() && (entry.phones = normalPhones(phones)).isEmpty()) {
            problem.kind = Problem::BadPhones;
        } else if (size_t(parsed.entries.size()) >= UserWordRules::maxEntries) {
            problem.kind = Problem::TooMany;
        } else {
            if (!seen.contains(entry.text + QLatin1Char('=') + entry.phones)) {
                seen.insert(entry.text + QLatin1Char('=') + entry.phones);
                parsed.entries << entry;
            }
            continue;
        }
        parsed.problems << problem;
    }
    return parsed;
}

QString format(const QVector<UserWordEntry> &entries)
{
    QString text = QStringLiteral("# Quillora: one word or phrase a line; a pronunciation (CMU phones) after \"=\"\n");
    for (const UserWordEntry &entry : entries)
        text += entry.text + (entry.phones.isEmpty() ? QString() : QStringLiteral(" = ") + entry.phones)
            + QLatin1Char('\n');
    return text;
}

ReadResult read(const QString &path)
{
    ReadResult result;
    QFile file(path);
    if (!file.exists())
        return result;
    if (file.size() > maxFileBytes) {
        result.status = ReadResult::TooLarge;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = ReadResult::Unreadable;
        result.error = file.errorString();
        return result;
    }
    const QByteArray bytes = file.read(maxFileBytes + 1);
    if (bytes.size() > maxFileBytes) {
        result.status = ReadResult::TooLarge;
        return result;
    }
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || bytes.contains('\0')) {
        result.status = ReadResult::NotUtf8;
        return result;
    }
    result.status = ReadResult::Ok;
    result.parsed = parse(text);
    return result;
}

bool write(const QString &path, const QVector<UserWordEntry> &entries, QString *error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QCoreApplication::translate("UserWordList", "无法创建文件夹");
        return false;
    }
    return AtomicFile::write(path, format(entries).toUtf8(), error);
}

QStringList typedWords(const QString &before, const QString &after)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]+(?:['\u2019-][A-Za-z]+)*"));
    QSet<QString> old;
    for (auto it = word.globalMatch(before); it.hasNext();)
        old.insert(it.next().captured().toLower());
    QStringList typed;
    for (auto it = word.globalMatch(after); it.hasNext();) {
        const QString found = it.next().captured();
        const QString lower = found.toLower();
        if (found.size() < 2 || old.contains(lower))
            continue;
        old.insert(lower);
        typed << found;
    }
    return typed;
}

QStringList unknownWords(const QStringList &words, const QSet<QString> &dictionary, const QVector<UserWordEntry> &list)
{
    QSet<QString> listed;
    for (const UserWordEntry &entry : list)
        listed.insert(entry.text.toLower());
    QStringList unknown;
    for (const QString &word : words) {
        const QString lower = word.toLower();
        if (!dictionary.contains(QString(lower).replace(QChar(0x2019), QLatin1Char('\''))) && !listed.contains(lower))
            unknown << word;
    }
    return unknown;
}

QVector<UserWordEntry> withWords(QVector<UserWordEntry> list, const QStringList &words)
{
    QSet<QString> listed;
    for (const UserWordEntry &entry : list)
        listed.insert(entry.text.toLower());
    for (const QString &word : words) {
        if (!listed.contains(word.toLower())) {
            listed.insert(word.toLower());
            list << UserWordEntry {word, QString()};
        }
    }
    return list;
}

QSet<QString> dictionaryWords(const QByteArray &dictionary)
{
    QSet<QString> words;
    int start = 0;
    while (start < dictionary.size()) {
        int end = dictionary.indexOf('\n', start);
        if (end < 0)
            end = dictionary.size();
        int wordEnd = start;
        while (wordEnd < end && dictionary[wordEnd] != ' ' && dictionary[wordEnd] != '\t' && dictionary[wordEnd] != '(')
            ++wordEnd;
        if (wordEnd > start)
            words.insert(QString::fromUtf8(dictionary.constData() + start, wordEnd - start).toLower());
        start = end + 1;
    }
    return words;
}

QString describe(const Problem &problem)
{
    switch (problem.kind) {
    case Problem::NoLetter:
        return QCoreApplication::translate("UserWordList", "第 %1 行“%2”没有字母，不是词语，已跳过。")
            .arg(problem.line)
            .arg(problem.text);
    case Problem::TooLong:
        return QCoreApplication::translate("UserWordList", "第 %1 行“%2”超过 %3 个字符，已跳过。")
            .arg(problem.line)
            .arg(problem.text)
            .arg(UserWordRules::maxTextCharacters);
    case Problem::BadPhones:
        return QCoreApplication::translate(
            "UserWordList", "第 %1 行“%2”的读音不是英文模型的音素（如 K W IH L AO R AH），已跳过。")
            .arg(problem.line)
            .arg(problem.text);
    case Problem::TooMany:
        break;
    }
    return QCoreApplication::translate("UserWordList", "第 %1 行“%2”超出了 %3 个词语的上限，已跳过。")
        .arg(problem.line)
        .arg(problem.text)
        .arg(UserWordRules::maxEntries);
}

QString writeFailure(const QString &error)
{
    return QCoreApplication::translate("UserWordList", "词汇表保存失败（原来的词汇表未改动）：%1").arg(error);
}

QString describe(const ReadResult &result, const QString &path)
{
    switch (result.status) {
    case ReadResult::Unreadable:
        return QCoreApplication::translate("UserWordList", "无法读取词汇表“%1”：%2").arg(path, result.error);
    case ReadResult::TooLarge:
        return QCoreApplication::translate("UserWordList", "词汇表“%1”过大（超过 %2 KB），未读取。")
            .arg(path)
            .arg(maxFileBytes / 1024);
    case ReadResult::NotUtf8:
        return QCoreApplication::translate("UserWordList", "词汇表“%1”不是 UTF-8 文本，未读取。").arg(path);
    case ReadResult::Ok:
    case ReadResult::Missing:
        break;
    }
    return QString();
}

} // namespace UserWordList
