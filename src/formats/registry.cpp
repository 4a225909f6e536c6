#include "formats/registry.h"

#include "formats/aqtitle.h"
#include "formats/dvd_subripper.h"
#include "formats/microdvd.h"
#include "formats/sami.h"
#include "formats/simple_timecode.h"
#include "formats/ssa.h"
#include "formats/subrip.h"
#include "formats/subviewer1.h"
#include "formats/subviewer2.h"

namespace tessel {

const std::vector<FormatInfo>& Formats()
{
    // In save dialog order.
    static const std::vector<FormatInfo> formats = {
        { 1, "microdvd", "MicroDVD", 1, "MicroDVD subtitles", "*.sub", "sub", false, false, false, ReadMicroDVD,
            WriteMicroDVD },
        { 2, "subrip", "SubRip", 2, "SubRip subtitles", "*.srt", "srt", true, true, false, ReadSubRip, WriteSubRip },
        { 3, "subviewer1", "SubViewer 1", 3, "SubViewer v. 1 subtitles", "*.sub", "sub", true, true, false,
            ReadSubViewer1, WriteSubViewer1 },
        { 4, "subviewer2", "SubViewer 2", 4, "SubViewer v. 2 subtitles", "*.sub", "sub", true, true, false,
            ReadSubViewer2, WriteSubViewer2 },
        { 5, "aqtitle", "AQTitle", 5, "AQTitle subtitles", "*.aqt", "aqt", false, false, false, ReadAQTitle,
            WriteAQTitle },
        { 6, "sami", "SAMI", 6, "Microsoft SAMI", "*.smi", "smi", true, true, false, ReadSAMI, WriteSAMI },
        { 7, "dvdsubripper", "DVD Subripper", 7, "DVD Subripper", "*.sub", "sub", true, true, false, ReadDVDSubripper,
            WriteDVDSubripper },
        { 8, "ssa", "Sub Station Alpha", 8, "Sub Station Alpha 4.0", "*.ssa", "ssa", true, false, true, ReadSSA,
            WriteSSA },
        { 9, "timecode", "Simple time-code", 9, "Simple Time-code", "*.txt", "txt", true, true, false,
            ReadSimpleTimeCode, WriteSimpleTimeCode },
    };
    return formats;
}

const FormatInfo* FormatByCode(int code)
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

const std::vector<FileFilter>& OpenFileFilters()
{
    static const std::vector<FileFilter> filters = {
        { "All supported subtitles", "*.sub;*.srt;*.aqt;*.smi;*.ssa;*.txt" },
        { "MicroDVD subtitles", "*.sub;*.txt" },
        { "SubRip subtitles", "*.srt;*.txt" },
        { "SubViewer 1.x subtitles", "*.sub;*.txt" },
        { "SubViewer 2.x subtitles", "*.sub;*.txt" },
        { "AQTitle subtitles", "*.aqt;*.txt" },
        { "Microsoft SAMI", "*.smi;*.txt" },
        { "DVD Subripper", "*.sub;*.txt" },
        { "Sub Station Alpha 2.x, 4.x", "*.ssa" },
        { "Simple Time-code", "*.sub;*.txt" },
        { "All files", "*.*" },
    };
    return filters;
}

} // namespace tessel
