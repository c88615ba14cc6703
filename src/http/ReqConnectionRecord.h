#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace platform::net {
class HttpReadStream;
}

// One connection of the pool of kept connections, shared by the pool and the request using it; read and
// written under the pool lock. The stream that last ran on it holds the connection itself.
struct ReqConnectionRecord {
    int id = 0;
    QString host;
    int port = 0; // as the URL writes it; 0 when it names none
    QString scheme;
    std::optional<unsigned> request; // the request using it; none while idle
    std::shared_ptr<platform::net::HttpReadStream> stream;
    std::optional<double> expires; // monotonic seconds after which an idle connection is dropped
};
