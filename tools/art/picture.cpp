#include "art/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace art {

Rgba rgb(int r, int g, int b, int a)
{
    return Rgba{r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
}

Rgba withAlpha(Rgba c, float a)
{
    c.a = a;
    return c;
}

Rgba mix(Rgba a, Rgba b, float t)
{
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Picture makePicture(int width, int height, Rgba fill)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.px.assign(static_cast<size_t>(width) * height, fill);
    return picture;
}

Mask makeMask(int width, int height)
{
    Mask mask;
    mask.width = width;
    mask.height = height;
    mask.cover.assign(static_cast<size_t>(width) * height, 0.0f);
    return mask;
}

Rgba& at(Picture& picture, int x, int y)
{
    x = std::clamp(x, 0, picture.width - 1);
    y = std::clamp(y, 0, picture.height - 1);
    return picture.px[static_cast<size_t>(y) * picture.width + x];
}

Rgba at(const Picture& picture, int x, int y)
{
    x = std::clamp(x, 0, picture.width - 1);
    y = std::clamp(y, 0, picture.height - 1);
    return picture.px[static_cast<size_t>(y) * picture.width + x];
}

float coverAt(const Mask& mask, int x, int y)
{
    if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) {
        return 0.0f;
    }
    return mask.cover[static_cast<size_t>(y) * mask.width + x];
}

void paint(Picture& picture, int x, int y, Rgba colour, float coverage)
{
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) {
        return;
    }
    const float alpha = std::clamp(colour.a * coverage, 0.0f, 1.0f);
    if (alpha <= 0.0f) {
        return;
    }
    Rgba& dst = picture.px[static_cast<size_t>(y) * picture.width + x];
    const float outA = alpha + dst.a * (1.0f - alpha);
    const float keep = dst.a * (1.0f - alpha);
    dst.r = (colour.r * alpha + dst.r * keep) / outA;
    dst.g = (colour.g * alpha + dst.g * keep) / outA;
    dst.b = (colour.b * alpha + dst.b * keep) / outA;
    dst.a = outA;
}

void paintMask(Picture& picture, const Mask& mask, Rgba colour, int dx, int dy)
{
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            const float c = mask.cover[static_cast<size_t>(y) * mask.width + x];
            if (c > 0.0f) {
                paint(picture, x + dx, y + dy, colour, c);
            }
        }
    }
}

float inkCentreX(const Mask& mask)
{
    int first = mask.width, last = -1;
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if (mask.cover[static_cast<size_t>(y) * mask.width + x] > 0.0f) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return last < 0 ? mask.width / 2.0f : (first + last + 1) / 2.0f;
}

Mask shapeMask(int width, int height, const Shape& inside, int samples)
{
    Mask mask = makeMask(width, height);
    const float step = 1.0f / samples;
    const float share = 1.0f / (samples * samples);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float cover = 0.0f;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    if (inside(x + (sx + 0.5f) * step, y + (sy + 0.5f) * step)) {
                        cover += share;
                    }
                }
            }
            mask.cover[static_cast<size_t>(y) * width + x] = cover;
        }
    }
    return mask;
}

void paintShape(Picture& picture, const Shape& inside, Rgba colour, int samples)
{
    paintMask(picture, shapeMask(picture.width, picture.height, inside, samples), colour);
}

Mask grow(const Mask& mask, float radius)
{
    Mask out = makeMask(mask.width, mask.height);
    const int reach = static_cast<int>(std::ceil(radius + 0.5f));
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            float best = 0.0f;
            for (int oy = -reach; oy <= reach; ++oy) {
                for (int ox = -reach; ox <= reach; ++ox) {
                    const float d = std::sqrt(static_cast<float>(ox * ox + oy * oy));
                    const float weight = std::clamp(radius + 0.5f - d, 0.0f, 1.0f);
                    best = std::max(best, coverAt(mask, x + ox, y + oy) * weight);
                }
            }
            out.cover[static_cast<size_t>(y) * mask.width + x] = best;
        }
    }
    return out;
}

