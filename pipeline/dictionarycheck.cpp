#include "pipeline/dictionarycheck.h"

#include <QFile>
#include <QFutureWatcher>
#include <QtConcurrent>

DictionaryCheck::DictionaryCheck(const QString &dictionaryPath, QObject *parent)
    : QObject(parent)
    , path(dictionaryPath)
{ }

DictionaryCheck::~DictionaryCheck()
{
    if (loading)
        loading->waitForFinished(); // the reading thread holds nothing of ours, but must not outlive the process
}

QString DictionaryCheck::installedDictionary()
{
    return QString::fromUtf8(QUILLORA_MODEL_DIR) + QStringLiteral("/en-us/cmudict-en-us.dict");
}

void DictionaryCheck::check(const QStringList &words, const QVector<UserWordEntry> &list)
{
    waitingWords = words;
    waitingList = list;
    if (loaded) {
        answer();
        return;
    }
    if (loading)
        return;
    loading = new QFutureWatcher<QSet<QString>>(this);
    connect(loading, &QFutureWatcherBase::finished, this, [this] {
        dictionary = loading->result();
        loaded = true;
        loading->deleteLater();
        loading = nullptr;
        answer();
    });
    const QString file = path;
    loading->setFuture(QtConcurrent::run([file] {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? UserWordList::dictionaryWords(in.readAll()) : QSet<QString>();
    }));
}

void DictionaryCheck::answer()
{
    const QStringList words = waitingWords;
    waitingWords.clear();
    if (dictionary.isEmpty() || words.isEmpty())
        return;
    const QStringList missing = UserWordList::unknownWords(words, dictionary, waitingList);
    if (!missing.isEmpty())
        emit unknown(missing);
}
