#include "files/safefile.h"

#include <cerrno>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/descriptor.h"
#include "support/testfiles.h"

using namespace testfiles;
using mdlID3::AtomicFileWriter;
namespace fs = std::filesystem;

namespace {

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(seed + i * 31 + (i >> 9));
    return out;
}

// Everything in the folder except `keep`: a leftover temporary file shows up here.
std::vector<std::string> OtherFiles(const fs::path& dir, const std::string& keep) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != keep) names.push_back(e.path().filename().string());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// A small tmpfs; skipped where mounting is not permitted.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& options) {
        dir_ = tmp_.file("disk");
        fs::create_directory(dir_);
        mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    std::string File(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& Dir() const { return dir_; }
    bool RemountReadOnly() {
        return ::mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    TempDir tmp_;
    std::string dir_;
    bool mounted_ = false;
};

class SafeFile : public ::testing::Test {
protected:
    void TearDown() override {
        mdlID3::InjectIoFailureAt(0);
        mdlID3::InjectFolderFlushFailure(false);
    }
    TempDir tmp;
};

}  // namespace

// Over a file, as a new file, through a link and in a link's place; from an unnamed or a named
// temporary file; flushed ahead for a batch or not: nothing shows before the commit, then the new
// bytes have the target's name and bits (a new file 0666 less the umask), and no temporary file
// stays.
TEST_F(SafeFile, CommitGivesTheNewBytesTheTargetsNameAndBits) {
    using Links = AtomicFileWriter::Links;
    const struct {
        const char* name;
        bool exists, link;
        Links links;
        mode_t mode;
    } cases[] = {
        {"over a file", true, false, Links::Follow, 0640},
        {"new", false, false, Links::Follow, 0644},
        {"through a link", true, true, Links::Follow, 0640},
        {"in a link's place", true, true, Links::Replace, 0640},
    };
    // Each case four times: with a named temporary file or not, flushed ahead or not.
    for (int run = 0; run < 16; ++run) {
        const auto& c = cases[run % 4];
        const bool named = run & 4, ahead = run & 8;
        SCOPED_TRACE(testing::Message() << c.name << (named ? ", named" : "") << (ahead ? ", ahead" : ""));
        TempDir dir;
        const auto target = dir.file("song.mp3"), real = dir.file(c.link ? "real.mp3" : "song.mp3");
        if (c.exists) {
            WriteFile(real, Pattern(5000, 1));
            ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
        }
        if (c.link) fs::create_symlink(real, target);
        const mode_t old = ::umask(022);
        AtomicFileWriter w;
        w.UseNamedTemporary(named);
        w.FlushFolderLater(ahead);
        ASSERT_TRUE(w.Open(target, c.links)) << w.Error();
        EXPECT_EQ(w.IsUnnamed(), !named);
        ASSERT_TRUE(w.Write(FromString("NEWHEAD")));
        ASSERT_TRUE(w.Write(Pattern(300, 2)));
        EXPECT_EQ(w.BytesWritten(), 307);
        EXPECT_TRUE(!ahead || w.BeginFlush()) << w.Error();
        EXPECT_EQ(fs::exists(target), c.exists);
        EXPECT_EQ(OtherFiles(dir.path(), "song.mp3").size(), (c.link ? 1u : 0u) + (named ? 1u : 0u));
        if (c.exists) {
            EXPECT_EQ(ReadFile(real), Pattern(5000, 1));
        }
        const bool committed = w.Commit();
        ::umask(old);
        ASSERT_TRUE(committed) << w.Error();
        EXPECT_TRUE(!ahead || mdlID3::FlushFolderOf(target));
        EXPECT_EQ(ReadFile(target), Concat({FromString("NEWHEAD"), Pattern(300, 2)}));
        EXPECT_EQ(ModeOf(target), c.mode);
        EXPECT_EQ(fs::is_symlink(target), c.link && c.links == Links::Follow);
        if (c.link && c.links == Links::Replace) {
            EXPECT_EQ(ReadFile(real), Pattern(5000, 1));
        }
        EXPECT_EQ(OtherFiles(dir.path(), "song.mp3").size(), c.link ? 1u : 0u);  // the linked file only
    }
}

