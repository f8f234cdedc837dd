#include "ui/document/documentpane.h"

#include "app/appstate.h"
#include "pipeline/speakerturns.h"
#include "ui/documenttimings.h"
#include "ui/notice.h"
#include "ui/player/playerpane.h"
#include "ui/theme.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QTextEdit>

namespace {
constexpr qint64 skipMs = 5000;
// Player ticks this often: the highlight moves with each word of fast speech.
constexpr int followMs = 50;

QString plainOf(QString rawViewText)
{
    return rawViewText.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}
} // namespace

void DocumentPane::createWordPlayback()
{
    // The player's own progress moves the highlight, and only while it plays from the view.
    player->mediaObject.setTickInterval(followMs);
    connect(&player->mediaObject, &Phonon::MediaObject::tick, this, [this] {
        if (playerOnDocument)
            updateSpokenWord();
    });
    connect(&player->mediaObject, &Phonon::MediaObject::stateChanged, this, &DocumentPane::onDocumentPlayerState);
    connect(&player->mediaObject, &Phonon::MediaObject::seekableChanged, this,
        [this] { onDocumentPlayerState(player->mediaObject.state()); });
    connect(document(), &QTextDocument::contentsChanged, this, [this] { wordTimelineStale = true; });
    // Keys of the view alone, none of them an editing key.
    const auto viewKey = [this](const QKeySequence &key, const std::function<void()> &action) {
        auto *shortcut = new QShortcut(key, this, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    viewKey(QKeySequence(Qt::Key_F4), [this] { playPauseFromCaret(); });
    viewKey(QKeySequence(Qt::ALT + Qt::Key_Left), [this] { seekDocumentBy(-skipMs); });
    viewKey(QKeySequence(Qt::ALT + Qt::Key_Right), [this] { seekDocumentBy(skipMs); });
    setToolTip(Notice::wrappingToolTip(
        tr("Ctrl+单击词语：从该词起播放原音频\nF4：从光标处播放或暂停\nAlt+←、Alt+→：后退、前进 5 秒")));
}

void DocumentPane::loadOpenTimings()
{
    openTimingsValid = readDocumentTimings(AppState::dataDir, wordFilePath, &openTimings);
    Timings::Record stale;
    openTimingsStale = !openTimingsValid && Timings::read(AppState::dataDir, wordFilePath, &stale);
    wordTimelineStale = true;
    sourceGoneTold = false;
    staleTimingsTold = false;
    updateSpokenWord();
}

bool DocumentPane::documentTimed() const
{
    return openTimingsValid && !wordFilePath.isEmpty() && !isHidden();
}

const WordAlign::Timeline &DocumentPane::viewTimeline()
{
    if (wordTimelineStale) {
        wordTimeline = documentTimed() ? WordAlign::Timeline(SpeakerTurns::maskedLabels(document()->toRawText(),
                                                                 openTimings.speakerNames, openTimings.labelSuffix),
                           openTimings.sentences)
                                       : WordAlign::Timeline();
        wordTimelineStale = false;
    }
    return wordTimeline;
}

void DocumentPane::tellStaleTimings()
{
    if (!openTimingsStale || staleTimingsTold || wordFilePath.isEmpty() || isHidden())
        return;
    staleTimingsTold = true;
    Notice::information(window(),
        tr("“%1”在别处被修改过，它的时间信息描述的是修改前的文字：不能再从词语播放，也不能导出字幕。"
           "重新转换原音频可以得到新的时间信息。")
            .arg(QFileInfo(wordFilePath).fileName()));
}

bool DocumentPane::playFromWord(int offset)
{
    if (!documentTimed()) {
        tellStaleTimings();
        return false;
    }
    const int word = viewTimeline().wordAt(offset);
    if (word < 0)
        return false;
    const QString source = openTimings.sourcePath;
    if (!QFileInfo::exists(source) || !player->playRefusal(source).isEmpty()) {
        if (!sourceGoneTold)
            Notice::information(window(),
                QFileInfo::exists(source) ? player->playRefusal(source)
                                          : tr("无法播放原音频：找不到文件“%1”，它可能已被移动或删除。").arg(source));
        sourceGoneTold = true;
        return false;
    }
    const qint64 at = viewTimeline().startMs(word);
    const Phonon::State state = player->mediaObject.state();
    if (player->playStarted && player->playFilePath == source
        && (state == Phonon::PlayingState || state == Phonon::PausedState) && player->mediaObject.isSeekable()) {
        seekDocument(at);
        player->mediaObject.play();
    } else {
        if (!(player->playStarted && player->playFilePath == source))
            player->loadAndPlay(source);
        else
            player->mediaObject.play();
        pendingSeekMs = at;
    }
    playerOnDocument = true;
    player->playbackWanted = true;
    player->showPlayButton(false);
    updateSpokenWord();
    return true;
}

void DocumentPane::playPauseFromCaret()
{
    if (playerOnDocument && player->playbackWanted)
        player->pause();
    else
        playFromWord(textCursor().position());
}

void DocumentPane::seekDocumentBy(qint64 deltaMs)
{
    if (!playerOnDocument || !player->playStarted)
        return;
    const qint64 from = documentPlayTime();
    const qint64 total = player->mediaObject.totalTime();
    const qint64 to = qBound<qint64>(0, from + deltaMs, total > 0 ? total : from + deltaMs);
    if (pendingSeekMs >= 0)
        pendingSeekMs = to;
    else
        seekDocument(to);
    updateSpokenWord();
}

void DocumentPane::seekDocument(qint64 ms)
{
    player->mediaObject.seek(ms);
    seekTargetMs = ms;
    seekClock.start();
}

qint64 DocumentPane::documentPlayTime()
{
    if (pendingSeekMs >= 0)
        return pendingSeekMs;
    const qint64 current = player->mediaObject.currentTime();
    // Until the backend reports the new position the old one would flash up, scrolling the view away.
    if (seekTargetMs >= 0 && (current < seekTargetMs - 50 || current > seekTargetMs + 1000)
        && seekClock.elapsed() < 1000)
        return seekTargetMs;
    seekTargetMs = -1;
    return current;
}

void DocumentPane::onDocumentPlayerState(Phonon::State state)
{
    if (!playerOnDocument)
        return;
    const bool ready = state == Phonon::PlayingState || state == Phonon::PausedState;
    if (pendingSeekMs >= 0 && ready && player->mediaObject.isSeekable()) {
        seekDocument(pendingSeekMs);
        pendingSeekMs = -1;
    }
    updateSpokenWord();
}

void DocumentPane::updateSpokenWord()
{
    const Phonon::State state = player->mediaObject.state();
    const bool following
        = playerOnDocument && player->playStarted && documentTimed() && player->playFilePath == openTimings.sourcePath;
    const bool sounding = state != Phonon::StoppedState && state != Phonon::ErrorState;
    int offset = -1;
    int length = 0;
    if (following && (sounding || pendingSeekMs >= 0)) {
        const WordAlign::Timeline &timeline = viewTimeline();
        const int word = timeline.wordAtTime(documentPlayTime());
        if (word >= 0) {
            offset = timeline.word(word).offset;
            length = timeline.word(word).length;
        }
    }
    if (offset == spokenOffset && length == spokenLength)
        return;
    spokenOffset = offset;
    spokenLength = length;
    applyViewSelections();
    if (offset < 0)
        return;
    // Kept in sight by scrolling alone: the caret stays where the user is typing.
    QTextCursor at(document());
    at.setPosition(offset);
    const QRect word = cursorRect(at);
    const QRect shown = viewport()->rect();
    if (!shown.contains(word)) {
        QScrollBar *bar = verticalScrollBar();
        bar->setValue(bar->value() + word.top() - shown.height() / 3);
    }
}

void DocumentPane::applyViewSelections()
{
    QList<QTextEdit::ExtraSelection> selections;
    for (int i = 0; i < findMatches.size(); ++i) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = findMatches.at(i);
        selection.format.setBackground(QColor(i == findCurrent ? Theme::currentMatchColour : Theme::matchColour));
        selections << selection;
    }
    if (spokenOffset >= 0) {
        QTextEdit::ExtraSelection spoken;
        spoken.cursor = QTextCursor(document());
        spoken.cursor.setPosition(spokenOffset);
        spoken.cursor.setPosition(spokenOffset + spokenLength, QTextCursor::KeepAnchor);
        spoken.format.setBackground(QColor(Theme::spokenWordColour));
        selections << spoken;
    }
    setExtraSelections(selections);
}

bool DocumentPane::wordClick(QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton || mouse->modifiers() != Qt::ControlModifier)
        return false;
    QTextCursor clicked = cursorForPosition(mouse->pos());
    if (!playFromWord(clicked.position()))
        return false;
    // The caret follows the click, so F4 pauses and plays on from the same word.
    setTextCursor(clicked);
    return true;
}

void DocumentPane::writeOpenTimings(const QString &rawViewText)
{
    if (!openTimingsValid || wordFilePath.isEmpty())
        return;
    const QString text = plainOf(rawViewText);
    const QString checksum = Timings::checksumOf(text);
    if (checksum == openTimings.textChecksum)
        return;
    Timings::Record record = openTimings;
    // Speakers' labels are no spoken words: the alignment sees only what was said.
    record.sentences = WordAlign::realigned(
        openTimings.sentences, SpeakerTurns::maskedLabels(text, openTimings.speakerNames, openTimings.labelSuffix));
    record.textChecksum = checksum;
    // Times that no longer describe the document would put old words in its subtitles.
    if (!Timings::write(AppState::dataDir, wordFilePath, record, nullptr)) {
        Timings::remove(AppState::dataDir, wordFilePath);
        openTimingsValid = false;
        return;
    }
    openTimings = record;
    wordTimelineStale = true;
}
