#include "pipeline/conversionengine_p.h"

#include "pipeline/speechprotocol.h"

void ConversionEnginePrivate::checkSpeechService()
{
    client->prepare(/*wantWorkers=*/true);
}

void ConversionEnginePrivate::onClientReady(bool ok, int workers, const SpeechResult &failure)
{
    if (step != Step::CheckingService)
        return;
    if (!ok) {
        endWithSpeechFailure(failure, false);
        return;
    }
    requestsAtOnce = workers;
    serviceChecked = true;
    advance();
}

void ConversionEnginePrivate::onSpeechServiceStopped()
{
    // Only a run that relies on the service: one still checking for it sees it gone and starts it.
    if (isRunning() && serviceChecked && step != Step::CheckingService)
        endRun(Outcome::ServiceStopped);
}

void ConversionEnginePrivate::endWithSpeechFailure(const SpeechResult &result, bool fileStarted)
{
    RunEnd end;
    end.fileWasStarted = fileStarted;
    if (fileStarted)
        end.task = fileRun.taskPath;
    end.requestId = result.requestId;
    end.network = result.network;
    end.seconds = result.timeoutSeconds;
    switch (result.kind) {
    case SpeechResult::Answered:
        end.outcome = Outcome::UnparsableReply;
        break;
    case SpeechResult::NetworkError:
        end.outcome = Outcome::NetworkFailure;
        break;
    case SpeechResult::LocalTimeout:
        end.outcome = Outcome::LocalTimeout;
        // A request of a file under way: the window's close-document button comes back with the end.
        end.fileWasStarted
            = result.requestId != SpeechProtocol::TokenRequest && result.requestId != SpeechProtocol::HealthRequest;
        break;
    case SpeechResult::ServiceNotStarted:
        end.outcome = Outcome::ServiceNotStarted;
        end.detail = result.portHeld;
        break;
    case SpeechResult::ServiceStopped:
        end.outcome = Outcome::ServiceStopped;
        break;
    case SpeechResult::ServiceLost:
        end.outcome = Outcome::ServiceLost;
        break;
    case SpeechResult::TokenTimeout:
        end.outcome = Outcome::TokenTimeout;
        break;
    case SpeechResult::TokenUnparsable:
        end.outcome = Outcome::TokenUnparsable;
        break;
    }
    endRun(end);
}
