// The floor a text converter cannot go under: read the whole file, split it
// at LF, drop a CR before it, and write every line back ended by CR LF.
//
//     floor INPUT OUTPUT
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool readFile(const char* name, std::string& bytes)
{
    std::FILE* f = std::fopen(name, "rb");
    if (!f) return false;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    const bool ok = !std::ferror(f);
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

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor INPUT OUTPUT\n");
        return 2;
    }
    std::string bytes;
    if (!readFile(argv[1], bytes)) {
        std::fprintf(stderr, "floor: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string out = rewriteLines(bytes);
    std::FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "floor: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
