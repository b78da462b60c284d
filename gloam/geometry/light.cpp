#include "gloam/geometry/light.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gloam/geometry/mesh.h"
#include "gloam/geometry/passes.h"
#include "gloam/geometry/rotation.h"

namespace gloam {

AmbientLight::AmbientLight(std::int32_t r, std::int32_t g, std::int32_t b)
    : Light(r, g, b, LightAmbient) {}

DirectionalLight::DirectionalLight(std::int32_t r, std::int32_t g, std::int32_t b, float dx,
                                   float dy, float dz)
    : Light(r, g, b, LightDirectional), direction{dx, dy, dz} {
    normalizeDirection();
}

void DirectionalLight::setDirection(float x, float y, float z) {
    direction = {x, y, z};
    normalizeDirection();
}

void DirectionalLight::normalizeDirection() {
    const float length = vectorLength(direction.x, direction.y, direction.z);
    if (length == 0.0f || std::isnan(length)) return;
    direction.x /= length;
    direction.y /= length;
    direction.z /= length;
}

PointLight::PointLight(std::int32_t r, std::int32_t g, std::int32_t b, float x, float y, float z,
                       float lightRange)
    : Light(r, g, b, LightPoint), position{x, y, z}, range(lightRange) {}

namespace {

// Channel sums saturate instead of overflowing; colours far outside 0..255
// only come from callers that pass absurd light colours.
std::int32_t addChannel(std::int32_t channel, std::int32_t light) {
    const std::int64_t sum = std::int64_t(channel) + light;
    return std::int32_t(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
}

// One light as the vertex loop needs it, copied out of the list once per
// call: read through the list's pointers, every field would be loaded again
// for every vertex, since the colour stores might (as far as the compiler
// can tell) change them.
struct Step {
    LightType type;
    std::int32_t red, green, blue;
    float redF, greenF, blueF;
    Vec3 vector;  // the direction of a directional light, the position of a point light
    float range;
    // Beyond the range a channel gains colour / falloff. For a colour of 0
    // and a range that is not negative the falloff is positive (or +inf), so
    // the quotient is +0 and adding it leaves the channel's float as it is:
    // the division can be skipped without changing a bit.
    bool divideRed, divideGreen, divideBlue;
};

Step stepFor(const Light& light) {
    Step step{};
    step.type = light.type;
    step.red = light.red;
    step.green = light.green;
    step.blue = light.blue;
    step.redF = float(light.red);
    step.greenF = float(light.green);
    step.blueF = float(light.blue);
    if (light.type == LightDirectional) {
        step.vector = static_cast<const DirectionalLight&>(light).direction;
    } else if (light.type == LightPoint) {
        const auto& point = static_cast<const PointLight&>(light);
        step.vector = point.position;
        step.range = point.range;
        const bool exactZero = point.range >= 0.0f;
        step.divideRed = !(light.red == 0 && exactZero);
        step.divideGreen = !(light.green == 0 && exactZero);
        step.divideBlue = !(light.blue == 0 && exactZero);
    }
    return step;
}

// Whether a light changes any colour: an ambient light of colour 0 adds 0,
// and a light of no kind adds nothing.
bool contributes(const Light& light) {
    switch (light.type) {
        case LightPoint:
        case LightDirectional:
            return true;
        case LightAmbient:
            return light.red != 0 || light.green != 0 || light.blue != 0;
        default:
            return false;
    }
}

// A vertex's colour while the lights are applied to it.
struct Colour {
    std::int32_t red, green, blue;
};

void addColour(Colour& c, const Step& light) {
    c.red = addChannel(c.red, light.red);
    c.green = addChannel(c.green, light.green);
    c.blue = addChannel(c.blue, light.blue);
}

std::int32_t fallOff(std::int32_t channel, bool divide, float colour, float falloff) {
    return truncateToInt(divide ? float(channel) + colour / falloff : float(channel));
}

void applyPoint(Colour& c, const Vertex& v, const Step& light) {
    const double dx = double(v.x) - light.vector.x;
    const double dy = double(v.y) - light.vector.y;
    const double dz = double(v.z) - light.vector.z;
    const float d = float(std::sqrt(dx * dx + dy * dy + dz * dz));
    if (d > light.range) {
        // Falls off as range / d beyond the range.
        const float falloff = d / light.range;
        c.red = fallOff(c.red, light.divideRed, light.redF, falloff);
        c.green = fallOff(c.green, light.divideGreen, light.greenF, falloff);
        c.blue = fallOff(c.blue, light.divideBlue, light.blueF, falloff);
    } else {
        addColour(c, light);
    }
}

void applyDirectional(Colour& c, const Vertex& v, const Step& light) {
    const Vec3& dir = light.vector;
    const float s = dir.x * v.nx + dir.y * v.ny + dir.z * v.nz;
    if (s > 0.0f) {
        c.red = truncateToInt(light.redF * s);
        c.green = truncateToInt(light.greenF * s);
        c.blue = truncateToInt(light.blueF * s);
    }
}

#if defined(__SSE2__)

// Four vertices at a time, one per lane. Every lane goes through exactly the
// operations of the scalar functions above, in the same order and rounding
// at the same places; where those branch, both sides are computed and each
// lane keeps the side its own comparison chose.
namespace lanes {

__m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// truncateToInt: the conversion gives 0x80000000 for NaN and for anything
// out of range; a value of 2^31 or more becomes INT32_MAX instead, NaN 0.
__m128i truncate(__m128 f) {
    const __m128i t = _mm_cvttps_epi32(f);
    const __m128i high = _mm_castps_si128(_mm_cmpge_ps(f, _mm_set1_ps(2147483648.0f)));
    const __m128i ordered = _mm_castps_si128(_mm_cmpord_ps(f, f));
    return _mm_and_si128(_mm_xor_si128(t, high), ordered);
}

// addChannel: a wrapped sum overflowed when it has the opposite sign of
// both addends; it then saturates towards the addends' sign.
__m128i addSaturated(__m128i a, __m128i b) {
    const __m128i sum = _mm_add_epi32(a, b);
    const __m128i overflow =
        _mm_srai_epi32(_mm_and_si128(_mm_xor_si128(a, sum), _mm_xor_si128(b, sum)), 31);
    const __m128i limit = _mm_xor_si128(_mm_srai_epi32(a, 31), _mm_set1_epi32(INT32_MAX));
    return select(overflow, limit, sum);
}

struct Block {
    __m128 x, y, z, nx, ny, nz;
    __m128i red, green, blue;
};

void point(Block& b, const Step& light) {
    const __m128d px = _mm_set1_pd(light.vector.x), py = _mm_set1_pd(light.vector.y),
                  pz = _mm_set1_pd(light.vector.z);
    // Distances in double, two lanes per operation.
    const auto distance = [&](__m128 x, __m128 y, __m128 z) {
        const __m128d dx = _mm_sub_pd(_mm_cvtps_pd(x), px);
        const __m128d dy = _mm_sub_pd(_mm_cvtps_pd(y), py);
        const __m128d dz = _mm_sub_pd(_mm_cvtps_pd(z), pz);
        return _mm_cvtpd_ps(_mm_sqrt_pd(
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)), _mm_mul_pd(dz, dz))));
    };
    const auto high = [](__m128 v) { return _mm_movehl_ps(v, v); };
    const __m128 d =
        _mm_movelh_ps(distance(b.x, b.y, b.z), distance(high(b.x), high(b.y), high(b.z)));
    const __m128 range = _mm_set1_ps(light.range);
    const __m128i beyond = _mm_castps_si128(_mm_cmpgt_ps(d, range));
    const __m128 falloff = _mm_div_ps(d, range);
    const auto channel = [&](__m128i c, std::int32_t colour, float colourF, bool divide) {
        __m128 sum = _mm_cvtepi32_ps(c);
        if (divide) sum = _mm_add_ps(sum, _mm_div_ps(_mm_set1_ps(colourF), falloff));
        return select(beyond, truncate(sum), addSaturated(c, _mm_set1_epi32(colour)));
    };
    b.red = channel(b.red, light.red, light.redF, light.divideRed);
    b.green = channel(b.green, light.green, light.greenF, light.divideGreen);
    b.blue = channel(b.blue, light.blue, light.blueF, light.divideBlue);
}

void directional(Block& b, const Step& light) {
    const __m128 s = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(light.vector.x), b.nx),
                                           _mm_mul_ps(_mm_set1_ps(light.vector.y), b.ny)),
                                _mm_mul_ps(_mm_set1_ps(light.vector.z), b.nz));
    const __m128i facing = _mm_castps_si128(_mm_cmpgt_ps(s, _mm_setzero_ps()));
    b.red = select(facing, truncate(_mm_mul_ps(_mm_set1_ps(light.redF), s)), b.red);
    b.green = select(facing, truncate(_mm_mul_ps(_mm_set1_ps(light.greenF), s)), b.green);
    b.blue = select(facing, truncate(_mm_mul_ps(_mm_set1_ps(light.blueF), s)), b.blue);
}

