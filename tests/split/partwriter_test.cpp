// Writing the parts: tags, names, existing files, failures part-way and cancelling.
#include <algorithm>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "clips/cleancut.h"
#include "files/safefile.h"
#include "split/parttags.h"
#include "split/partrange.h"
#include "split/partwriter.h"
#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

class PartWriter : public ::testing::Test {
protected:
    PartWriter() {
        source = dir.file("show.mp3");
        // 400 silent frames (10.4 s), no LAME tag: parts are whole frames of the walk.
        testfiles::WriteFile(source, testfiles::SilentFrames(400));
        mdlID3::ID3TagInfo tags;
        tags.Artist = "Host";
        tags.Album = "Radio";
        tags.Title = "Whole show";
        tags.Year = "2024";
        EXPECT_TRUE(mdlID3::WriteID3v2Tag(source, tags, mdlID3::kWriteV23, true, false));
        EXPECT_TRUE(mdlID3::WriteID3v1Tag(source, tags, false));
        std::string error;
        EXPECT_TRUE(split.Open(source, &error)) << error;
        plan = SplitPlan(split.DurationSeconds());
        plan.AddCut(3);
        plan.AddCut(6);
        options.outputDir = dir.file("out");
        fs::create_directory(options.outputDir);
    }
    std::string Out(const std::string& name) const { return (fs::path(options.outputDir) / name).string(); }
    size_t FilesIn(const std::string& folder) const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    testfiles::TempDir dir;
    std::string source;
    SplitSource split;
    SplitPlan plan;
    SplitOptions options;
};

TEST_F(PartWriter, PartsAreTaggedFromTheSourceWithTheirOwnTitleAndTrack) {
    plan.SetPartTitle(1, "Interview");
    plan.SetPartPerformer(1, "Guest");
    const SplitOutcome outcome = SaveParts(split, plan, options);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_EQ(outcome.written.size(), 3u);
    const char* titles[] = {"show - 01", "Interview", "show - 03"};
    for (size_t i = 0; i < 3; ++i) {
        const SavedPart& part = outcome.written[i];
        EXPECT_EQ(part.path, Out("show - 0" + std::to_string(i + 1) + ".mp3"));
        EXPECT_EQ(part.title, titles[i]);
        mdlID3::ID3TagInfo v2, v1;
        ASSERT_TRUE(mdlID3::ReadID3v2Tag(part.path, v2));
        EXPECT_EQ(v2.Title, titles[i]);
        EXPECT_EQ(v2.Track, std::to_string(i + 1) + "/3");
        EXPECT_EQ(v2.Artist, i == 1 ? "Guest" : "Host");
        EXPECT_EQ(v2.Album, "Radio");
        ASSERT_TRUE(mdlID3::ReadID3v1Tag(part.path, v1));
        EXPECT_EQ(v1.Title, titles[i]);
        EXPECT_EQ(v1.Track, std::to_string(i + 1));
        // Each part starts where the one before ends, on its cut point's sample.
        EXPECT_EQ(part.start, i == 0 ? 0.0 : outcome.written[i - 1].end);
        EXPECT_EQ(part.end, i < 2 ? 3.0 * (i + 1) : split.DurationSeconds());
    }
    EXPECT_EQ(outcome.written[1].samples, 3u * 44100);
    EXPECT_TRUE(outcome.written[1].exactStart);
    EXPECT_EQ(outcome.written[0].samples + outcome.written[1].samples + outcome.written[2].samples, 400u * 1152 - 529);
    EXPECT_EQ(FilesIn(options.outputDir), 3u);
}

TEST_F(PartWriter, AnExistingPartStopsTheSplitBeforeAnythingIsWritten) {
    testfiles::WriteFile(Out("show - 02.mp3"), testfiles::FromString("keep me"));
    SplitOutcome outcome = SaveParts(split, plan, options);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failedPart, -1);
    EXPECT_NE(outcome.error.find("show - 02.mp3 exists already"), std::string::npos) << outcome.error;
    EXPECT_EQ(FilesIn(options.outputDir), 1u);
    EXPECT_EQ(testfiles::ReadFile(Out("show - 02.mp3")), testfiles::FromString("keep me"));

    options.overwrite = true;
    outcome = SaveParts(split, plan, options);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_GT(fs::file_size(Out("show - 02.mp3")), 1000u);
}

