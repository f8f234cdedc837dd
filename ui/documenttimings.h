#pragma once

#include "pipeline/timings.h"

#include <QString>

// The timing record of a document when it describes the document's text on disk now (a file changed
// elsewhere has none).
bool readDocumentTimings(const QString &dataDir, const QString &documentPath, Timings::Record *record);
