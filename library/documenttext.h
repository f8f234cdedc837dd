#pragma once

#include <QByteArray>
#include <QString>

// Text documents are plain text. The program writes UTF-8 with line feeds and no byte-order mark;
// a document the user brings keeps the encoding (UTF-8 or GB18030), line ends and mark it came with.
namespace DocumentText {

struct Format
{
    enum class Encoding { Utf8, Gb18030 };
    Encoding encoding = Encoding::Utf8;
    bool crlf = false; // line ends written as CR LF
    bool byteOrderMark = false; // UTF-8 only
};

enum class Refusal { None, Binary, UnknownEncoding };

struct Decoded
{
    Refusal refusal = Refusal::None;
    QString text; // line feeds only; empty when refused
    Format format;
};

// Valid UTF-8 first, then GB18030; NUL bytes or neither encoding refuse the document. CR LF becomes
// LF in the text and is remembered when the document's first line end is CR LF.
Decoded decode(const QByteArray &bytes);

// Bytes to store for the raw text of a text view (QTextDocument::toRawText): paragraph separators
// become line ends of the format, every other character (no-break spaces included) is kept.
QByteArray encode(const QString &rawViewText, const Format &format);

// The text of decode (empty when refused), and encode in the program's own format.
QString fromBytes(const QByteArray &bytes);
QByteArray toBytes(const QString &rawViewText);

} // namespace DocumentText
