#pragma once
// Writing files without ever losing the old contents.
//
// AtomicFileWriter builds the new contents in an unnamed file (O_TMPFILE) in the target's folder,
// or in a named temporary file where the file system cannot create unnamed ones, and gives it the
// target's name only when every byte is on disk. Until Commit() has given the name the target is
// not touched; a writer that is destroyed or aborted uncommitted removes its temporary file, and one
// that is killed leaves at most a named temporary file of the fallback behind.
//
// WriteInPlace is for changes that keep the file's size (a tag rewritten in its old space): one
// write at an offset of an existing file, then a flush, every result checked.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace mdlID3 {

class AtomicFileWriter {
public:
    // A symbolic link named as the target: Follow writes the file it points at (a tag edit),
    // Replace puts the new file in the link's place (a clip saved under the link's name).
    enum class Links { Follow, Replace };
    // What the last failure was about, for callers that word errors for their own users.
    // Exists: the writer may not replace the target and it exists (also when it appeared while the
    // file was written). FlushFolder: the file has its name, but the folder could not be flushed.
    enum class Failure { None, Refused, Create, Read, Write, Finish, Replace, Exists, FlushFolder };
    // Runs on the complete temporary file before it takes the target's name. It may rewrite the
    // file or replace it by another at the same path. False, with a reason, fails the commit.
    using Finisher = std::function<bool(const std::string& tempPath, std::string* error)>;

    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file in the folder of `target` (with Links::Follow, of the file a
    // symbolic link points at, when `target` is one). `target` need not exist yet; when it does,
    // it must be a regular file (or, with Links::Replace, a link).
    bool Open(const std::string& target, Links links = Links::Follow);
    bool Write(std::span<const uint8_t> bytes);
    bool Write(const void* data, size_t size);
    // Overwrites bytes written already (a header whose fields depend on what follows it); a write
    // past what was written is refused.
    bool WriteAt(int64_t offset, std::span<const uint8_t> bytes);
    // Appends `length` bytes of `srcFd` starting at `offset`, in chunks, with constant memory.
    // A source that ends early is a failure. `buffer` (optional) is used as the chunk buffer.
    bool CopyRange(int srcFd, int64_t offset, int64_t length, std::span<uint8_t> buffer = {});
    bool CopyRange(const std::string& srcPath, int64_t offset, int64_t length);
    // Closes the temporary file, runs `beforeRename` on it (may be empty), gives whatever file is
    // then at the temporary path the target's permission bits (a new target gets the usual 0666
    // less the umask), flushes it, renames it over the target and flushes the folder. On failure
    // the temporary file is removed, also when the finisher replaced it. Only a failed folder flush
    // comes after the file took its name (Failure::FlushFolder; the error says so).
    bool Commit(const Finisher& beforeRename = {});
    // Gives the complete file its permission bits (as Commit would) and starts writing it to disk
    // without waiting, so that the flush of a later Commit has less or nothing left to wait for:
    // files written one after another and committed in a batch then share their flushes.
    bool BeginFlush();
    // Drops the temporary file; the target stays as it was.
    void Abort();

    bool IsOpen() const { return fd_ >= 0; }
    int64_t BytesWritten() const { return written_; }
    // The file that Commit() replaces (symbolic links resolved).
    const std::string& TargetPath() const { return target_; }
    // The temporary file's name; empty while the file is unnamed.
    const std::string& TempPath() const { return temp_; }
    // Why the last operation failed, for the user ("" after success).
    const std::string& Error() const { return error_; }
    Failure LastFailure() const { return failure_; }
    // errno of the last failure; 0 when it was a refusal or a short source.
    int ErrorNumber() const { return errno_; }

    // Uses a named temporary file even where the file system can create unnamed ones (as on
    // those that cannot); for the next Open.
    void UseNamedTemporary(bool named) { namedOnly_ = named; }
    // Without `replace`, an existing target is refused by Open and by Commit, which gives the name
    // only if it is still free at that moment (never by renaming over a file that appeared in the
    // meantime). For the next Open.
    void ReplaceExisting(bool replace) { replace_ = replace; }
    // With `later`, Commit() leaves the folder unflushed: a caller that saves many files into one
    // folder flushes it once with FlushFolderOf after the last. For the next Commit.
    void FlushFolderLater(bool later) { folderLater_ = later; }
    // The file being written has no name yet (killed now, the writer leaves nothing behind).
    bool IsUnnamed() const { return fd_ >= 0 && temp_.empty(); }

private:
    bool Fail(Failure kind, const std::string& what, int err);
    // Owner and permission bits of the target (once), then a flush.
    bool SetBits(int fd);
    bool Seal(int fd);
    // Links the unnamed file to a fresh temporary name beside the target.
    bool NameUnnamed();
    // Runs the finisher on the named file and opens whatever is then at its path.
    bool Finish(const Finisher& beforeRename);
    // Gives the sealed file the target's name.
    bool Publish();

    // Gives the name without ever replacing a file that has it.
    bool PublishNew();

    bool namedOnly_ = false;
    bool replace_ = true;
    bool folderLater_ = false;
    bool bitsSet_ = false;  // the bits are on the file being written
    int fd_ = -1;
    Failure failure_ = Failure::None;
    int errno_ = 0;
    int64_t written_ = 0;
    std::string target_;
    std::string temp_;
    std::string error_;
};

// Flushes the folder that holds `path`, so that the names given in it last a crash. False, with
// errno set, when the folder cannot be opened or the flush fails; a file system that cannot flush
// folders at all (EINVAL) is not a failure.
bool FlushFolderOf(const std::string& path);

// Writes `bytes` at `offset` of the existing file `path` and flushes it. The file is never
// created, truncated or extended past its size: a write that would extend it is refused.
bool WriteInPlace(const std::string& path, int64_t offset, std::span<const uint8_t> bytes,
                  std::string* error = nullptr);

// Bytes of audio copied so far out of the range being copied.
using CopyProgress = std::function<void(int64_t done, int64_t total)>;
// Makes every AtomicFileWriter::CopyRange on the calling thread report to `progress` after each
// step (about a percent of the range, at least 1 MiB), the last report being done == total; an
// empty one stops the reports. Writes in place copy nothing and report nothing. Returns the
// hook it replaces.
CopyProgress SetCopyProgress(CopyProgress progress);

// Test hook: the `n`th checked write, flush or rename from now on on the calling thread fails as
// if the disk were full (ENOSPC); 0 switches it off. Counts only the operations of this file.
void InjectIoFailureAt(int n);
// Test hook: with `fail`, every folder flush on the calling thread fails as if the disk did (EIO).
void InjectFolderFlushFailure(bool fail);

}  // namespace mdlID3
