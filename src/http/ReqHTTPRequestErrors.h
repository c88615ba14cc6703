#pragma once

#include "platform/foundation/Error.h"

#include <QString>

// The error domain of the request library and its codes.
inline constexpr char kReqHTTPRequestErrorDomain[] = "ReqHTTPRequestErrorDomain";

enum ReqHTTPRequestErrorCode : qint64 {
    ReqConnectionFailureErrorType = 1,
    ReqRequestTimedOutErrorType = 2,
    ReqAuthenticationErrorType = 3,
    ReqRequestCancelledErrorType = 4,
    ReqUnableToCreateRequestErrorType = 5,
    ReqInternalErrorWhileBuildingRequestType = 6,
    ReqInternalErrorWhileApplyingCredentialsType = 7,
    ReqFileManagementError = 8,
    ReqTooMuchRedirectionErrorType = 9,
    ReqUnhandledExceptionError = 10,
    ReqCompressionError = 11,
    ReqResponseTooLargeErrorType = 12,
};

// An error of the library's domain with its description, and the error beneath it when there is one.
platform::Error reqError(qint64 code, const QString& description,
                         const std::optional<platform::Error>& underlying = std::nullopt);

// The five errors made once and handed to every request that fails that way (codes 2, 3, 4, 5 and 9).
const platform::Error& reqRequestTimedOutError();
const platform::Error& reqAuthenticationError();
const platform::Error& reqRequestCancelledError();
const platform::Error& reqUnableToCreateRequestError();
const platform::Error& reqTooMuchRedirectionError();

// Code 12: "The reply is too large" and why (`reason` completes the sentence).
platform::Error reqResponseTooLargeError(const QString& reason);

// The underlying error of `error`, when it carries one.
std::optional<platform::Error> reqUnderlyingError(const platform::Error& error);
