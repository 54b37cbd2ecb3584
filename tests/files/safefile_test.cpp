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

TEST_F(SafeFile, CommitReplacesTargetAndKeepsItsPermissionBits) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(5000, 1));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target)) << w.Error();
    const Bytes head = FromString("NEWHEAD");
    ASSERT_TRUE(w.Write(head));
    ASSERT_TRUE(w.CopyRange(target, 1000, 4000)) << w.Error();
    EXPECT_EQ(w.BytesWritten(), 4007);
    // Nothing is visible before the commit.
    EXPECT_EQ(ReadFile(target), Pattern(5000, 1));
    ASSERT_TRUE(w.Commit()) << w.Error();

    Bytes original = Pattern(5000, 1);
    Bytes expected = head;
    expected.insert(expected.end(), original.begin() + 1000, original.end());
    EXPECT_EQ(ReadFile(target), expected);
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
}

TEST_F(SafeFile, NewTargetGetsUmaskPermissions) {
    const auto target = tmp.file("clip.mp3");
    mode_t old = ::umask(022);
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write("abc", 3));
    ASSERT_TRUE(w.Commit());
    ::umask(old);
    EXPECT_EQ(ReadFile(target), FromString("abc"));
    EXPECT_EQ(ModeOf(target), 0644u);
}

TEST_F(SafeFile, FilesFlushedAheadAndCommittedInABatchGetTheirBitsAndNames) {
    const auto existing = tmp.file("old.mp3");
    WriteFile(existing, Pattern(100, 1));
    ASSERT_EQ(::chmod(existing.c_str(), 0640), 0);
    mode_t old = ::umask(022);
    AtomicFileWriter a, b;
    ASSERT_TRUE(a.Open(existing));
    ASSERT_TRUE(b.Open(tmp.file("new.mp3")));
    a.FlushFolderLater(true);
    b.FlushFolderLater(true);
    ASSERT_TRUE(a.Write(Pattern(3000, 2)));
    ASSERT_TRUE(a.BeginFlush()) << a.Error();
    ASSERT_TRUE(b.Write(Pattern(2000, 3)));
    ASSERT_TRUE(b.BeginFlush()) << b.Error();
    ::umask(old);
    // Started on their way to disk, neither has a name yet.
    EXPECT_EQ(ReadFile(existing), Pattern(100, 1));
    EXPECT_FALSE(std::filesystem::exists(tmp.file("new.mp3")));
    ASSERT_TRUE(a.Commit()) << a.Error();
    ASSERT_TRUE(b.Commit()) << b.Error();
    mdlID3::FlushFolderOf(existing);
    EXPECT_EQ(ReadFile(existing), Pattern(3000, 2));
    EXPECT_EQ(ModeOf(existing), 0640u);
    EXPECT_EQ(ReadFile(tmp.file("new.mp3")), Pattern(2000, 3));
    EXPECT_EQ(ModeOf(tmp.file("new.mp3")), 0644u);
    EXPECT_EQ(OtherFiles(tmp.path(), "old.mp3"), std::vector<std::string>{"new.mp3"});  // no temporary file
    // A writer with nothing open refuses.
    AtomicFileWriter closed;
    EXPECT_FALSE(closed.BeginFlush());
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

TEST_F(SafeFile, UncommittedWriterLeavesNothingBehind) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(100, 7));
    {
        // Unnamed while it is written: nothing in the folder but the target.
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(target));
        ASSERT_TRUE(w.Write(Pattern(50, 3)));
        EXPECT_TRUE(w.IsUnnamed());
        EXPECT_TRUE(w.TempPath().empty());
        EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
    }
    {
        // Where unnamed files cannot be made: a named file beside the target, removed again.
        AtomicFileWriter w;
        w.UseNamedTemporary(true);
        ASSERT_TRUE(w.Open(target));
        ASSERT_TRUE(w.Write(Pattern(50, 3)));
        EXPECT_FALSE(w.IsUnnamed());
        EXPECT_TRUE(fs::exists(w.TempPath()));
        EXPECT_EQ(fs::path(w.TempPath()).parent_path(), tmp.path());
    }
    EXPECT_EQ(ReadFile(target), Pattern(100, 7));
    EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
}

