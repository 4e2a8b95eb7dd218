// Painting the face and dress textures with antialiased shapes, and writing
// them as TGA or as embedded pixel values.
#include "tools/make_sample/images.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/make_sample/character.h"

namespace vashel::sample {
namespace {

struct Rgb {
  double r = 0.0, g = 0.0, b = 0.0;
};

constexpr Rgb rgb255(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

Rgb mixRgb(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

struct Box {
  double u0 = 0.0, v0 = 0.0, u1 = 1.0, v1 = 1.0;
};

// A layer-by-layer painter in texture space (u right, v up).
class Canvas {
 public:
  Canvas(int width, int height, Rgb background)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, background) {}

  // Paints over the pixels inside `box` by the share of 4 x 4 subsamples for
  // which inside(u, v) holds, times opacity; the colour is taken at the
  // pixel's centre.
  void fill(Box box, const std::function<bool(double, double)>& inside,
            const std::function<Rgb(double, double)>& color, double opacity = 1.0) {
    const int i0 = std::max(0, static_cast<int>(std::floor(box.u0 * width_)));
    const int i1 = std::min(width_ - 1, static_cast<int>(std::ceil(box.u1 * width_)));
    const int j0 = std::max(0, static_cast<int>(std::floor(box.v0 * height_)));
    const int j1 = std::min(height_ - 1, static_cast<int>(std::ceil(box.v1 * height_)));
    for (int j = j0; j <= j1; ++j) {
      for (int i = i0; i <= i1; ++i) {
        int hits = 0;
        for (int sj = 0; sj < 4; ++sj) {
          for (int si = 0; si < 4; ++si) {
            if (inside((i + (si + 0.5) / 4.0) / width_, (j + (sj + 0.5) / 4.0) / height_)) ++hits;
          }
        }
        if (hits == 0) continue;
        const double a = opacity * hits / 16.0;
        Rgb& p = pixels_[static_cast<size_t>(j) * width_ + i];
        p = mixRgb(p, color((i + 0.5) / width_, (j + 0.5) / height_), a);
      }
    }
  }

  void fill(Box box, const std::function<bool(double, double)>& inside, Rgb color, double opacity = 1.0) {
    fill(box, inside, [color](double, double) { return color; }, opacity);
  }

  // Paints with a per-pixel opacity (soft shapes such as blush).
  void glaze(Box box, const std::function<double(double, double)>& alpha, Rgb color) {
    for (int j = 0; j < height_; ++j) {
      for (int i = 0; i < width_; ++i) {
        const double u = (i + 0.5) / width_, v = (j + 0.5) / height_;
        if (u < box.u0 || u > box.u1 || v < box.v0 || v > box.v1) continue;
        Rgb& p = pixels_[static_cast<size_t>(j) * width_ + i];
        p = mixRgb(p, color, std::clamp(alpha(u, v), 0.0, 1.0));
      }
    }
  }

  Image image() const {
    Image out{width_, height_, {}};
    out.rgba.reserve(pixels_.size() * 4);
    const auto byte = [](double c) { return static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0)); };
    for (const Rgb& p : pixels_) {
      out.rgba.insert(out.rgba.end(), {byte(p.r), byte(p.g), byte(p.b), 255});
    }
    return out;
  }

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

double sq(double x) { return x * x; }

// (x / a)^2 + (y / b)^2 about (cu, cv).
double ellipse(double u, double v, double cu, double cv, double a, double b) {
  return sq((u - cu) / a) + sq((v - cv) / b);
}

constexpr Rgb kSkinTexel = rgb255(255, 224, 209);
constexpr Rgb kLash = rgb255(62, 36, 52);

void paintEye(Canvas& c, double side) {
  using F = FaceLayout;
  const double eu = 0.5 + side * F::kEyeU, ev = F::kEyeV;
  const double a = F::kEyeHalfWidth, b = F::kEyeHalfHeight;
  const Box box{eu - 0.16, ev - 0.16, eu + 0.16, ev + 0.16};
  // x grows towards the outer corner, y upwards.
  const auto local = [=](double u, double v) { return std::pair<double, double>{(u - eu) * side, v - ev}; };
  const auto inEye = [=](double u, double v) { return ellipse(u, v, eu, ev, a, b) <= 1.0; };

  // The white, shaded under the upper lid.
  c.fill(box, inEye, [=](double, double v) {
    return mixRgb(rgb255(255, 255, 255), rgb255(214, 218, 238), smoothstep(ev, ev + b, v));
  });
  // The iris: deep violet at the top to clear aqua at the bottom, a darker rim.
  const double iu = eu - side * 0.04 * a, iv = ev - 0.05 * b, ia = 0.8 * a, ib = 0.89 * b;
  const auto inIris = [=](double u, double v) { return inEye(u, v) && ellipse(u, v, iu, iv, ia, ib) <= 1.0; };
  c.fill(box, inIris, [=](double u, double v) {
    const Rgb body = mixRgb(rgb255(104, 196, 228), rgb255(58, 52, 128), smoothstep(iv - ib, iv + ib * 0.6, v));
    return mixRgb(body, rgb255(40, 36, 96), smoothstep(0.72, 1.0, ellipse(u, v, iu, iv, ia, ib)));
  });
  // A glow in its lower half.
  c.fill(box, [=](double u, double v) { return inIris(u, v) && ellipse(u, v, iu, iv - 0.45 * b, 0.55 * a, 0.3 * b) <= 1.0; },
         rgb255(168, 232, 246), 0.65);
  // The pupil.
  c.fill(box, [=](double u, double v) { return ellipse(u, v, iu, iv - 0.04 * b, 0.34 * a, 0.45 * b) <= 1.0; },
         rgb255(34, 28, 72));
  // Highlights, on the same side in both eyes (the light is to the upper right).
  c.fill(box, [=](double u, double v) { return inEye(u, v) && ellipse(u, v, eu + 0.27 * a, ev + 0.31 * b, 0.27 * a, 0.27 * b) <= 1.0; },
         rgb255(255, 255, 255));
  c.fill(box, [=](double u, double v) { return inEye(u, v) && ellipse(u, v, eu - 0.29 * a, ev - 0.38 * b, 0.13 * a, 0.11 * b) <= 1.0; },
         rgb255(255, 255, 255), 0.9);
  // Upper lash line, thickest towards the outer corner, ending in a flick.
  c.fill(box, [=](double u, double v) {
    const auto [x, y] = local(u, v);
    const double e = ellipse(u, v, eu, ev, a, b);
    const double thickness = 0.28 + 0.22 * smoothstep(-a, a, x);
    return y > -0.2 * b && e <= 1.0 + thickness && e >= 0.86 && y > 0.0 + (e > 1.0 ? 0.0 : 0.35 * b);
  }, kLash);
  c.fill(box, [=](double u, double v) {
    const auto [x, y] = local(u, v);
    const double t = (x - 0.7 * a) / (0.6 * a);
    if (t < 0.0 || t > 1.0) return false;
    const double centre = 0.018 + 0.045 * t;
    return std::fabs(y - centre) < 0.013 * (1.0 - t) + 0.002;
  }, kLash);
  // A light lower lash on the outer half.
  c.fill(box, [=](double u, double v) {
    const auto [x, y] = local(u, v);
    const double e = ellipse(u, v, eu, ev, a, b);
    return x > -0.2 * a && y < -0.45 * b && e >= 0.98 && e <= 1.12;
  }, rgb255(150, 96, 110), 0.8);
}

void paintBlush(Canvas& c, double side) {
  using F = FaceLayout;
  const double bu = 0.5 + side * F::kBlushU, bv = F::kBlushV;
  c.glaze({bu - 0.12, bv - 0.08, bu + 0.12, bv + 0.08},
          [=](double u, double v) { return 0.55 * std::exp(-2.2 * ellipse(u, v, bu, bv, 0.075, 0.038)); },
          rgb255(255, 150, 168));
  // Three little strokes across each cheek.
  for (int k = -1; k <= 1; ++k) {
    const double cu = bu + k * 0.022, cv = bv + 0.002;
    c.fill({cu - 0.02, cv - 0.03, cu + 0.02, cv + 0.03}, [=](double u, double v) {
      const double du = u - cu, dv = v - cv;
      const double along = du * 0.5 + dv * 0.866;   // strokes lean 60 degrees
      const double across = du * 0.866 - dv * 0.5;
      return std::fabs(along) < 0.013 && std::fabs(across) < 0.0032;
    }, rgb255(236, 112, 136), 0.55);
  }
}

}  // namespace

Image paintFace(int size) {
  using F = FaceLayout;
  Canvas c(size, size, kSkinTexel);
  paintBlush(c, -1.0);
  paintBlush(c, 1.0);
  paintEye(c, -1.0);
  paintEye(c, 1.0);
  // A tiny nose and a small smile.
  c.fill({0.47, 0.34, 0.53, 0.38}, [](double u, double v) { return ellipse(u, v, 0.5, 0.362, 0.006, 0.0045) <= 1.0; },
         rgb255(236, 178, 168), 0.8);
  const double mv = F::kMouthV;
  c.fill({0.45, mv - 0.03, 0.55, mv + 0.03}, [=](double u, double v) {
    const double r = std::sqrt(sq(u - 0.5) + sq((v - (mv + 0.026)) * 1.15));
    const double taper = 0.0045 * (1.0 - smoothstep(0.012, 0.026, std::fabs(u - 0.5))) + 0.0012;
    return v < mv + 0.01 && std::fabs(u - 0.5) < 0.027 && std::fabs(r - 0.034) < taper;
  }, rgb255(176, 78, 92));
  // The eyelid's strip in a corner no part of the head maps to: skin above,
  // the dark lash line along v = 0.
  c.fill({0.0, 0.0, 0.13, 0.13}, [](double u, double v) { return u < 0.12 && v < 0.12; },
         [](double, double v) {
           return mixRgb(kLash, kSkinTexel, smoothstep(F::kLidLashTop, F::kLidLashTop + 0.01, v));
         });
  return c.image();
}

Image paintDress(int width, int height) {
  constexpr Rgb blueTop = rgb255(172, 210, 250), blueBottom = rgb255(150, 192, 244);
  constexpr Rgb white = rgb255(250, 251, 255), trim = rgb255(104, 136, 214), pink = rgb255(246, 152, 176);
  Canvas c(width, height, blueBottom);
  c.glaze({0, 0, 1, 1}, [](double, double v) { return v; }, blueTop);
  // v runs from the hem (0) to the collar (1); u around the body, front at 0.5.
  // Polka dots on the skirt, round on the body (u spans about 2.5 times as
  // many units as v there).
  c.fill({0, 0.1, 1, 0.42}, [](double u, double v) {
    for (int row = 0; row < 4; ++row) {
      const double cv = 0.14 + row * 0.082;
      const double shift = row % 2 ? 0.5 / 14.0 : 0.0;
      const double k = std::round((u - shift) * 14.0);
      const double cu = k / 14.0 + shift;
      if (ellipse(u, v, cu, cv, 0.013, 0.032) <= 1.0) return true;
    }
    return false;
  }, white, 0.95);
  // White hem with a scalloped edge, and a trim line above it.
  c.fill({0, 0, 1, 0.1}, [](double u, double v) { return v < 0.06 + 0.018 * std::fabs(std::sin(u * kPi * 28.0)); }, white);
  c.fill({0, 0.07, 1, 0.11}, [](double u, double v) {
    const double edge = 0.06 + 0.018 * std::fabs(std::sin(u * kPi * 28.0));
    return v > edge + 0.012 && v < edge + 0.028;
  }, trim, 0.8);
  // A pink sash at the waist.
  c.fill({0, 0.42, 1, 0.56}, [](double, double v) { return v > 0.44 && v < 0.54; }, [=](double, double v) {
    return mixRgb(pink, rgb255(226, 120, 150), smoothstep(0.47, 0.44, v) + smoothstep(0.51, 0.54, v));
  });
  // Buttons down the front of the bodice.
  for (double bv : {0.6, 0.672}) {
    c.fill({0.46, bv - 0.04, 0.54, bv + 0.04}, [=](double u, double v) { return ellipse(u, v, 0.5, bv, 0.013, 0.024) <= 1.0; },
           [=](double u, double v) {
             return mixRgb(rgb255(255, 244, 204), rgb255(222, 180, 110), smoothstep(0.45, 1.0, ellipse(u, v, 0.5, bv, 0.013, 0.024)));
           });
  }
  // A white sailor collar dipping into a V at the front, with a trim line.
  const auto collarEdge = [](double u) {
    const double front = std::max(0.0, 1.0 - std::fabs(u - 0.5) * 9.0);
    return 0.86 - 0.12 * front;
  };
  c.fill({0, 0.7, 1, 1}, [=](double u, double v) { return v > collarEdge(u); }, white);
  c.fill({0, 0.7, 1, 1}, [=](double u, double v) {
    const double d = v - collarEdge(u);
    return d > 0.03 && d < 0.05;
  }, trim, 0.85);
  // A little bow at the bottom of the V.
  c.fill({0.44, 0.68, 0.56, 0.8}, [](double u, double v) {
    const double du = std::fabs(u - 0.5), dv = v - 0.745;
    const bool knot = ellipse(u, v, 0.5, 0.745, 0.008, 0.018) <= 1.0;
    const bool loop = du < 0.04 && std::fabs(dv) < 0.012 + du * 0.9;
    return knot || loop;
  }, rgb255(238, 96, 126));
  return c.image();
}

std::string encodeTga(const Image& image) {
  std::string out(18, '\0');
  out[2] = 10;  // run-length encoded true colour
  out[12] = static_cast<char>(image.width & 0xFF);
  out[13] = static_cast<char>(image.width >> 8);
  out[14] = static_cast<char>(image.height & 0xFF);
  out[15] = static_cast<char>(image.height >> 8);
  out[16] = 24;
  out[17] = 0;  // bottom row first, no alpha bits
  const auto pixel = [&](int x, int y) {
    const std::uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
    return std::string{static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0])};  // B, G, R
  };
  // Packets stay within one row.
  for (int y = 0; y < image.height; ++y) {
    int x = 0;
    while (x < image.width) {
      int run = 1;
      while (x + run < image.width && run < 128 && pixel(x + run, y) == pixel(x, y)) ++run;
      if (run >= 2) {
        out += static_cast<char>(0x80 | (run - 1));
        out += pixel(x, y);
        x += run;
        continue;
      }
      int raw = 1;
      while (x + raw < image.width && raw < 128 &&
             !(x + raw + 1 < image.width && pixel(x + raw, y) == pixel(x + raw + 1, y))) {
        ++raw;
      }
      out += static_cast<char>(raw - 1);
      for (int k = 0; k < raw; ++k) out += pixel(x + k, y);
      x += raw;
    }
  }
  return out;
}

EmbeddedTexture embed(const Image& image, const std::string& name) {
  EmbeddedTexture t{name, image.width, image.height, {}};
  for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
    t.pixels.push_back(static_cast<std::uint32_t>(image.rgba[i]) | static_cast<std::uint32_t>(image.rgba[i + 1]) << 8 |
                       static_cast<std::uint32_t>(image.rgba[i + 2]) << 16 |
                       static_cast<std::uint32_t>(image.rgba[i + 3]) << 24);
  }
  return t;
}

}  // namespace vashel::sample
