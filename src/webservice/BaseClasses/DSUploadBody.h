#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/UniqueFd.h"
#include "webservice/HTTPFetcher/NetFetcherErrors.h"
#include "webservice/HTTPFetcher/NetInputStream.h"

#include <QMap>
#include <QString>

#include <memory>

using DSHTTPHeaders = QMap<QString, QString>;

// An upload's media file: a descriptor the uploader owns and closes after the outcome; entries and their
// copies share it and only read it.
using DSUploadFileHandle = std::shared_ptr<platform::UniqueFd>;

// The body of a plain upload with the request headers that go with it. No stream and no error: the object
// has no media to send, and its XML goes alone. An error: it has media that could not be read whole, and
// nothing may be sent (the POSIX domain, the system's error number).
struct DSUploadBody {
    std::unique_ptr<NetInputStream> stream; // open it read-only before reading
    quint64 length = 0;
    DSHTTPHeaders headers;
    platform::OptionalError error;

    bool hasBody() const { return stream != nullptr; }
};