TEST_F(SafeFile, NamedAndUnnamedTemporaryFilesCommitAlike) {
    for (bool named : {false, true}) {
        SCOPED_TRACE(named);
        // Over an existing file (renamed over it), and as a new file (linked in or renamed).
        const auto existing = tmp.file("song.mp3");
        const auto fresh = tmp.file("clip.mp3");
        WriteFile(existing, Pattern(400, 1));
        ASSERT_EQ(::chmod(existing.c_str(), 0604), 0);
        fs::remove(fresh);
        for (const auto& target : {existing, fresh}) {
            AtomicFileWriter w;
            w.UseNamedTemporary(named);
            ASSERT_TRUE(w.Open(target)) << w.Error();
            ASSERT_TRUE(w.Write(Pattern(300, 2)));
            ASSERT_TRUE(w.Commit()) << w.Error();
            EXPECT_EQ(ReadFile(target), Pattern(300, 2));
        }
        EXPECT_EQ(ModeOf(existing), 0604u);
        auto others = OtherFiles(tmp.path(), "song.mp3");
        EXPECT_EQ(others, std::vector<std::string>{"clip.mp3"});
    }
}

TEST_F(SafeFile, CopyWithSmallCallerBufferAndShortSource) {
    const auto src = tmp.file("src.bin");
    const auto target = tmp.file("out.bin");
    WriteFile(src, Pattern(10007, 9));
    int fd = ::open(src.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);

    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    uint8_t buffer[7];
    ASSERT_TRUE(w.CopyRange(fd, 3, 10004, buffer)) << w.Error();
    ASSERT_TRUE(w.Commit());
    Bytes all = Pattern(10007, 9);
    EXPECT_EQ(ReadFile(target), Bytes(all.begin() + 3, all.end()));

    // Asking for more than the source holds is a failure, not a short file.
    AtomicFileWriter shortCopy;
    ASSERT_TRUE(shortCopy.Open(target));
    EXPECT_FALSE(shortCopy.CopyRange(fd, 10000, 8));
    EXPECT_FALSE(shortCopy.Error().empty());
    AtomicFileWriter shortBuffered;
    ASSERT_TRUE(shortBuffered.Open(target));
    EXPECT_FALSE(shortBuffered.CopyRange(fd, 10000, 8, buffer));
    ::close(fd);
    EXPECT_EQ(ReadFile(target), Bytes(all.begin() + 3, all.end()));
    EXPECT_TRUE(OtherFiles(tmp.path(), "out.bin").size() == 1);  // src.bin only
}

TEST_F(SafeFile, LinkTargetReplacesTheLinkedFile) {
    const auto real = tmp.file("real.mp3");
    const auto link = tmp.file("link.mp3");
    WriteFile(real, Pattern(10, 1));
    fs::create_symlink(real, link);
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(link));
    ASSERT_TRUE(w.Write("xyz", 3));
    ASSERT_TRUE(w.Commit());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(real), FromString("xyz"));
}

TEST_F(SafeFile, RefusesFoldersAndEmptyNames) {
    AtomicFileWriter w;
    EXPECT_FALSE(w.Open(tmp.path().string()));
    EXPECT_FALSE(w.Error().empty());
    EXPECT_FALSE(w.Open(""));
    EXPECT_FALSE(w.Open(tmp.file("missing-folder/x.mp3")));
    EXPECT_FALSE(w.Write("a", 1));
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

TEST_F(SafeFile, AFailingFinisherLeavesTheTargetAndNoTemporaryFile) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(300, 6));
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write(Pattern(120, 2)));
    std::string seen;
    Bytes seenBytes;
    const bool ok = w.Commit([&](const std::string& temp, std::string* why) {
        seen = temp;
        seenBytes = ReadFile(temp);
        *why = "tag refused";
        return false;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(w.Error(), "tag refused");
    EXPECT_EQ(w.LastFailure(), AtomicFileWriter::Failure::Finish);
    EXPECT_EQ(fs::path(seen).parent_path(), tmp.path());
    EXPECT_EQ(seenBytes, Pattern(120, 2));  // the finisher sees every byte written
    EXPECT_EQ(ReadFile(target), Pattern(300, 6));
    EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
    EXPECT_TRUE(w.TempPath().empty());
}

TEST_F(SafeFile, AFinisherThatReplacesTheFileStillGetsTheTargetsBits) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(300, 6));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
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
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write(Pattern(120, 2)));
    ASSERT_TRUE(w.Commit(replace)) << w.Error();
    EXPECT_EQ(ReadFile(target), Concat({FromString("TAG"), Pattern(120, 2)}));
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());

    // A new file gets 0666 less the umask, not the private bits the replacement came with.
    const auto fresh = tmp.file("clip.mp3");
    const mode_t old = ::umask(027);
    AtomicFileWriter n;
    ASSERT_TRUE(n.Open(fresh));
    ASSERT_TRUE(n.Write(Pattern(120, 3)));
    const bool committed = n.Commit(replace);
    ::umask(old);
    ASSERT_TRUE(committed) << n.Error();
    EXPECT_EQ(ReadFile(fresh), Concat({FromString("TAG"), Pattern(120, 3)}));
    EXPECT_EQ(ModeOf(fresh), 0640u);
}

