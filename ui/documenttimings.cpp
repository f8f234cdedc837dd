#include "ui/documenttimings.h"

#include "library/documenttext.h"

#include <QFile>

bool readDocumentTimings(const QString &dataDir, const QString &documentPath, Timings::Record *record)
{
    QFile file(documentPath);
    return file.open(QIODevice::ReadOnly) && Timings::read(dataDir, documentPath, record)
        && record->textChecksum == Timings::checksumOf(DocumentText::fromBytes(file.readAll()));
}
