#include "formats/text_render.h"

#include "core/errors.h"
#include "formats/markup.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <array>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <map>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#include FT_STROKER_H

namespace tessel {
namespace {

// A glyph's coverage with its place relative to the pen on the baseline.
struct Coverage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

struct Glyph {
    FT_Pos advance = 0; // 26.6
    Coverage fill, outline;
};

Coverage coverageOf(FT_Glyph glyph)
{
    Coverage out;
    if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, true) != 0) return out;
    const auto* bitmap = reinterpret_cast<FT_BitmapGlyph>(glyph);
    out.left = bitmap->left;
    out.top = bitmap->top;
    out.width = static_cast<int>(bitmap->bitmap.width);
    out.height = static_cast<int>(bitmap->bitmap.rows);
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (int y = 0; y < out.height; ++y)
        std::copy_n(bitmap->bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap->bitmap.pitch, out.width,
            out.pixels.begin() + static_cast<ptrdiff_t>(y) * out.width);
    FT_Done_Glyph(glyph);
    return out;
}

struct FontFile {
    std::string path;
    int index = 0;
    bool italic = false, bold = false; // what the file itself is
};

FontFile findFont(const std::string& name, bool bold, bool italic)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FontFile font;
    if (!match) return font;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) font.path = reinterpret_cast<char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &font.index);
    int slant = FC_SLANT_ROMAN, weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    font.italic = slant != FC_SLANT_ROMAN;
    font.bold = weight >= FC_WEIGHT_DEMIBOLD;
    FcPatternDestroy(match);
    return font;
}

// A glyph placed on the canvas: its pen position in pixels on its line.
struct Placed {
    const Glyph* glyph;
    int x;
};

struct LineLayout {
    std::vector<Placed> glyphs;
    int minX = 0, maxX = 0; // covered pixels, relative to the line's start
};

} // namespace

// The four faces a row can need (upright, bold, italic, both), each made
// from the family's own file where it has one and slanted or emboldened
// where it has not; glyphs drawn once and kept.
class TextRenderer::Faces {
public:
    explicit Faces(const TextStyle& style)
        : style_(style)
    {
        if (FT_Init_FreeType(&library_) != 0) throw Error("FreeType cannot be started.");
        if (style_.outlinePixels > 0) {
            FT_Stroker_New(library_, &stroker_);
            FT_Stroker_Set(stroker_, style_.outlinePixels * 64, FT_STROKER_LINECAP_ROUND, FT_STROKER_LINEJOIN_ROUND, 0);
        }
        face(0); // the upright face gives the line metrics, and any error now
    }
    ~Faces()
    {
        for (FT_Face f : faces_)
            if (f) FT_Done_Face(f);
        if (stroker_) FT_Stroker_Done(stroker_);
        FT_Done_FreeType(library_);
    }

    // 0 upright, 1 bold, 2 italic, 3 bold italic.
    FT_Face face(int which)
    {
        if (faces_[which]) return faces_[which];
        const bool bold = (which & 1) != 0, italic = (which & 2) != 0;
        const FontFile file = findFont(style_.fontName, bold, italic);
        FT_Face f = nullptr;
        if (file.path.empty() || FT_New_Face(library_, file.path.c_str(), file.index, &f) != 0)
            throw Error("No font can be found for \"" + style_.fontName + "\".");
        FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(std::max(style_.pixelSize, 4)));
        slanted_[which] = italic && !file.italic;
        emboldened_[which] = bold && !file.bold;
        return faces_[which] = f;
    }

    const Glyph& glyph(int which, FT_UInt index)
    {
        const auto key = std::make_pair(which, index);
        if (const auto found = glyphs_.find(key); found != glyphs_.end()) return found->second;
        Glyph& made = glyphs_[key];
        FT_Face f = face(which);
        if (FT_Load_Glyph(f, index, FT_LOAD_NO_BITMAP) != 0 || f->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return made;
        made.advance = f->glyph->advance.x;
        if (slanted_[which]) {
            const FT_Matrix shear { 0x10000, 0x3800, 0, 0x10000 }; // about 12 degrees
            FT_Outline_Transform(&f->glyph->outline, &shear);
        }
        if (emboldened_[which]) {
            const FT_Pos strength = std::max<FT_Pos>(64, style_.pixelSize * 64 / 24);
            FT_Outline_EmboldenXY(&f->glyph->outline, strength, 0);
            made.advance += strength;
        }
        FT_Glyph outline = nullptr;
        if (FT_Get_Glyph(f->glyph, &outline) != 0) return made;
        FT_Glyph fill = nullptr;
        if (FT_Glyph_Copy(outline, &fill) == 0) made.fill = coverageOf(fill);
        if (stroker_ && FT_Glyph_StrokeBorder(&outline, stroker_, false, true) == 0)
            made.outline = coverageOf(outline);
        else
            FT_Done_Glyph(outline);
        return made;
    }

    FT_Pos kerning(int which, FT_UInt left, FT_UInt right)
    {
        FT_Face f = face(which);
        FT_Vector delta {};
        if (!FT_HAS_KERNING(f) || FT_Get_Kerning(f, left, right, FT_KERNING_DEFAULT, &delta) != 0) return 0;
        return delta.x;
    }

    int ascender() { return static_cast<int>(face(0)->size->metrics.ascender >> 6); }
    int lineHeight() { return static_cast<int>(face(0)->size->metrics.height >> 6); }
    const TextStyle& style() const { return style_; }

private:
    TextStyle style_;
    FT_Library library_ = nullptr;
    FT_Stroker stroker_ = nullptr;
    std::array<FT_Face, 4> faces_ {};
    std::array<bool, 4> slanted_ {}, emboldened_ {};
    std::map<std::pair<int, FT_UInt>, Glyph> glyphs_;
};

