#pragma once

// The speech service's err_no values, shared by the client and our own service.
namespace SpeechErrors {
enum Code {
    NoSpeech = 3301, // nothing recognisable in the segment
    AuthenticationFailed = 3302, // unknown, altered or expired token, or wrong credentials
    BackendBusy = 3303,
    RetryLater = 3304, // the client pauses and sends the same segment again
    RecognitionError = 3307,
    NotPcm = 3309,
    ParseTimeout = 3313,
    AudioTooShort = 3314,
    ProcessingTimeout = 3315,
    PcmConversionFailed = 3316,
};
} // namespace SpeechErrors
