#pragma once

#include "platform/net/HttpHeaders.h"

#include <QString>
#include <QUrl>

namespace platform::net {

// The head of a reply: where it came from, its status and its header fields.
struct UrlResponse {
    QUrl url;
    int statusCode = 0; // 0 for a reply that is not HTTP
    HttpHeaders headers;
    qint64 expectedContentLength = -1; // -1 when the reply does not say

    bool isValid() const { return url.isValid(); }
    bool isHttp() const { return statusCode > 0; }
    // The media type of "Content-Type" in lower case, without parameters.
    QString mimeType() const {
        return QString::fromLatin1(headers.value("Content-Type").split(';').first().trimmed()).toLower();
    }
};

} // namespace platform::net
