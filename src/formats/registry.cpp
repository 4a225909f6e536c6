#include "formats/registry.h"

#include "formats/aqtitle.h"
#include "formats/ass.h"
#include "formats/dvd_subripper.h"
#include "formats/ebu_stl.h"
#include "formats/microdvd.h"
#include "formats/pgs.h"
#include "formats/sami.h"
#include "formats/scc.h"
#include "formats/simple_timecode.h"
#include "formats/ssa.h"
#include "formats/subrip.h"
#include "formats/subviewer1.h"
#include "formats/subviewer2.h"
#include "formats/ttml.h"
#include "formats/vobsub.h"
#include "formats/webvtt.h"

#include <QString>
#include <algorithm>

namespace tessel {

const std::vector<FormatInfo>& Formats()
{
    // code, converter name, name,
    // save type, description, pattern, extension; open description, patterns,
    // detection rank, rule; asks for a framerate to read, to write, for the export settings; reader, writer;
    // binary; pictures of text; the writer of rows as they come.
    static const std::vector<FormatInfo> formats = {
        { FormatCode::MicroDVD, "microdvd", "MicroDVD", //
            1, "MicroDVD subtitles", "*.sub", "sub", "MicroDVD subtitles", "*.sub;*.txt", //
            1, LooksLikeMicroDVD, false, false, false, ReadMicroDVD, WriteMicroDVD, false, false, MakeMicroDVDWriter },
        { FormatCode::SubRip, "subrip", "SubRip", //
            2, "SubRip subtitles", "*.srt", "srt", "SubRip subtitles", "*.srt;*.txt", //
            2, LooksLikeSubRip, true, true, false, ReadSubRip, WriteSubRip, false, false, MakeSubRipWriter },
        { FormatCode::SubViewer1, "subviewer1", "SubViewer 1", //
            3, "SubViewer v. 1 subtitles", "*.sub", "sub", "SubViewer 1.x subtitles", "*.sub;*.txt", //
            3, LooksLikeSubViewer1, true, true, false, ReadSubViewer1, WriteSubViewer1, false, false,
            MakeSubViewer1Writer },
        { FormatCode::SubViewer2, "subviewer2", "SubViewer 2", //
            4, "SubViewer v. 2 subtitles", "*.sub", "sub", "SubViewer 2.x subtitles", "*.sub;*.txt", //
            4, LooksLikeSubViewer2, true, true, false, ReadSubViewer2, WriteSubViewer2, false, false,
            MakeSubViewer2Writer },
        { FormatCode::AQTitle, "aqtitle", "AQTitle", //
            5, "AQTitle subtitles", "*.aqt", "aqt", "AQTitle subtitles", "*.aqt;*.txt", //
            5, LooksLikeAQTitle, false, false, false, ReadAQTitle, WriteAQTitle, false, false, MakeAQTitleWriter },
        { FormatCode::SAMI, "sami", "SAMI", //
            6, "Microsoft SAMI", "*.smi", "smi", "Microsoft SAMI", "*.smi;*.txt", //
            6, LooksLikeSAMI, true, true, false, ReadSAMI, WriteSAMI, false, false, MakeSAMIWriter },
        { FormatCode::DVDSubripper, "dvdsubripper", "DVD Subripper", //
            7, "DVD Subripper", "*.sub", "sub", "DVD Subripper", "*.sub;*.txt", //
            7, LooksLikeDVDSubripper, true, true, false, ReadDVDSubripper, WriteDVDSubripper, false, false,
            MakeDVDSubripperWriter },
        { FormatCode::SSA, "ssa", "Sub Station Alpha", //
            8, "Sub Station Alpha 4.0", "*.ssa", "ssa", "Sub Station Alpha 2.x, 4.x", "*.ssa", //
            9, LooksLikeSSA, true, false, true, ReadSSA, WriteSSA, false, false, MakeSSAWriter },
        { FormatCode::SimpleTimeCode, "timecode", "Simple time-code", //
            9, "Simple Time-code", "*.txt", "txt", "Simple Time-code", "*.sub;*.txt", //
            8, LooksLikeSimpleTimeCode, true, true, false, ReadSimpleTimeCode, WriteSimpleTimeCode, false, false,
            MakeSimpleTimeCodeWriter },
        // Asks for the export settings only for a table that holds no script of its own.
        { FormatCode::ASS, "ass", "Advanced SubStation Alpha", //
            10, "Advanced SubStation Alpha", "*.ass", "ass", "Advanced SubStation Alpha", "*.ass", //
            LaterFormatsRank + 1, LooksLikeAss, true, true, true, ReadAss, WriteAss, false, false, MakeAssWriter },
        { FormatCode::WebVTT, "webvtt", "WebVTT", //
            11, "WebVTT", "*.vtt", "vtt", "WebVTT", "*.vtt", //
            LaterFormatsRank, LooksLikeWebVtt, true, true, false, ReadWebVtt, WriteWebVtt, false, false,
            MakeWebVttWriter },
        { FormatCode::TTML, "ttml", "TTML", //
            12, "TTML (IMSC 1.1 Text)", "*.ttml", "ttml", "TTML, DFXP", "*.ttml;*.dfxp;*.xml", //
            LaterFormatsRank + 2, LooksLikeTtml, true, true, false, ReadTtml, WriteTtml, false, false, MakeTtmlWriter },
        { FormatCode::EbuStl, "ebu-stl", "EBU STL", //
            13, "EBU STL (Tech 3264)", "*.stl", "stl", "EBU STL (Tech 3264)", "*.stl", //
            LaterFormatsRank + 3, LooksLikeEbuStl, true, true, false, ReadEbuStl, WriteEbuStl, true, false,
            MakeEbuStlWriter },
        { FormatCode::SCC, "scc", "Scenarist Closed Captions", //
            14, "Scenarist Closed Captions", "*.scc", "scc", "Scenarist Closed Captions", "*.scc", //
            LaterFormatsRank + 4, LooksLikeScc, true, true, false, ReadScc, WriteScc, false, false, MakeSccWriter },
        // Pictures: read by OCR; written (Blu-ray only) with the export settings' font and colours.
        { FormatCode::Pgs, "pgs", "Blu-ray subtitles", //
            15, "Blu-ray subtitles (PGS)", "*.sup", "sup", "Blu-ray subtitles (PGS)", "*.sup", //
            LaterFormatsRank + 5, LooksLikePgs, true, true, true, nullptr, WritePgs, true, true },
        { FormatCode::VobSub, "vobsub", "VobSub", //
            0, "", "*.idx", "idx", "DVD subtitles (VobSub)", "*.idx;*.sub", //
            LaterFormatsRank + 6, LooksLikeVobSub, true, false, false, nullptr, nullptr, true, true },
    };
    return formats;
}

const FormatInfo* FormatByCode(FormatCode code)
{
    for (const FormatInfo& f : Formats())
        if (f.code == code) return &f;
    return nullptr;
}

const FormatInfo* FormatBySaveType(int saveType)
{
    for (const FormatInfo& f : Formats())
        if (f.saveType == saveType) return &f;
    return nullptr;
}

const FormatInfo* FormatById(std::string_view id)
{
    for (const FormatInfo& f : Formats())
        if (id == f.id) return &f;
    return nullptr;
}

const FormatInfo* FormatByExtension(std::string_view extension)
{
    const QString wanted = QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())).toLower();
    for (const FormatInfo& f : Formats())
        if (wanted == QLatin1String(f.extension)) return &f;
    return nullptr;
}

const std::vector<FileFilter>& OpenFileFilters()
{
    static const std::string allSupported = [] {
        std::vector<std::string_view> seen;
        std::string patterns;
        for (const FormatInfo& f : Formats()) {
            std::string_view rest = f.savePattern;
            while (!rest.empty()) {
                const std::string_view pattern = rest.substr(0, rest.find(';'));
                rest.remove_prefix(std::min(rest.size(), pattern.size() + 1));
                if (std::find(seen.begin(), seen.end(), pattern) != seen.end()) continue;
                seen.push_back(pattern);
                (patterns += patterns.empty() ? "" : ";") += pattern;
            }
        }
        // Films hold subtitles too: their text tracks open as subtitles.
        return patterns + ";*.mkv;*.webm;*.mp4;*.m4v;*.mov";
    }();
    static const std::vector<FileFilter> filters = [] {
        std::vector<FileFilter> list { { "All supported subtitles", allSupported.c_str() } };
        for (const FormatInfo& f : Formats())
            list.push_back({ f.openDescription, f.openPatterns });
        list.push_back({ "All files", "*.*" });
        return list;
    }();
    return filters;
}

} // namespace tessel