TEST_F(PartWriter, AFileNamedLikeAPartWhileItIsWrittenIsNeverReplaced) {
    // Part 1 waits for its flush while part 2 is written; a file that takes its name meanwhile stays.
    const SplitOutcome outcome = SaveParts(split, plan, options, [&](size_t part, double) {
        if (part == 1) testfiles::WriteFile(Out("show - 01.mp3"), testfiles::FromString("theirs"));
        return true;
    });
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failedPart, 0);
    EXPECT_NE(outcome.error.find("exists already"), std::string::npos) << outcome.error;
    EXPECT_EQ(testfiles::ReadFile(Out("show - 01.mp3")), testfiles::FromString("theirs"));
    EXPECT_EQ(FilesIn(options.outputDir), 1u);
}

TEST_F(PartWriter, AFolderFlushThatFailsIsAFailureWithThePartsSaved) {
    mdlID3::InjectFolderFlushFailure(true);
    const SplitOutcome outcome = SaveParts(split, plan, options);
    mdlID3::InjectFolderFlushFailure(false);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failedPart, -1);
    EXPECT_EQ(outcome.written.size(), 3u);
    EXPECT_NE(outcome.error.find("The parts were saved, but"), std::string::npos) << outcome.error;
    EXPECT_EQ(FilesIn(options.outputDir), 3u);
}

TEST_F(PartWriter, ProgressRisesToTheEndAndCancelStopsBetweenParts) {
    std::vector<double> fractions;
    ASSERT_TRUE(SaveParts(split, plan, options, [&](size_t part, double f) {
                    EXPECT_LT(part, plan.PartCount() + 1);
                    fractions.push_back(f);
                    return true;
                }).ok);
    ASSERT_EQ(fractions.size(), plan.PartCount() + 1);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(fractions.back(), 1.0);

    fs::remove_all(options.outputDir);
    fs::create_directory(options.outputDir);
    fractions.clear();
    const SplitOutcome outcome = SaveParts(split, plan, options, [&](size_t part, double f) {
        fractions.push_back(f);
        return part < 1;
    });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.written.size(), 1u);
    EXPECT_EQ(FilesIn(options.outputDir), 1u);
    ASSERT_EQ(fractions.size(), 2u);
    EXPECT_EQ(fractions[0], 0);
    EXPECT_NEAR(fractions[1], 3.0 / 10.4, 0.01);

    // Cancelled at the start, nothing is written.
    fs::remove_all(options.outputDir);
    fs::create_directory(options.outputDir);
    const SplitOutcome none = SaveParts(split, plan, options, [](size_t, double) { return false; });
    EXPECT_TRUE(none.cancelled);
    EXPECT_EQ(FilesIn(options.outputDir), 0u);
}

TEST_F(PartWriter, PartsAreTheFilesThatTaggingTheFinishedPartMakes) {
    plan.SetPartPerformer(1, "Guest");
    const auto check = [&](const std::string& label) {
        SCOPED_TRACE(label);
        std::string error;
        ASSERT_TRUE(split.Open(source, &error)) << error;  // the frames moved with the tags
        fs::remove_all(options.outputDir);
        fs::create_directory(options.outputDir);
        const SplitOutcome outcome = SaveParts(split, plan, options);
        ASSERT_TRUE(outcome.ok) << outcome.error;
        std::vector<ClipLayout> ranges;
        ASSERT_TRUE(PartRanges(split, plan, &ranges, &error)) << error;
        ASSERT_EQ(outcome.written.size(), ranges.size());
        const SourceTags tags = ReadSourceTags(source);
        for (size_t i = 0; i < ranges.size(); ++i) {
            // The part as it was made before: written untagged, then tagged through the library.
            const auto tagPart = [&](const std::string& path, std::string* why) {
                return WritePartTags(path, tags, outcome.written[i].title, plan.Part(i).performer, i + 1,
                                     ranges.size(), why);
            };
            const std::string twoStep = dir.file("two-step.mp3");
            ASSERT_TRUE(SaveCleanClipLayout(source, split.Table(), ranges[i], twoStep, &error, nullptr, tagPart))
                << error;
            EXPECT_EQ(testfiles::ReadFile(outcome.written[i].path), testfiles::ReadFile(twoStep)) << "part " << i;
        }
    };
    check("ID3v2.3 and ID3v1");
    ASSERT_TRUE(mdlID3::RemoveID3v2Tag(source, false));
    check("ID3v1 only");
    ASSERT_TRUE(mdlID3::RemoveID3v1Tag(source, false));
    mdlID3::ID3TagInfo info;
    info.Title = "Ünïcode show";
    ASSERT_TRUE(mdlID3::WriteID3v2Tag(source, info, mdlID3::kWriteV24, true, false));
    check("ID3v2.4 only");
    ASSERT_TRUE(mdlID3::RemoveID3v2Tag(source, false));
    check("no tags");
}

