// Detection as the load command runs it: on the decoded head, with a name
// that also lets the extension rule speak.
#include "formats/detect.h"
#include "formats/text_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tessel::DecodedText text(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const std::string_view head = text.head();
    tessel::LineReader lines(head);
    const std::string firstLine(lines.readLine());
    tessel::DetectFormat(tessel::DetectionInput { firstLine, "fuzz.ssa", head });
    return 0;
}
