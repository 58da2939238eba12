// A small DXF reader for tests: every point a DXF file draws, with the inserts of its entity section
// resolved through their blocks (nested, scaled, turned), and the extents its header states.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/testutil.h"

namespace qern::test {

struct DxfPoint {
  double x = 0, y = 0;
  std::string what;  // the entity type and the blocks it was reached through
};

class DxfBounds {
 public:
  explicit DxfBounds(const std::string& file) {
    const std::vector<std::string> lines = ReadFileLines(file);
    std::string section, header, block;
    std::vector<Ent>* list = &entities_;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
      const int code = std::atoi(lines[i].c_str());
      const std::string& v = lines[i + 1];
      if (code == 0) {
        cur_ = nullptr;
        if (v == "SECTION") {
          section = "?";
        } else if (v == "ENDSEC") {
          section.clear();
        } else if (v == "BLOCK") {
          block = "?";
        } else if (v == "ENDBLK") {
          block.clear();
          list = &entities_;
        } else if (v == "VERTEX" && poly_) {
          poly_->vertices.push_back({});
          cur_ = &poly_->vertices.back();
          continue;
        } else if (v == "SEQEND") {
          poly_ = nullptr;
        } else if (section == "ENTITIES" || section == "BLOCKS") {
          list->push_back(Ent{v, {}, {}, {}, {}});
          cur_ = &list->back();
          poly_ = v == "POLYLINE" ? cur_ : nullptr;
        }
        continue;
      }
      if (section == "?" && code == 2) {
        section = v;
        continue;
      }
      if (section == "HEADER") {
        if (code == 9) header = v;
        const int at = header == "$EXTMIN" ? 0 : header == "$EXTMAX" ? 2 : -1;
        if (at >= 0 && (code == 10 || code == 20)) extents[at + (code == 20)] = std::atof(v.c_str());
        continue;
      }
      if (block == "?" && code == 2) {
        block = v;
        list = &blocks_[v];
        continue;
      }
      if (!cur_) continue;
      if (code == 2) cur_->name = v;
      else if (code == 1) cur_->text = v;
      else cur_->g[code] = std::atof(v.c_str());
    }
  }

  std::vector<DxfPoint> Points() const {
    std::vector<DxfPoint> out;
    for (const Ent& e : entities_) Add(e, {1, 0, 0, 1, 0, 0}, "", 0, out);
    return out;
  }

  // The header's extents: xmin, ymin, xmax, ymax.
  double extents[4] = {0, 0, 0, 0};

 private:
  struct Ent {
    std::string type, name, text;
    std::map<int, double> g;
    std::vector<Ent> vertices;
    double G(int code, double fallback = 0) const {
      auto it = g.find(code);
      return it == g.end() ? fallback : it->second;
    }
  };
  struct Affine {
    double a, b, c, d, e, f;  // x' = a x + b y + e, y' = c x + d y + f
  };

  static void Put(const Affine& m, double x, double y, const std::string& what,
                  std::vector<DxfPoint>& out) {
    out.push_back({m.a * x + m.b * y + m.e, m.c * x + m.d * y + m.f, what});
  }
  // The arc about (xc, yc) from start to end (radians, counter-clockwise), finely sampled.
  static void PutArc(const Affine& m, double xc, double yc, double r, double start, double end,
                     const std::string& what, std::vector<DxfPoint>& out) {
    while (end < start) end += 2 * M_PI;
    const int n = 16 + static_cast<int>((end - start) / (M_PI / 720));
    for (int k = 0; k <= n; ++k) {
      const double t = start + (end - start) * k / n;
      Put(m, xc + r * std::cos(t), yc + r * std::sin(t), what, out);
    }
  }

