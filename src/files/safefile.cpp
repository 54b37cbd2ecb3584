#include "files/safefile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <random>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/descriptor.h"

namespace mdlID3 {

namespace {

constexpr int64_t kChunkSize = 1 << 20;  // about 1 MiB per read and write
// The in-kernel copy uses no memory of ours; larger steps only save calls.
constexpr int64_t kKernelCopyStep = 64 << 20;
constexpr int64_t kPageSize = 4096;

// Per thread: a test arms it for the writes it runs itself.
thread_local int tFailAt = 0;
thread_local bool tFailFolderFlush = false;
// Per thread, so that a copy on a worker thread never reports to a window's progress box.
thread_local CopyProgress tCopyProgress;

// True when the injected failure is due now; sets errno as a full disk would.
bool InjectedFailure() {
    if (tFailAt <= 0) return false;
    if (--tFailAt > 0) return false;
    errno = ENOSPC;
    return true;
}

// The writes of this file, each a counted operation for InjectIoFailureAt.
bool WriteAllChecked(int fd, const uint8_t* data, size_t size) {
    if (size > 0 && InjectedFailure()) return false;
    return WriteAll(fd, data, size);
}

bool WriteAtChecked(int fd, const uint8_t* data, size_t size, int64_t offset) {
    if (size > 0 && InjectedFailure()) return false;
    return WriteAt(fd, data, size, offset);
}

// The data and what reading it back needs (size, blocks), not the times of the file. The
// permission bits and the owner are set before and the name is given after, so a journal that
// keeps the name has them too; flushing them here as well would commit the journal once per
// file (an unnamed file's place in the orphan list changes whenever another one is named).
bool SyncData(int fd) {
    if (InjectedFailure()) return false;
    return ::fdatasync(fd) == 0;
}

mode_t CurrentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file systems that cannot create unnamed files say so with one of these (EISDIR: a kernel
// that does not know O_TMPFILE takes it for O_DIRECTORY).
bool NoUnnamedFiles(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

int OpenUnnamed(const std::string& folder, bool namedOnly) {
    // Naming the file later goes through its /proc/self/fd link.
    if (namedOnly || ::access("/proc/self/fd", X_OK) != 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

std::vector<char> TempPattern(const std::string& target) {
    std::string pattern = FolderOf(target) + "/." + NameOf(target) + ".trimbel-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    return name;
}

// Gives the unnamed file `fd` the name `path`; fails with EEXIST when the name is taken.
bool LinkUnnamed(int fd, const std::string& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the unnamed file a fresh temporary name beside `target`; empty on failure (errno set).
std::string LinkUnnamedBeside(int fd, const std::string& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<char> name = TempPattern(target);
        char* x = name.data() + name.size() - 7;
        for (int i = 0; i < 6; ++i) x[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
        if (LinkUnnamed(fd, name.data())) return name.data();
        if (errno != EEXIST) return {};
    }
    return {};
}

}  // namespace

void InjectIoFailureAt(int n) { tFailAt = n; }
void InjectFolderFlushFailure(bool fail) { tFailFolderFlush = fail; }

AtomicFileWriter::~AtomicFileWriter() { Abort(); }

bool AtomicFileWriter::Fail(Failure kind, const std::string& what, int err) {
    failure_ = kind;
    errno_ = err;
    error_ = ErrorText(what, err);
    Abort();
    return false;
}

bool AtomicFileWriter::Open(const std::string& target, Links links) {
    Abort();
    error_.clear();
    failure_ = Failure::None;
    errno_ = 0;
    written_ = 0;
    bitsSet_ = false;
    if (target.empty()) return Fail(Failure::Refused, "no file name", 0);

    target_ = target;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        const bool link = S_ISLNK(st.st_mode);
        if (link && links == Links::Follow) {
            char* real = ::realpath(target.c_str(), nullptr);
            if (!real) return Fail(Failure::Refused, "cannot resolve the link " + target, errno);
            target_ = real;
            std::free(real);
            if (::stat(target_.c_str(), &st) != 0)
                return Fail(Failure::Refused, "cannot read " + target_, errno);
        }
        if (!S_ISREG(st.st_mode) && !(link && links == Links::Replace))
            return Fail(Failure::Refused, target_ + " is not a regular file", 0);
    } else if (errno != ENOENT) {
        return Fail(Failure::Refused, "cannot read " + target, errno);
    }
    if (!replace_ && ::lstat(target_.c_str(), &st) == 0) return Fail(Failure::Exists, target_ + " exists already", 0);

    // Unnamed first: killed at any moment, the writer then leaves nothing behind in the folder.
    int fd = OpenUnnamed(FolderOf(target_), namedOnly_);
    if (fd < 0 && NoUnnamedFiles(errno)) {
        std::vector<char> name = TempPattern(target_);
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) temp_ = name.data();
    }
    if (fd < 0) {
        int err = errno;
        target_.clear();
        failure_ = Failure::Create;
        errno_ = err;
        error_ = ErrorText("cannot create a temporary file in " + FolderOf(target), err);
        return false;
    }
    fd_ = fd;
    return true;
}

bool AtomicFileWriter::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return Fail(Failure::Refused, "the file is not open for writing", 0);
    if (!WriteAllChecked(fd_, bytes.data(), bytes.size()))
        return Fail(Failure::Write, "cannot write " + temp_, errno);
    written_ += static_cast<int64_t>(bytes.size());
    return true;
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
    return Write(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size));
}

bool AtomicFileWriter::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
    if (fd_ < 0) return Fail(Failure::Refused, "the file is not open for writing", 0);
    if (offset < 0 || offset > written_ || static_cast<int64_t>(bytes.size()) > written_ - offset)
        return Fail(Failure::Refused, "invalid range to overwrite", EINVAL);
    if (!WriteAtChecked(fd_, bytes.data(), bytes.size(), offset))
        return Fail(Failure::Write, "cannot write " + temp_, errno);
    return true;
}

bool AtomicFileWriter::CopyRange(int srcFd, int64_t offset, int64_t length,
                                 std::span<uint8_t> buffer) {
    if (fd_ < 0) return Fail(Failure::Refused, "the file is not open for writing", 0);
    if (offset < 0 || length < 0) return Fail(Failure::Refused, "invalid range to copy", EINVAL);

    // The first step ends where the output reaches a page boundary: the rest then fills whole
    // pages, which is markedly faster than copying at an odd offset (a tag of 4106 bytes).
    auto step = [&](int64_t limit) {
        const int64_t toBoundary = (kPageSize - written_ % kPageSize) % kPageSize;
        return static_cast<size_t>(std::min({length, limit, toBoundary ? toBoundary : limit}));
    };

    const int64_t total = length;
    auto report = [&] {
        if (tCopyProgress) tCopyProgress(total - length, total);
    };
    // Someone watching gets a report about every percent, and at least every 64 MiB.
    const int64_t kernelStep =
        tCopyProgress ? std::clamp<int64_t>(total / 100, kChunkSize, kKernelCopyStep) : kKernelCopyStep;

    // In-kernel copy first: no user-space buffer at all, and as fast as cp on the same disk,
    // but only where source and target sit at the same place within a page. Shifted by a tag of
    // any other size, it copies piece by piece and takes about three times one pass through a
    // buffer.
    const bool samePlaceInPage = ((offset - written_) % kPageSize + kPageSize) % kPageSize == 0;
    bool kernelCopy = buffer.empty() && samePlaceInPage;
    while (kernelCopy && length > 0) {
        if (InjectedFailure()) return Fail(Failure::Write, "cannot write " + temp_, errno);
        loff_t in = offset;
        size_t want = step(kernelStep);
        ssize_t n = ::copy_file_range(srcFd, &in, fd_, nullptr, want, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                errno == EBADF) {
                kernelCopy = false;
                break;
            }
            return Fail(Failure::Write, "cannot copy into " + temp_, errno);
        }
        if (n == 0) return Fail(Failure::Read, "the file ended early while copying", 0);
        offset += n;
        length -= n;
        written_ += n;
        report();
    }
    if (length == 0) return true;