Mask subtract(const Mask& a, const Mask& b)
{
    Mask out = a;
    for (size_t i = 0; i < out.cover.size(); ++i) {
        out.cover[i] = std::max(0.0f, a.cover[i] - b.cover[i]);
    }
    return out;
}

Mask unite(const Mask& a, const Mask& b)
{
    Mask out = a;
    for (size_t i = 0; i < out.cover.size(); ++i) {
        out.cover[i] = std::max(a.cover[i], b.cover[i]);
    }
    return out;
}

Mask blur(const Mask& mask, int radius, int passes)
{
    Mask out = mask;
    const float share = 1.0f / (2 * radius + 1);
    for (int pass = 0; pass < passes; ++pass) {
        Mask across = out;
        for (int y = 0; y < out.height; ++y) {
            for (int x = 0; x < out.width; ++x) {
                float sum = 0.0f;
                for (int k = -radius; k <= radius; ++k) {
                    sum += coverAt(out, x + k, y);
                }
                across.cover[static_cast<size_t>(y) * out.width + x] = sum * share;
            }
        }
        for (int y = 0; y < out.height; ++y) {
            for (int x = 0; x < out.width; ++x) {
                float sum = 0.0f;
                for (int k = -radius; k <= radius; ++k) {
                    sum += coverAt(across, x, y + k);
                }
                out.cover[static_cast<size_t>(y) * out.width + x] = sum * share;
            }
        }
    }
    return out;
}

Picture enlarge(const Picture& picture, int sx, int sy)
{
    Picture out = makePicture(picture.width * sx, picture.height * sy);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            out.px[static_cast<size_t>(y) * out.width + x] = at(picture, x / sx, y / sy);
        }
    }
    return out;
}

imagekit::Image toImage(const Picture& picture)
{
    imagekit::Image image(picture.width, picture.height);
    auto byte = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& c = picture.px[static_cast<size_t>(y) * picture.width + x];
            uint8_t* p = image.at(x, y);
            p[0] = byte(c.r);
            p[1] = byte(c.g);
            p[2] = byte(c.b);
            p[3] = byte(c.a);
        }
    }
    return image;
}

void bleed(Picture& picture, int passes)
{
    std::vector<bool> known(picture.px.size());
    for (size_t i = 0; i < known.size(); ++i) {
        known[i] = picture.px[i].a > 0.0f;
    }
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<bool> next = known;
        Picture out = picture;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const size_t i = static_cast<size_t>(y) * picture.width + x;
                if (known[i]) {
                    continue;
                }
                float r = 0.0f, g = 0.0f, b = 0.0f;
                int n = 0;
                for (int oy = -1; oy <= 1; ++oy) {
                    for (int ox = -1; ox <= 1; ++ox) {
                        const int nx = x + ox, ny = y + oy;
                        if (nx < 0 || ny < 0 || nx >= picture.width || ny >= picture.height) {
                            continue;
                        }
                        const size_t j = static_cast<size_t>(ny) * picture.width + nx;
                        if (known[j]) {
                            r += picture.px[j].r;
                            g += picture.px[j].g;
                            b += picture.px[j].b;
                            ++n;
                        }
                    }
                }
                if (n > 0) {
                    out.px[i] = Rgba{r / n, g / n, b / n, 0.0f};
                    next[i] = true;
                }
            }
        }
        picture = out;
        known = next;
    }
}

float bayer(int x, int y)
{
    static const int MATRIX[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (MATRIX[y & 3][x & 3] + 0.5f) / 16.0f;
}

Rgba dither(Rgba a, Rgba b, float t, int x, int y)
{
    return t > bayer(x, y) ? b : a;
}

float hash01(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 static_cast<uint32_t>(seed) * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xffffffu) / 16777216.0f;
}

}  // namespace art
