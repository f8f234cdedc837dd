#include "library/documenttext.h"

#include <QTextCodec>

namespace DocumentText {

namespace {

const QByteArray utf8Mark("\xef\xbb\xbf");

QTextCodec *codecOf(Format::Encoding encoding)
{
    return QTextCodec::codecForName(encoding == Format::Encoding::Gb18030 ? "GB18030" : "UTF-8");
}

bool inRange(const QByteArray &bytes, int at, uchar low, uchar high)
{
    return at < bytes.size() && uchar(bytes.at(at)) >= low && uchar(bytes.at(at)) <= high;
}

// Qt's GB18030 decoder neither counts invalid sequences nor reports a cut one: the byte structure is
// checked here (one byte below 0x80; a lead 0x81-0xFE with 0x40-0x7E or 0x80-0xFE; or a lead,
// 0x30-0x39, 0x81-0xFE, 0x30-0x39).
bool isGb18030(const QByteArray &bytes)
{
    int at = 0;
    while (at < bytes.size()) {
        if (uchar(bytes.at(at)) < 0x80) {
            ++at;
        } else if (!inRange(bytes, at, 0x81, 0xfe)) {
            return false;
        } else if (inRange(bytes, at + 1, 0x40, 0x7e) || inRange(bytes, at + 1, 0x80, 0xfe)) {
            at += 2;
        } else if (inRange(bytes, at + 1, 0x30, 0x39) && inRange(bytes, at + 2, 0x81, 0xfe)
            && inRange(bytes, at + 3, 0x30, 0x39)) {
            at += 4;
        } else {
            return false;
        }
    }
    return true;
}

// The whole text, or false when any byte sequence is not valid in the encoding.
bool decodeStrictly(Format::Encoding encoding, const QByteArray &bytes, QString &text)
{
    if (encoding == Format::Encoding::Gb18030 && !isGb18030(bytes))
        return false;
    // The mark is ours to handle: the decoder would drop it silently.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    text = codecOf(encoding)->toUnicode(bytes.constData(), bytes.size(), &state);
    // A code the table does not map comes out as the replacement character.
    return state.invalidChars == 0 && state.remainingChars == 0
        && (encoding == Format::Encoding::Utf8 || !text.contains(QChar::ReplacementCharacter));
}

} // namespace

Decoded decode(const QByteArray &bytes)
{
    Decoded result;
    if (bytes.contains('\0')) {
        result.refusal = Refusal::Binary;
        return result;
    }
    QByteArray body = bytes;
    if (body.startsWith(utf8Mark)) {
        result.format.byteOrderMark = true;
        body.remove(0, utf8Mark.size());
    }
    QString text;
    if (!decodeStrictly(Format::Encoding::Utf8, body, text)) {
        result.format.byteOrderMark = false;
        result.format.encoding = Format::Encoding::Gb18030;
        if (!decodeStrictly(Format::Encoding::Gb18030, bytes, text)) {
            result.refusal = Refusal::UnknownEncoding;
            return result;
        }
    }
    const int firstLineFeed = text.indexOf(QLatin1Char('\n'));
    result.format.crlf = firstLineFeed > 0 && text.at(firstLineFeed - 1) == QLatin1Char('\r');
    result.text = text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

QByteArray encode(const QString &rawViewText, const Format &format)
{
    QString text = rawViewText;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    if (format.crlf)
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QByteArray bytes = codecOf(format.encoding)->fromUnicode(text);
    if (format.byteOrderMark && format.encoding == Format::Encoding::Utf8)
        bytes.prepend(utf8Mark);
    return bytes;
}

QString fromBytes(const QByteArray &bytes)
{
    return decode(bytes).text;
}

QByteArray toBytes(const QString &rawViewText)
{
    return encode(rawViewText, Format());
}

} // namespace DocumentText
