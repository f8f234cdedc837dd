#include "ui/newwordsbar.h"

#include "ui/theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

NewWordsBar::NewWordsBar(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("newWordsBar"));
    setStyleSheet(QString::fromUtf8(Theme::findBar));
    textLabel = new QLabel(this);
    addBtn = new QPushButton(tr("加入自定义词汇"), this);
    dismissBtn = new QPushButton(tr("忽略"), this);
    for (QPushButton *button : {addBtn, dismissBtn}) {
        button->setFocusPolicy(Qt::NoFocus); // never takes the focus from the text being typed
        button->setCursor(Qt::PointingHandCursor);
        // The bar's sheet gives buttons no room of their own beyond the text.
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 24);
    }
    connect(addBtn, &QPushButton::clicked, this, [this] {
        hide();
        emit addRequested(words);
    });
    connect(dismissBtn, &QPushButton::clicked, this, &QWidget::hide);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->addWidget(textLabel, 1);
    layout->addWidget(addBtn);
    layout->addWidget(dismissBtn);
    hide();
}

void NewWordsBar::offer(const QStringList &offeredWords)
{
    words = offeredWords;
    const int shown = 8;
    QString names = words.mid(0, shown).join(tr("、"));
    if (words.size() > shown)
        names += tr(" 等 %1 个").arg(words.size());
    textLabel->setText(tr("词典里没有您改正时写的“%1”。加入自定义词汇后，下次转换就能识别。").arg(names));
    show();
    raise();
}
