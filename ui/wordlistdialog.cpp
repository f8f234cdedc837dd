#include "ui/wordlistdialog.h"

#include "pipeline/userwordlist.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

WordListDialog::WordListDialog(const QString &listPath, QWidget *parent)
    : QDialog(parent)
    , path(listPath)
{
    setObjectName(QStringLiteral("wordListDialog"));
    setWindowTitle(tr("自定义词汇"));
    auto *hint = new QLabel(tr("每行一个词语或短语，如人名、产品名、地名。需要时在“=”后写出读音（英文音素），"
                               "例如：Quillora = K W IH L AO R AH。以后的转换和边录边转都会用到这些词。"),
        this);
    hint->setWordWrap(true);
    edit = new QPlainTextEdit(this);
    edit->setObjectName(QStringLiteral("wordListEditor"));
    edit->setAccessibleName(tr("自定义词汇"));
    problemsLabel = new QLabel(this);
    problemsLabel->setObjectName(QStringLiteral("wordListProblems"));
    problemsLabel->setWordWrap(true);
    problemsLabel->setStyleSheet(QStringLiteral("color: #c0392b;"));
    problemsLabel->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText(tr("保存"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &WordListDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &WordListDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(edit, 1);
    layout->addWidget(problemsLabel);
    layout->addWidget(buttons);
    resize(460, 420);
}

bool WordListDialog::load()
{
    const UserWordList::ReadResult stored = UserWordList::read(path);
    if (stored.status != UserWordList::ReadResult::Ok && stored.status != UserWordList::ReadResult::Missing) {
        problem = UserWordList::describe(stored, path);
        return false;
    }
    QString text;
    for (const UserWordEntry &entry : stored.parsed.entries)
        text += entry.text + (entry.phones.isEmpty() ? QString() : QStringLiteral(" = ") + entry.phones)
            + QLatin1Char('\n');
    edit->setPlainText(text);
    return true;
}

void WordListDialog::addWords(const QStringList &words)
{
    const UserWordList::Parsed parsed = UserWordList::parse(edit->toPlainText());
    QString text = edit->toPlainText();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    const QVector<UserWordEntry> more = UserWordList::withWords(parsed.entries, words);
    for (int i = parsed.entries.size(); i < more.size(); ++i)
        text += more[i].text + QLatin1Char('\n');
    edit->setPlainText(text);
}

void WordListDialog::accept()
{
    const UserWordList::Parsed parsed = UserWordList::parse(edit->toPlainText());
    if (!parsed.problems.isEmpty()) {
        QStringList lines;
        for (const UserWordList::Problem &line : parsed.problems)
            lines << UserWordList::describe(line);
        problemsLabel->setText(
            tr("未保存，请改正这些行：") + QLatin1Char('\n') + lines.mid(0, 5).join(QLatin1Char('\n')));
        problemsLabel->show();
        return;
    }
    QString error;
    if (!UserWordList::write(path, parsed.entries, &error)) {
        problemsLabel->setText(UserWordList::writeFailure(error));
        problemsLabel->show();
        return;
    }
    QDialog::accept();
}
