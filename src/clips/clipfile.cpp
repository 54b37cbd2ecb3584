#include "clips/clipfile.h"

#include <cstring>

#include <sys/stat.h>

#include "files/descriptor.h"

namespace {

using Failure = mdlID3::AtomicFileWriter::Failure;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ClipWouldReplaceSource(const std::string& source, const std::string& target) {
    struct stat a {}, b {};
    return ::stat(source.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool OpenClip(mdlID3::AtomicFileWriter& out, const std::string& target, std::string* error) {
    if (out.Open(target, mdlID3::AtomicFileWriter::Links::Replace)) return true;
    if (error) *error = ClipWriteError(out, "", target);
    return false;
}

bool FinishClip(const ClipHook& finish, const std::string& path, std::string* error) {
    if (!finish) return true;
    std::string reason;
    if (finish(path, &reason)) return true;
    if (error) *error = reason.empty() ? "The clip's tags could not be written" : reason;
    return false;
}

bool CommitClip(mdlID3::AtomicFileWriter& out, const ClipHook& beforeRename, const std::string& source,
                const std::string& target, std::string* error) {
    if (out.Commit(beforeRename)) return true;
    if (error) *error = ClipWriteError(out, source, target);
    return false;
}

std::string ClipWriteError(const mdlID3::AtomicFileWriter& out, const std::string& source,
                           const std::string& target) {
    const int err = out.ErrorNumber();
    switch (out.LastFailure()) {
    case Failure::Create:
        return ErrorText("Cannot create the clip in " + FolderOf(target), err);
    case Failure::Read:
        return err ? ErrorText("Cannot read " + source, err)
                   : "The file " + source + " became shorter while the clip was copied";
    case Failure::Write:
        return ErrorText("Cannot write the clip", err);
    case Failure::Finish:
        return out.Error();
    case Failure::Replace:
        return ErrorText("Cannot save the clip as " + target, err);
    case Failure::Exists:
        return target + " exists already; it was not replaced";
    case Failure::FlushFolder:
        return out.Error();
    case Failure::Refused:
    case Failure::None:
        break;
    }
    return "Cannot save the clip as " + target + ": " + out.Error();
}