void ambient(Block& b, const Step& light) {
    b.red = addSaturated(b.red, _mm_set1_epi32(light.red));
    b.green = addSaturated(b.green, _mm_set1_epi32(light.green));
    b.blue = addSaturated(b.blue, _mm_set1_epi32(light.blue));
}

__m128i clamp255(__m128i c) {
    const __m128i limit = _mm_set1_epi32(255);
    return select(_mm_cmpgt_epi32(c, limit), limit, c);
}

// Returns the number of vertices done, a multiple of four.
std::int32_t applySteps(Vertex* world, std::int32_t vertexCount, const Step* steps, int count,
                        bool clamp) {
    std::int32_t j = 0;
    for (; j + 4 <= vertexCount; j += 4) {
        Vertex* v = world + j;
        Block b;
        b.x = _mm_setr_ps(v[0].x, v[1].x, v[2].x, v[3].x);
        b.y = _mm_setr_ps(v[0].y, v[1].y, v[2].y, v[3].y);
        b.z = _mm_setr_ps(v[0].z, v[1].z, v[2].z, v[3].z);
        b.nx = _mm_setr_ps(v[0].nx, v[1].nx, v[2].nx, v[3].nx);
        b.ny = _mm_setr_ps(v[0].ny, v[1].ny, v[2].ny, v[3].ny);
        b.nz = _mm_setr_ps(v[0].nz, v[1].nz, v[2].nz, v[3].nz);
        b.red = _mm_setr_epi32(v[0].red, v[1].red, v[2].red, v[3].red);
        b.green = _mm_setr_epi32(v[0].green, v[1].green, v[2].green, v[3].green);
        b.blue = _mm_setr_epi32(v[0].blue, v[1].blue, v[2].blue, v[3].blue);
        for (int i = 0; i < count; ++i) {
            switch (steps[i].type) {
                case LightPoint:
                    point(b, steps[i]);
                    break;
                case LightDirectional:
                    directional(b, steps[i]);
                    break;
                default:
                    ambient(b, steps[i]);
                    break;
            }
        }
        if (clamp) {
            b.red = clamp255(b.red);
            b.green = clamp255(b.green);
            b.blue = clamp255(b.blue);
        }
        std::int32_t red[4], green[4], blue[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(red), b.red);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(green), b.green);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(blue), b.blue);
        for (int k = 0; k < 4; ++k) {
            v[k].red = red[k];
            v[k].green = green[k];
            v[k].blue = blue[k];
        }
    }
    return j;
}

}  // namespace lanes