  void Add(const Ent& e, const Affine& m, const std::string& via, int depth,
           std::vector<DxfPoint>& out) const {
    const std::string what = e.type + via;
    const double x = e.G(10), y = e.G(20);
    if (e.type == "LINE") {
      Put(m, x, y, what, out);
      Put(m, e.G(11), e.G(21), what, out);
    } else if (e.type == "CIRCLE") {
      PutArc(m, x, y, e.G(40), 0, 2 * M_PI, what, out);
    } else if (e.type == "ARC") {
      PutArc(m, x, y, e.G(40), e.G(50) * M_PI / 180, e.G(51) * M_PI / 180, what, out);
    } else if (e.type == "TEXT") {
      // Its box: one character (a byte of the file) as wide as the height times the width
      // factor, along the text's angle; its top leaning along it by its slant (oblique angle).
      const double h = e.G(40), w = static_cast<double>(e.text.size()) * h * e.G(41, 1);
      const double a = e.G(50) * M_PI / 180, c = std::cos(a), s = std::sin(a);
      const double lean = h * std::tan(e.G(51) * M_PI / 180);
      Put(m, x, y, what, out);
      Put(m, x + w * c, y + w * s, what + " end", out);
      Put(m, x - h * s + lean * c, y + h * c + lean * s, what + " top", out);
      Put(m, x + (w + lean) * c - h * s, y + (w + lean) * s + h * c, what + " top end", out);
    } else if (e.type == "SOLID") {
      for (int k = 0; k < 4; ++k) Put(m, e.G(10 + k), e.G(20 + k), what, out);
    } else if (e.type == "POLYLINE") {
      for (size_t k = 0; k < e.vertices.size(); ++k) {
        const Ent& v = e.vertices[k];
        const double x1 = v.G(10), y1 = v.G(20), bulge = v.G(42);
        Put(m, x1, y1, what, out);
        if (bulge == 0 || k + 1 == e.vertices.size()) continue;
        const double x2 = e.vertices[k + 1].G(10), y2 = e.vertices[k + 1].G(20);
        // The arc's centre and radius from its chord and bulge (the tangent of a quarter of its
        // included angle).
        const double chord = std::hypot(x2 - x1, y2 - y1), angle = 4 * std::atan(bulge);
        const double r = chord / 2 / std::sin(angle / 2);
        const double h = r * std::cos(angle / 2);
        const double mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
        const double nx = -(y2 - y1) / chord, ny = (x2 - x1) / chord;
        const double xc = mx + h * nx, yc = my + h * ny;
        double s = std::atan2(y1 - yc, x1 - xc), t = std::atan2(y2 - yc, x2 - xc);
        if (angle < 0) std::swap(s, t);
        PutArc(m, xc, yc, std::fabs(r), s, t, what, out);
      }
    } else if (e.type == "INSERT" && depth < 8) {
      auto it = blocks_.find(e.name);
      if (it == blocks_.end()) return;
      const double a = e.G(50) * M_PI / 180, sx = e.G(41, 1), sy = e.G(42, 1);
      const double ca = std::cos(a), sa = std::sin(a);
      // m * translate(x, y) * rotate(a) * scale(sx, sy)
      const Affine local{ca * sx, -sa * sy, sa * sx, ca * sy, x, y};
      const Affine n{m.a * local.a + m.b * local.c, m.a * local.b + m.b * local.d,
                     m.c * local.a + m.d * local.c, m.c * local.b + m.d * local.d,
                     m.a * local.e + m.b * local.f + m.e, m.c * local.e + m.d * local.f + m.f};
      for (const Ent& child : it->second) Add(child, n, via + " in " + e.name, depth + 1, out);
    }
  }

  std::vector<Ent> entities_;
  std::map<std::string, std::vector<Ent>> blocks_;
  Ent* cur_ = nullptr;
  Ent* poly_ = nullptr;
};

// The first point of a DXF file outside the extents its header states ("" when there is none);
// the points looked at are added to seen.
inline std::string FirstPointOutside(const std::string& file, size_t* seen = nullptr) {
  const DxfBounds dxf(file);
  const std::vector<DxfPoint> points = dxf.Points();
  if (seen) *seen += points.size();
  const double* e = dxf.extents;
  // The file's numbers carry six decimals.
  const double tol = 2e-6 + 1e-6 * std::max(e[2] - e[0], e[3] - e[1]);
  for (const DxfPoint& p : points) {
    if (p.x >= e[0] - tol && p.x <= e[2] + tol && p.y >= e[1] - tol && p.y <= e[3] + tol)
      continue;
    std::ostringstream s;
    s << p.what << " at " << p.x << " " << p.y << " outside " << e[0] << " " << e[1] << " "
      << e[2] << " " << e[3];
    return s.str();
  }
  return "";
}

}  // namespace qern::test
