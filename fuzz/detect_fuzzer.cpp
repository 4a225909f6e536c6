#include "formats/detect.h"
#include "formats/text_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text
        = tessel::DecodeToUtf8(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    tessel::LineReader lines(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    tessel::DetectFormat(lines.readLine(), "fuzz.ssa");
    return 0;
}