#endif

#if defined(GLOAM_HAVE_AVX2_PATHS)

// Eight vertices at a time for CPUs with AVX2: the lane-wise operations of
// the SSE2 code above on twice the lanes (the distances in double, four per
// operation), so every lane still rounds exactly as the scalar code does.
namespace wide {

#define GLOAM_AVX2 __attribute__((target("avx2")))

GLOAM_AVX2 __m256i select(__m256i mask, __m256i yes, __m256i no) {
    return _mm256_blendv_epi8(no, yes, mask);
}

GLOAM_AVX2 __m256i truncate(__m256 f) {
    const __m256i t = _mm256_cvttps_epi32(f);
    const __m256i high =
        _mm256_castps_si256(_mm256_cmp_ps(f, _mm256_set1_ps(2147483648.0f), _CMP_GE_OQ));
    const __m256i ordered = _mm256_castps_si256(_mm256_cmp_ps(f, f, _CMP_ORD_Q));
    return _mm256_and_si256(_mm256_xor_si256(t, high), ordered);
}

GLOAM_AVX2 __m256i addSaturated(__m256i a, __m256i b) {
    const __m256i sum = _mm256_add_epi32(a, b);
    const __m256i overflow =
        _mm256_srai_epi32(_mm256_and_si256(_mm256_xor_si256(a, sum), _mm256_xor_si256(b, sum)), 31);
    const __m256i limit = _mm256_xor_si256(_mm256_srai_epi32(a, 31), _mm256_set1_epi32(INT32_MAX));
    return select(overflow, limit, sum);
}

struct Block {
    __m256 x, y, z, nx, ny, nz;
    __m256i red, green, blue;
};

GLOAM_AVX2 __m128 distance(__m128 x, __m128 y, __m128 z, const Vec3& p) {
    const __m256d dx = _mm256_sub_pd(_mm256_cvtps_pd(x), _mm256_set1_pd(p.x));
    const __m256d dy = _mm256_sub_pd(_mm256_cvtps_pd(y), _mm256_set1_pd(p.y));
    const __m256d dz = _mm256_sub_pd(_mm256_cvtps_pd(z), _mm256_set1_pd(p.z));
    return _mm256_cvtpd_ps(_mm256_sqrt_pd(_mm256_add_pd(
        _mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)), _mm256_mul_pd(dz, dz))));
}

