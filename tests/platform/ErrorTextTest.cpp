#include "platform/foundation/ErrorText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

using platform::Error;

QVariantMap described(const QString& text) {
    return {{QLatin1String(platform::kLocalizedDescriptionKey), text}};
}

TEST(ErrorText, TheLibrarysOwnWordsComeFirstThenThoseOfTheErrorBeneath) {
    EXPECT_EQ(
        platform::errorSentence(Error("org.example.disc", 3, described("The disc is full.")), "Not burnt."),
        "The disc is full.");
    const Error beneath("org.example.net", 5, described("The connection was reset."));
    EXPECT_EQ(platform::errorSentence(
                  Error("org.example.request", 9,
                        {{QLatin1String(platform::kUnderlyingErrorKey), QVariant::fromValue(beneath)}}),
                  "Not sent."),
              "The connection was reset.");
    EXPECT_EQ(platform::errorSentence(Error(platform::kPosixErrorDomain, ENOSPC), "Not written."),
              QString::fromLocal8Bit(std::strerror(ENOSPC)));
}

TEST(ErrorText, AnErrorNobodyDescribedNeverReadsAsABareDomainAndNumber) {
    EXPECT_EQ(platform::errorSentence(Error("org.example", 7), "The movie could not be written."),
              "The movie could not be written.");
    const QString general = platform::errorSentence(Error("org.example", 7));
    EXPECT_NE(general, Error("org.example", 7).localizedDescription());
    EXPECT_TRUE(general.startsWith("The operation could not be completed")) << general.toStdString();
    // A description that is itself only the domain and number says nothing either.
    EXPECT_EQ(
        platform::errorSentence(Error("org.example", 7, described("org.example error 7")), "Not saved."),
        "Not saved.");
}

TEST(ErrorText, AReportedTextIsShownUnlessItIsEmptyOrABareCode) {
    const QString fallback = "The song could not be copied into the project.";
    EXPECT_EQ(platform::errorSentence("Cannot replace \"a.mp3\": No space left on device", fallback),
              "Cannot replace \"a.mp3\": No space left on device");
    EXPECT_EQ(platform::errorSentence("While writing the film: broken pipe\nThe frames: stopped", fallback),
              "While writing the film: broken pipe\nThe frames: stopped")
        << "a detail of several lines keeps them";
    EXPECT_EQ(platform::errorSentence("", fallback), fallback);
    EXPECT_EQ(platform::errorSentence("  \n", fallback), fallback);
    EXPECT_EQ(platform::errorSentence("org.vistrelle.posix error 28", fallback), fallback);
    EXPECT_EQ(platform::errorSentence("RXICURegexErrorDomain error 3", fallback), fallback);
    EXPECT_EQ(platform::errorSentence("ffmpeg failed with status 1.", fallback),
              "ffmpeg failed with status 1.");
}

} // namespace
