#pragma once

#include "library/documentsave.h"
#include "pipeline/timings.h"
#include "pipeline/wordalign.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextCursor>
#include <QTextEdit>

#include <phonon/phononnamespace.h>

class DictionaryCheck;
class NewWordsBar;
class PlayerPane;
class QLabel;
class QLineEdit;
class QMenu;

// The text view over the right part of the window and the document open in it: opening it, writing it
// back (never over a change made elsewhere), finding in it, its timings, playing its words and following
// playback, naming its speakers and offering the words a correction typed. What a run or a recording
// does with the view is the window's to coordinate; files dropped on the view are asked for as tasks.
class DocumentPane : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY(DocumentPane)

public:
    // player plays the document's source from its words; the offer of new words lies at the foot of
    // footArea, a sibling of the view in parent.
    DocumentPane(PlayerPane *player, QWidget *footArea, QWidget *parent);

    QLabel *const findBar; // over the view's top right corner while finding
    QLineEdit *const findEdit;
    QLabel *const findCountLabel; // "current/count"
    NewWordsBar *const newWordsBar; // offers the words a saved correction brought

    QString wordFilePath; // the document the view belongs to; empty while it belongs to none
    Timings::Record openTimings; // the open document's timings
    bool playerOnDocument = false; // the player's file came from the view, at one of its words
    qint64 pendingSeekMs = -1; // where a source just loaded from the view starts once it can seek
    int spokenOffset = -1; // the highlighted word in the view, or -1

    // ===== The open document: ui/document/documentpane.cpp =====
    // Opens the document at path (name: its entry in the list), unless text never written would be lost.
    void openDocument(const QString &path, const QString &name);
    void closeDocument(); // writes the view's text back and hides the view; a failure is said and keeps it
    // Writes the view's text into wordFilePath unless that would not change it, or beside it (and says so)
    // when the file was changed elsewhere meanwhile; the message when it failed.
    QString writeOpenDocument();
    bool viewHoldsUnwrittenText() const; // the view's document has never been written: its text is only here
    // A run or a recording shows its text: it belongs to no document until one is written.
    void takeForRecognition();
    void adoptWrittenDocument(const QString &documentPath); // the view's text now belongs to it
    // The document could not be written: the view keeps its text, belonging to it, for a later save.
    void keepUnwrittenDocument(const QString &documentPath, const Timings::Record &timings);
    void documentRemoved(const QString &path); // from the library
    void documentRenamed(const QString &oldPath, const QString &newPath);

    // ===== Finding: ui/document/documentpane_find.cpp =====
    void showFindBar();
    void closeFindBar();
    void findNext(bool forward);

    // ===== Playing the open document's words: ui/document/documentpane_wordplay.cpp =====
    bool documentTimed() const; // the open document has timings
    const WordAlign::Timeline &viewTimeline();
    void playPauseFromCaret();
    void updateSpokenWord();

    // ===== Naming the open document's speakers: ui/document/documentpane_speakers.cpp =====
    // Asks for a name; every label of the speaker and its name in the timings change as one edit.
    void renameSpeaker(int speaker);

    // ===== The user's own words: ui/document/documentpane_words.cpp =====
    void editUserWords(); // "自定义词汇…"

signals:
    void filesDropped(const QStringList &paths); // local files dropped on the view: tasks, not text
    void documentWritten(const QString &path); // the view's text was written there (a new file, perhaps)

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool takeFileDrop(QEvent *event);

    void createFindBar();
    void updateFindMatches();
    void highlightMatches();
    bool findKey(QEvent *event);
    void placeFindBar();

    void createWordPlayback(); // the view's keys, its tooltip and the following of playback
    void loadOpenTimings(); // the timings of wordFilePath, when they match its text on disk
    void tellStaleTimings(); // once per opening: why its words do not play
    bool playFromWord(int offset); // plays the source from the word at a view offset; false when it cannot
    void seekDocumentBy(qint64 deltaMs);
    void seekDocument(qint64 ms);
    qint64 documentPlayTime(); // the player's position, or where it is going
    void onDocumentPlayerState(Phonon::State state);
    void applyViewSelections(); // the find matches and the spoken word
    bool wordClick(QEvent *event); // Ctrl+click on the view: true when it plays
    // After the view's text was written: the timings follow the edits, in a rewritten record.
    void writeOpenTimings(const QString &rawViewText);

    // "重命名说话人…" in the view's menu when the offset lies in a speaker's turn.
    void addSpeakerRename(QMenu *menu, int offset);
    void setSpeakerNames(const QStringList &names);
    void rememberRenamedSpeaker(int speaker, const QString &name);

    void createUserWords(); // the view's context menu, the offer bar
    // After a correction was saved: offers the words typed into it that the dictionary lacks.
    void offerTypedWords(const QString &before, const QString &after);
    void addOfferedWords(const QStringList &words);

    PlayerPane *const player;
    QWidget *const footArea;
    DictionaryCheck *const dictionaryCheck;

    // wordFilePath as the view last matched it: closing it unchanged writes nothing
    DocumentSave::Baseline wordBaseline;
    QList<QTextCursor> findMatches; // of findEdit's text in the view, in document order
    int findCurrent = -1;

    bool openTimingsValid = false; // they were read and describe the document's text
    bool sourceGoneTold = false; // the open document's source could not play, and the user was told
    bool openTimingsStale = false; // it has a record, but for the text before it was changed elsewhere
    bool staleTimingsTold = false;
    WordAlign::Timeline wordTimeline; // the view's words and their times, rebuilt after edits
    bool wordTimelineStale = true;
    qint64 seekTargetMs = -1; // a seek asked for that the player's position may not show yet
    QElapsedTimer seekClock; // since seekTargetMs was asked for
    int spokenLength = 0;
};