TEST_F(SafeFile, AFailureAfterTheFinisherReplacedTheFileRemovesTheReplacement) {
    const auto target = tmp.file("song.mp3");
    WriteFile(target, Pattern(300, 6));
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write(Pattern(120, 2)));
    const bool ok = w.Commit([](const std::string& temp, std::string*) {
        ::unlink(temp.c_str());
        WriteFile(temp, FromString("replacement"));
        mdlID3::InjectIoFailureAt(1);  // the flush that follows
        return true;
    });
    EXPECT_FALSE(ok);
    EXPECT_NE(w.Error().find("No space left"), std::string::npos) << w.Error();
    EXPECT_EQ(ReadFile(target), Pattern(300, 6));
    EXPECT_TRUE(OtherFiles(tmp.path(), "song.mp3").empty());
}

TEST_F(SafeFile, ReplacingALinkPutsTheFileInItsPlace) {
    const auto real = tmp.file("real.mp3");
    const auto link = tmp.file("link.mp3");
    WriteFile(real, Pattern(10, 1));
    fs::create_symlink(real, link);
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(link, AtomicFileWriter::Links::Replace)) << w.Error();
    ASSERT_TRUE(w.Write("xyz", 3));
    ASSERT_TRUE(w.Commit());
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(link), FromString("xyz"));
    EXPECT_EQ(ReadFile(real), Pattern(10, 1));
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

TEST_F(SafeFile, FullDiskLeavesTheOriginal) {
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
        bool ok = w.Write("HEAD", 4) &&
                  w.CopyRange(fd, 0, static_cast<int64_t>(original.size()), buffer);
        ::close(fd);
        EXPECT_FALSE(ok);
        EXPECT_NE(w.Error().find("No space left"), std::string::npos) << w.Error();
        EXPECT_EQ(ReadFile(target), original);
        EXPECT_TRUE(OtherFiles(disk.Dir(), "song.mp3").empty());
    }
}

TEST_F(SafeFile, ReadOnlyFolderLeavesTheOriginal) {
    SmallDisk disk("size=1m");
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const auto target = disk.File("song.mp3");
    WriteFile(target, Pattern(1000, 8));
    if (!disk.RemountReadOnly()) GTEST_SKIP() << "remounting read-only is not permitted here";
    AtomicFileWriter w;
    EXPECT_FALSE(w.Open(target));
    EXPECT_NE(w.Error().find(disk.Dir()), std::string::npos) << w.Error();
    EXPECT_EQ(ReadFile(target), Pattern(1000, 8));
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

TEST_F(SafeFile, CopiesAlignedAndShiftedRangesAlike) {
    // Source and target at the same place within a page (copied in the kernel) or shifted by a
    // tag's odd size (copied through a buffer): the same bytes either way, and a source that
    // ends early fails both.
    const auto src = tmp.file("src.bin");
    const Bytes all = Pattern(3 << 20, 8);
    WriteFile(src, all);
    const std::pair<size_t, int64_t> cases[] = {{0, 8192}, {10, 4106}, {4106, 10}, {3, 0}};
    for (const auto& [head, offset] : cases) {
        SCOPED_TRACE(offset);
        const auto target = tmp.file("out.bin");
        AtomicFileWriter w;
        ASSERT_TRUE(w.Open(target));
        ASSERT_TRUE(w.Write(Pattern(head, 1)));
        ASSERT_TRUE(w.CopyRange(src, offset, static_cast<int64_t>(all.size()) - offset)) << w.Error();
        ASSERT_TRUE(w.Commit()) << w.Error();
        EXPECT_EQ(ReadFile(target), Concat({Pattern(head, 1), Bytes(all.begin() + offset, all.end())}));

        AtomicFileWriter shortSource;
        ASSERT_TRUE(shortSource.Open(target));
        ASSERT_TRUE(shortSource.Write(Pattern(head, 1)));
        EXPECT_FALSE(shortSource.CopyRange(src, offset, static_cast<int64_t>(all.size()) - offset + 1));
        EXPECT_NE(shortSource.Error().find("ended early"), std::string::npos) << shortSource.Error();
    }
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
