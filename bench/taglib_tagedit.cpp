// TagLib peer for bench_cli.sh: sets the title of an MP3's ID3v2 tag and flushes the file to
// disk, as a careful minimal tag editor would. Usage: taglib_tagedit FILE TITLE
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    {
        TagLib::MPEG::File file(argv[1]);
        if (!file.isValid()) return 1;
        file.ID3v2Tag(true)->setTitle(TagLib::String(argv[2], TagLib::String::UTF8));
        if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone)) return 1;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) return 1;
    return ::close(fd) == 0 ? 0 : 1;
}
