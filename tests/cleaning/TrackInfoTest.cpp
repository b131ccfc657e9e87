// SPDX-License-Identifier: GPL-3.0-or-later
// The track information text and file sizes, under a locale with a decimal
// point and one with a decimal comma.

#include "cleaning/TrackInfo.h"

#include "FakeLibrary.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace tidyfox::cleaning::test {
namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

// Dates are shown in local time; pin it.
const bool utc = [] {
    setenv("TZ", "UTC", 1);
    tzset();
    return true;
}();

TEST(FormatFileSizeTest, UnitsAndRounding)
{
    const std::pair<float, const char *> cases[] = {
        {0.0f, "0 Bytes"},       {1023.0f, "1023 Bytes"},
        {1024.0f, "1 KB"},       {1536.0f, "1.5 KB"},
        {1280.0f, "1.2 KB"}, // 1.25: halfway, to the even digit
        {1792.0f, "1.8 KB"}, // 1.75
        {1048575.0f, "1024 KB"}, {1048576.0f, "1 MB"},
        {2359296.0f, "2.2 MB"},                                            // 2.25
        {5000000.0f, "4.8 MB"},  {static_cast<float>(1073741823), "1 GB"}, // 1073741824 in single precision
        {1073741824.0f, "1 GB"}, {2147483648.0f, "2 GB"},
    };
    for (const auto &[size, expected] : cases)
        EXPECT_EQ(formatFileSize(size, kUs), QLatin1String(expected)) << size;
}

TEST(FormatFileSizeTest, DecimalCommaAndNoGrouping)
{
    EXPECT_EQ(formatFileSize(1536.0f, kGerman), QStringLiteral("1,5 KB"));
    EXPECT_EQ(formatFileSize(5000000.0f, kGerman), QStringLiteral("4,8 MB"));
    EXPECT_EQ(formatFileSize(1048575.0f, kGerman), QStringLiteral("1024 KB"));
    EXPECT_EQ(formatFileSize(1000.0f, kGerman), QStringLiteral("1000 Bytes"));
}

FakeTrackData fullTrack()
{
    FakeTrackData track;
    track.name = QStringLiteral("Alpha");
    track.time = QStringLiteral("3:07");
    track.album = QStringLiteral("First Album");
    track.artist = QStringLiteral("Ann Artist");
    track.genre = QStringLiteral("Jazz");
    track.kindAsString = QStringLiteral("MPEG audio file");
    track.bitRate = 192;
    track.sampleRate = 44100;
    track.composer = QStringLiteral("Cole");
    track.dateAdded = QDateTime(QDate(2024, 3, 7), QTime(15, 4, 5), Qt::UTC);
    track.longDescription = QStringLiteral("Long text");
    track.size = 1536;
    track.location = QStringLiteral("/music/Alpha.mp3");
    return track;
}

QString infoOf(const FakeTrackData &data, const QLocale &locale)
{
    auto library = FakeLibrary::create();
    library->addTrack(data);
    libraryclient::TrackPtr track;
    library->app()->libraryPlaylist()->tracks()->forEach([&](const libraryclient::TrackPtr &t) {
        track = t;
        return false;
    });
    return buildTrackInfo(track.get(), locale);
}

TEST(TrackInfoTest, AllThirteenLinesInOrder)
{
    ASSERT_TRUE(utc);
    const QString expected = QStringLiteral("Name:Alpha\rTime:3:07\rAlbum:First Album\rArtist:Ann Artist\r"
                                            "Genre:Jazz\rKind:MPEG audio file\rBitrate:192 Kb/s\r"
                                            "Sample Rate:44.1 KHz\rComposer:Cole\rDate Added:3/7/24 %1\r"
                                            "Description:Long text\rSize:1.5 KB\rLocation:/music/Alpha.mp3\r")
                                 .arg(kUs.toString(QTime(15, 4, 5), QLocale::LongFormat));
    EXPECT_EQ(infoOf(fullTrack(), kUs), expected);
    EXPECT_TRUE(expected.contains(QStringLiteral("3:04:05")));

    const QString german = infoOf(fullTrack(), kGerman);
    EXPECT_TRUE(german.contains(QStringLiteral("\rSample Rate:44,1 KHz\r")));
    EXPECT_TRUE(german.contains(QStringLiteral("\rSize:1,5 KB\r")));
    EXPECT_TRUE(german.contains(QStringLiteral("\rDate Added:07.03.24 15:04:05")));
}

TEST(TrackInfoTest, SampleRatesInKilohertz)
{
    const std::pair<int, const char *> cases[] = {{44100, "Sample Rate:44.1 KHz"},
                                                  {48000, "Sample Rate:48 KHz"},
                                                  {22050, "Sample Rate:22.05 KHz"},
                                                  {0, "Sample Rate:0 KHz"}};
    for (const auto &[rate, line] : cases) {
        FakeTrackData track = fullTrack();
        track.sampleRate = rate;
        EXPECT_TRUE(infoOf(track, kUs).contains(QLatin1Char('\r') + QLatin1String(line) + QLatin1Char('\r'))) << rate;
    }
    FakeTrackData track = fullTrack();
    track.sampleRate = 22050;
    EXPECT_TRUE(infoOf(track, kGerman).contains(QStringLiteral("Sample Rate:22,05 KHz")));
}

TEST(TrackInfoTest, EmptyTextsLeaveTheirLineOutNumbersStay)
{
    FakeTrackData track = fullTrack();
    track.genre.clear();
    track.kindAsString.clear();
    track.composer.clear();
    track.longDescription.clear();
    track.location.clear();
    track.bitRate = 0;
    track.size = 0;
    track.name.clear();
    track.dateAdded = QDateTime(QDate(2024, 3, 7), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(infoOf(track, kUs), QStringLiteral("Name:\rTime:3:07\rAlbum:First Album\rArtist:Ann Artist\r"
                                                 "Bitrate:0 Kb/s\rSample Rate:44.1 KHz\rDate Added:3/7/24\r"
                                                 "Size:0 Bytes\r"));
}

TEST(TrackInfoTest, AStreamHasNoLocationLine)
{
    FakeTrackData track = fullTrack();
    track.stream = true;
    const QString info = infoOf(track, kUs);
    EXPECT_FALSE(info.contains(QStringLiteral("Location:")));
    EXPECT_TRUE(info.endsWith(QStringLiteral("Size:1.5 KB\r")));
}

TEST(TrackInfoTest, NothingReadableGivesAnEmptyText)
{
    EXPECT_TRUE(buildTrackInfo(nullptr, kUs).isEmpty());

    auto library = FakeLibrary::create();
    library->addTrack(fullTrack());
    libraryclient::TrackPtr track;
    library->app()->libraryPlaylist()->tracks()->forEach([&](const libraryclient::TrackPtr &t) {
        track = t;
        return false;
    });
    track->deleteFromLibrary();
    EXPECT_TRUE(buildTrackInfo(track.get(), kUs).isEmpty());
}

} // namespace
} // namespace tidyfox::cleaning::test
