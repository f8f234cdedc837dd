#pragma once

#include "pipeline/voiceadaptation.h"

#include <QString>

// What the window and the command line say about adapting to the user's voice.
namespace AdaptationText {

// "已适应：12 分钟的语音，2026-12-10"
QString profileSummary(const VoiceProfile::Profile &profile);
// The outcome of a run: the summary on success, otherwise why it failed and that the previous
// adaptation (or the model as it ships) stays in use.
QString outcome(const VoiceAdaptation::Result &result);

} // namespace AdaptationText
