#pragma once

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
// AVX code is compiled per function (target attributes) and only run after a
// CPU check, so the build as a whole stays baseline x86-64.
#define GLOAM_HAVE_AVX2_PATHS 1
#include <immintrin.h>
#endif

#include "gloam/geometry/vec3.h"

namespace gloam {

#if defined(GLOAM_HAVE_AVX2_PATHS)
// Whether this CPU (and the system, which must save the wider registers) can
// run the AVX2 paths; asked once.
inline bool cpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// The rotation Rz(c)·Ry(b)·Rx(a) of the angles (a, b, c), shared by the mesh
// pipeline and the camera so both turn points the same way to the bit. Sines
// and cosines are taken once, in double precision, from the float angles;
// each of the three steps works in double and stores its result as float
// before the next step reads it.
class Rotation {
public:
    explicit Rotation(const Vec3& angles)
        : cosX(std::cos(double(angles.x))),
          sinX(std::sin(double(angles.x))),
          cosY(std::cos(double(angles.y))),
          sinY(std::sin(double(angles.y))),
          cosZ(std::cos(double(angles.z))),
          sinZ(std::sin(double(angles.z))) {}

    void apply(float& x, float& y, float& z) const {
        const float y1 = float(y * cosX - z * sinX);  // about x
        const float z1 = float(y * sinX + z * cosX);
        const float x2 = float(x * cosY + z1 * sinY);  // about y
        const float z2 = float(z1 * cosY - x * sinY);
        const float x3 = float(x2 * cosZ - y1 * sinZ);  // about z
        const float y3 = float(x2 * sinZ + y1 * cosZ);
        x = x3;
        y = y3;
        z = z2;
    }

#if defined(__SSE2__)
    // The same steps on two vectors at once, one in each lane of x, y and z
    // (widened from float). Every lane goes through exactly the operations
    // of apply(), in the same order, rounding to float at the same places.
    void apply(__m128d& x, __m128d& y, __m128d& z) const {
        const auto toFloat = [](__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); };
        const __m128d cx = _mm_set1_pd(cosX), sx = _mm_set1_pd(sinX);
        const __m128d cy = _mm_set1_pd(cosY), sy = _mm_set1_pd(sinY);
        const __m128d cz = _mm_set1_pd(cosZ), sz = _mm_set1_pd(sinZ);
        const __m128d y1 = toFloat(_mm_sub_pd(_mm_mul_pd(y, cx), _mm_mul_pd(z, sx)));
        const __m128d z1 = toFloat(_mm_add_pd(_mm_mul_pd(y, sx), _mm_mul_pd(z, cx)));
        const __m128d x2 = toFloat(_mm_add_pd(_mm_mul_pd(x, cy), _mm_mul_pd(z1, sy)));
        const __m128d z2 = toFloat(_mm_sub_pd(_mm_mul_pd(z1, cy), _mm_mul_pd(x, sy)));
        const __m128d x3 = toFloat(_mm_sub_pd(_mm_mul_pd(x2, cz), _mm_mul_pd(y1, sz)));
        const __m128d y3 = toFloat(_mm_add_pd(_mm_mul_pd(x2, sz), _mm_mul_pd(y1, cz)));
        x = x3;
        y = y3;
        z = z2;
    }
#endif

#if defined(GLOAM_HAVE_AVX2_PATHS)
    // Four vectors at once, one per lane; the same operations as apply(),
    // with the last three roundings to float kept as floats, which is what
    // the callers store. Only for callers that have checked the CPU for AVX2.
    __attribute__((target("avx2"))) void apply(__m256d x, __m256d y, __m256d z, __m128& outX,
                                               __m128& outY, __m128& outZ) const {
        const __m256d cx = _mm256_set1_pd(cosX), sx = _mm256_set1_pd(sinX);
        const __m256d cy = _mm256_set1_pd(cosY), sy = _mm256_set1_pd(sinY);
        const __m256d cz = _mm256_set1_pd(cosZ), sz = _mm256_set1_pd(sinZ);
        const __m256d y1 = toFloat4(_mm256_sub_pd(_mm256_mul_pd(y, cx), _mm256_mul_pd(z, sx)));
        const __m256d z1 = toFloat4(_mm256_add_pd(_mm256_mul_pd(y, sx), _mm256_mul_pd(z, cx)));
        const __m256d x2 = toFloat4(_mm256_add_pd(_mm256_mul_pd(x, cy), _mm256_mul_pd(z1, sy)));
        outZ = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(z1, cy), _mm256_mul_pd(x, sy)));
        outX = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(x2, cz), _mm256_mul_pd(y1, sz)));
        outY = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(x2, sz), _mm256_mul_pd(y1, cz)));
    }
#endif

private:
#if defined(GLOAM_HAVE_AVX2_PATHS)
    __attribute__((target("avx2"))) static __m256d toFloat4(__m256d v) {
        return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
    }
#endif

    double cosX, sinX, cosY, sinY, cosZ, sinZ;
};

}  // namespace gloam