TEST_F(SafeFile, WriteAtOverwritesOnlyWhatWasWritten) {
    const auto target = tmp.file("clip.mp3");
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write(Bytes(10, 0)));
    ASSERT_TRUE(w.Write(FromString("tail")));
    ASSERT_TRUE(w.WriteAt(2, FromString("HEAD")));
    ASSERT_TRUE(w.WriteAt(10, FromString("TAIL")));  // up to the end exactly
    EXPECT_EQ(w.BytesWritten(), 14);
    ASSERT_TRUE(w.Commit()) << w.Error();
    EXPECT_EQ(ReadFile(target), Concat({Bytes{0, 0}, FromString("HEAD"), Bytes(4, 0), FromString("TAIL")}));

    AtomicFileWriter past;
    ASSERT_TRUE(past.Open(tmp.file("other.mp3")));
    ASSERT_TRUE(past.Write(FromString("abc")));
    EXPECT_FALSE(past.WriteAt(1, FromString("xyz")));  // one byte beyond what was written
    EXPECT_FALSE(past.IsOpen());                        // a refused write drops the file
    EXPECT_FALSE(std::filesystem::exists(tmp.file("other.mp3")));
}

TEST_F(SafeFile, AWriterDestroyedUncommittedLeavesNothingBehind) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(100, 7));
    for (bool named : {false, true}) {
        AtomicFileWriter w;
        w.UseNamedTemporary(named);
        ASSERT_TRUE(w.Open(target));
        ASSERT_TRUE(w.Write(Pattern(50, 3)));
    }
    EXPECT_EQ(ReadFile(target), Pattern(100, 7));
    EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
}

// Source and target at the same place within a page (copied in the kernel) or shifted by a tag's
// odd size (copied through a buffer, the caller's when given): the same bytes every way, and a
// source that ends early is a failure every way, not a short file.
TEST_F(SafeFile, CopiesAlignedAndShiftedRangesAlikeAndFailsOnAShortSource) {
    const auto src = tmp.file("src.bin"), target = tmp.file("out.bin");
    const Bytes all = Pattern(3 << 20, 8);
    WriteFile(src, all);
    const int fd = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    uint8_t small[7];
    const struct {
        size_t head;
        int64_t offset;
        bool byPath;
        std::span<uint8_t> buffer;
    } cases[] = {{0, 8192, true, {}},  {10, 4106, true, {}}, {4106, 10, true, {}},
                 {3, 0, true, {}},     {0, 8192, false, {}}, {0, (3 << 20) - 10004, false, small}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.head << " " << c.offset << " " << c.byPath);
        const int64_t length = static_cast<int64_t>(all.size()) - c.offset;
        const auto copy = [&](AtomicFileWriter& w, int64_t n) {
            return w.Write(Pattern(c.head, 1)) &&
                   (c.byPath ? w.CopyRange(src, c.offset, n) : w.CopyRange(fd, c.offset, n, c.buffer));
        };
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(target));
        ASSERT_TRUE(copy(w, length)) << w.Error();
        ASSERT_TRUE(w.Commit()) << w.Error();
        EXPECT_EQ(ReadFile(target), Concat({Pattern(c.head, 1), Bytes(all.begin() + c.offset, all.end())}));

        AtomicFileWriter shortSource;
        ASSERT_TRUE(shortSource.Open(target));
        EXPECT_FALSE(copy(shortSource, length + 1));
        EXPECT_NE(shortSource.Error().find("ended early"), std::string::npos) << shortSource.Error();
    }
    ::close(fd);
    EXPECT_EQ(OtherFiles(tmp.path(), "out.bin"), std::vector<std::string>{"src.bin"});
}

TEST_F(SafeFile, RefusesFoldersAndEmptyNames) {
    AtomicFileWriter w;
    EXPECT_FALSE(w.Open(tmp.path().string()));
    EXPECT_FALSE(w.Error().empty());
    EXPECT_FALSE(w.Open(""));
    EXPECT_FALSE(w.Open(tmp.file("missing-folder/x.mp3")));
    EXPECT_FALSE(w.Write("a", 1));
    EXPECT_FALSE(w.BeginFlush());
    EXPECT_FALSE(w.Commit());
}

TEST_F(SafeFile, EveryInjectedFailureLeavesTheOriginal) {
    const auto target = tmp.file("song.mp3");
    const Bytes original = Pattern(3 << 20, 5);  // three copy chunks
    WriteFile(target, original);
    Bytes chunk(1 << 20);
    int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    // Operations: the head, up to the first page boundary, 3 chunks less that, flush, rename.
    for (int n = 1; n <= 7; ++n) {
        SCOPED_TRACE(n);
        mdlID3::InjectIoFailureAt(n);
        AtomicFileWriter w;
        bool ok = w.Open(target) && w.Write("HEAD", 4) &&
                  w.CopyRange(fd, 0, static_cast<int64_t>(original.size()), chunk) && w.Commit();
        EXPECT_FALSE(ok);
        EXPECT_NE(w.Error().find("No space left"), std::string::npos) << w.Error();
        EXPECT_EQ(ReadFile(target), original);
        EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
    }
    ::close(fd);
}