GLOAM_AVX2 __m256i channel(__m256i c, __m256i beyond, __m256 falloff, std::int32_t colour,
                           float colourF, bool divide) {
    __m256 sum = _mm256_cvtepi32_ps(c);
    if (divide) sum = _mm256_add_ps(sum, _mm256_div_ps(_mm256_set1_ps(colourF), falloff));
    return select(beyond, truncate(sum), addSaturated(c, _mm256_set1_epi32(colour)));
}

GLOAM_AVX2 void point(Block& b, const Step& light) {
    const __m128 low = distance(_mm256_castps256_ps128(b.x), _mm256_castps256_ps128(b.y),
                                _mm256_castps256_ps128(b.z), light.vector);
    const __m128 high = distance(_mm256_extractf128_ps(b.x, 1), _mm256_extractf128_ps(b.y, 1),
                                 _mm256_extractf128_ps(b.z, 1), light.vector);
    const __m256 d = _mm256_set_m128(high, low);
    const __m256 range = _mm256_set1_ps(light.range);
    const __m256i beyond = _mm256_castps_si256(_mm256_cmp_ps(d, range, _CMP_GT_OQ));
    const __m256 falloff = _mm256_div_ps(d, range);
    b.red = channel(b.red, beyond, falloff, light.red, light.redF, light.divideRed);
    b.green = channel(b.green, beyond, falloff, light.green, light.greenF, light.divideGreen);
    b.blue = channel(b.blue, beyond, falloff, light.blue, light.blueF, light.divideBlue);
}

