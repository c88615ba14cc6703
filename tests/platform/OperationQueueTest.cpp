#include "platform/foundation/OperationQueue.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

// An operation that runs until the test finishes it.
class ManualOperation : public platform::Operation {
public:
    ManualOperation(QString name, QStringList& started) : name(std::move(name)), started(started) {}
    void start() override {
        started << name;
        if (cancelled)
            finish();
        else
            executing = true;
    }
    void cancel() override { cancelled = true; }
    bool isExecuting() const override { return executing; }
    bool isFinished() const override { return finished; }
    bool isCancelled() const override { return cancelled; }
    void finish() {
        executing = false;
        finished = true;
        didFinish();
    }

private:
    QString name;
    QStringList& started;
    std::atomic<bool> executing{false}, finished{false}, cancelled{false};
};

TEST(OperationQueueTest, RunsByWidthPriorityAndDependencies) {
    QStringList started;
    platform::OperationQueue queue(2);
    queue.setSuspended(true);
    auto make = [&](const char* name, int priority = platform::Operation::kPriorityNormal) {
        auto operation = std::make_shared<ManualOperation>(name, started);
        operation->setQueuePriority(priority);
        return operation;
    };
    auto a = make("a"), b = make("b"), c = make("c", platform::Operation::kPriorityHigh), d = make("d"),
         e = make("e");
    d->addDependency(a);
    for (const auto& operation : {a, b, c, d, e})
        queue.addOperation(operation);
    EXPECT_TRUE(started.isEmpty());
    queue.setSuspended(false);
    EXPECT_EQ(started, QStringList({"c", "a"}));
    c->finish();
    EXPECT_EQ(started, QStringList({"c", "a", "b"})); // d still waits for a
    a->finish();
    EXPECT_EQ(started, QStringList({"c", "a", "b", "d"}));
    queue.cancelAllOperations(); // the cancelled still go through start(), as room comes
    EXPECT_EQ(started.size(), 4);
    b->finish();
    EXPECT_EQ(started.last(), "e");
    EXPECT_TRUE(e->isFinished());
    d->finish();
    EXPECT_EQ(queue.operationCount(), 0);
}

} // namespace
