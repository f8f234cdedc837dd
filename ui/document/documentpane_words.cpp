#include "ui/document/documentpane.h"

#include "app/appstate.h"
#include "pipeline/dictionarycheck.h"
#include "pipeline/userwordlist.h"
#include "ui/newwordsbar.h"
#include "ui/notice.h"
#include "ui/wordlistdialog.h"

#include <QMenu>

namespace {

QString storedWords()
{
    return UserWordList::storedPath(AppState::dataDir);
}

} // namespace

void DocumentPane::createUserWords()
{
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu *menu = createStandardContextMenu(at);
        menu->addSeparator();
        addSpeakerRename(menu, cursorForPosition(at).position());
        menu->addAction(tr("自定义词汇…"), this, &DocumentPane::editUserWords);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(viewport()->mapToGlobal(at));
    });
    connect(newWordsBar, &NewWordsBar::addRequested, this, &DocumentPane::addOfferedWords);
    connect(dictionaryCheck, &DictionaryCheck::unknown, this, [this](const QStringList &words) {
        // At the foot of the document area, whether or not the view is still shown.
        const QRect area = footArea->geometry();
        newWordsBar->setGeometry(area.x(), area.y() + area.height() - 36, area.width(), 36);
        newWordsBar->offer(words);
    });
}

void DocumentPane::editUserWords()
{
    auto *dialog = new WordListDialog(storedWords(), window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!dialog->load()) {
        Notice::information(window(), dialog->loadProblem());
        delete dialog;
        return;
    }
    dialog->open();
}

void DocumentPane::offerTypedWords(const QString &before, const QString &after)
{
    const QStringList typed = UserWordList::typedWords(before, after);
    if (!typed.isEmpty())
        dictionaryCheck->check(typed, UserWordList::read(storedWords()).parsed.entries);
}

void DocumentPane::addOfferedWords(const QStringList &words)
{
    const UserWordList::ReadResult stored = UserWordList::read(storedWords());
    if (stored.status != UserWordList::ReadResult::Ok && stored.status != UserWordList::ReadResult::Missing) {
        Notice::information(window(), UserWordList::describe(stored, storedWords()));
        return;
    }
    QString error;
    if (!UserWordList::write(storedWords(), UserWordList::withWords(stored.parsed.entries, words), &error))
        Notice::information(window(), UserWordList::writeFailure(error));
}
