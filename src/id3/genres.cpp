#include "id3/genres.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace mdlID3 {
namespace {

// The names as this library has always stored them, "#"-separated.
constexpr std::string_view kGenreText =
    "Blues#Classic Rock#Country#Dance#Disco#Funk#Grunge#Hip-Hop#Jazz#Metal#New Age#Oldies#Other#"
    "Pop#R&B#Rap#Reggae#Rock#Techno#Industrial#Alternative#Ska#Death Metal#Pranks#Soundtrack#"
    "Euro-Techno#Ambient#Trip-Hop#Vocal#Jazz+Funk#Fusion#Trance#Classical#Instrumental#Acid#House#"
    "Game#Sound Clip#Gospel#Noise#Alt. Rock#Bass#Soul#Punk#Space#Meditative#Instrumental Pop#"
    "Instrumental Rock#Ethnic#Gothic#Darkwave#Techno-Industrial#Electronic#Pop-Folk#Eurodance#"
    "Dream#Southern Rock#Comedy#Cult#Gangsta#Top 40#Christian Rap#Pop/Funk#Jungle#Native American#"
    "Cabaret#New Wave#Psychadelic#Rave#Showtunes#Trailer#Lo-Fi#Tribal#Acid Punk#Acid Jazz#Polka#"
    "Retro#Musical#Rock & Roll#Hard Rock#Folk#Folk-Rock#National Folk#Swing#Fast Fusion#Bebob#"
    "Latin#Revival#Celtic#Bluegrass#Avantgarde#Gothic Rock#Progressive Rock#Psychedelic Rock#"
    "Symphonic Rock#Slow Rock#Big Band#Chorus#Easy Listening#Acoustic#Humour#Speech#Chanson#Opera#"
    "Chamber Music#Sonata#Symphony#Booty Bass#Primus#Porn Groove#Satire#Slow Jam#Club#Tango#Samba#"
    "Folklore#Ballad#Power Ballad#Rhythmic Soul#Freestyle#Duet#Punk Rock#Drum Solo#A capella#"
    "Euro-House#Dance Hall#Goa#Drum & Bass#Club-House#Hardcore#Terror#Indie#BritPop#Negerpunk#"
    "Polsk Punk#Beat#Christian Gangsta#Heavy Metal#Black Metal#Crossover#Contemporary C#"
    "Christian Rock#Merengue#Salsa#Thrash Metal#Anime#JPop#SynthPop";

using GenreArray = std::array<std::string, kGenreCount>;

// Split once, on first use; a function-local static is built thread-safely.
const GenreArray& Genres() {
    static const GenreArray genres = [] {
        GenreArray names;
        size_t start = 0;
        for (auto& name : names) {
            size_t end = kGenreText.find('#', start);
            if (end == std::string_view::npos) end = kGenreText.size();
            name = std::string(kGenreText.substr(start, end - start));
            start = end + 1;
        }
        return names;
    }();
    return genres;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string GetGenreName(int32_t index) {
    if (index < 0 || index >= kGenreCount) return {};
    return Genres()[static_cast<size_t>(index)];
}

int32_t GetGenreIndex(const std::string& name) {
    std::string wanted = LowerAscii(TrimBlanks(name));
    if (wanted.empty()) return kNoGenre;
    const auto& genres = Genres();
    for (size_t i = 0; i < genres.size(); ++i)
        if (LowerAscii(genres[i]) == wanted) return static_cast<int32_t>(i);
    return kNoGenre;
}

}  // namespace mdlID3