// A finisher that refuses, and a failure after the finisher put another file in its place, leave
// the target and no temporary file; the finisher sees every byte written, beside the target.
TEST_F(SafeFile, AFailingFinisherOrAFailureAfterItLeavesTheTarget) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(300, 6));
    const struct {
        const char* name;
        AtomicFileWriter::Finisher then;
        std::string error;
        AtomicFileWriter::Failure failure;
    } cases[] = {
        {"refused", [](const std::string&, std::string* why) { *why = "tag refused"; return false; }, "tag refused",
         AtomicFileWriter::Failure::Finish},
        {"replaced, then the flush fails",
         [](const std::string& temp, std::string*) {
             ::unlink(temp.c_str());
             WriteFile(temp, FromString("replacement"));
             mdlID3::InjectIoFailureAt(1);
             return true;
         },
         "No space left", AtomicFileWriter::Failure::Write},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(target));
        ASSERT_TRUE(w.Write(Pattern(120, 2)));
        std::string seen;
        Bytes seenBytes;
        EXPECT_FALSE(w.Commit([&](const std::string& temp, std::string* why) {
            seen = temp;
            seenBytes = ReadFile(temp);
            return c.then(temp, why);
        }));
        EXPECT_NE(w.Error().find(c.error), std::string::npos) << w.Error();
        EXPECT_EQ(w.LastFailure(), c.failure);
        EXPECT_EQ(fs::path(seen).parent_path(), tmp.path());
        EXPECT_EQ(seenBytes, Pattern(120, 2));
        EXPECT_EQ(ReadFile(target), Pattern(300, 6));
        EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
        EXPECT_TRUE(w.TempPath().empty());
    }
}

// An existing file keeps its bits and a new one gets 0666 less the umask, not the private bits
// of a file the finisher put in its place.
TEST_F(SafeFile, AFinisherThatReplacesTheFileStillGetsTheTargetsBits) {
    // Stands in for a tag writer that rewrites the file through a private temporary file of its
    // own and renames that over the path it was given.
    const auto replace = [](const std::string& temp, std::string* why) {
        AtomicFileWriter inner;
        if (!inner.Open(temp) || !inner.Write(FromString("TAG")) || !inner.CopyRange(temp, 0, 120) ||
            !inner.Commit()) {
            *why = inner.Error();
            return false;
        }
        return ::chmod(temp.c_str(), 0600) == 0;
    };
    WriteFile(tmp.file("song.mp3"), Pattern(300, 6));
    ASSERT_EQ(::chmod(tmp.file("song.mp3").c_str(), 0640), 0);
    for (const char* name : {"song.mp3", "clip.mp3"}) {
        SCOPED_TRACE(name);
        const mode_t old = ::umask(027);
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(tmp.file(name)));
        ASSERT_TRUE(w.Write(Pattern(120, 2)));
        const bool committed = w.Commit(replace);
        ::umask(old);
        ASSERT_TRUE(committed) << w.Error();
        EXPECT_EQ(ReadFile(tmp.file(name)), Concat({FromString("TAG"), Pattern(120, 2)}));
        EXPECT_EQ(ModeOf(tmp.file(name)), 0640u);
    }
    EXPECT_EQ(OtherFiles(tmp.path(), "song.mp3"), std::vector<std::string>{"clip.mp3"});
}

TEST_F(SafeFile, WriteInPlaceKeepsSizeAndRefusesToGrow) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(100, 2));
    const Bytes patch = FromString("ID3");
    std::string error;
    ASSERT_TRUE(mdlID3::WriteInPlace(target, 97, patch, &error)) << error;
    Bytes expected = Pattern(100, 2);
    std::copy(patch.begin(), patch.end(), expected.begin() + 97);
    EXPECT_EQ(ReadFile(target), expected);

    EXPECT_FALSE(mdlID3::WriteInPlace(target, 98, patch, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(mdlID3::WriteInPlace(target, -1, patch));
    EXPECT_EQ(ReadFile(target), expected);

    EXPECT_FALSE(mdlID3::WriteInPlace(tmp.file("missing.mp3"), 0, patch));
    EXPECT_FALSE(fs::exists(tmp.file("missing.mp3")));

    mdlID3::InjectIoFailureAt(1);
    EXPECT_FALSE(mdlID3::WriteInPlace(target, 0, patch, &error));
    EXPECT_EQ(ReadFile(target), expected);
}

// A full disk while the audio is copied, with the writer's buffer or the caller's, then a folder
// that became read-only: the original stays as it was.
TEST_F(SafeFile, FullDiskOrReadOnlyFolderLeavesTheOriginal) {
    SmallDisk disk("size=1m");
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const auto target = disk.File("song.mp3");
    const Bytes original = Pattern(700 * 1024, 4);
    WriteFile(target, original);
    for (bool buffered : {false, true}) {
        SCOPED_TRACE(buffered);
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(target));
        Bytes buffer(buffered ? 64 * 1024 : 0);
        int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        bool ok = w.Write("HEAD", 4) && w.CopyRange(fd, 0, static_cast<int64_t>(original.size()), buffer);
        ::close(fd);
        EXPECT_FALSE(ok);
        EXPECT_NE(w.Error().find("No space left"), std::string::npos) << w.Error();
        EXPECT_EQ(ReadFile(target), original);
        EXPECT_TRUE(OtherFiles(disk.Dir(), "song.mp3").empty());
    }
    if (!disk.RemountReadOnly()) GTEST_SKIP() << "remounting read-only is not permitted here";
    AtomicFileWriter w;
    EXPECT_FALSE(w.Open(target));
    EXPECT_NE(w.Error().find(disk.Dir()), std::string::npos) << w.Error();
    EXPECT_EQ(ReadFile(target), original);
}

