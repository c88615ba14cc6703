#pragma once

// Error domains, codes and notification names of the HTTP fetcher family.

// A reply with a status of 300 or more carries the status as its code; -4 is a failed write of the download.
inline constexpr char kNetHTTPFetcherStatusDomain[] = "org.vistrelle.HTTPStatus";
// Failures of the fetcher itself.
inline constexpr char kNetHTTPFetcherErrorDomain[] = "org.vistrelle.HTTPFetcher";

// An operating-system error (errno) of the download file.
inline constexpr char kNetPOSIXErrorDomain[] = "org.vistrelle.posix";

enum : long long {
    kNetHTTPFetcherErrorDownloadFailed = -1,                // fetcher domain: the fetch could not begin
    kNetHTTPFetcherErrorAuthenticationChallengeFailed = -2, // fetcher domain
    kNetHTTPFetcherErrorChunkUploadFailed = -3,             // fetcher domain: an upload step could not begin
    kNetHTTPFetcherErrorFileHandleException = -4, // status domain: the download file could not be written
    kNetHTTPFetcherErrorUploadFileChanged = -5,   // fetcher domain: the upload's file is not the one to send
    kNetHTTPFetcherStatusNotModified = 304,
    kNetHTTPFetcherStatusResumeIncomplete = 308,
    kNetHTTPFetcherStatusUploadWithoutLocation = 501,
};

inline constexpr char kNetHTTPFetcherErrorChallengeKey[] = "challenge";

inline constexpr char kNetHTTPFetcherStartedNotification[] = "kNetHTTPFetcherStartedNotification";
inline constexpr char kNetHTTPFetcherStoppedNotification[] = "kNetHTTPFetcherStoppedNotification";
inline constexpr char kNetHTTPFetcherRetryDelayStartedNotification[] =
    "kNetHTTPFetcherRetryDelayStartedNotification";
inline constexpr char kNetHTTPFetcherRetryDelayStoppedNotification[] =
    "kNetHTTPFetcherRetryDelayStoppedNotification";
