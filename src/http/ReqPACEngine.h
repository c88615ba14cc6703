#pragma once

#include "http/ReqPACScript.h"

// Runs one proxy auto-configuration script in this process, in a bare script engine (no file or network
// access beyond the helpers' name lookups, each bounded by the time left), interrupted once past its time or
// once the process has grown past the memory budget. Only the script runner uses it: the process that runs
// a script bounds its heap first, since a single built-in call (one huge buffer) is not interrupted.
class ReqPACEngine {
public:
    struct Result {
        QString answer; // what FindProxyForURL answered, when it did
        QString failure;
    };

    // Lets this process's data grow by about `budgetBytes` from now on: an allocation past it fails.
    static bool boundHeap(qint64 budgetBytes);
    static Result evaluate(const QString& script, const QUrl& url, const ReqPACLimits& limits);
};
