#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;

// "自定义词汇…": the user's own words, one word or phrase a line with an optional pronunciation after
// "=", edited as text. Saving checks every line first: a line that is no entry is named and nothing is
// written; otherwise the list is replaced whole, so the stored one is never half-written.
class WordListDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(WordListDialog)

public:
    WordListDialog(const QString &listPath, QWidget *parent);

    // Reads the stored list into the editor; false, with loadProblem(), when it cannot be read, in which
    // case the dialog must not be shown (saving would replace a list the user still has).
    bool load();
    QString loadProblem() const { return problem; }

    QPlainTextEdit *editor() const { return edit; }
    // Adds words at the end of the editor's text (those already there left out).
    void addWords(const QStringList &words);

public slots:
    void accept() override;

private:
    const QString path;
    QPlainTextEdit *edit = nullptr;
    QLabel *problemsLabel = nullptr;
    QString problem;
};