    std::vector<uint8_t> own;
    if (buffer.empty()) {
        own.resize(static_cast<size_t>(std::min(length, kChunkSize)));
        buffer = own;
    }
    while (length > 0) {
        size_t want = step(static_cast<int64_t>(buffer.size()));
        ssize_t n = ::pread(srcFd, buffer.data(), want, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(Failure::Read, "cannot read the original file", errno);
        }
        if (n == 0) return Fail(Failure::Read, "the file ended early while copying", 0);
        if (!WriteAllChecked(fd_, buffer.data(), static_cast<size_t>(n)))
            return Fail(Failure::Write, "cannot write " + temp_, errno);
        offset += n;
        length -= n;
        written_ += n;
        report();
    }
    return true;
}

bool AtomicFileWriter::CopyRange(const std::string& srcPath, int64_t offset, int64_t length) {
    const FileDescriptor src = OpenFile(srcPath, O_RDONLY);
    if (!src.IsOpen()) return Fail(Failure::Read, "cannot open " + srcPath, errno);
    return CopyRange(src.get(), offset, length);
}

bool AtomicFileWriter::SetBits(int fd) {
    // Setting them again would dirty the file once more and cost a flush of its own.
    if (bitsSet_) return true;
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        // Keep the owner too where we may (we run as the owner or as root); not fatal.
        static_cast<void>(::fchown(fd, st.st_uid, st.st_gid) == 0);
    }
    const std::string name = temp_.empty() ? std::string("the new file") : temp_;
    if (::fchmod(fd, mode) != 0) return Fail(Failure::Write, "cannot set the permissions of " + name, errno);
    bitsSet_ = true;
    return true;
}

bool AtomicFileWriter::Seal(int fd) {
    if (!SetBits(fd)) return false;
    if (!SyncData(fd)) return Fail(Failure::Write, "cannot flush " + (temp_.empty() ? std::string("the new file") : temp_), errno);
    return true;
}

bool AtomicFileWriter::BeginFlush() {
    if (fd_ < 0) return Fail(Failure::Refused, "the file is not open for writing", 0);
    if (!SetBits(fd_)) return false;
    // Only a head start: Commit flushes and checks; a file system that cannot do this loses nothing.
    static_cast<void>(::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE));
    return true;
}

