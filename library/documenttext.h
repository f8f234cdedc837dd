#pragma once

#include <QByteArray>
#include <QString>

// Text documents are plain text in the local 8-bit encoding, with line feeds and no byte-order mark.
namespace DocumentText {

// Text to show for a document's bytes.
QString fromBytes(const QByteArray &bytes);

// Bytes to store for the raw text of a text view (QTextDocument::toRawText): paragraph separators
// become line feeds, every other character (no-break spaces included) is kept.
QByteArray toBytes(const QString &rawViewText);

} // namespace DocumentText
