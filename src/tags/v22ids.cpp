#include "tags/v22ids.h"

#include <cstring>

namespace {

struct IdPair {
    const char* v22;
    const char* v23;
};

const IdPair idMap[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"}, {"TCP", "TCMP"}, {"TST", "TSOT"}, {"TSP", "TSOP"},
    {"TSA", "TSOA"}, {"TS2", "TSO2"}, {"TSC", "TSOC"},
};

} // namespace

QByteArray MapV22Id(const QByteArray& id) {
    for (const IdPair& p : idMap) {
        if (id == p.v22)
            return QByteArray(p.v23);
    }
    return QByteArray();
}

QByteArray PicToApicBody(const QByteArray& body) {
    if (body.size() < 5)
        return body;
    const QByteArray format = body.mid(1, 3).toUpper();
    QByteArray mime;
    if (format == "JPG")
        mime = "image/jpeg";
    else if (format == "PNG")
        mime = "image/png";
    else if (format == "-->")
        mime = "-->"; // a link to the picture, kept as such
    else
        mime = "image/" + format.toLower();
    return body.left(1) + mime + '\0' + body.mid(4);
}

QByteArray LnkToLinkBody(const QByteArray& body) {
    const QByteArray linked = body.size() >= 3 ? MapV22Id(body.left(3)) : QByteArray();
    return linked.isEmpty() ? QByteArray() : linked + body.mid(3);
}
