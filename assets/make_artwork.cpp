// Draws the programs' artwork and writes it as JPEG files with libjpeg:
//   toolbar.jpg  240 x 45, the picture at the right end of the toolbar
//   about.jpg     64 x 64, the picture of the About box
// Build and run: c++ -std=c++20 make_artwork.cpp -ljpeg -o make_artwork && ./make_artwork .
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

struct Image {
    int w, h;
    std::vector<uint8_t> rgb;
    Image(int w_, int h_) : w(w_), h(h_), rgb(static_cast<size_t>(w_ * h_ * 3)) {}
    void Set(int x, int y, int r, int g, int b) {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        uint8_t *p = &rgb[static_cast<size_t>((y * w + x) * 3)];
        p[0] = static_cast<uint8_t>(r);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(b);
    }
    void Rect(int x0, int y0, int x1, int y1, int r, int g, int b) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                Set(x, y, r, g, b);
    }
};

// A chip package: dark body, a notch and silver pins on both long sides.
void Chip(Image &im, int x, int y, int w, int h, int pins) {
    const int pinLen = h / 5;
    for (int i = 0; i < pins; ++i) {
        const int px = x + (w * (2 * i + 1)) / (2 * pins) - 2;
        im.Rect(px, y - pinLen, px + 4, y, 200, 204, 210);
        im.Rect(px, y + h, px + 4, y + h + pinLen, 200, 204, 210);
    }
    im.Rect(x, y, x + w, y + h, 38, 42, 52);
    im.Rect(x + 1, y + 1, x + w - 1, y + 2, 70, 76, 90);
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = 0; dx <= 3; ++dx)
            if (dx * dx + dy * dy <= 9)
                im.Set(x + dx, y + h / 2 + dy, 120, 126, 140);
}

// 3 x 5 block letters, enough for the name on the banner.
void Letter(Image &im, char c, int x, int y, int s, int r, int g, int b) {
    static const char *glyphs[] = {"P111101111100100", "E111100111100111", "L100100100100111",
                                   "M101111111101101", "O111101101101111", "R111101111110101",
                                   "2111001111100111", "0111101101101111"};
    for (const char *gl : glyphs) {
        if (gl[0] != c)
            continue;
        for (int i = 0; i < 15; ++i)
            if (gl[1 + i] == '1')
                im.Rect(x + (i % 3) * s, y + (i / 3) * s, x + (i % 3 + 1) * s, y + (i / 3 + 1) * s, r, g, b);
    }
}

bool WriteJpeg(const Image &im, const std::string &path) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = static_cast<JDIMENSION>(im.w);
    cinfo.image_height = static_cast<JDIMENSION>(im.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t *>(&im.rgb[static_cast<size_t>(cinfo.next_scanline * im.w * 3)]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(f) == 0;
}

int main(int argc, char **argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    Image bar(240, 45);
    for (int y = 0; y < bar.h; ++y)
        for (int x = 0; x < bar.w; ++x) {
            const double t = static_cast<double>(x) / bar.w;
            const double wave = 10 * std::sin(x / 17.0 + y / 9.0);
            bar.Set(x, y, static_cast<int>(20 + 30 * t + wave), static_cast<int>(70 + 60 * t + wave),
                    static_cast<int>(150 + 80 * t));
        }
    Chip(bar, 10, 13, 44, 19, 6);
    int x = 66;
    for (char c : std::string("PELMOR200")) {
        Letter(bar, c, x + 1, 11, 4, 10, 20, 50);
        Letter(bar, c, x, 10, 4, 250, 250, 255);
        x += 18;
    }
    Image about(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x2 = 0; x2 < 64; ++x2)
            about.Set(x2, y, 40 + y, 90 + y, 170 + y / 2);
    Chip(about, 14, 20, 36, 24, 5);
    return WriteJpeg(bar, dir + "/toolbar.jpg") && WriteJpeg(about, dir + "/about.jpg") ? 0 : 1;
}
