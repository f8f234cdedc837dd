#include "ui/widget.h"

#include "app/appstate.h"
#include "pipeline/dictionarycheck.h"
#include "pipeline/userwordlist.h"
#include "ui/newwordsbar.h"
#include "ui/notice.h"
#include "ui/wordlistdialog.h"

#include <QAction>
#include <QMenu>
#include <QTextEdit>

namespace {

QString storedWords()
{
    return UserWordList::storedPath(AppState::dataDir);
}

} // namespace

void Widget::createUserWords()
{
    wordTextEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(wordTextEdit, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu *menu = wordTextEdit->createStandardContextMenu(at);
        menu->addSeparator();
        addSpeakerRename(menu, wordTextEdit->cursorForPosition(at).position());
        menu->addAction(tr("自定义词汇…"), this, &Widget::editUserWords);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(wordTextEdit->viewport()->mapToGlobal(at));
    });
    // Always at hand: the task bar's own context menu.
    auto *editWords = new QAction(tr("自定义词汇…"), taskBar);
    connect(editWords, &QAction::triggered, this, &Widget::editUserWords);
    taskBar->addAction(editWords);
    taskBar->setContextMenuPolicy(Qt::ActionsContextMenu);
    newWordsBar = new NewWordsBar(this);
    connect(newWordsBar, &NewWordsBar::addRequested, this, &Widget::addOfferedWords);
    dictionaryCheck = new DictionaryCheck(DictionaryCheck::installedDictionary(), this);
    connect(dictionaryCheck, &DictionaryCheck::unknown, this, [this](const QStringList &words) {
        // At the foot of the document area, whether or not the view is still shown.
        newWordsBar->setGeometry(rightPanel->x(), rightPanel->y() + rightPanel->height() - 36, rightPanel->width(), 36);
        newWordsBar->offer(words);
    });
}

void Widget::editUserWords()
{
    auto *dialog = new WordListDialog(storedWords(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!dialog->load()) {
        Notice::information(this, dialog->loadProblem());
        delete dialog;
        return;
    }
    dialog->open();
}

void Widget::offerTypedWords(const QString &before, const QString &after)
{
    const QStringList typed = UserWordList::typedWords(before, after);
    if (!typed.isEmpty())
        dictionaryCheck->check(typed, UserWordList::read(storedWords()).parsed.entries);
}

void Widget::addOfferedWords(const QStringList &words)
{
    const UserWordList::ReadResult stored = UserWordList::read(storedWords());
    if (stored.status != UserWordList::ReadResult::Ok && stored.status != UserWordList::ReadResult::Missing) {
        Notice::information(this, UserWordList::describe(stored, storedWords()));
        return;
    }
    QString error;
    if (!UserWordList::write(storedWords(), UserWordList::withWords(stored.parsed.entries, words), &error))
        Notice::information(this, UserWordList::writeFailure(error));
}
