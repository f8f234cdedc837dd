#include "ui/document/documentpane.h"

#include "app/appstate.h"
#include "pipeline/speakerturns.h"
#include "pipeline/voiceprofiles.h"
#include "ui/library/myinput.h"
#include "ui/notice.h"

#include <QAbstractUndoItem>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <functional>
#include <utility>

namespace {

// The speakers' names change with the labels in one step of the view's undo: undone and redone with them.
class SpeakerNamesEdit : public QAbstractUndoItem
{
public:
    SpeakerNamesEdit(std::function<void(const QStringList &)> apply, QStringList before, QStringList after)
        : apply(std::move(apply))
        , before(std::move(before))
        , after(std::move(after))
    { }
    void undo() override { apply(before); }
    void redo() override { apply(after); }

private:
    const std::function<void(const QStringList &)> apply;
    const QStringList before;
    const QStringList after;
};

} // namespace

void DocumentPane::addSpeakerRename(QMenu *menu, int offset)
{
    if (!documentTimed() || openTimings.speakerNames.isEmpty())
        return;
    const int speaker = SpeakerTurns::speakerAt(
        SpeakerTurns::labelsIn(document()->toRawText(), openTimings.speakerNames, openTimings.labelSuffix), offset);
    if (speaker > 0)
        menu->addAction(tr("重命名说话人…"), this, [this, speaker] { renameSpeaker(speaker); });
}

void DocumentPane::renameSpeaker(int speaker)
{
    const QString current = openTimings.speakerNames.value(speaker - 1);
    MyInput input(window());
    input.titleLabel->setText(tr("重命名说话人"));
    input.nameEdit->setText(current);
    input.nameEdit->selectAll();
    input.exec();
    // The dialog is modal but the document may have been closed behind it (by a run's end, say).
    if (input.cancelled || !documentTimed() || openTimings.speakerNames.value(speaker - 1) != current)
        return;
    const QString name = input.nameEdit->text();
    const QString suffix = openTimings.labelSuffix;
    switch (SpeakerTurns::nameProblem(openTimings.speakerNames, speaker, name, suffix)) {
    case SpeakerTurns::NameProblem::None:
        break;
    case SpeakerTurns::NameProblem::Empty:
        Notice::information(window(), tr("说话人的名称不能为空！"));
        return;
    case SpeakerTurns::NameProblem::LineBreak:
        Notice::information(window(), tr("说话人的名称不能换行！"));
        return;
    case SpeakerTurns::NameProblem::Suffix:
        Notice::information(window(), tr("说话人的名称不能含有“%1”，它用来隔开名称和说的话！").arg(suffix.trimmed()));
        return;
    case SpeakerTurns::NameProblem::Taken:
        Notice::information(window(), tr("已有说话人名为“%1”，请换一个名称！").arg(name.trimmed()));
        return;
    }
    const SpeakerTurns::Renamed renamed
        = SpeakerTurns::renamed(document()->toRawText(), openTimings.speakerNames, suffix, speaker, name);
    if (renamed.names == openTimings.speakerNames)
        return;
    // One edit block: a single undo brings back every label and the old name.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (auto at = renamed.offsets.crbegin(); at != renamed.offsets.crend(); ++at) {
        cursor.setPosition(*at);
        cursor.setPosition(*at + renamed.oldLength, QTextCursor::KeepAnchor);
        cursor.insertText(renamed.name);
    }
    document()->appendUndoItem(new SpeakerNamesEdit(
        [this](const QStringList &names) { setSpeakerNames(names); }, openTimings.speakerNames, renamed.names));
    cursor.endEditBlock();
    setSpeakerNames(renamed.names);
    rememberRenamedSpeaker(speaker, renamed.name);
}

void DocumentPane::setSpeakerNames(const QStringList &names)
{
    // Saving the document writes them into its timings, with the labels' text.
    openTimings.speakerNames = names;
    wordTimelineStale = true;
}

void DocumentPane::rememberRenamedSpeaker(int speaker, const QString &name)
{
    // The named voice is known again in later files; a record that kept no voice names nothing.
    QString error;
    if (VoiceProfiles::rememberSpeaker(AppState::dataDir, openTimings, speaker, name, &error)
        == VoiceProfiles::Change::NotSaved) {
        Notice::information(window(), tr("说话人已重命名，但无法记住“%1”的声音：%2").arg(name, error));
    }
}
