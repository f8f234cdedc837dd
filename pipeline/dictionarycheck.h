#pragma once

#include "pipeline/userwordlist.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

template <typename T> class QFutureWatcher;

// Which words the recogniser's dictionary lacks. The installed English model's dictionary is what the
// offline service recognises with, and every Quillora install has it; asking the service instead would need
// a token and a running service for what is only an offer. The dictionary (3 MB) is read once, off the
// window's thread, at the first check.
class DictionaryCheck : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(DictionaryCheck)

public:
    explicit DictionaryCheck(const QString &dictionaryPath = installedDictionary(), QObject *parent = nullptr);
    ~DictionaryCheck() override;
    static QString installedDictionary();

    // Emits unknown() with those of words that neither the dictionary nor list has, once the dictionary is
    // read; a later check replaces one still waiting. A dictionary that cannot be read gives no answer.
    void check(const QStringList &words, const QVector<UserWordEntry> &list);

signals:
    void unknown(const QStringList &words);

private:
    void answer();

    const QString path;
    QFutureWatcher<QSet<QString>> *loading = nullptr;
    QSet<QString> dictionary;
    bool loaded = false;
    QStringList waitingWords;
    QVector<UserWordEntry> waitingList;
};