GLOAM_AVX2 void directional(Block& b, const Step& light) {
    const __m256 s =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(light.vector.x), b.nx),
                                    _mm256_mul_ps(_mm256_set1_ps(light.vector.y), b.ny)),
                      _mm256_mul_ps(_mm256_set1_ps(light.vector.z), b.nz));
    const __m256i facing = _mm256_castps_si256(_mm256_cmp_ps(s, _mm256_setzero_ps(), _CMP_GT_OQ));
    b.red = select(facing, truncate(_mm256_mul_ps(_mm256_set1_ps(light.redF), s)), b.red);
    b.green = select(facing, truncate(_mm256_mul_ps(_mm256_set1_ps(light.greenF), s)), b.green);
    b.blue = select(facing, truncate(_mm256_mul_ps(_mm256_set1_ps(light.blueF), s)), b.blue);
}

GLOAM_AVX2 void ambient(Block& b, const Step& light) {
    b.red = addSaturated(b.red, _mm256_set1_epi32(light.red));
    b.green = addSaturated(b.green, _mm256_set1_epi32(light.green));
    b.blue = addSaturated(b.blue, _mm256_set1_epi32(light.blue));
}

GLOAM_AVX2 __m256i clamp255(__m256i c) { return _mm256_min_epi32(c, _mm256_set1_epi32(255)); }

// In a Vertex, x, y, z (and the padding after z), nx, ny, nz, red and red,
// green, blue, x each lie next to each other (checked with the mesh
// pipeline). Eight vertices come in as 4 x 4 transposes of those quadruples,
// vertices k and k + 4 sharing the two halves of each register, so that one
// 256-bit transpose does two of them at once and leaves vertex k in lane k.
GLOAM_AVX2 void transpose(__m256& a, __m256& b, __m256& c, __m256& d) {
    const __m256 ab0 = _mm256_unpacklo_ps(a, b), ab1 = _mm256_unpackhi_ps(a, b);
    const __m256 cd0 = _mm256_unpacklo_ps(c, d), cd1 = _mm256_unpackhi_ps(c, d);
    a = _mm256_shuffle_ps(ab0, cd0, _MM_SHUFFLE(1, 0, 1, 0));
    b = _mm256_shuffle_ps(ab0, cd0, _MM_SHUFFLE(3, 2, 3, 2));
    c = _mm256_shuffle_ps(ab1, cd1, _MM_SHUFFLE(1, 0, 1, 0));
    d = _mm256_shuffle_ps(ab1, cd1, _MM_SHUFFLE(3, 2, 3, 2));
}

// Four fields from each of eight vertices, `first` pointing at the first
// field of vertex 0, as four registers of one field each.
GLOAM_AVX2 void fields8(const float* first, __m256& a, __m256& b, __m256& c, __m256& d) {
    const auto at = [first](int k) {
        return reinterpret_cast<const float*>(reinterpret_cast<const char*>(first) +
                                              k * sizeof(Vertex));
    };
    a = _mm256_loadu2_m128(at(4), at(0));
    b = _mm256_loadu2_m128(at(5), at(1));
    c = _mm256_loadu2_m128(at(6), at(2));
    d = _mm256_loadu2_m128(at(7), at(3));
    transpose(a, b, c, d);
}

GLOAM_AVX2 void load8(const Vertex* v, Block& b, __m256& x) {
    __m256 padding, red, green, blue;
    fields8(&v->x, b.x, b.y, b.z, padding);
    fields8(&v->nx, b.nx, b.ny, b.nz, red);
    fields8(reinterpret_cast<const float*>(&v->red), red, green, blue, x);
    b.red = _mm256_castps_si256(red);
    b.green = _mm256_castps_si256(green);
    b.blue = _mm256_castps_si256(blue);
}

