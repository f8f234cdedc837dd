#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "pipeline/speecherrors.h"
#include "pipeline/timedtext.h"
#include "pipeline/userwordlist.h"

// The speech service's wire format: token URL, recognition request body, reply decoding.
// Pure functions; the window's slots call them.
namespace SpeechProtocol {

enum RequestId { TokenRequest = 0, HealthRequest = 1, RecognitionRequest = 2 };
// Recognition requests of several segments may be in flight: segment k is sent with id 2 + k, so the
// only segment of a short file keeps id 2.
int recognitionRequestId(int segment);
// The segment of a recognition request id; -1 for the token and health ids.
int segmentOfRequest(int id);

// The "workers" of a health reply (GET /healthz), loading or not; 0 when the body has none.
int decodeHealthWorkers(const QByteArray &body);

// dev_pid for a language code or languageBox text, or -1 when it is not in the table.
int devPidForLanguage(const QString &language);

// What the interface shows for a languageBox text (the text itself stays the key that is sent and saved).
QString languageDisplayName(const QString &language);

// The message of a failing err_no of the error table; empty for 3304 and for codes outside the table.
QString failMessageForErrNo(int errNo);

// What every recognition request carries besides its audio; the client fills it in for each request.
struct RecognitionOptions
{
    QString accessToken;
    QString machineId;
    QString language; // a code or a selector text (Languages::codeOf); none: no dev_pid
    QVector<UserWordEntry> words; // the user's own words; none: no "words" member
    QByteArray voiceTransform; // the user's voice adaptation; none: no "mllr" member
};

// The recognition request body as JsonCpp's styled writer writes it (keys ascending, three-space
// indent, final newline). An unreadable segment gives empty "speech" and "len" 0. The user's words go
// in a "words" member (absent when there are none): a string per entry, {"text","phones"} with a
// pronunciation. The user's voice adaptation, when there is one, goes in an "mllr" member (other
// services ignore both).
QByteArray buildRecognitionBody(const QString &segmentPath, const RecognitionOptions &options);
QByteArray buildRecognitionBody(const QString &segmentPath, const QString &accessToken, const QString &machineId,
    const QString &language, const QVector<UserWordEntry> &words = {}, const QByteArray &voiceTransform = QByteArray());
// The same for audio in hand: the bytes of a WAV file.
QByteArray buildRecognitionBodyOf(QByteArray wavAudio, const RecognitionOptions &options);
QByteArray buildRecognitionBodyOf(QByteArray wavAudio, const QString &accessToken, const QString &machineId,
    const QString &language, const QVector<UserWordEntry> &words = {}, const QByteArray &voiceTransform = QByteArray());
// 16 kHz mono 16-bit samples as the bytes of a WAV file, as a segment file would hold them.
QByteArray wavOfPcm(const QByteArray &pcm);

// Token reply: the body up to its first NUL parsed as JSON. ok is false when it does not parse (or is
// not a JSON object); otherwise the access_token (empty when absent).
struct TokenReply
{
    bool ok = false;
    QString accessToken;
};
TokenReply decodeTokenReply(const QByteArray &body);

struct RecognitionOutcome
{
    enum Kind { Success, Retry, Fail, Ignored, Unparsable };
    Kind kind = Unparsable;
    int errNo = 0;
    QString errNoText; // err_no as the reply wrote it, to name a code the table does not know
    bool hasText = false;
    QString text; // Success with hasText
    QString message; // Fail: the message shown to the user
    // Success whose reply had a well-formed "sentences" member: the sentences with times from the
    // segment's start. A malformed member leaves the text alone and gives no times.
    bool hasTimes = false;
    QVector<TimedSentence> sentences;
    QStringList unpronounced; // the request's words the service found no pronunciation for
};
// segmentMs, when not negative, is the segment's length: a time beyond it makes the sentences malformed.
RecognitionOutcome decodeRecognitionReply(const QByteArray &body, qint64 segmentMs = -1);

// The outcome's sentences, or, from a reply without times, its text as one sentence spanning the
// whole segment; nothing when it has no text.
QVector<TimedSentence> sentencesOrWholeSegment(const RecognitionOutcome &outcome, qint64 segmentMs);

} // namespace SpeechProtocol
