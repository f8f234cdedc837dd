#pragma once

#include "pipeline/conversionengine.h"
#include "pipeline/speakerturns.h"

#include <QString>

// What the front ends show of a conversion run, in the language shown: the start button's progress
// texts and the end-of-run messages the window and the command line both use. The engine itself says
// only values.
namespace RunTexts {

// "认证中...", "转换中...", "预处理...", "转写:x%", "重申请: n秒", "等待语音服务响应..."; empty for Idle.
QString progressText(const ConversionEngine::Progress &progress);
// The end's message (empty for a stop), then its notes.
QString endMessage(const ConversionEngine::RunEnd &end);
// The message alone, without the lines of documents renamed.
QString outcomeMessage(const ConversionEngine::RunEnd &end);
// One line for each document written under a new name because the old one was changed or was not ours.
QStringList renamedNotes(const ConversionEngine::RunEnd &end);
// The lines said after a run: the documents renamed, then the files whose speakers were not all told apart.
QStringList notes(const ConversionEngine::RunEnd &end);
// How speakers are named in documents and subtitles: "说话人 %1" and "：" in the Chinese interface.
SpeakerTurns::Labels speakerLabels();
// Why `language` cannot be converted with this engine's deployment; empty when it can.
QString languageRefusal(const ConversionEngine &engine, const QString &language);

} // namespace RunTexts