TextRenderer::TextRenderer(const TextStyle& style)
    : faces_(std::make_unique<Faces>(style))
{
}

TextRenderer::~TextRenderer() = default;

int TextRenderer::lineHeight() const { return faces_->lineHeight(); }

TextPicture TextRenderer::render(const std::vector<std::string_view>& lines)
{
    // Markup opened on one line goes on over the next, as a row's lines are one text.
    bool italic = false, bold = false;
    std::vector<LineLayout> layouts;
    for (std::string_view line : lines) {
        LineLayout layout;
        FT_Pos pen = 0;
        int lastFace = -1;
        FT_UInt last = 0;
        for (const MarkupPiece& piece : SplitMarkup(line)) {
            if (piece.kind == MarkupPiece::ItalicOn || piece.kind == MarkupPiece::ItalicOff)
                italic = piece.kind == MarkupPiece::ItalicOn;
            if (piece.kind == MarkupPiece::BoldOn || piece.kind == MarkupPiece::BoldOff)
                bold = piece.kind == MarkupPiece::BoldOn;
            if (piece.kind != MarkupPiece::Text) continue;
            const int which = ((faces_->style().bold || bold) ? 1 : 0) | (italic ? 2 : 0);
            FT_Face f = faces_->face(which);
            for (char32_t c :
                QString::fromUtf8(piece.text.data(), static_cast<qsizetype>(piece.text.size())).toUcs4()) {
                const FT_UInt index = FT_Get_Char_Index(f, c == '\t' ? ' ' : c);
                if (which == lastFace && last) pen += faces_->kerning(which, last, index);
                const Glyph& glyph = faces_->glyph(which, index);
                const int x = static_cast<int>((pen + 32) >> 6);
                layout.glyphs.push_back({ &glyph, x });
                for (const Coverage* c2 : { &glyph.fill, &glyph.outline })
                    if (c2->width > 0) {
                        layout.minX = std::min(layout.minX, x + c2->left);
                        layout.maxX = std::max(layout.maxX, x + c2->left + c2->width);
                    }
                pen += glyph.advance;
                lastFace = which;
                last = index;
            }
        }
        layouts.push_back(std::move(layout));
    }
    int widest = 0;
    for (const LineLayout& l : layouts)
        widest = std::max(widest, l.maxX - l.minX);
    const int pad = faces_->style().outlinePixels + 2;
    const int lineHeight = faces_->lineHeight();
    TextPicture canvas;
    canvas.width = widest + 2 * pad;
    canvas.height = static_cast<int>(layouts.size()) * lineHeight + 2 * pad + lineHeight / 2;
    if (widest == 0) return {};
    canvas.fill.assign(static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height), 0);
    canvas.outline = canvas.fill;
    const auto put = [&canvas](std::vector<uint8_t>& into, const Coverage& c, int x0, int y0) {
        for (int y = 0; y < c.height; ++y) {
            const int cy = y0 + y;
            if (cy < 0 || cy >= canvas.height) continue;
            for (int x = 0; x < c.width; ++x) {
                const int cx = x0 + x;
                if (cx < 0 || cx >= canvas.width) continue;
                uint8_t& pixel
                    = into[static_cast<size_t>(cy) * static_cast<size_t>(canvas.width) + static_cast<size_t>(cx)];
                pixel = std::max(
                    pixel, c.pixels[static_cast<size_t>(y) * static_cast<size_t>(c.width) + static_cast<size_t>(x)]);
            }
        }
    };
    for (size_t i = 0; i < layouts.size(); ++i) {
        const LineLayout& l = layouts[i];
        const int start = pad + (widest - (l.maxX - l.minX)) / 2 - l.minX;
        const int baseline = pad + faces_->ascender() + static_cast<int>(i) * lineHeight;
        for (const Placed& p : l.glyphs) {
            put(canvas.fill, p.glyph->fill, start + p.x + p.glyph->fill.left, baseline - p.glyph->fill.top);
            put(canvas.outline, p.glyph->outline, start + p.x + p.glyph->outline.left, baseline - p.glyph->outline.top);
        }
    }
    for (size_t i = 0; i < canvas.fill.size(); ++i)
        canvas.outline[i] = std::max(canvas.outline[i], canvas.fill[i]);
    // Cut to what is covered.
    int top = canvas.height, bottom = -1, left = canvas.width, right = -1;
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x)
            if (canvas.outline[static_cast<size_t>(y) * static_cast<size_t>(canvas.width) + static_cast<size_t>(x)]) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
    if (bottom < 0) return {};
    TextPicture cut;
    cut.width = right - left + 1;
    cut.height = bottom - top + 1;
    for (int y = top; y <= bottom; ++y) {
        const auto from = static_cast<ptrdiff_t>(y) * canvas.width + left;
        cut.fill.insert(cut.fill.end(), canvas.fill.begin() + from, canvas.fill.begin() + from + cut.width);
        cut.outline.insert(cut.outline.end(), canvas.outline.begin() + from, canvas.outline.begin() + from + cut.width);
    }
    return cut;
}

} // namespace tessel
