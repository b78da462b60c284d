#include "gloam/geometry/vertex.h"

#include <cmath>

#include "gloam/geometry/vec3.h"

namespace gloam {

Vertex::Vertex(float px, float py, float pz) : x(px), y(py), z(pz) { red = green = blue = 255; }

Vertex::Vertex(float radius, float elevation, float azimuth, Polar) {
    const double cosElevation = std::cos(double(elevation));
    x = float(radius * cosElevation * std::cos(double(azimuth)));
    y = float(radius * std::sin(double(elevation)));
    z = float(radius * cosElevation * std::sin(double(azimuth)));
    red = green = blue = 255;
}

float Vertex::length() const { return vectorLength(x, y, z); }

}  // namespace gloam
