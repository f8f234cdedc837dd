#include "ui/document/documentpane.h"

#include "ui/theme.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocument>

void DocumentPane::createFindBar()
{
    findBar->setObjectName(QStringLiteral("findBar"));
    findBar->setStyleSheet(QString::fromUtf8(Theme::findBar));
    findBar->resize(300, 36);
    findEdit->setGeometry(6, 4, 220, 28);
    findEdit->setPlaceholderText(tr("查找"));
    findEdit->setToolTip(tr("Enter 下一个，Shift+Enter 上一个，Esc 关闭"));
    findEdit->setAccessibleName(tr("在文档中查找"));
    findEdit->installEventFilter(this);
    findCountLabel->setGeometry(232, 4, 62, 28);
    findCountLabel->setAccessibleName(tr("查找结果"));
    findBar->hide();
    connect(findEdit, &QLineEdit::textChanged, this, &DocumentPane::updateFindMatches);
    connect(this, &QTextEdit::textChanged, this, [this] {
        if (!findBar->isHidden())
            updateFindMatches();
    });
}

void DocumentPane::placeFindBar()
{
    findBar->move(width() - findBar->width() - 24, 4);
}

void DocumentPane::showFindBar()
{
    if (isHidden())
        return;
    placeFindBar();
    findBar->show();
    findBar->raise();
    findEdit->setFocus(Qt::ShortcutFocusReason);
    findEdit->selectAll();
    updateFindMatches();
}

void DocumentPane::closeFindBar()
{
    const bool hadFocus = findEdit->hasFocus();
    findBar->hide();
    findMatches.clear();
    findCurrent = -1;
    applyViewSelections();
    if (hadFocus && !isHidden())
        setFocus(Qt::OtherFocusReason);
}

void DocumentPane::updateFindMatches()
{
    findMatches.clear();
    findCurrent = -1;
    const QString needle = findEdit->text();
    QTextDocument *text = document();
    if (!needle.isEmpty()) {
        for (QTextCursor match = text->find(needle); !match.isNull(); match = text->find(needle, match))
            findMatches << match;
    }
    // The match at or after the view's cursor comes first, so finding starts where the reader is.
    const int from = textCursor().selectionStart();
    for (int i = 0; i < findMatches.size() && findCurrent < 0; ++i) {
        if (findMatches.at(i).selectionStart() >= from)
            findCurrent = i;
    }
    if (findCurrent < 0 && !findMatches.isEmpty())
        findCurrent = 0;
    highlightMatches();
}

void DocumentPane::findNext(bool forward)
{
    if (isHidden())
        return;
    if (findBar->isHidden()) {
        showFindBar();
        return;
    }
    if (findMatches.isEmpty())
        return;
    const int count = findMatches.size();
    findCurrent = (findCurrent + (forward ? 1 : count - 1)) % count;
    highlightMatches();
}

void DocumentPane::highlightMatches()
{
    applyViewSelections();
    if (findCurrent >= 0) {
        // Only the cursor moves: the text and its undo history stay as they are.
        QTextCursor at = textCursor();
        at.setPosition(findMatches.at(findCurrent).selectionStart());
        setTextCursor(at);
        ensureCursorVisible();
    }
    findCountLabel->setText(findEdit->text().isEmpty() ? QString()
            : findMatches.isEmpty()                    ? tr("无结果")
                                    : QStringLiteral("%1/%2").arg(findCurrent + 1).arg(findMatches.size()));
}

bool DocumentPane::findKey(QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        findNext(!(key->modifiers() & Qt::ShiftModifier));
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        closeFindBar();
        return true;
    }
    return false;
}
