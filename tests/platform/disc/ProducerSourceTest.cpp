#include "platform/disc/ProducerSource.h"

#include "platform/disc/TestProducers.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>
#include <libburn/libburn.h>

#include <vector>

using namespace platform::disc;
using disctest::kBlock;
using disctest::PatternProducer;

namespace {

// Reads the whole track the way the recorder does, `size` bytes a call, into a buffer first filled with
// garbage so that bytes the source did not write would show.
QByteArray readAll(ProducerSource& source, int size, int* calls = nullptr) {
    QByteArray all;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(size));
    for (int n = 0; n < 100000; ++n) {
        std::fill(buffer.begin(), buffer.end(), 0xAA);
        int got = source.read(buffer.data(), size);
        if (calls)
            ++*calls;
        EXPECT_GE(got, 0);
        if (got <= 0)
            break;
        all.append(reinterpret_cast<const char*>(buffer.data()), got);
    }
    return all;
}

} // namespace

TEST(ProducerSource, AsksTheProducerForExactlyTheDeclaredSize) {
    auto producer = std::make_shared<PatternProducer>();
    auto source = std::make_shared<ProducerSource>(producer, 10);
    QByteArray data = readAll(*source, 3 * kBlock);
    EXPECT_EQ(data, disctest::pattern(10 * kBlock));
    EXPECT_EQ(producer->producedBytes.load(), 10 * kBlock);
    EXPECT_EQ(producer->requestedBytes.load(), 10 * kBlock);
    EXPECT_EQ(producer->misalignedRequests.load(), 0);
    EXPECT_FALSE(source->endedEarly());
    EXPECT_EQ(source->deliveredBytes(), 10 * kBlock);

    int before = producer->produceCalls;
    unsigned char spare[kBlock];
    EXPECT_EQ(source->read(spare, kBlock), 0);
    EXPECT_EQ(producer->produceCalls, before) << "the producer must not be asked past the declared size";
}

TEST(ProducerSource, ShortPiecesFromTheProducerAreCollectedIntoWholeBuffers) {
    auto producer = std::make_shared<PatternProducer>(-1, 1000);
    auto source = std::make_shared<ProducerSource>(producer, 5);
    int calls = 0;
    QByteArray data = readAll(*source, kBlock, &calls);
    EXPECT_EQ(data, disctest::pattern(5 * kBlock));
    EXPECT_EQ(calls, 6) << "five full blocks, then the end";
    EXPECT_EQ(producer->producedBytes.load(), 5 * kBlock);
    EXPECT_EQ(producer->misalignedRequests.load(), 0);
}

TEST(ProducerSource, ProducerEndingEarlyIsReportedAndTheRestIsZeros) {
    auto producer = std::make_shared<PatternProducer>(kBlock + kBlock / 2);
    auto source = std::make_shared<ProducerSource>(producer, 4);
    QByteArray data = readAll(*source, kBlock);
    ASSERT_EQ(data.size(), 4 * kBlock) << "the declared size is always delivered";
    EXPECT_EQ(data.left(kBlock + kBlock / 2), disctest::pattern(kBlock + kBlock / 2));
    EXPECT_EQ(data.mid(kBlock + kBlock / 2), QByteArray(2 * kBlock + kBlock / 2, '\0'));
    EXPECT_TRUE(source->endedEarly());
    EXPECT_EQ(source->producedBytes(), kBlock + kBlock / 2);
    EXPECT_EQ(producer->produceCalls, 3) << "once ended, the producer is not asked again";
}

TEST(ProducerSource, ProducerEndingExactlyAtTheSizeIsNotEarly) {
    auto producer = std::make_shared<PatternProducer>(3 * kBlock);
    auto source = std::make_shared<ProducerSource>(producer, 3);
    EXPECT_EQ(readAll(*source, kBlock), disctest::pattern(3 * kBlock));
    EXPECT_FALSE(source->endedEarly());
}

TEST(ProducerSource, CancelStopsTheProducerOnceAndIsNotAnEarlyEnd) {
    auto producer = std::make_shared<PatternProducer>();
    auto source = std::make_shared<ProducerSource>(producer, 4);
    unsigned char buffer[kBlock];
    ASSERT_EQ(source->read(buffer, kBlock), kBlock);
    source->cancel();
    source->cancel();
    EXPECT_EQ(producer->cancelCalls, 1);
    int calls = producer->produceCalls;
    std::fill(std::begin(buffer), std::end(buffer), 0xAA);
    ASSERT_EQ(source->read(buffer, kBlock), kBlock);
    EXPECT_EQ(producer->produceCalls, calls);
    EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](unsigned char b) { return b == 0; }));
    EXPECT_FALSE(source->endedEarly());
}

TEST(ProducerSource, ChecksumCoversEveryDeliveredByteIncludingTheZeroFill) {
    auto producer = std::make_shared<PatternProducer>(kBlock / 2);
    auto source = std::make_shared<ProducerSource>(producer, 2);
    QByteArray data = readAll(*source, kBlock);
    EXPECT_EQ(source->checksum(), QCryptographicHash::hash(data, QCryptographicHash::Sha256));
    EXPECT_NE(source->checksum(),
              QCryptographicHash::hash(disctest::pattern(2 * kBlock), QCryptographicHash::Sha256));
}

TEST(ProducerSource, LibrarySourceReadsThroughAndReleasesItsHold) {
    auto producer = std::make_shared<PatternProducer>();
    auto source = std::make_shared<ProducerSource>(producer, 3);
    burn::burn_source* librarySource = source->makeLibrarySource();
    ASSERT_NE(librarySource, nullptr);
    EXPECT_EQ(source.use_count(), 2);
    EXPECT_EQ(librarySource->get_size(librarySource), 3 * kBlock);
    unsigned char buffer[kBlock];
    EXPECT_EQ(librarySource->read_xt(librarySource, buffer, kBlock), kBlock);
    EXPECT_EQ(buffer[5], disctest::patternByte(5));
    librarySource->cancel(librarySource);
    EXPECT_EQ(producer->cancelCalls, 1);
    burn::burn_source_free(librarySource);
    EXPECT_EQ(source.use_count(), 1);
}