// Writes the colours back as red, green, blue, x quadruples; the x written
// is the x read.
GLOAM_AVX2 void storeColours8(Vertex* v, const Block& b, __m256 x) {
    __m256 r0 = _mm256_castsi256_ps(b.red), r1 = _mm256_castsi256_ps(b.green),
           r2 = _mm256_castsi256_ps(b.blue), r3 = x;
    transpose(r0, r1, r2, r3);
    const __m256 rows[] = {r0, r1, r2, r3};
    for (int k = 0; k < 4; ++k) {
        _mm256_storeu2_m128(reinterpret_cast<float*>(&v[k + 4].red),
                            reinterpret_cast<float*>(&v[k].red), rows[k]);
    }
}

// Returns the number of vertices done, a multiple of eight.
GLOAM_AVX2 std::int32_t applySteps(Vertex* world, std::int32_t vertexCount, const Step* steps,
                                   int count, bool clamp) {
    std::int32_t j = 0;
    for (; j + 8 <= vertexCount; j += 8) {
        Vertex* v = world + j;
        Block b;
        __m256 x;
        load8(v, b, x);
        for (int i = 0; i < count; ++i) {
            switch (steps[i].type) {
                case LightPoint:
                    point(b, steps[i]);
                    break;
                case LightDirectional:
                    directional(b, steps[i]);
                    break;
                default:
                    ambient(b, steps[i]);
                    break;
            }
        }
        if (clamp) {
            b.red = clamp255(b.red);
            b.green = clamp255(b.green);
            b.blue = clamp255(b.blue);
        }
        storeColours8(v, b, x);
    }
    return j;
}

#undef GLOAM_AVX2

}  // namespace wide

#endif

// Applies `count` steps, in order, to every vertex; clamps the result when
// these are the last lights of the list.
void applySteps(Vertex* world, std::int32_t vertexCount, const Step* steps, int count, bool clamp) {
    std::int32_t done = 0;
#if defined(GLOAM_HAVE_AVX2_PATHS)
    if (cpuHasAvx2()) done = wide::applySteps(world, vertexCount, steps, count, clamp);
#endif
#if defined(__SSE2__)
    done += lanes::applySteps(world + done, vertexCount - done, steps, count, clamp);
#endif
    for (std::int32_t j = done; j < vertexCount; ++j) {
        Vertex& v = world[j];
        Colour c{v.red, v.green, v.blue};
        for (int i = 0; i < count; ++i) {
            const Step& step = steps[i];
            switch (step.type) {
                case LightPoint:
                    applyPoint(c, v, step);
                    break;
                case LightDirectional:
                    applyDirectional(c, v, step);
                    break;
                default:  // only ambient lights remain
                    addColour(c, step);
                    break;
            }
        }
        if (clamp) {
            // Only the sum is clamped, and only from above: intermediate
            // values may exceed 255, and a negative light can leave a
            // channel below 0.
            c.red = std::min(c.red, 255);
            c.green = std::min(c.green, 255);
            c.blue = std::min(c.blue, 255);
        }
        v.red = c.red;
        v.green = c.green;
        v.blue = c.blue;
    }
}

}  // namespace

// Each vertex's colour depends only on that vertex and the lights, so the
// lights are applied vertex by vertex, all of them in list order, rather than
// light by light over the whole mesh: the same operations in the same order,
// with one pass over the vertices instead of one per light. A long list goes
// in groups, each group one pass, which keeps the order as well.
void Mesh::applyLights(Light* const* lights, int count) {
    if (lights == nullptr) count = 0;
    constexpr int group = 8;
    Step steps[group];
    int used = 0;
    for (int i = 0;; ++i) {
        if (i < count && lights[i] != nullptr && contributes(*lights[i])) {
            steps[used++] = stepFor(*lights[i]);
        }
        const bool last = i + 1 >= count;
        if (used == group || last) {
            passes::forEachBlock(
                vertCount, nextPassBackwards, [&](std::int32_t begin, std::int32_t end) {
                    applySteps(worldVerts.get() + begin, end - begin, steps, used, last);
                });
            nextPassBackwards = !nextPassBackwards;
            used = 0;
        }
        if (last) return;
    }
}

}  // namespace gloam
