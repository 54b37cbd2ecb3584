#include "id3/v22frameids.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace mdlID3 {

namespace {

// ID3v2.2 identifiers and their ID3v2.3 forms; TDOR and TIPL of ID3v2.4 are held as TORY and IPLS.
using IdPair = std::pair<std::string_view, std::string_view>;

// Sorted by the old identifier, so a lookup is a binary search.
constexpr auto kIdMap = [] {
    std::array<IdPair, 64> map{{
        {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"},
        {"ETC", "ETCO"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
        {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
        {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
        {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDOR", "TORY"}, {"TDY", "TDLY"},
        {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TIPL", "IPLS"}, {"TKE", "TKEY"},
        {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"},
        {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"},
        {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"},
        {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"},
        {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"},
        {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"},
        {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"}, {"WXX", "WXXX"},
    }};
    return map;
}();
static_assert(std::is_sorted(kIdMap.begin(), kIdMap.end()));

}  // namespace

std::string MapV22FrameId(const std::string& id) {
    auto begin = kIdMap.begin();
    auto end = kIdMap.end();
    auto it = std::lower_bound(begin, end, std::string_view(id),
                               [](const IdPair& entry, std::string_view key) { return entry.first < key; });
    if (it != end && it->first == id) return std::string(it->second);
    return id;
}

}  // namespace mdlID3