bool AtomicFileWriter::NameUnnamed() {
    temp_ = LinkUnnamedBeside(fd_, target_);
    return !temp_.empty() || Fail(Failure::Write, "cannot name the temporary file", errno);
}

bool AtomicFileWriter::Finish(const Finisher& beforeRename) {
    // The finisher works on a path: the file needs a name from here on.
    if (temp_.empty() && !NameUnnamed()) return false;
    // The finisher may replace the file (a tag that grows is written through a temporary file
    // of its own, with private permission bits), so the bits and the flush go to whatever file
    // is at the temporary path once it is done.
    const int closing = fd_;
    fd_ = -1;
    if (::close(closing) != 0) return Fail(Failure::Write, "cannot close the temporary file", errno);
    std::string reason;
    if (!beforeRename(temp_, &reason))
        return Fail(Failure::Finish, reason.empty() ? "the file could not be finished" : reason, 0);
    fd_ = ::open(temp_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bitsSet_ = false;  // the finisher may have put another file there
    if (fd_ < 0) return Fail(Failure::Write, "cannot open " + temp_ + " again", errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(Failure::Write, temp_ + " is no longer a regular file", 0);
    return true;
}

bool AtomicFileWriter::PublishNew() {
    const auto taken = [&](int err) {
        return err == EEXIST ? Fail(Failure::Exists, target_ + " exists already", 0)
                             : Fail(Failure::Replace, "cannot save " + target_, err);
    };
    // Linking fails where the name is taken, in the same step that would give it.
    if (temp_.empty()) return LinkUnnamed(fd_, target_) || taken(errno);
    if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
        // File systems without that flag still link without replacing.
        if (errno != EINVAL && errno != ENOSYS) return taken(errno);
        if (::link(temp_.c_str(), target_.c_str()) != 0) return taken(errno);
        ::unlink(temp_.c_str());
    }
    temp_.clear();
    return true;
}

bool AtomicFileWriter::Publish() {
    if (InjectedFailure()) return Fail(Failure::Replace, "cannot replace " + target_, errno);
    if (!replace_) return PublishNew();
    if (temp_.empty()) {
        // A new name is taken in one step; an existing one is replaced by renaming over it, which
        // needs the file to have a name of its own first, for a moment only.
        struct stat st {};
        if (::lstat(target_.c_str(), &st) != 0 && errno == ENOENT && LinkUnnamed(fd_, target_)) return true;
        if (!NameUnnamed()) return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(Failure::Replace, "cannot replace " + target_, errno);
    temp_.clear();
    return true;
}

bool AtomicFileWriter::Commit(const Finisher& beforeRename) {
    if (fd_ < 0) return Fail(Failure::Refused, "the file is not open for writing", 0);
    if (beforeRename && !Finish(beforeRename)) return false;
    if (!Seal(fd_) || !Publish()) return false;
    const int closing = fd_;
    fd_ = -1;
    // The data was flushed before the file got its name, so a late close error changes nothing.
    ::close(closing);
    // The rename is durable once the folder is flushed; the file has its name either way.
    if (!folderLater_ && !FlushFolderOf(target_)) {
        const int err = errno;
        return Fail(Failure::FlushFolder, target_ + " was saved, but its folder could not be flushed to disk", err);
    }
    error_.clear();
    failure_ = Failure::None;
    errno_ = 0;
    return true;
}

void AtomicFileWriter::Abort() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool FlushFolderOf(const std::string& path) {
    const FileDescriptor dir = OpenFile(FolderOf(path), O_RDONLY | O_DIRECTORY);
    if (!dir.IsOpen()) return false;
    if (tFailFolderFlush) {
        errno = EIO;
        return false;
    }
    return ::fsync(dir.get()) == 0 || errno == EINVAL;
}

bool WriteInPlace(const std::string& path, int64_t offset, std::span<const uint8_t> bytes,
                  std::string* error) {
    auto fail = [&](const std::string& what, int err) {
        if (error) *error = ErrorText(what, err);
        return false;
    };
    if (offset < 0) return fail("invalid offset", EINVAL);
    FileDescriptor file = OpenFile(path, O_RDWR);
    if (!file.IsOpen()) return fail("cannot open " + path + " for writing", errno);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return fail("cannot read " + path, errno);
    if (offset > st.st_size || static_cast<int64_t>(bytes.size()) > st.st_size - offset)
        return fail("the new bytes do not fit into " + path, 0);
    if (!WriteAtChecked(file.get(), bytes.data(), bytes.size(), offset)) return fail("cannot write " + path, errno);
    if (!SyncData(file.get())) return fail("cannot flush " + path, errno);
    if (!file.Close()) return fail("cannot close " + path, errno);
    if (error) error->clear();
    return true;
}

CopyProgress SetCopyProgress(CopyProgress progress) {
    CopyProgress previous = std::move(tCopyProgress);
    tCopyProgress = std::move(progress);
    return previous;
}

}  // namespace mdlID3