TEST(FileDescriptorTest, OwnsClosesAndTransfersWholeRanges) {
    TempDir tmp;
    const auto path = tmp.file("d.bin");
    int raw = -1;
    {
        FileDescriptor file = OpenFile(path, O_RDWR | O_CREAT, 0600);
        ASSERT_TRUE(file.IsOpen());
        raw = file.get();
        const Bytes data = Pattern(70000, 3);
        ASSERT_TRUE(WriteAt(file.get(), data.data(), data.size(), 10));
        Bytes back(70010 + 5, 0xEE);
        // At the end of the file a read comes up short, not failed.
        EXPECT_EQ(ReadAt(file.get(), back.data(), back.size(), 0), 70010);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin() + 10));
        FileDescriptor moved = std::move(file);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(moved.get(), raw);
    }
    // Closed when its owner went away.
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1);
    EXPECT_FALSE(OpenFile("", O_RDONLY).IsOpen());
    EXPECT_EQ(ReadAt(-1, &raw, 1, 0), -1);
    EXPECT_FALSE(WriteAll(-1, "x", 1));
    EXPECT_EQ(ErrorText("cannot open x", ENOENT), "cannot open x: No such file or directory");
    EXPECT_EQ(ErrorText("refused", 0), "refused");
}

TEST_F(SafeFile, AFolderFlushThatFailsIsAFailureThatSaysTheFileIsSaved) {
    const auto target = tmp.file("song.mp3");
    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing);
        if (existing) WriteFile(target, Pattern(10, 1));
        mdlID3::InjectFolderFlushFailure(true);
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(target)) << w.Error();
        ASSERT_TRUE(w.Write("new", 3));
        EXPECT_FALSE(w.Commit());
        EXPECT_NE(w.Error().find(target + " was saved, but"), std::string::npos) << w.Error();
        EXPECT_NE(w.Error().find("Input/output error"), std::string::npos) << w.Error();
        EXPECT_EQ(ReadFile(target), FromString("new"));
        EXPECT_EQ(w.LastFailure(), AtomicFileWriter::Failure::FlushFolder);
        EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
    }
}

TEST_F(SafeFile, WithoutReplacingANameTakenMeanwhileIsReportedAndKept) {
    const auto target = tmp.file("song.mp3");
    for (bool named : {false, true}) {
        SCOPED_TRACE(named);
        fs::remove(target);
        AtomicFileWriter w;
        w.UseNamedTemporary(named);
        w.ReplaceExisting(false);
        ASSERT_TRUE(w.Open(target)) << w.Error();
        ASSERT_TRUE(w.Write("ours", 4));
        WriteFile(target, FromString("theirs"));
        EXPECT_FALSE(w.Commit());
        EXPECT_EQ(w.LastFailure(), AtomicFileWriter::Failure::Exists);
        EXPECT_EQ(w.Error(), target + " exists already");
        EXPECT_EQ(ReadFile(target), FromString("theirs"));
        EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());

        // Refused up front while it exists; a free name is taken.
        EXPECT_FALSE(w.Open(target));
        EXPECT_EQ(w.LastFailure(), AtomicFileWriter::Failure::Exists);
        fs::remove(target);
        ASSERT_TRUE(w.Open(target)) << w.Error();
        ASSERT_TRUE(w.Write("ours", 4));
        EXPECT_TRUE(w.Commit()) << w.Error();
        EXPECT_EQ(ReadFile(target), FromString("ours"));
        EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
    }
}
