// Build tool: turns a PNG picture into C++ source holding its pixels, so the launcher carries
// its icon without reading files at run time.
//   embed_icon <input.png> <output.cpp>
#include <FL/Fl_PNG_Image.H>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: embed_icon <input.png> <output.cpp>\n");
        return 2;
    }
    Fl_PNG_Image png(argv[1]);
    int w = png.w(), h = png.h(), d = png.d();
    if (png.fail() || w <= 0 || h <= 0 || d <= 0 || png.count() < 1) {
        std::fprintf(stderr, "embed_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const unsigned char* pixels = reinterpret_cast<const unsigned char*>(png.data()[0]);
    int lineBytes = png.ld() ? png.ld() : w * d;
    std::FILE* out = std::fopen(argv[2], "w");
    if (!out) {
        std::fprintf(stderr, "embed_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "// Generated from %s by embed_icon. Do not edit.\n", argv[1]);
    std::fprintf(out, "extern const int kQvIconWidth = %d;\n", w);
    std::fprintf(out, "extern const int kQvIconHeight = %d;\n", h);
    std::fprintf(out, "extern const int kQvIconDepth = %d;\n", d);
    std::fprintf(out, "extern const unsigned char kQvIconPixels[] = {\n");
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = pixels + static_cast<long>(y) * lineBytes;
        for (int i = 0; i < w * d; ++i)
            std::fprintf(out, "%d,%s", row[i], (i % 16 == 15) ? "\n" : "");
        std::fprintf(out, "\n");
    }
    std::fprintf(out, "};\n");
    bool ok = std::fclose(out) == 0;
    return ok ? 0 : 1;
}
