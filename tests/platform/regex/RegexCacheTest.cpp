#include "RegexTestSupport.h"

#include "platform/regex/RXRegexCache.h"

#include <QMap>

#include <atomic>
#include <thread>
#include <vector>

namespace {

RXRegexCache& cache() {
    return RXRegexCache::shared();
}

// Distinct patterns that all capture the digits after their own prefix.
QString numberedPattern(int index) {
    return QStringLiteral("p%1_(\\d+)").arg(index);
}

// Patterns of one cache set, in the order they were generated.
QStringList patternsOfSet(int set, int wanted) {
    QStringList found;
    for (int index = 0; found.size() < wanted; ++index) {
        if (RXRegexCache::setForRegex(numberedPattern(index), 0) == set)
            found.append(numberedPattern(index));
    }
    return found;
}

QString use(const QString& pattern) {
    const QString prefix = pattern.left(pattern.indexOf(QLatin1Char('(')));
    return stringByMatching("zz " + prefix + "42 zz", pattern, 1);
}

} // namespace

TEST(RegexCache, SixtyPatternsInTurnGiveCorrectResultsAndKeepTheLatestFourPerSet) {
    clearStringCache();
    QMap<int, QStringList> usedBySet;
    for (int index = 0; index < 60; ++index) {
        const QString pattern = numberedPattern(index);
        const QString subject = QStringLiteral("x p%1_%2 y").arg(index).arg(index * 7);
        ASSERT_EQ(stringByMatching(subject, pattern, 1), QString::number(index * 7)) << index;
        usedBySet[RXRegexCache::setForRegex(pattern, 0)].append(pattern);
    }
    int cached = 0;
    for (auto set = usedBySet.cbegin(); set != usedBySet.cend(); ++set) {
        const QStringList& patterns = set.value();
        for (qsizetype index = 0; index < patterns.size(); ++index) {
            const bool recent = index >= patterns.size() - RXRegexCache::Ways;
            EXPECT_EQ(cache().isCached(patterns[index], 0), recent) << patterns[index].toStdString();
            cached += recent ? 1 : 0;
        }
    }
    EXPECT_LE(cached, RXRegexCache::Entries);
    // Every pattern still answers correctly after eviction.
    for (int index = 0; index < 60; ++index)
        EXPECT_EQ(use(numberedPattern(index)), QStringLiteral("42"));
}

TEST(RegexCache, LeastRecentlyUsedWayIsReplaced) {
    clearStringCache();
    const QStringList patterns = patternsOfSet(5, 6);
    for (int index = 0; index < 4; ++index)
        use(patterns[index]);
    use(patterns[0]); // now patterns[1] is the oldest
    use(patterns[4]);
    EXPECT_TRUE(cache().isCached(patterns[0], 0));
    EXPECT_FALSE(cache().isCached(patterns[1], 0));
    EXPECT_TRUE(cache().isCached(patterns[2], 0));
    EXPECT_TRUE(cache().isCached(patterns[3], 0));
    EXPECT_TRUE(cache().isCached(patterns[4], 0));
    use(patterns[5]);
    EXPECT_FALSE(cache().isCached(patterns[2], 0));
    EXPECT_TRUE(cache().isCached(patterns[0], 0));
}

TEST(RegexCache, CachedPatternsAreNotCompiledAgain) {
    clearStringCache();
    const quint64 before = cache().compileCount();
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(componentsSeparatedByRegex("a,b", ","), QStringList({"a", "b"}));
        EXPECT_TRUE(isMatchedByRegex("ABC", "b", RXCaseless, RXMakeRange(0, 3), nullptr));
        // An equal pattern in another string object finds the same entry.
        EXPECT_TRUE(isMatchedByRegex("x,y", QString(",")));
    }
    EXPECT_EQ(cache().compileCount() - before, 2u);
    EXPECT_FALSE(isMatchedByRegex("ABC", "b"));
    EXPECT_EQ(cache().compileCount() - before, 3u);
    EXPECT_TRUE(cache().isCached("b", RXCaseless));
    EXPECT_TRUE(cache().isCached("b", 0));
}

TEST(RegexCache, InvalidPatternTakesNoEntry) {
    clearStringCache();
    EXPECT_FALSE(isRegexValid("(("));
    EXPECT_FALSE(cache().isCached("((", 0));
    EXPECT_FALSE(isRegexValid("(("));
}

TEST(RegexCache, ClearAndFlushForgetState) {
    const QString subject = "one two";
    EXPECT_EQ(componentsSeparatedByRegex(subject, " "), QStringList({"one", "two"}));
    EXPECT_TRUE(isMatchedByRegex(subject, "two"));
    EXPECT_EQ(cache().entriesSetTo(subject), 2);
    flushCachedRegexData(subject);
    EXPECT_EQ(cache().entriesSetTo(subject), 0);
    EXPECT_TRUE(cache().isCached(" ", 0));
    // A string of equal length and hash is the same subject as far as flushing goes.
    EXPECT_TRUE(isMatchedByRegex(subject, "one"));
    flushCachedRegexData(QString(subject.constData(), subject.size()));
    EXPECT_EQ(cache().entriesSetTo(subject), 0);

    clearStringCache();
    EXPECT_FALSE(cache().isCached(" ", 0));
    EXPECT_EQ(componentsSeparatedByRegex(subject, " "), QStringList({"one", "two"}));
}

TEST(RegexCache, ConcurrentUseFromManyThreadsStaysCorrect) {
    // More patterns than entries, so threads evict each other's entries while they work.
    std::vector<QString> patterns;
    std::vector<QString> subjects;
    for (int index = 0; index < 80; ++index) {
        patterns.push_back(QStringLiteral("(?:s%1)[,;](\\d)").arg(index));
        subjects.push_back(QStringLiteral("s%1,1s%1;2s%1,3tail").arg(index));
    }
    std::atomic<int> failures{0};
    std::atomic<int> ready{0};
    constexpr int threadCount = 8;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < threadCount; ++thread) {
        threads.emplace_back([&, thread] {
            // Start together, so that the threads really overlap.
            ++ready;
            while (ready.load() < threadCount)
                std::this_thread::yield();
            for (int round = 0; round < 2000; ++round) {
                const size_t index = size_t((round * 7 + thread * 13) % 80);
                const QString& subject = subjects[index];
                const QString prefix = QStringLiteral("s%1").arg(index);
                // Walking splits and single searches interleave on shared entries.
                if (componentsSeparatedByRegex(subject, patterns[index]) !=
                    QStringList({"", "1", "", "2", "", "3", "tail"}))
                    ++failures;
                if (componentsMatchedByRegex(subject, patterns[index], 1) != QStringList({"1", "2", "3"}))
                    ++failures;
                if (stringByReplacingOccurrencesOfRegex(subject, patterns[index], "<$1>") != "<1><2><3>tail")
                    ++failures;
                if (rangeOfRegex(subject, patterns[index], 1) != RXMakeRange(prefix.size() + 1, 1))
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}