TEST_F(PartWriter, AFailureAnywhereKeepsExactlyThePartsNamedBeforeIt) {
    plan.ClearCuts();
    for (double t = 0.5; t < 10; t += 0.5) plan.AddCut(t);  // more parts than are flushed at once
    int partial = 0;
    for (int failAt = 1; failAt < 140; failAt += 3) {
        SCOPED_TRACE(failAt);
        fs::remove_all(options.outputDir);
        fs::create_directory(options.outputDir);
        mdlID3::InjectIoFailureAt(failAt);
        const SplitOutcome outcome = SaveParts(split, plan, options);
        mdlID3::InjectIoFailureAt(0);
        if (outcome.ok) break;
        if (!outcome.written.empty()) ++partial;
        EXPECT_EQ(outcome.failedPart, static_cast<int>(outcome.written.size()));
        EXPECT_NE(outcome.error.find("Part " + std::to_string(outcome.failedPart + 1)), std::string::npos);
        // The parts named are complete (tagged to the end), and nothing else is in the folder.
        EXPECT_EQ(FilesIn(options.outputDir), outcome.written.size());
        for (const SavedPart& part : outcome.written) {
            mdlID3::ID3TagInfo v1;
            EXPECT_TRUE(mdlID3::ReadID3v1Tag(part.path, v1)) << part.path;
        }
    }
    EXPECT_GT(partial, 5);
}

TEST_F(PartWriter, PlansThatCannotBeWrittenAreRefusedWhole) {
    options.namePattern = "{title}";
    SplitOutcome outcome = SaveParts(split, plan, options);
    EXPECT_NE(outcome.error.find("Two parts"), std::string::npos) << outcome.error;

    options.namePattern = "{n}";
    options.outputDir = dir.file("missing");
    outcome = SaveParts(split, plan, options);
    EXPECT_NE(outcome.error.find("does not exist"), std::string::npos) << outcome.error;

    // Two cut points on one sample leave a part without audio.
    options.outputDir = dir.file("out");
    plan.AddCut(6 + 1e-6);
    outcome = SaveParts(split, plan, options);
    EXPECT_NE(outcome.error.find("Part 3 holds no audio"), std::string::npos) << outcome.error;

    // A single part named like the source would replace it.
    SplitPlan whole(split.DurationSeconds());
    options.outputDir.clear();
    options.namePattern = "show";
    outcome = SaveParts(split, whole, options);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(FilesIn(dir.file("out")), 0u);
    EXPECT_TRUE(fs::is_regular_file(source));
}

TEST(SplitSourceTimeline, WithoutALameTagOnlyTheDecoderWarmUpIsDropped) {
    testfiles::TempDir dir;
    testfiles::WriteFile(dir.file("a.mp3"), testfiles::SilentFrames(100));
    SplitSource s;
    std::string error;
    ASSERT_TRUE(s.Open(dir.file("a.mp3"), &error)) << error;
    // The parts carry LAME tags; decoders drop 529 samples at the start of the first.
    EXPECT_EQ(s.DecodedSamples(), 100u * 1152 - 529);
    EXPECT_DOUBLE_EQ(s.DurationSeconds(), (100.0 * 1152 - 529) / 44100);
    testfiles::WriteFile(dir.file("b.mp3"), testfiles::FromString(std::string(3000, 'b')));
    EXPECT_FALSE(s.Open(dir.file("b.mp3"), &error));
}

}  // namespace
