// Proxy auto-configuration: the script is read from a file or fetched over HTTP, run for the request's URL
// on a thread of its own under the script limits, and its first choice taken; the request starts once the
// script has answered. Whatever goes wrong (no script, one too large, a script that fails, runs too long or
// takes too much memory) leaves the request direct.

#include "http/ReqHTTPRequest.h"

#include "http/ReqClassState.h"
#include "http/ReqPACScript.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

// More than any real proxy script; a larger file is no script of ours to run.
constexpr qint64 kLargestScript = 1 << 20;

QString decodeScript(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString readScriptFile(const QString& path) {
    const QFileInfo info(path);
    QFile file(path);
    // Only a plain file: a pipe or a device could hold the network thread for ever.
    if (!info.isFile() || info.size() > kLargestScript || !file.open(QIODevice::ReadOnly))
        return QString();
    return decodeScript(file.read(kLargestScript));
}

} // namespace

void ReqHTTPRequest::fetchPACFile() {
    const QUrl script = PACurl();
    if (script.isLocalFile()) {
        runPACScript(readScriptFile(script.toLocalFile()));
        return;
    }
    const QString scheme = script.scheme().toLower();
    if (scheme != u"http" && scheme != u"https") {
        startRequest();
        return;
    }
    const Ptr scriptRequest = requestWithURL(script);
    scriptRequest->setIsPACFileRequest(true);
    scriptRequest->setTimeOutSeconds(timeOutSeconds());
    scriptRequest->setMaxResponseBytesInMemory(kLargestScript);
    if (isSynchronous()) {
        scriptRequest->startSynchronous();
        runPACScript(scriptRequest->error() ? QString() : scriptRequest->responseString());
        return;
    }
    scriptRequest->setQueuePriority(platform::Operation::kPriorityHigh);
    // Taken up once the script's request has let go of its own lock: this request's lock is taken while
    // it holds the script's, never the other way round.
    scriptRequest->pacFileFinished.set(
        [weak = std::weak_ptr<ReqHTTPRequest>(shared())](ReqHTTPRequest& done) {
            if (const Ptr self = weak.lock())
                self->requestRunLoop()->post(
                    [self, script = done.shared()] { self->finishedDownloadingPACFile(*script); });
        });
    setPACFileRequest(scriptRequest);
    {
        // The waiting request holds a slot of the shared queue: the script's request gets one of its own.
        ReqClassState& state = ReqClassState::shared();
        std::lock_guard poolLock(state.poolLock);
        state.sharedQueue.setMaxConcurrentOperationCount(state.sharedQueue.maxConcurrentOperationCount() + 1);
        raisedSharedQueueWidth = true;
    }
    scriptRequest->startAsynchronous();
}

void ReqHTTPRequest::finishedDownloadingPACFile(ReqHTTPRequest& scriptRequest) {
    std::lock_guard lock(cancelledLock_);
    if (PACFileRequest().get() != &scriptRequest)
        return; // given up meanwhile
    const QString script = scriptRequest.error() ? QString() : scriptRequest.responseString();
    lowerSharedQueueWidth();
    setPACFileRequest(Ptr());
    if (!isCancelled() && !error())
        runPACScript(script);
}

void ReqHTTPRequest::lowerSharedQueueWidth() {
    if (!raisedSharedQueueWidth.exchange(false))
        return;
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard poolLock(state.poolLock);
    state.sharedQueue.setMaxConcurrentOperationCount(state.sharedQueue.maxConcurrentOperationCount() - 1);
}

void ReqHTTPRequest::runPACScript(const QString& script) {
    if (script.isEmpty()) {
        startRequest();
        return;
    }
    pacScriptStop = ReqPACScript::evaluateAsync(
        script, url(), ReqPACScript::limitsWithin(timeOutSeconds()),
        [weak = std::weak_ptr<ReqHTTPRequest>(shared()), loop = requestRunLoop()](ReqPACAnswer answer) {
            loop->post([weak, answer = std::move(answer)] {
                if (const Ptr self = weak.lock())
                    self->finishedRunningPACScript(answer);
            });
        });
}

void ReqHTTPRequest::finishedRunningPACScript(const ReqPACAnswer& answer) {
    std::lock_guard lock(cancelledLock_);
    pacScriptStop.reset();
    if (isCancelled() || error())
        return;
    if (answer.choices && answer.choices->first().type != ReqProxyChoice::Type::Direct) {
        const ReqProxyChoice& first = answer.choices->first();
        setProxyHost(first.host);
        setProxyPort(first.port);
        setProxyType(QString::fromLatin1(first.type == ReqProxyChoice::Type::Socks ? kReqProxyTypeSOCKS
                                                                                   : kReqProxyTypeHTTP));
    }
    startRequest();
}

void ReqHTTPRequest::stopPACWork() {
    if (pacScriptStop) {
        *pacScriptStop = true;
        pacScriptStop.reset();
    }
    if (const Ptr pacRequest = PACFileRequest()) {
        pacRequest->pacFileFinished.set(nullptr);
        pacRequest->clearDelegatesAndCancel();
        setPACFileRequest(Ptr());
        lowerSharedQueueWidth();
    }
}
