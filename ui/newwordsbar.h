#pragma once

#include <QFrame>
#include <QStringList>

class QLabel;
class QPushButton;

// One unobtrusive line at the foot of the window offering the words a saved correction brought that the
// recogniser's dictionary lacks; it never takes the focus and goes away when answered.
class NewWordsBar : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY(NewWordsBar)

public:
    explicit NewWordsBar(QWidget *parent);

    // Shows the offer of these words (it replaces one still shown).
    void offer(const QStringList &words);
    QStringList offered() const { return words; }
    QPushButton *addButton() const { return addBtn; }
    QPushButton *dismissButton() const { return dismissBtn; }

signals:
    void addRequested(const QStringList &words);

private:
    QStringList words;
    QLabel *textLabel = nullptr;
    QPushButton *addBtn = nullptr;
    QPushButton *dismissBtn = nullptr;
};
