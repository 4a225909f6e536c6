// The floor a text converter cannot go under: read the file, split it at
// LF, drop a CR before it, and write every line back ended by CR LF.
//
//     floor [--stream] INPUT OUTPUT
//
// By default the whole file is held in memory, input and output, as a
// converter that keeps a document does; --stream goes through 1 MiB blocks
// and pays for no large buffers at all.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// In one piece, as the converter reads it: no regrowing on the way.
bool readFile(const char* name, std::string& bytes)
{
    std::FILE* f = std::fopen(name, "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    std::fclose(f);
    return ok;
}

std::string rewriteLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    size_t position = 0;
    while (position < text.size()) {
        const char* begin = text.data() + position;
        const void* lf = std::memchr(begin, '\n', text.size() - position);
        size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : text.size() - position;
        position += lf ? length + 1 : length;
        if (length > 0 && begin[length - 1] == '\r') --length;
        out.append(begin, length);
        out.append("\r\n");
    }
    return out;
}

// Lines cut by a block end are carried into the next block.
bool streamLines(std::FILE* in, std::FILE* out)
{
    constexpr size_t Block = 1 << 20;
    std::string pending, buffer(Block, '\0');
    size_t n;
    while ((n = std::fread(buffer.data(), 1, Block, in)) > 0) {
        pending.append(buffer.data(), n);
        const size_t lastLf = pending.rfind('\n');
        if (lastLf == std::string::npos) continue;
        const std::string lines = rewriteLines(std::string_view(pending).substr(0, lastLf + 1));
        if (std::fwrite(lines.data(), 1, lines.size(), out) != lines.size()) return false;
        pending.erase(0, lastLf + 1);
    }
    const std::string rest = rewriteLines(pending);
    return !std::ferror(in) && std::fwrite(rest.data(), 1, rest.size(), out) == rest.size();
}

int streamed(const char* input, const char* output)
{
    std::FILE* in = std::fopen(input, "rb");
    std::FILE* out = in ? std::fopen(output, "wb") : nullptr;
    const bool ok = out && streamLines(in, out);
    if (in) std::fclose(in);
    if ((out && std::fclose(out) != 0) || !ok) {
        std::fprintf(stderr, "floor: cannot stream %s to %s\n", input, output);
        return 1;
    }
    return 0;
}

int whole(const char* input, const char* output)
{
    std::string bytes;
    if (!readFile(input, bytes)) {
        std::fprintf(stderr, "floor: cannot read %s\n", input);
        return 1;
    }
    const std::string out = rewriteLines(bytes);
    std::FILE* f = std::fopen(output, "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "floor: cannot write %s\n", output);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool stream = argc == 4 && std::string_view(argv[1]) == "--stream";
    if (argc != 3 && !stream) {
        std::fprintf(stderr, "usage: floor [--stream] INPUT OUTPUT\n");
        return 2;
    }
    return stream ? streamed(argv[2], argv[3]) : whole(argv[1], argv[2]);
}
