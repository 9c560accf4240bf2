// The rasterizer's primitives. Every primitive works the same way: its bounding box in the frame
// is clipped to the canvas once; each row is narrowed to the span where the shape can cover a
// pixel centre (solving the shape's equation for that row); the pixels of the span are then
// visited through a row pointer with no further bounds checks. Coverage comes from a signed
// distance to the shape's edge at the pixel centre; blending is 8-bit integer source-over in
// premultiplied space, four pixels at a time with SSE2 and eight with AVX2 where the processor
// has it, with the same pixels either way. No allocation. State: only the group width in use.
#include "render/raster.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Eight-pixel groups with AVX2 where the processor has it (common/simd.h); the per-row kernels
// are inlined into their row walkers, so that the primitive's constants stay in registers from
// row to row.
#include "common/simd.h"
#include "config/sprite.h"

// The widest groups the processor allows: 8 lanes with AVX2, else 4.
static int32_t widestLanes() {
#if defined(LUMIVEX_AVX2)
  return processorHasAvx2() ? 8 : 4;
#else
  return 4;
#endif
}

// Lanes of the widest groups in use; setRasterLanes can lower it.
static int32_t gRasterLanes = widestLanes();

int32_t setRasterLanes(int32_t lanes) {
  gRasterLanes = lanes >= 8 ? widestLanes() : 4;
  return gRasterLanes;
}

namespace {

// round(x / 255) for 0 <= x <= 255 * 255, exactly.
inline uint32_t div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

// Source-over of a straight colour at alpha a (1-255) onto one premultiplied pixel.
inline void blendPixel(uint32_t* p, uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  const uint32_t sr = div255(r * a), sg = div255(g * a), sb = div255(b * a);
  const uint32_t d = *p;
  if (d == 0 || a == 255) {
    *p = (a << 24) | (sr << 16) | (sg << 8) | sb;
    return;
  }
  const uint32_t inv = 255 - a;
  const uint32_t da = div255((d >> 24) * inv) + a;
  const uint32_t dr = div255(((d >> 16) & 255) * inv) + sr;
  const uint32_t dg = div255(((d >> 8) & 255) * inv) + sg;
  const uint32_t db = div255((d & 255) * inv) + sb;
  *p = (da << 24) | (dr << 16) | (dg << 8) | db;
}


// ceil(v) for 0 < v < 2^23, without the library call (no rounding instruction before SSE4.1).
inline int32_t ceilPositive(float v) {
  const int32_t i = static_cast<int32_t>(v);
  return static_cast<float>(i) < v ? i + 1 : i;
}

// The pixel rows and columns a frame-space box [fx0, fx1] x [fy0, fy1] can touch, clipped to the
// canvas; false when nothing is left.
inline bool clipBox(const Canvas& cv, float fx0, float fy0, float fx1, float fy1, int32_t& x0, int32_t& y0,
             int32_t& x1, int32_t& y1) {
  if (!(fx0 <= fx1 && fy0 <= fy1)) return false;  // also rejects NaN
  if (fx1 < 0 || fy1 < 0 || fx0 > cv.width - 1 || fy0 > cv.height - 1) return false;
  // Past the tests above every bound lies within the canvas, so ceil and floor are conversions.
  x0 = fx0 <= 0 ? 0 : ceilPositive(fx0);
  y0 = fy0 <= 0 ? 0 : ceilPositive(fy0);
  x1 = fx1 >= cv.width - 1 ? cv.width : static_cast<int32_t>(fx1) + 1;
  y1 = fy1 >= cv.height - 1 ? cv.height : static_cast<int32_t>(fy1) + 1;
  return x0 < x1 && y0 < y1;
}

inline void touch(Canvas& cv, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (cv.touchedX0 >= cv.touchedX1) {
    cv.touchedX0 = x0; cv.touchedY0 = y0; cv.touchedX1 = x1; cv.touchedY1 = y1;
    return;
  }
  cv.touchedX0 = std::min(cv.touchedX0, x0);
  cv.touchedY0 = std::min(cv.touchedY0, y0);
  cv.touchedX1 = std::max(cv.touchedX1, x1);
  cv.touchedY1 = std::max(cv.touchedY1, y1);
}

// Columns [xa, xb) of a row for the frame-space span [u0, u1] (pixel centres inside it), clipped
// to [x0, x1). The same columns as clamping ceil(u0) and floor(u1) + 1, tested on the floats so
// that only values inside the canvas are converted (x0 >= 0, so those are positive).
inline bool rowColumns(float u0, float u1, int32_t x0, int32_t x1, int32_t& xa, int32_t& xb) {
  if (!(u0 <= u1)) return false;
  xa = u0 <= x0 ? x0 : (u0 > x1 - 1 ? x1 : ceilPositive(u0));
  xb = u1 >= x1 - 1 ? x1 : (u1 < x0 ? x0 : static_cast<int32_t>(u1) + 1);
  return xa < xb;
}

// Frame-space extent of a local ellipse (centre cx, cy; radii ra, rb) under the space.
void ellipseExtent(const LocalSpace& sp, float cx, float cy, float ra, float rb, float& fx0, float& fy0,
                   float& fx1, float& fy1) {
  const float fcx = sp.ox + sp.c * cx - sp.s * cy;
  const float fcy = sp.oy + sp.s * cx + sp.c * cy;
  const float ex = std::sqrt(ra * ra * sp.c * sp.c + rb * rb * sp.s * sp.s);
  const float ey = std::sqrt(ra * ra * sp.s * sp.s + rb * rb * sp.c * sp.c);
  fx0 = fcx - ex; fx1 = fcx + ex; fy0 = fcy - ey; fy1 = fcy + ey;
}

// Row spans of a local ellipse (centre cx, cy; radii ra, rb). With u = X - ox and v = Y - oy the
// local offsets are dx = c u + (s v - cx) and dy = -s u + (c v - cy); inside means
// dx^2 / ra^2 + dy^2 / rb^2 <= 1, a quadratic in u whose leading coefficient is the same on
// every row. What does not depend on the row is worked out once per ellipse.
struct EllipseRows {
  const LocalSpace* sp;
  float cx, cy, ra, rb;
  float ia, ib;      // 1 / ra^2, 1 / rb^2
  float half2A;      // 1 / (2 A) of the quadratic A u^2 + B u + C
  bool unrotated;
  EllipseRows(const LocalSpace& space, float cx_, float cy_, float ra_, float rb_)
      : sp(&space), cx(cx_), cy(cy_), ra(ra_), rb(rb_), ia(1 / (ra_ * ra_)), ib(1 / (rb_ * rb_)),
        half2A(0.5f / (space.c * space.c * ia + space.s * space.s * ib)),
        unrotated(space.s == 0 && space.c == 1) {}
  // Frame-space x span of row Y inside the ellipse.
  bool row(float Y, float& xa, float& xb) const {
    if (unrotated) {  // the usual half-width of an ellipse's chord
      const float dy = (Y - sp->oy - cy) / rb;
      const float k = 1 - dy * dy;
      if (!(k >= 0)) return false;
      const float half = ra * std::sqrt(k);
      xa = sp->ox + cx - half;
      xb = sp->ox + cx + half;
      return true;
    }
    const float v = Y - sp->oy;
    const float p = sp->s * v - cx, q = sp->c * v - cy;
    const float B = 2 * (sp->c * p * ia - sp->s * q * ib);
    const float C = p * p * ia + q * q * ib - 1;
    const float disc = B * B - 0.5f * 4 * C / half2A;  // B^2 - 4 A C
    if (!(disc >= 0)) return false;
    const float root = std::sqrt(disc);
    xa = sp->ox + (-B - root) * half2A;
    xb = sp->ox + (-B + root) * half2A;
    return true;
  }
};

// Row spans of a local box |lx - cx| <= hx, |ly - cy| <= hy. Along a row, lx - cx = c u + (s v - cx)
// and ly - cy = -s u + (c v - cy) with u = X - ox, v = Y - oy: each side pair bounds u to an
// interval whose ends move linearly with v. The reciprocals are worked out once per box.
struct BoxRows {
  const LocalSpace* sp;
  float cx, cy, hx, hy;
  float invC, invS;  // 1 / c and 1 / -s; 0 where the axis runs parallel to the rows
  BoxRows(const LocalSpace& space, float cx_, float cy_, float hx_, float hy_)
      : sp(&space), cx(cx_), cy(cy_), hx(hx_), hy(hy_),
        invC(std::fabs(space.c) < 1e-7f ? 0 : 1 / space.c), invS(std::fabs(space.s) < 1e-7f ? 0 : -1 / space.s) {}
  // Frame-space x span of row Y inside the box.
  bool row(float Y, float& xa, float& xb) const {
    const float v = Y - sp->oy;
    float lo = -1e30f, hi = 1e30f;
    const float p1 = sp->s * v - cx, p2 = sp->c * v - cy;
    if (invC != 0) {
      const float a = (-hx - p1) * invC, b = (hx - p1) * invC;
      lo = std::max(lo, std::min(a, b));
      hi = std::min(hi, std::max(a, b));
    } else if (std::fabs(p1) > hx) {
      return false;
    }
    if (invS != 0) {
      const float a = (-hy - p2) * invS, b = (hy - p2) * invS;
      lo = std::max(lo, std::min(a, b));
      hi = std::min(hi, std::max(a, b));
    } else if (std::fabs(p2) > hy) {
      return false;
    }
    if (!(lo <= hi)) return false;
    xa = sp->ox + lo;
    xb = sp->ox + hi;
    return true;
  }
};

#if defined(__SSE2__)
// BoxRows four rows at once, with its vector constants worked out once per box: rows4 runs every
// four rows and pixel stores may alias the box as far as the compiler knows, so constants kept in
// the box would be reloaded and rebroadcast on every call.
struct BoxRows4 {
  __m128 s, c, cx, cy, oy, ox, negHx, hx, negHy, hy, invC, invS, fx0, fx1m;
  __m128i ix0, ix1;
  bool alongC, alongS;  // whether each side pair bounds the row (invC, invS not 0)
  BoxRows4(const BoxRows& b, int32_t x0, int32_t x1)
      : s(_mm_set1_ps(b.sp->s)), c(_mm_set1_ps(b.sp->c)), cx(_mm_set1_ps(b.cx)), cy(_mm_set1_ps(b.cy)),
        oy(_mm_set1_ps(b.sp->oy)), ox(_mm_set1_ps(b.sp->ox)), negHx(_mm_set1_ps(-b.hx)), hx(_mm_set1_ps(b.hx)),
        negHy(_mm_set1_ps(-b.hy)), hy(_mm_set1_ps(b.hy)), invC(_mm_set1_ps(b.invC)), invS(_mm_set1_ps(b.invS)),
        fx0(_mm_set1_ps(static_cast<float>(x0))), fx1m(_mm_set1_ps(static_cast<float>(x1 - 1))),
        ix0(_mm_set1_epi32(x0)), ix1(_mm_set1_epi32(x1)), alongC(b.invC != 0), alongS(b.invS != 0) {}
  // Rows Y to Y + 3, lane for lane the arithmetic of BoxRows::row and rowColumns (std::min and
  // std::max mirrored operand for operand): their columns [xa, xb) clipped to [x0, x1), and
  // p1 = s v - cx, p2 = c v - cy. Returns a bit per row that has columns.
  int rows(int32_t Y, int32_t* xa, int32_t* xb, float* p1s, float* p2s) const {
    const __m128 v = _mm_sub_ps(_mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(Y), _mm_setr_epi32(0, 1, 2, 3))), oy);
    const __m128 p1 = _mm_sub_ps(_mm_mul_ps(s, v), cx);
    const __m128 p2 = _mm_sub_ps(_mm_mul_ps(c, v), cy);
    __m128 lo = _mm_set1_ps(-1e30f), hi = _mm_set1_ps(1e30f);
    __m128 ok = _mm_castsi128_ps(_mm_set1_epi32(-1));
    const __m128 sign = _mm_set1_ps(-0.0f);
    if (alongC) {
      const __m128 a = _mm_mul_ps(_mm_sub_ps(negHx, p1), invC), b = _mm_mul_ps(_mm_sub_ps(hx, p1), invC);
      lo = _mm_max_ps(_mm_min_ps(b, a), lo);
      hi = _mm_min_ps(_mm_max_ps(b, a), hi);
    } else {
      ok = _mm_andnot_ps(_mm_cmpgt_ps(_mm_andnot_ps(sign, p1), hx), ok);
    }
    if (alongS) {
      const __m128 a = _mm_mul_ps(_mm_sub_ps(negHy, p2), invS), b = _mm_mul_ps(_mm_sub_ps(hy, p2), invS);
      lo = _mm_max_ps(_mm_min_ps(b, a), lo);
      hi = _mm_min_ps(_mm_max_ps(b, a), hi);
    } else {
      ok = _mm_andnot_ps(_mm_cmpgt_ps(_mm_andnot_ps(sign, p2), hy), ok);
    }
    ok = _mm_and_ps(ok, _mm_cmple_ps(lo, hi));
    const __m128 u0 = _mm_add_ps(ox, lo), u1 = _mm_add_ps(ox, hi);
    ok = _mm_and_ps(ok, _mm_cmple_ps(u0, u1));
    // xa: x0 at or left of x0, x1 past x1 - 1, else ceil(u0).
    const __m128i t0 = _mm_cvttps_epi32(u0);
    const __m128i ceil0 = _mm_sub_epi32(t0, _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(t0), u0)));
    const __m128i left = _mm_castps_si128(_mm_cmple_ps(u0, fx0)), right = _mm_castps_si128(_mm_cmpgt_ps(u0, fx1m));
    __m128i a = _mm_or_si128(_mm_and_si128(right, ix1), _mm_andnot_si128(right, ceil0));
    a = _mm_or_si128(_mm_and_si128(left, ix0), _mm_andnot_si128(left, a));
    // xb: x1 at or right of x1 - 1, x0 left of x0, else floor(u1) + 1.
    const __m128i floor1 = _mm_add_epi32(_mm_cvttps_epi32(u1), _mm_set1_epi32(1));
    const __m128i past = _mm_castps_si128(_mm_cmpge_ps(u1, fx1m)), before = _mm_castps_si128(_mm_cmplt_ps(u1, fx0));
    __m128i b = _mm_or_si128(_mm_and_si128(before, ix0), _mm_andnot_si128(before, floor1));
    b = _mm_or_si128(_mm_and_si128(past, ix1), _mm_andnot_si128(past, b));
    ok = _mm_and_ps(ok, _mm_castsi128_ps(_mm_cmplt_epi32(a, b)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(xa), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(xb), b);
    _mm_storeu_ps(p1s, p1);
    _mm_storeu_ps(p2s, p2);
    return _mm_movemask_ps(ok);
  }
};
#endif

#if defined(LUMIVEX_AVX2)
// BoxRows4 on eight rows at once, lane for lane the same arithmetic: a thin box is a dozen rows
// or so, which this does in two steps rather than four.
struct BoxRows8 {
  __m256 s, c, cx, cy, oy, ox, negHx, hx, negHy, hy, invC, invS, fx0, fx1m;
  __m256i ix0, ix1;
  bool alongC, alongS;
  AVX2_INLINE BoxRows8(const BoxRows& b, int32_t x0, int32_t x1)
      : s(_mm256_set1_ps(b.sp->s)), c(_mm256_set1_ps(b.sp->c)), cx(_mm256_set1_ps(b.cx)), cy(_mm256_set1_ps(b.cy)),
        oy(_mm256_set1_ps(b.sp->oy)), ox(_mm256_set1_ps(b.sp->ox)), negHx(_mm256_set1_ps(-b.hx)),
        hx(_mm256_set1_ps(b.hx)), negHy(_mm256_set1_ps(-b.hy)), hy(_mm256_set1_ps(b.hy)),
        invC(_mm256_set1_ps(b.invC)), invS(_mm256_set1_ps(b.invS)), fx0(_mm256_set1_ps(static_cast<float>(x0))),
        fx1m(_mm256_set1_ps(static_cast<float>(x1 - 1))), ix0(_mm256_set1_epi32(x0)), ix1(_mm256_set1_epi32(x1)),
        alongC(b.invC != 0), alongS(b.invS != 0) {}
  // Rows Y to Y + 7, as BoxRows4::rows.
  AVX2_INLINE int rows(int32_t Y, int32_t* xa, int32_t* xb, float* p1s, float* p2s) const {
    const __m256 v =
        _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(Y), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))), oy);
    const __m256 p1 = _mm256_sub_ps(_mm256_mul_ps(s, v), cx);
    const __m256 p2 = _mm256_sub_ps(_mm256_mul_ps(c, v), cy);
    __m256 lo = _mm256_set1_ps(-1e30f), hi = _mm256_set1_ps(1e30f);
    __m256 ok = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    const __m256 sign = _mm256_set1_ps(-0.0f);
    if (alongC) {
      const __m256 a = _mm256_mul_ps(_mm256_sub_ps(negHx, p1), invC), b = _mm256_mul_ps(_mm256_sub_ps(hx, p1), invC);
      lo = _mm256_max_ps(_mm256_min_ps(b, a), lo);
      hi = _mm256_min_ps(_mm256_max_ps(b, a), hi);
    } else {
      ok = _mm256_andnot_ps(_mm256_cmp_ps(_mm256_andnot_ps(sign, p1), hx, _CMP_GT_OS), ok);
    }
    if (alongS) {
      const __m256 a = _mm256_mul_ps(_mm256_sub_ps(negHy, p2), invS), b = _mm256_mul_ps(_mm256_sub_ps(hy, p2), invS);
      lo = _mm256_max_ps(_mm256_min_ps(b, a), lo);
      hi = _mm256_min_ps(_mm256_max_ps(b, a), hi);
    } else {
      ok = _mm256_andnot_ps(_mm256_cmp_ps(_mm256_andnot_ps(sign, p2), hy, _CMP_GT_OS), ok);
    }
    ok = _mm256_and_ps(ok, _mm256_cmp_ps(lo, hi, _CMP_LE_OS));
    const __m256 u0 = _mm256_add_ps(ox, lo), u1 = _mm256_add_ps(ox, hi);
    ok = _mm256_and_ps(ok, _mm256_cmp_ps(u0, u1, _CMP_LE_OS));
    const __m256i t0 = _mm256_cvttps_epi32(u0);
    const __m256i ceil0 =
        _mm256_sub_epi32(t0, _mm256_castps_si256(_mm256_cmp_ps(_mm256_cvtepi32_ps(t0), u0, _CMP_LT_OS)));
    const __m256i left = _mm256_castps_si256(_mm256_cmp_ps(u0, fx0, _CMP_LE_OS));
    const __m256i right = _mm256_castps_si256(_mm256_cmp_ps(u0, fx1m, _CMP_GT_OS));
    __m256i a = _mm256_blendv_epi8(ceil0, ix1, right);
    a = _mm256_blendv_epi8(a, ix0, left);
    const __m256i floor1 = _mm256_add_epi32(_mm256_cvttps_epi32(u1), _mm256_set1_epi32(1));
    const __m256i past = _mm256_castps_si256(_mm256_cmp_ps(u1, fx1m, _CMP_GE_OS));
    const __m256i before = _mm256_castps_si256(_mm256_cmp_ps(u1, fx0, _CMP_LT_OS));
    __m256i b = _mm256_blendv_epi8(floor1, ix0, before);
    b = _mm256_blendv_epi8(b, ix1, past);
    ok = _mm256_and_ps(ok, _mm256_castsi256_ps(_mm256_cmpgt_epi32(b, a)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(xa), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(xb), b);
    _mm256_storeu_ps(p1s, p1);
    _mm256_storeu_ps(p2s, p2);
    return _mm256_movemask_ps(ok);
  }
};
#endif

// ---------------------------------------------------------------------------------------------
// The span kernel. Along a row, a shape's local offsets are linear in u = X - ox:
// dx = kx u + px, dy = ky u + py. A shape turns (dx, dy) into "alpha + 0.5" (truncated to the
// alpha byte); the kernel blends the span four pixels at a time with SSE2 where available and
// one at a time for the rest, with the same arithmetic per pixel in both. Groups of four start
// at the span's first column: a lane's u is (X - ox) + lane, which can differ in its last bit
// from (X + lane) - ox, so where groups start is part of the result and stays as it is.
// Blending alpha 0 leaves a pixel exactly as it was, so a group whose alphas are all 0 is skipped.
//
// Everything a shape needs besides (dx, dy) is worked out once per primitive, vector constants
// included: rows are short (a thin line is a few pixels per row), so per-row set-up would
// otherwise cost as much as the pixels.

struct Span {
  float ox;      // frame x of the local origin
  float kx, px;  // dx = kx * u + px
  float ky, py;  // dy = ky * u + py
};

// The row's linear forms for a shape centred at local (cx, cy).
inline Span spanFor(const LocalSpace& sp, float cx, float cy, float Y) {
  const float v = Y - sp.oy;
  return Span{sp.ox, sp.c, sp.s * v - cx, -sp.s, sp.c * v - cy};
}

#if defined(__SSE2__)
// round(x / 255) per 16-bit lane for x <= 255 * 255: ((x + 128) * 257) >> 16, the same value
// as div255 above in two instructions.
inline __m128i div255x16(__m128i x) {
  return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

// Four pixels widened to 16-bit lanes: lo holds pixels 0 and 1, hi pixels 2 and 3, each as
// B, G, R, A. Layers blended one after the other stay wide in between.
struct Wide4 {
  __m128i lo, hi;
};

inline Wide4 widen(__m128i d) {
  const __m128i zero = _mm_setzero_si128();
  return Wide4{_mm_unpacklo_epi8(d, zero), _mm_unpackhi_epi8(d, zero)};
}

inline __m128i narrow(const Wide4& d) { return _mm_packus_epi16(d.lo, d.hi); }

// Source-over of a straight colour at four alphas (int32 lanes, 0-255) onto four wide pixels;
// colorLo holds the colour of pixels 0 and 1, colorHi of pixels 2 and 3, each as 16-bit lanes
// B, G, R, 255.
inline Wide4 blendWide(const Wide4& d, __m128i alpha, __m128i colorLo, __m128i colorHi) {
  const __m128i a16 = _mm_packs_epi32(alpha, alpha);  // a0 a1 a2 a3 a0 a1 a2 a3
  const __m128i pairs = _mm_unpacklo_epi16(a16, a16);  // a0 a0 a1 a1 a2 a2 a3 a3
  const __m128i aLo = _mm_unpacklo_epi32(pairs, pairs), aHi = _mm_unpackhi_epi32(pairs, pairs);
  const __m128i c255 = _mm_set1_epi16(255);
  return Wide4{_mm_add_epi16(div255x16(_mm_mullo_epi16(colorLo, aLo)),
                             div255x16(_mm_mullo_epi16(d.lo, _mm_sub_epi16(c255, aLo)))),
               _mm_add_epi16(div255x16(_mm_mullo_epi16(colorHi, aHi)),
                             div255x16(_mm_mullo_epi16(d.hi, _mm_sub_epi16(c255, aHi))))};
}

// Source-over onto four packed pixels.
inline __m128i blend4(__m128i d, __m128i alpha, __m128i colorLo, __m128i colorHi) {
  return narrow(blendWide(widen(d), alpha, colorLo, colorHi));
}

inline __m128i color16Of(Rgba c) {
  const short r = static_cast<short>(c.r), g = static_cast<short>(c.g), b = static_cast<short>(c.b);
  return _mm_setr_epi16(b, g, r, 255, b, g, r, 255);
}

inline __m128 min4(__m128 a, __m128 b) { return _mm_min_ps(a, b); }
inline __m128 max4(__m128 a, __m128 b) { return _mm_max_ps(a, b); }
inline __m128 abs4(__m128 a) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), a); }
inline __m128 splat(float v) { return _mm_set1_ps(v); }
inline bool allZero(__m128i v) { return _mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_setzero_si128())) == 0xFFFF; }
#endif

#if defined(LUMIVEX_AVX2)
// The same helpers on eight lanes. A 256-bit register holds two 128-bit halves that unpack and
// pack separately: pixels 0-3 in the low half, 4-7 in the high one, each laid out as above.
struct Wide8 {
  __m256i lo, hi;
};

AVX2_FN inline Wide8 widen8(__m256i d) {
  const __m256i zero = _mm256_setzero_si256();
  return Wide8{_mm256_unpacklo_epi8(d, zero), _mm256_unpackhi_epi8(d, zero)};
}

AVX2_FN inline __m256i narrow8(const Wide8& d) { return _mm256_packus_epi16(d.lo, d.hi); }

// The integer constants of the eight-pixel blend. A walker keeps them in a record of its own,
// made opaque to the compiler (see blend8Constants), and hands them to every group: left to
// itself, the compiler rebuilds each broadcast constant (three instructions) in every group.
struct Blend8 {
  __m256i c255, c128, c257;
};

AVX2_INLINE Blend8 blend8Constants() {
  Blend8 k{_mm256_set1_epi16(255), _mm256_set1_epi16(128), _mm256_set1_epi16(257)};
  // The compiler no longer knows their values, so it keeps them (in registers or its own stack
  // slots, read as memory operands) rather than rebuild them.
  __asm__("" : "+x"(k.c255), "+x"(k.c128), "+x"(k.c257));
  return k;
}

AVX2_INLINE __m256i div255x16(__m256i x, const Blend8& k) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(x, k.c128), k.c257);
}

// blendWide on eight pixels with each pixel's alpha already in all four of its 16-bit lanes, laid
// out as d.
AVX2_INLINE Wide8 blendSpread8(const Wide8& d, __m256i aLo, __m256i aHi, __m256i colorLo, __m256i colorHi,
                               const Blend8& k) {
  return Wide8{_mm256_add_epi16(div255x16(_mm256_mullo_epi16(colorLo, aLo), k),
                                div255x16(_mm256_mullo_epi16(d.lo, _mm256_sub_epi16(k.c255, aLo)), k)),
               _mm256_add_epi16(div255x16(_mm256_mullo_epi16(colorHi, aHi), k),
                                div255x16(_mm256_mullo_epi16(d.hi, _mm256_sub_epi16(k.c255, aHi)), k))};
}

// Alphas of 0-255 are their int32 lane's low byte: one byte shuffle per half spreads them.
AVX2_INLINE Wide8 blendWide8(const Wide8& d, __m256i alpha, __m256i colorLo, __m256i colorHi, const Blend8& k) {
  const char z = -128;  // a shuffle index that gives a zero byte
  const __m256i spreadLo = _mm256_setr_epi8(0, z, 0, z, 0, z, 0, z, 4, z, 4, z, 4, z, 4, z,
                                            0, z, 0, z, 0, z, 0, z, 4, z, 4, z, 4, z, 4, z);
  const __m256i spreadHi = _mm256_setr_epi8(8, z, 8, z, 8, z, 8, z, 12, z, 12, z, 12, z, 12, z,
                                            8, z, 8, z, 8, z, 8, z, 12, z, 12, z, 12, z, 12, z);
  return blendSpread8(d, _mm256_shuffle_epi8(alpha, spreadLo), _mm256_shuffle_epi8(alpha, spreadHi), colorLo, colorHi,
                      k);
}

AVX2_FN inline __m256 min8(__m256 a, __m256 b) { return _mm256_min_ps(a, b); }
AVX2_FN inline __m256 max8(__m256 a, __m256 b) { return _mm256_max_ps(a, b); }
AVX2_FN inline __m256 abs8(__m256 a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
AVX2_FN inline __m256 splat8(float v) { return _mm256_set1_ps(v); }
AVX2_FN inline bool allZero8(__m256i v) {
  return _mm256_movemask_epi8(_mm256_cmpeq_epi32(v, _mm256_setzero_si256())) == -1;
}
AVX2_FN inline __m256i both(__m128i v) { return _mm256_broadcastsi128_si256(v); }
#endif

// alpha = A (1 - t), t the normalised elliptic radius; 0 from the rim outwards.
struct SoftEllipseShape {
  float ia, ib, A;  // 1 / ra^2, 1 / rb^2, alpha byte
#if defined(__SSE2__)
  __m128 ia4, ib4, A4;
#endif
  SoftEllipseShape(float ia_, float ib_, float A_) : ia(ia_), ib(ib_), A(A_) {
#if defined(__SSE2__)
    ia4 = splat(ia); ib4 = splat(ib); A4 = splat(A);
#endif
  }
  float alpha(float dx, float dy) const {
    const float t2 = std::min(dx * dx * ia + dy * dy * ib, 1.0f);
    return A * (1 - std::sqrt(t2)) + 0.5f;
  }
#if defined(__SSE2__)
  __m128 alpha4(__m128 dx, __m128 dy) const {
    const __m128 t2 = min4(_mm_add_ps(_mm_mul_ps(_mm_mul_ps(dx, dx), ia4), _mm_mul_ps(_mm_mul_ps(dy, dy), ib4)),
                           splat(1.0f));
    return _mm_add_ps(_mm_mul_ps(A4, _mm_sub_ps(splat(1.0f), _mm_sqrt_ps(t2))), splat(0.5f));
  }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN __m256 alpha8(__m256 dx, __m256 dy) const {
    const __m256 t2 = min8(_mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(dx, dx), splat8(ia)),
                                         _mm256_mul_ps(_mm256_mul_ps(dy, dy), splat8(ib))),
                           splat8(1.0f));
    return _mm256_add_ps(_mm256_mul_ps(splat8(A), _mm256_sub_ps(splat8(1.0f), _mm256_sqrt_ps(t2))), splat8(0.5f));
  }
#endif
};

// Signed distance to an ellipse's rim, (f - 1) f / |grad f| with f the normalised radius (exact
// for circles). Well inside (f below 0.5) it is taken as far inside, which also avoids 0 / 0.
struct EllipseDistance {
  float ia, ib, ia2, ib2;
#if defined(__SSE2__)
  __m128 ia4, ib4, ia24, ib24;
#endif
  explicit EllipseDistance(float ra, float rb)
      : ia(1 / (ra * ra)), ib(1 / (rb * rb)), ia2(ia * ia), ib2(ib * ib) {
#if defined(__SSE2__)
    ia4 = splat(ia); ib4 = splat(ib); ia24 = splat(ia2); ib24 = splat(ib2);
#endif
  }
  float operator()(float dx, float dy) const {
    const float t2 = dx * dx * ia + dy * dy * ib;
    const float grad = std::sqrt(std::max(dx * dx * ia2 + dy * dy * ib2, 1e-30f));
    const float f = std::sqrt(t2);
    return t2 < 0.25f ? -1e9f : (f - 1) * f / grad;
  }
#if defined(__SSE2__)
  __m128 operator()(__m128 dx, __m128 dy) const {
    const __m128 dx2 = _mm_mul_ps(dx, dx), dy2 = _mm_mul_ps(dy, dy);
    const __m128 t2 = _mm_add_ps(_mm_mul_ps(dx2, ia4), _mm_mul_ps(dy2, ib4));
    const __m128 grad = _mm_sqrt_ps(max4(_mm_add_ps(_mm_mul_ps(dx2, ia24), _mm_mul_ps(dy2, ib24)), splat(1e-30f)));
    const __m128 f = _mm_sqrt_ps(t2);
    const __m128 dist = _mm_div_ps(_mm_mul_ps(_mm_sub_ps(f, splat(1.0f)), f), grad);
    const __m128 inside = _mm_cmplt_ps(t2, splat(0.25f));
    return _mm_or_ps(_mm_and_ps(inside, splat(-1e9f)), _mm_andnot_ps(inside, dist));
  }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN __m256 operator()(__m256 dx, __m256 dy) const {
    const __m256 dx2 = _mm256_mul_ps(dx, dx), dy2 = _mm256_mul_ps(dy, dy);
    const __m256 t2 = _mm256_add_ps(_mm256_mul_ps(dx2, splat8(ia)), _mm256_mul_ps(dy2, splat8(ib)));
    const __m256 grad = _mm256_sqrt_ps(
        max8(_mm256_add_ps(_mm256_mul_ps(dx2, splat8(ia2)), _mm256_mul_ps(dy2, splat8(ib2))), splat8(1e-30f)));
    const __m256 f = _mm256_sqrt_ps(t2);
    const __m256 dist = _mm256_div_ps(_mm256_mul_ps(_mm256_sub_ps(f, splat8(1.0f)), f), grad);
    const __m256 inside = _mm256_cmp_ps(t2, splat8(0.25f), _CMP_LT_OQ);
    return _mm256_or_ps(_mm256_and_ps(inside, splat8(-1e9f)), _mm256_andnot_ps(inside, dist));
  }
#endif
};

// Solid ellipse: a one-pixel ramp across the rim, capped for ellipses under a pixel.
struct SolidEllipseShape {
  EllipseDistance dist;
  float cap, A;
#if defined(__SSE2__)
  __m128 cap4, A4;
#endif
  SolidEllipseShape(const EllipseDistance& d, float cap_, float A_) : dist(d), cap(cap_), A(A_) {
#if defined(__SSE2__)
    cap4 = splat(cap); A4 = splat(A);
#endif
  }
  float alpha(float dx, float dy) const {
    const float cov = std::min(std::max(0.5f - dist(dx, dy), 0.0f), cap);
    return A * cov + 0.5f;
  }
#if defined(__SSE2__)
  __m128 alpha4(__m128 dx, __m128 dy) const {
    const __m128 cov = min4(max4(_mm_sub_ps(splat(0.5f), dist(dx, dy)), _mm_setzero_ps()), cap4);
    return _mm_add_ps(_mm_mul_ps(A4, cov), splat(0.5f));
  }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN __m256 alpha8(__m256 dx, __m256 dy) const {
    const __m256 cov = min8(max8(_mm256_sub_ps(splat8(0.5f), dist(dx, dy)), _mm256_setzero_ps()), splat8(cap));
    return _mm256_add_ps(_mm256_mul_ps(splat8(A), cov), splat8(0.5f));
  }
#endif
};

// Ellipse outline: a band of half-width `half` around the rim, ramped over one pixel.
struct OutlineShape {
  EllipseDistance dist;
  float half, A;
#if defined(__SSE2__)
  __m128 reach4, A4;  // half + 0.5
#endif
  OutlineShape(const EllipseDistance& d, float half_, float A_) : dist(d), half(half_), A(A_) {
#if defined(__SSE2__)
    reach4 = splat(half + 0.5f); A4 = splat(A);
#endif
  }
  float alpha(float dx, float dy) const {
    const float d = std::fabs(dist(dx, dy));
    const float cov = std::min(std::max(half + 0.5f - d, 0.0f), 1.0f);
    return A * cov + 0.5f;
  }
#if defined(__SSE2__)
  __m128 alpha4(__m128 dx, __m128 dy) const {
    const __m128 d = abs4(dist(dx, dy));
    const __m128 cov = min4(max4(_mm_sub_ps(reach4, d), _mm_setzero_ps()), splat(1.0f));
    return _mm_add_ps(_mm_mul_ps(A4, cov), splat(0.5f));
  }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN __m256 alpha8(__m256 dx, __m256 dy) const {
    const __m256 d = abs8(dist(dx, dy));
    const __m256 cov = min8(max8(_mm256_sub_ps(splat8(half + 0.5f), d), _mm256_setzero_ps()), splat8(1.0f));
    return _mm256_add_ps(_mm256_mul_ps(splat8(A), cov), splat8(0.5f));
  }
#endif
};

// One side pair of a box of half size h: full inside, ramped over one pixel at the sides and
// never more than the band is wide: min(min(max(h + 0.5 - |d|, 0), 1), 2 h), with the two caps
// taken together (min is exact, so the order of the two does not matter).
struct BoxBand {
  float reach, cap;  // h + 0.5; min(1, 2 h)
#if defined(__SSE2__)
  __m128 reach4, cap4;
#endif
  explicit BoxBand(float h) : reach(h + 0.5f), cap(std::min(1.0f, 2 * h)) {
#if defined(__SSE2__)
    reach4 = splat(reach); cap4 = splat(cap);
#endif
  }
  float cover(float absD) const { return std::min(std::max(reach - absD, 0.0f), cap); }
#if defined(__SSE2__)
  __m128 cover4(__m128 absD) const { return min4(max4(_mm_sub_ps(reach4, absD), _mm_setzero_ps()), cap4); }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN __m256 cover8(__m256 absD) const {
    return min8(max8(_mm256_sub_ps(splat8(reach), absD), _mm256_setzero_ps()), splat8(cap));
  }
#endif
};

// ---------------------------------------------------------------------------------------------
// Layers: what a span fill draws per pixel, one alpha (a) or two (a, then b over it in its own
// colour: the halo and core of a long shape, which in one pass give exactly what two passes
// would).

template <typename Shape>
struct OneLayer {
  static constexpr bool two = false;
  Shape shape;
  void alpha(float dx, float dy, uint32_t& a, uint32_t& b) const {
    a = static_cast<uint32_t>(shape.alpha(dx, dy));
    b = 0;
  }
#if defined(__SSE2__)
  void alpha4(__m128 dx, __m128 dy, __m128i& a, __m128i& b) const {
    a = _mm_cvttps_epi32(shape.alpha4(dx, dy));
    b = _mm_setzero_si128();
  }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN void alpha8(__m256 dx, __m256 dy, __m256i& a, __m256i& b) const {
    a = _mm256_cvttps_epi32(shape.alpha8(dx, dy));
    b = _mm256_setzero_si256();
  }
  // No constants of their own to keep across groups.
  struct Lanes8 {};
  AVX2_INLINE Lanes8 lanes8() const { return Lanes8{}; }
  AVX2_INLINE void alpha8(const Lanes8&, __m256 dx, __m256 dy, __m256i& a, __m256i& b) const { alpha8(dx, dy, a, b); }
#endif
};

template <typename Outer, typename Inner>
struct TwoLayers {
  static constexpr bool two = true;
  Outer outer;
  Inner inner;
  void alpha(float dx, float dy, uint32_t& a, uint32_t& b) const {
    a = static_cast<uint32_t>(outer.alpha(dx, dy));
    b = static_cast<uint32_t>(inner.alpha(dx, dy));
  }
#if defined(__SSE2__)
  void alpha4(__m128 dx, __m128 dy, __m128i& a, __m128i& b) const {
    a = _mm_cvttps_epi32(outer.alpha4(dx, dy));
    b = _mm_cvttps_epi32(inner.alpha4(dx, dy));
  }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN void alpha8(__m256 dx, __m256 dy, __m256i& a, __m256i& b) const {
    a = _mm256_cvttps_epi32(outer.alpha8(dx, dy));
    b = _mm256_cvttps_epi32(inner.alpha8(dx, dy));
  }
  // No constants of their own to keep across groups.
  struct Lanes8 {};
  AVX2_INLINE Lanes8 lanes8() const { return Lanes8{}; }
  AVX2_INLINE void alpha8(const Lanes8&, __m256 dx, __m256 dy, __m256i& a, __m256i& b) const { alpha8(dx, dy, a, b); }
#endif
};

// A box of half sizes hx, hy: the product of its two bands.
struct BoxLayer {
  static constexpr bool two = false;
  BoxBand bx, by;
  float A;
#if defined(__SSE2__)
  __m128 A4;
#endif
  BoxLayer(float hx, float hy, float A_) : bx(hx), by(hy), A(A_) {
#if defined(__SSE2__)
    A4 = splat(A);
#endif
  }
  void alpha(float dx, float dy, uint32_t& a, uint32_t& b) const {
    a = static_cast<uint32_t>(A * (bx.cover(std::fabs(dx)) * by.cover(std::fabs(dy))) + 0.5f);
    b = 0;
  }
#if defined(__SSE2__)
  void alpha4(__m128 dx, __m128 dy, __m128i& a, __m128i& b) const {
    a = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(A4, _mm_mul_ps(bx.cover4(abs4(dx)), by.cover4(abs4(dy)))), splat(0.5f)));
    b = _mm_setzero_si128();
  }
#endif
#if defined(LUMIVEX_AVX2)
  AVX2_FN void alpha8(__m256 dx, __m256 dy, __m256i& a, __m256i& b) const {
    a = _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(splat8(A), _mm256_mul_ps(bx.cover8(abs8(dx)), by.cover8(abs8(dy)))), splat8(0.5f)));
    b = _mm256_setzero_si256();
  }
  // No constants of their own to keep across groups.
  struct Lanes8 {};
  AVX2_INLINE Lanes8 lanes8() const { return Lanes8{}; }
  AVX2_INLINE void alpha8(const Lanes8&, __m256 dx, __m256 dy, __m256i& a, __m256i& b) const { alpha8(dx, dy, a, b); }
#endif
};

// Two boxes of the same length, the second thinner (a line and its core): they share the band
// along their length.
struct BoxPairLayers {
  static constexpr bool two = true;
  BoxBand bx, by, byInner;
  float A, innerA;
#if defined(__SSE2__)
  __m128 A4, innerA4;
#endif
  BoxPairLayers(float hx, float hy, float A_, float innerHy, float innerA_)
      : bx(hx), by(hy), byInner(innerHy), A(A_), innerA(innerA_) {
#if defined(__SSE2__)
    A4 = splat(A); innerA4 = splat(innerA);
#endif
  }
  void alpha(float dx, float dy, uint32_t& a, uint32_t& b) const {
    const float cx = bx.cover(std::fabs(dx)), ady = std::fabs(dy);
    a = static_cast<uint32_t>(A * (cx * by.cover(ady)) + 0.5f);
    b = static_cast<uint32_t>(innerA * (cx * byInner.cover(ady)) + 0.5f);
  }
#if defined(__SSE2__)
  void alpha4(__m128 dx, __m128 dy, __m128i& a, __m128i& b) const {
    const __m128 cx = bx.cover4(abs4(dx)), ady = abs4(dy);
    a = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(A4, _mm_mul_ps(cx, by.cover4(ady))), splat(0.5f)));
    b = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(innerA4, _mm_mul_ps(cx, byInner.cover4(ady))), splat(0.5f)));
  }
#endif
#if defined(LUMIVEX_AVX2)
  // The eight-lane constants, worked out once by a caller walking many groups (see SpanFill::Lanes8).
  struct Lanes8 {
    __m256 A, innerA, reachX, capX, reachY, capY, reachInner, capInner;
  };
  AVX2_INLINE Lanes8 lanes8() const {
    return Lanes8{splat8(A), splat8(innerA), splat8(bx.reach), splat8(bx.cap), splat8(by.reach), splat8(by.cap),
                  splat8(byInner.reach), splat8(byInner.cap)};
  }
  AVX2_INLINE void alpha8(const Lanes8& k, __m256 dx, __m256 dy, __m256i& a, __m256i& b) const {
    const __m256 zero = _mm256_setzero_ps(), half = splat8(0.5f);
    const __m256 cx = min8(max8(_mm256_sub_ps(k.reachX, abs8(dx)), zero), k.capX), ady = abs8(dy);
    const __m256 cy = min8(max8(_mm256_sub_ps(k.reachY, ady), zero), k.capY);
    const __m256 cyInner = min8(max8(_mm256_sub_ps(k.reachInner, ady), zero), k.capInner);
    a = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(k.A, _mm256_mul_ps(cx, cy)), half));
    b = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(k.innerA, _mm256_mul_ps(cx, cyInner)), half));
  }
  AVX2_FN void alpha8(__m256 dx, __m256 dy, __m256i& a, __m256i& b) const { alpha8(lanes8(), dx, dy, a, b); }
#endif
};

// Fills spans of one primitive: its layers, colours and the per-row constants of its space.
template <typename Layers>
struct SpanFill {
  Layers layers;
  Rgba color, innerColor;
  float kx, ky;  // dx = kx u + px, dy = ky u + py on every row
#if defined(__SSE2__)
  __m128i color16, inner16;
  __m128 kx4, ky4;
#endif
  SpanFill(const LocalSpace& sp, const Layers& l, Rgba c, Rgba ic = Rgba{0, 0, 0, 0})
      : layers(l), color(c), innerColor(ic), kx(sp.c), ky(-sp.s) {
#if defined(__SSE2__)
    color16 = color16Of(color);
    inner16 = color16Of(innerColor);
    kx4 = splat(kx);
    ky4 = splat(ky);
#endif
  }

  // The same layers and colours in another space: only the row slopes depend on it.
  void turn(const LocalSpace& sp) {
    kx = sp.c;
    ky = -sp.s;
#if defined(__SSE2__)
    kx4 = splat(kx);
    ky4 = splat(ky);
#endif
  }

  // Blends columns [xa, xb) of a row `width` pixels wide. The last group of four may run past
  // xb (never past the row): the shapes give alpha 0 there, which changes nothing.
  void fill4(uint32_t* row, int32_t width, int32_t xa, int32_t xb, const Span& sp) const {
    int32_t X = xa;
#if defined(__SSE2__)
    const int32_t padded = xa + ((xb - xa + 3) & ~3);
    if (padded <= width) xb = padded;
    const __m128 px = splat(sp.px), py = splat(sp.py);
    const __m128 steps = _mm_setr_ps(0, 1, 2, 3);
    for (; X + 4 <= xb; X += 4) {
      const __m128 u = _mm_add_ps(splat(static_cast<float>(X) - sp.ox), steps);
      const __m128 dx = _mm_add_ps(_mm_mul_ps(kx4, u), px), dy = _mm_add_ps(_mm_mul_ps(ky4, u), py);
      __m128i a, b;
      layers.alpha4(dx, dy, a, b);
      const bool drawA = !allZero(a), drawB = Layers::two && !allZero(b);
      if (!drawA && !drawB) continue;
      __m128i* p = reinterpret_cast<__m128i*>(row + X);
      Wide4 d = widen(_mm_loadu_si128(p));
      if (drawA) d = blendWide(d, a, color16, color16);
      if (drawB) d = blendWide(d, b, inner16, inner16);
      _mm_storeu_si128(p, narrow(d));
    }
#endif
    tail(row, X, xb, sp);
  }

  // The pixels after the groups, one at a time.
  void tail(uint32_t* row, int32_t X, int32_t xb, const Span& sp) const {
    for (; X < xb; ++X) {
      const float u = static_cast<float>(X) - sp.ox;
      const float dx = kx * u + sp.px, dy = ky * u + sp.py;
      uint32_t a, b;
      layers.alpha(dx, dy, a, b);
      if (a) blendPixel(row + X, a, color.r, color.g, color.b);
      if (Layers::two && b) blendPixel(row + X, b, innerColor.r, innerColor.g, innerColor.b);
    }
  }

#if defined(LUMIVEX_AVX2)
  // The eight-lane constants of the primitive. Rows blend through a uint32_t pointer that may
  // alias this record as far as the compiler knows, so a caller walking many short rows works
  // these out once and passes them in rather than have every row reload and rebroadcast them.
  struct Lanes8 {
    __m256 kx, ky, steps;
    __m256i color, inner, fours;
    Blend8 blend;
    typename Layers::Lanes8 layer;
  };
  AVX2_INLINE Lanes8 lanes8() const {
    return Lanes8{_mm256_set1_ps(kx), _mm256_set1_ps(ky), _mm256_setr_ps(0, 1, 2, 3, 0, 1, 2, 3), both(color16),
                  both(inner16), _mm256_setr_epi32(0, 0, 0, 0, 4, 4, 4, 4), blend8Constants(), layers.lanes8()};
  }

  // The groups of four at X and X + 4 of a row whose linear forms are px, py (broadcast) with
  // the local origin at ox8 (broadcast). (X - ox) + lane as the four-pixel groups have it: X and
  // X + 4 are exact as floats, so converting the columns and subtracting rounds once, as there.
  AVX2_INLINE void group8(const Lanes8& k, uint32_t* row, int32_t X, __m256 ox8, __m256 px, __m256 py) const {
    const __m256 origin = _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(X), k.fours)), ox8);
    const __m256 u = _mm256_add_ps(origin, k.steps);
    const __m256 dx = _mm256_add_ps(_mm256_mul_ps(k.kx, u), px), dy = _mm256_add_ps(_mm256_mul_ps(k.ky, u), py);
    __m256i a, b;
    layers.alpha8(k.layer, dx, dy, a, b);
    const bool drawA = !allZero8(a), drawB = Layers::two && !allZero8(b);
    if (!drawA && !drawB) return;
    __m256i* p = reinterpret_cast<__m256i*>(row + X);
    Wide8 d = widen8(_mm256_loadu_si256(p));
    if (drawA) d = blendWide8(d, a, k.color, k.color, k.blend);
    if (drawB) d = blendWide8(d, b, k.inner, k.inner, k.blend);
    _mm256_storeu_si256(p, narrow8(d));
  }

  // fill4 with two groups of four at a time (group8); a last single group and the tail are done
  // as there.
  AVX2_INLINE void fill8(const Lanes8& k, uint32_t* row, int32_t width, int32_t xa, int32_t xb, const Span& sp) const {
    int32_t X = xa;
    const int32_t padded = xa + ((xb - xa + 3) & ~3);
    if (padded <= width) xb = padded;
    const __m256 px = _mm256_set1_ps(sp.px), py = _mm256_set1_ps(sp.py), ox8 = _mm256_set1_ps(sp.ox);
    for (; X + 8 <= xb; X += 8) group8(k, row, X, ox8, px, py);
    if (X + 4 <= xb) {
      const __m128 u = _mm_add_ps(_mm_set1_ps(static_cast<float>(X) - sp.ox), _mm_setr_ps(0, 1, 2, 3));
      const __m128 dx = _mm_add_ps(_mm_mul_ps(kx4, u), _mm_set1_ps(sp.px));
      const __m128 dy = _mm_add_ps(_mm_mul_ps(ky4, u), _mm_set1_ps(sp.py));
      __m128i a, b;
      layers.alpha4(dx, dy, a, b);
      const bool drawA = !allZero(a), drawB = Layers::two && !allZero(b);
      if (drawA || drawB) {
        __m128i* p = reinterpret_cast<__m128i*>(row + X);
        Wide4 d = widen(_mm_loadu_si128(p));
        if (drawA) d = blendWide(d, a, color16, color16);
        if (drawB) d = blendWide(d, b, inner16, inner16);
        _mm_storeu_si128(p, narrow(d));
      }
      X += 4;
    }
    tail(row, X, xb, sp);
  }

  // Two rows whose spans are one group of four each (thin shapes have many): row A's group at xA
  // in lanes 0-3, row B's at xB in lanes 4-7, each lane with the arithmetic of its own group
  // (origin holds each group's X - ox, px and py each row's linear forms).
  AVX2_INLINE void pairAt(const Lanes8& k, uint32_t* rowA, int32_t xA, uint32_t* rowB, int32_t xB, __m256 origin,
                          float apx, float apy, float bpx, float bpy) const {
    const __m256 u = _mm256_add_ps(origin, k.steps);
    const __m256 px = _mm256_setr_m128(_mm_set1_ps(apx), _mm_set1_ps(bpx));
    const __m256 py = _mm256_setr_m128(_mm_set1_ps(apy), _mm_set1_ps(bpy));
    const __m256 dx = _mm256_add_ps(_mm256_mul_ps(k.kx, u), px);
    const __m256 dy = _mm256_add_ps(_mm256_mul_ps(k.ky, u), py);
    __m256i alpha, innerAlpha;
    layers.alpha8(k.layer, dx, dy, alpha, innerAlpha);
    const bool drawA = !allZero8(alpha), drawB = Layers::two && !allZero8(innerAlpha);
    if (!drawA && !drawB) return;
    __m128i* pa = reinterpret_cast<__m128i*>(rowA + xA);
    __m128i* pb = reinterpret_cast<__m128i*>(rowB + xB);
    Wide8 d = widen8(_mm256_setr_m128i(_mm_loadu_si128(pa), _mm_loadu_si128(pb)));
    if (drawA) d = blendWide8(d, alpha, k.color, k.color, k.blend);
    if (drawB) d = blendWide8(d, innerAlpha, k.inner, k.inner, k.blend);
    const __m256i out = narrow8(d);
    _mm_storeu_si128(pa, _mm256_castsi256_si128(out));
    _mm_storeu_si128(pb, _mm256_extracti128_si256(out, 1));
  }
#endif
};

// The row spans of a primitive: its row equation (EllipseRows, BoxRows) clipped to [X0, X1).
template <typename Rows>
struct RowSpans {
  const Rows& rows;
  int32_t X0, X1;
  // Writes the span [cols[0], cols[1]) of row Y; returns how many spans (0 or 1).
  int spans(float Y, int32_t* cols) const {
    float ua, ub;
    if (!rows.row(Y, ua, ub)) return 0;
    return rowColumns(ua, ub, X0, X1, cols[0], cols[1]) ? 1 : 0;
  }
};

// Walks the rows [Y0, Y1) of a primitive centred at local (cx, cy): the spans of each row from
// `spans`, their pixels from `fill`. Compiled twice, for four-pixel groups and (where the
// processor has AVX2) for eight, so that the per-primitive constants stay in registers across rows.
template <typename Spans, typename Layers>
inline void walkRows4(Canvas& cv, int32_t Y0, int32_t Y1, const Spans& spans, const LocalSpace& sp, float cx,
                      float cy, const SpanFill<Layers>& fill) {
  for (int32_t Y = Y0; Y < Y1; ++Y) {
    int32_t cols[4];
    const int n = spans.spans(static_cast<float>(Y), cols);
    if (!n) continue;
    uint32_t* row = cv.pixels + static_cast<size_t>(Y) * cv.width;
    const Span span = spanFor(sp, cx, cy, static_cast<float>(Y));
    for (int k = 0; k < n; ++k) fill.fill4(row, cv.width, cols[2 * k], cols[2 * k + 1], span);
  }
}

#if defined(LUMIVEX_AVX2)
template <typename Spans, typename Layers>
AVX2_FN void walkRows8(Canvas& cv, int32_t Y0, int32_t Y1, const Spans& spans, const LocalSpace& sp, float cx,
                       float cy, const SpanFill<Layers>& fill) {
  const typename SpanFill<Layers>::Lanes8 lanes = fill.lanes8();
  for (int32_t Y = Y0; Y < Y1; ++Y) {
    int32_t cols[4];
    const int n = spans.spans(static_cast<float>(Y), cols);
    if (!n) continue;
    uint32_t* row = cv.pixels + static_cast<size_t>(Y) * cv.width;
    const Span span = spanFor(sp, cx, cy, static_cast<float>(Y));
    for (int k = 0; k < n; ++k) fill.fill8(lanes, row, cv.width, cols[2 * k], cols[2 * k + 1], span);
  }
}
#endif

#if defined(__SSE2__)
// Boxes (lines, rectangles) work their rows out four at a time: a thin line's rows are a pixel
// group or two each, and the row equation would otherwise cost as much as its pixels.
template <typename Layers>
inline void walkRows4(Canvas& cv, int32_t Y0, int32_t Y1, const RowSpans<BoxRows>& spans, const LocalSpace& sp,
                      float, float, const SpanFill<Layers>& fill) {
  const BoxRows4 boxRows4(spans.rows, spans.X0, spans.X1);
  const float ox = sp.ox, c = sp.c, ns = -sp.s;
  for (int32_t Y = Y0; Y < Y1; Y += 4) {
    int32_t xa[4], xb[4];
    float p1[4], p2[4];
    int rows = boxRows4.rows(Y, xa, xb, p1, p2);
    if (Y1 - Y < 4) rows &= (1 << (Y1 - Y)) - 1;
    for (; rows; rows &= rows - 1) {
      const int k = __builtin_ctz(static_cast<unsigned>(rows));
      fill.fill4(cv.pixels + static_cast<size_t>(Y + k) * cv.width, cv.width, xa[k], xb[k],
                 Span{ox, c, p1[k], ns, p2[k]});
    }
  }
}
#endif

#if defined(LUMIVEX_AVX2)
// The rows [Y0, Y1) of a box in the space `sp` on eight lanes, spans from `boxRows`, pixels from
// `fill` with its eight-lane constants `lanes` (kx, ky those of sp). A row whose span is one
// group of four waits for the next such row, and the two go together.
template <typename Layers>
AVX2_INLINE void boxWalk8(uint32_t* pixels, int32_t width, int32_t Y0, int32_t Y1, const BoxRows8& boxRows,
                          const LocalSpace& sp, const SpanFill<Layers>& fill,
                          const typename SpanFill<Layers>::Lanes8& lanes) {
  uint32_t* waitingRow = nullptr;
  int32_t waitingX = 0;
  float waitingPx = 0, waitingPy = 0;
  const float ox = sp.ox, c = sp.c, ns = -sp.s;
  const __m256 ox8 = _mm256_set1_ps(ox);
  for (int32_t Y = Y0; Y < Y1; Y += 8) {
    alignas(32) int32_t xa[8], xb[8];
    alignas(32) float p1[8], p2[8];
    int rows = boxRows.rows(Y, xa, xb, p1, p2);
    if (Y1 - Y < 8) rows &= (1 << (Y1 - Y)) - 1;
    for (; rows; rows &= rows - 1) {
      const int k = __builtin_ctz(static_cast<unsigned>(rows));
      uint32_t* row = pixels + static_cast<size_t>(Y + k) * width;
      // The groups of four start at xa; a span that ends in one lone group after its pairs
      // (5-8 groups of four are pairs, 9-12 columns one pair and a lone group) hands that group
      // to the pairing below, as a short row would, and blends only the pairs here.
      const int32_t padded = (xb[k] - xa[k] + 3) & ~3;
      int32_t x = xa[k];
      if (xa[k] + padded > width) {  // at the canvas's right edge: groups, then single pixels
        fill.fill8(lanes, row, width, xa[k], xb[k], Span{ox, c, p1[k], ns, p2[k]});
        continue;
      }
      if (padded > 4) {
        const __m256 px = _mm256_set1_ps(p1[k]), py = _mm256_set1_ps(p2[k]);
        fill.group8(lanes, row, x, ox8, px, py);
        if (padded == 8) continue;
        if ((padded & 4) == 0) {
          for (x += 8; x < xa[k] + padded; x += 8) fill.group8(lanes, row, x, ox8, px, py);
          continue;
        }
        for (x += 8; x + 4 < xa[k] + padded; x += 8) fill.group8(lanes, row, x, ox8, px, py);
      }
      if (waitingRow) {
        const __m256 origin = _mm256_sub_ps(
            _mm256_cvtepi32_ps(_mm256_setr_m128i(_mm_set1_epi32(waitingX), _mm_set1_epi32(x))), ox8);
        fill.pairAt(lanes, waitingRow, waitingX, row, x, origin, waitingPx, waitingPy, p1[k], p2[k]);
        waitingRow = nullptr;
      } else {
        waitingRow = row;
        waitingX = x;
        waitingPx = p1[k];
        waitingPy = p2[k];
      }
    }
  }
  if (waitingRow) fill.fill8(lanes, waitingRow, width, waitingX, waitingX + 4, Span{ox, c, waitingPx, ns, waitingPy});
}

template <typename Layers>
AVX2_FN void walkRows8(Canvas& cv, int32_t Y0, int32_t Y1, const RowSpans<BoxRows>& spans, const LocalSpace& sp,
                       float, float, const SpanFill<Layers>& fill) {
  boxWalk8(cv.pixels, cv.width, Y0, Y1, BoxRows8(spans.rows, spans.X0, spans.X1), sp, fill, fill.lanes8());
}
#endif

template <typename Spans, typename Layers>
void walkRows(Canvas& cv, int32_t Y0, int32_t Y1, const Spans& spans, const LocalSpace& sp, float cx, float cy,
              const SpanFill<Layers>& fill) {
#if defined(LUMIVEX_AVX2)
  if (gRasterLanes == 8) {
    walkRows8(cv, Y0, Y1, spans, sp, cx, cy, fill);
    return;
  }
#endif
  walkRows4(cv, Y0, Y1, spans, sp, cx, cy, fill);
}

template <typename Layers>
SpanFill<Layers> spanFill(const LocalSpace& sp, const Layers& layers, Rgba color, Rgba innerColor = Rgba{0, 0, 0, 0}) {
  return SpanFill<Layers>(sp, layers, color, innerColor);
}

template <typename Shape>
OneLayer<Shape> oneLayer(const Shape& shape) { return OneLayer<Shape>{shape}; }

template <typename Outer, typename Inner>
TwoLayers<Outer, Inner> twoLayers(const Outer& outer, const Inner& inner) { return TwoLayers<Outer, Inner>{outer, inner}; }

}  // namespace

Canvas makeCanvas(uint32_t* pixels, int32_t width, int32_t height) {
  Canvas cv;
  cv.pixels = pixels;
  cv.width = width;
  cv.height = height;
  cv.touchedX0 = cv.touchedY0 = cv.touchedX1 = cv.touchedY1 = 0;
  return cv;
}

LocalSpace frameSpace() { return LocalSpace{0, 0, 1, 0}; }

LocalSpace particleSpace(float px, float py, float degrees) {
  double c, s;
  const double d = degrees;
  if (d > -1e9 && d < 1e9) {
    // Our own cosine and sine, reduced in degrees: d = 90 k + e with |e| <= 45 exactly (90 k
    // is exact), so quarter turns map axes onto axes exactly and the rest is one rounding from
    // e in radians. Taylor series to the 13th and 14th powers: below 3e-14 for |r| <= pi/4, so
    // the floats below are those of the library's double-precision functions but in a few cases
    // in ten million, at a fraction of the cost (a burst draws a dozen rays a particle).
    const double shift = 6755399441055744.0;  // 2^52 + 2^51: adding and taking it off rounds
    const double k = (d * (1.0 / 90) + shift) - shift;
    const double r = (d - k * 90) * (3.14159265358979323846 / 180);
    const double z = r * r;
    const double sr =
        r + r * z *
                (-1.0 / 6 +
                 z * (1.0 / 120 +
                      z * (-1.0 / 5040 + z * (1.0 / 362880 + z * (-1.0 / 39916800 + z * (1.0 / 6227020800.0))))));
    const double cr =
        1 + z * (-0.5 + z * (1.0 / 24 +
                             z * (-1.0 / 720 +
                                  z * (1.0 / 40320 +
                                       z * (-1.0 / 3628800 + z * (1.0 / 479001600 + z * (-1.0 / 87178291200.0)))))));
    // Quarter turn q: (c, s) is (cr, sr), (-sr, cr), (-cr, -sr) or (sr, -cr), made by multiplying
    // by 1, -1 and 0 (exact) rather than by a branch that random turns would mispredict.
    static const double fromC[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};  // factors of cr for c, s
    static const double fromS[4][2] = {{0, 1}, {-1, 0}, {0, -1}, {1, 0}};  // factors of sr for c, s
    const int q = static_cast<int>(static_cast<int64_t>(k) & 3);
    c = cr * fromC[q][0] + sr * fromS[q][0];
    s = cr * fromC[q][1] + sr * fromS[q][1];
  } else {  // huge, infinite or NaN: the library's
    const double r = d * 3.14159265358979323846 / 180.0;
    c = std::cos(r);
    s = std::sin(r);
  }
  // Quarter turns map axes onto axes exactly: a shape edge on a pixel centre would otherwise fall
  // on either side of it by chance.
  if (std::fabs(c) < 1e-7) c = 0;
  if (std::fabs(s) < 1e-7) s = 0;
  return LocalSpace{px, py, static_cast<float>(c), static_cast<float>(s)};
}

// Fills a local ellipse (centre cx, cy; radii ra, rb) whose coverage may reach `margin` pixels
// beyond the rim, with the given layers.
template <typename Layers>
static void fillEllipseWith(Canvas& cv, const LocalSpace& sp, float cx, float cy, float ra, float rb,
                            float margin, const SpanFill<Layers>& fill) {
  float fx0, fy0, fx1, fy1;
  ellipseExtent(sp, cx, cy, ra + margin, rb + margin, fx0, fy0, fx1, fy1);
  int32_t X0, Y0, X1, Y1;
  if (!clipBox(cv, fx0, fy0, fx1, fy1, X0, Y0, X1, Y1)) return;
  touch(cv, X0, Y0, X1, Y1);
  const EllipseRows rows(sp, cx, cy, ra + margin, rb + margin);
  walkRows(cv, Y0, Y1, RowSpans<EllipseRows>{rows, X0, X1}, sp, cx, cy, fill);
}

// Ellipses narrower than this draw nothing: a soft one covers no pixel centre and a solid one's
// coverage rounds to 0, so skipping them changes no pixel, and no set-up divides by the square of
// a tiny or denormal radius (which would overflow).
constexpr float MinExtent = 1e-3f;  // pixels

void fillSoftEllipse(Canvas& cv, const LocalSpace& sp, float x, float y, float w, float h, Rgba color) {
  if (!(w >= MinExtent && h >= MinExtent) || color.a <= 0) return;
  const float ra = w / 2, rb = h / 2;
  const SoftEllipseShape shape(1 / (ra * ra), 1 / (rb * rb), static_cast<float>(color.a));
  fillEllipseWith(cv, sp, x + ra, y + rb, ra, rb, 0, spanFill(sp, oneLayer(shape), color));
}

void fillSoftEllipsePair(Canvas& cv, const LocalSpace& sp, float x, float cy, float w, float outerH, Rgba outer,
                         float innerH, Rgba inner) {
  if (outer.a <= 0 || inner.a <= 0 || !(innerH >= MinExtent) || !(innerH <= outerH)) {
    fillSoftEllipse(cv, sp, x, cy - outerH / 2, w, outerH, outer);
    fillSoftEllipse(cv, sp, x, cy - innerH / 2, w, innerH, inner);
    return;
  }
  if (!(w >= MinExtent)) return;
  const float ra = w / 2, rb = outerH / 2, rbi = innerH / 2;
  const SoftEllipseShape outerShape(1 / (ra * ra), 1 / (rb * rb), static_cast<float>(outer.a));
  const SoftEllipseShape innerShape(1 / (ra * ra), 1 / (rbi * rbi), static_cast<float>(inner.a));
  fillEllipseWith(cv, sp, x + ra, cy, ra, rb, 0, spanFill(sp, twoLayers(outerShape, innerShape), outer, inner));
}

void fillEllipse(Canvas& cv, const LocalSpace& sp, float x, float y, float w, float h, Rgba color) {
  if (!(w >= MinExtent && h >= MinExtent) || color.a <= 0) return;
  const float ra = w / 2, rb = h / 2;
  // Tiny ellipses cover little of a pixel, whatever the distance says.
  const SolidEllipseShape shape(EllipseDistance(ra, rb), std::min(1.0f, w) * std::min(1.0f, h),
                                static_cast<float>(color.a));
  fillEllipseWith(cv, sp, x + ra, y + rb, ra, rb, 0.75f, spanFill(sp, oneLayer(shape), color));
}

namespace {

// An outline's row: the ring between the outer ellipse and the hollow one inside it, one span
// or, where the hollow cuts the row, two.
struct OutlineSpans {
  const EllipseRows& rows;
  const EllipseRows& hollowRows;
  bool hollow;
  int32_t X0, X1;
  int spans(float Y, int32_t* cols) const {
    float ua, ub, ha = 0, hb = -1;
    int32_t xa, xb, ha0, hb0;
    if (!rows.row(Y, ua, ub)) return 0;
    if (!rowColumns(ua, ub, X0, X1, xa, xb)) return 0;
    if (hollow && hollowRows.row(Y, ha, hb) && rowColumns(ha, hb, xa, xb, ha0, hb0)) {
      cols[0] = xa; cols[1] = ha0; cols[2] = hb0; cols[3] = xb;
      return 2;
    }
    cols[0] = xa; cols[1] = xb;
    return 1;
  }
};

}  // namespace

void drawEllipseOutline(Canvas& cv, float x, float y, float w, float h, float penWidth, Rgba color) {
  if (!(w > 0 && h > 0) || color.a <= 0) return;
  const float half = std::max(penWidth, 1.0f) / 2;
  const float cx = x + w / 2, cy = y + h / 2;
  // The pen draws a dot around a tiny ring all the same: its radii are held at MinExtent / 2,
  // which moves no pixel's distance to the pen visibly, so that none is the square of a tiny one.
  const float ra = std::max(w / 2, MinExtent / 2), rb = std::max(h / 2, MinExtent / 2);
  const float outer = half + 0.75f;
  int32_t X0, Y0, X1, Y1;
  if (!clipBox(cv, cx - ra - outer, cy - rb - outer, cx + ra + outer, cy + rb + outer, X0, Y0, X1, Y1)) return;
  touch(cv, X0, Y0, X1, Y1);
  const LocalSpace sp = frameSpace();
  const auto fill = spanFill(sp, oneLayer(OutlineShape(EllipseDistance(ra, rb), half, static_cast<float>(color.a))), color);
  // Inside this smaller ellipse the pen cannot reach: rows skip it.
  const float ira = ra - outer, irb = rb - outer;
  const bool hollow = ira > 0 && irb > 0;
  const EllipseRows rows(sp, cx, cy, ra + outer, rb + outer);
  const EllipseRows hollowRows(sp, cx, cy, hollow ? ira : 1, hollow ? irb : 1);
  walkRows(cv, Y0, Y1, OutlineSpans{rows, hollowRows, hollow, X0, X1}, sp, cx, cy, fill);
}

// The rows of a local box centred on (cx, cy) whose coverage reaches half a pixel beyond its
// sides at half sizes mx - 0.5, my - 0.5, blended by `fill`.
template <typename Layers>
static void boxRows(Canvas& cv, const LocalSpace& sp, float cx, float cy, float mx, float my,
                    const SpanFill<Layers>& fill) {
  const float ax = std::fabs(sp.c) * mx + std::fabs(sp.s) * my;
  const float ay = std::fabs(sp.s) * mx + std::fabs(sp.c) * my;
  const float fcx = sp.ox + sp.c * cx - sp.s * cy, fcy = sp.oy + sp.s * cx + sp.c * cy;
  int32_t X0, Y0, X1, Y1;
  if (!clipBox(cv, fcx - ax, fcy - ay, fcx + ax, fcy + ay, X0, Y0, X1, Y1)) return;
  touch(cv, X0, Y0, X1, Y1);
  const BoxRows rows(sp, cx, cy, mx, my);
  walkRows(cv, Y0, Y1, RowSpans<BoxRows>{rows, X0, X1}, sp, cx, cy, fill);
}

// A local box centred on (cx, cy) with half sizes hx, hy, anti-aliased on all four sides; with
// innerHy, a second box as long but thinner drawn over it in innerColor in the same pass.
static void fillBox(Canvas& cv, const LocalSpace& sp, float cx, float cy, float hx, float hy, Rgba color,
                    float innerHy = 0, Rgba innerColor = Rgba{0, 0, 0, 0}) {
  if (!(hx > 0 && hy > 0) || color.a <= 0) return;
  const float mx = hx + 0.5f, my = hy + 0.5f;  // coverage reaches half a pixel beyond the sides
  if (innerHy > 0)
    boxRows(cv, sp, cx, cy, mx, my,
            spanFill(sp, BoxPairLayers(hx, hy, static_cast<float>(color.a), innerHy, static_cast<float>(innerColor.a)),
                     color, innerColor));
  else
    boxRows(cv, sp, cx, cy, mx, my, spanFill(sp, BoxLayer(hx, hy, static_cast<float>(color.a)), color));
}

void fillRectangle(Canvas& cv, const LocalSpace& sp, float x, float y, float w, float h, Rgba color) {
  if (!(w > 0 && h > 0)) return;
  fillBox(cv, sp, x + w / 2, y + h / 2, w / 2, h / 2, color);
}

// A line is a box in a space turned along it, centred on its midpoint; false for a zero length.
// The line's direction (lc, ls), midpoint (mx, my) and half length in its local space: the part
// of lineSpace that does not depend on the space.
struct LineFrame {
  float lc, ls, mx, my, halfLength;
};
static bool lineFrame(float x0, float y0, float x1, float y1, LineFrame& f) {
  const float dx = x1 - x0, dy = y1 - y0;
  const float len = std::sqrt(dx * dx + dy * dy);
  if (!(len > 0)) return false;
  f = LineFrame{dx / len, dy / len, (x0 + x1) / 2, (y0 + y1) / 2, len / 2};
  return true;
}
static LocalSpace alongLine(const LocalSpace& sp, const LineFrame& f) {
  LocalSpace along;
  along.ox = sp.ox + sp.c * f.mx - sp.s * f.my;
  along.oy = sp.oy + sp.s * f.mx + sp.c * f.my;
  along.c = sp.c * f.lc - sp.s * f.ls;
  along.s = sp.s * f.lc + sp.c * f.ls;
  return along;
}
static bool lineSpace(const LocalSpace& sp, float x0, float y0, float x1, float y1, LocalSpace& along,
                      float& halfLength) {
  LineFrame f;
  if (!lineFrame(x0, y0, x1, y1, f)) return false;
  along = alongLine(sp, f);
  halfLength = f.halfLength;
  return true;
}

void drawLine(Canvas& cv, const LocalSpace& sp, float x0, float y0, float x1, float y1, float width, Rgba color) {
  LocalSpace along;
  float half;
  if (lineSpace(sp, x0, y0, x1, y1, along, half)) fillBox(cv, along, 0, 0, half, std::max(width, 1.0f) / 2, color);
}

void drawLinePair(Canvas& cv, const LocalSpace& sp, float x0, float y0, float x1, float y1, float outerWidth,
                  Rgba outer, float innerWidth, Rgba inner) {
  const float ow = std::max(outerWidth, 1.0f), iw = std::max(innerWidth, 1.0f);
  if (outer.a <= 0 || inner.a <= 0 || !(iw <= ow)) {
    drawLine(cv, sp, x0, y0, x1, y1, outerWidth, outer);
    drawLine(cv, sp, x0, y0, x1, y1, innerWidth, inner);
    return;
  }
  LocalSpace along;
  float half;
  if (lineSpace(sp, x0, y0, x1, y1, along, half)) fillBox(cv, along, 0, 0, half, ow / 2, outer, iw / 2, inner);
}

#if defined(LUMIVEX_AVX2)
// drawLinePairs' lines on eight lanes: boxRows and walkRows8 per line, with what the lines share
// (layers, colours, their eight-lane constants) set up once for all of them.
AVX2_FN static void linePairs8(Canvas& cv, const LocalSpace* spaces, int32_t count, const LineFrame& f,
                               SpanFill<BoxPairLayers> fill) {
  typename SpanFill<BoxPairLayers>::Lanes8 lanes = fill.lanes8();
  const float mx = fill.layers.bx.reach, my = fill.layers.by.reach;  // half sizes + 0.5
  for (int32_t k = 0; k < count; ++k) {
    const LocalSpace along = alongLine(spaces[k], f);
    const float ax = std::fabs(along.c) * mx + std::fabs(along.s) * my;
    const float ay = std::fabs(along.s) * mx + std::fabs(along.c) * my;
    const float fcx = along.ox + along.c * 0 - along.s * 0, fcy = along.oy + along.s * 0 + along.c * 0;
    int32_t X0, Y0, X1, Y1;
    if (!clipBox(cv, fcx - ax, fcy - ay, fcx + ax, fcy + ay, X0, Y0, X1, Y1)) continue;
    touch(cv, X0, Y0, X1, Y1);
    fill.turn(along);
    lanes.kx = _mm256_set1_ps(fill.kx);
    lanes.ky = _mm256_set1_ps(fill.ky);
    const BoxRows rows(along, 0, 0, mx, my);
    boxWalk8(cv.pixels, cv.width, Y0, Y1, BoxRows8(rows, X0, X1), along, fill, lanes);
  }
}
#endif

void drawLinePairs(Canvas& cv, const LocalSpace* spaces, int32_t count, float x0, float y0, float x1, float y1,
                   float outerWidth, Rgba outer, float innerWidth, Rgba inner) {
  const float ow = std::max(outerWidth, 1.0f), iw = std::max(innerWidth, 1.0f);
  LineFrame f;
  if (outer.a <= 0 || inner.a <= 0 || !(iw <= ow) || !lineFrame(x0, y0, x1, y1, f) || !(f.halfLength > 0)) {
    for (int32_t k = 0; k < count; ++k)
      drawLinePair(cv, spaces[k], x0, y0, x1, y1, outerWidth, outer, innerWidth, inner);
    return;
  }
  // What drawLinePair and fillBox work out per line is the same for all but the turn.
  const float hy = ow / 2, innerHy = iw / 2;
  const float hx = f.halfLength;
  const LocalSpace first = alongLine(spaces[0], f);
  auto fill = spanFill(first, BoxPairLayers(hx, hy, static_cast<float>(outer.a), innerHy, static_cast<float>(inner.a)),
                       outer, inner);
#if defined(LUMIVEX_AVX2)
  if (gRasterLanes == 8) {
    linePairs8(cv, spaces, count, f, fill);
    return;
  }
#endif
  for (int32_t k = 0; k < count; ++k) {
    const LocalSpace along = alongLine(spaces[k], f);
    fill.turn(along);
    boxRows(cv, along, 0, 0, hx + 0.5f, hy + 0.5f, fill);
  }
}

namespace {

// One sprite drawn through a tint: the constants of its rows and the pixels of one row, four or
// (with AVX2) eight at a time. Lanes outside the destination rectangle (a group may run past the
// span) get alpha 0.
struct SpriteFill {
  const LocalSpace& sp;
  const SpriteImage& sprite;
  int32_t dx, dy, dw, dh;  // destination rectangle in local space, pixels
  float scaleX, scaleY;    // texels per destination pixel
  uint32_t ta, tr, tg, tb;  // tint

  // Pixels [xa, xb) of a row; lx = c u + px, ly = -s u + py along it.
  void tail(uint32_t* row, int32_t X, int32_t xb, float px, float py) const {
    for (; X < xb; ++X) {
      const float u = X - sp.ox;
      const float lx = sp.c * u + px, ly = -sp.s * u + py;
      if (lx < 0 || ly < 0 || lx >= dw || ly >= dh) continue;  // half-open destination rectangle
      const int32_t sx = std::min(static_cast<int32_t>(lx * scaleX), sprite.width - 1);
      const int32_t sy = std::min(static_cast<int32_t>(ly * scaleY), sprite.height - 1);
      const uint32_t t = sprite.pixels[static_cast<size_t>(sy) * sprite.width + sx];
      const uint32_t a = div255((t >> 24) * ta);
      if (!a) continue;
      blendPixel(row + X, a, div255(((t >> 16) & 255) * tr), div255(((t >> 8) & 255) * tg),
                 div255((t & 255) * tb));
    }
  }

#if defined(__SSE2__)
  void fill4(uint32_t* row, int32_t width, int32_t xa, int32_t xb, float px, float py) const {
    int32_t X = xa;
    // Texels fetched one by one, tint and blend in vector lanes.
    const int32_t padded = xa + ((xb - xa + 3) & ~3);
    const int32_t end = padded <= width ? padded : xa + ((xb - xa) & ~3);
    const __m128 c4 = _mm_set1_ps(sp.c), ns4 = _mm_set1_ps(-sp.s), px4 = _mm_set1_ps(px), py4 = _mm_set1_ps(py);
    const __m128 zero = _mm_setzero_ps(), w4 = _mm_set1_ps(static_cast<float>(dw)), h4 = _mm_set1_ps(static_cast<float>(dh));
    const __m128 sx4 = _mm_set1_ps(scaleX), sy4 = _mm_set1_ps(scaleY);
    const __m128 maxX = _mm_set1_ps(static_cast<float>(sprite.width - 1)), maxY = _mm_set1_ps(static_cast<float>(sprite.height - 1));
    const __m128i tint16 = _mm_setr_epi16(static_cast<short>(tb), static_cast<short>(tg), static_cast<short>(tr),
                                          static_cast<short>(ta), static_cast<short>(tb), static_cast<short>(tg),
                                          static_cast<short>(tr), static_cast<short>(ta));
    const __m128i keepColor = _mm_setr_epi16(-1, -1, -1, 0, -1, -1, -1, 0), opaque = _mm_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255);
    for (; X + 4 <= end; X += 4) {
      const __m128 u = _mm_add_ps(_mm_set1_ps(static_cast<float>(X) - sp.ox), _mm_setr_ps(0, 1, 2, 3));
      const __m128 lx = _mm_add_ps(_mm_mul_ps(c4, u), px4), ly = _mm_add_ps(_mm_mul_ps(ns4, u), py4);
      const __m128 inside = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(lx, zero), _mm_cmpge_ps(ly, zero)),
                                       _mm_and_ps(_mm_cmplt_ps(lx, w4), _mm_cmplt_ps(ly, h4)));
      const int lanes = _mm_movemask_ps(inside);
      if (!lanes) continue;
      // Texel indices, clamped so that lanes outside still read inside the picture.
      alignas(16) int32_t sx[4], sy[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(sx),
                      _mm_cvttps_epi32(_mm_max_ps(_mm_min_ps(_mm_mul_ps(lx, sx4), maxX), zero)));
      _mm_store_si128(reinterpret_cast<__m128i*>(sy),
                      _mm_cvttps_epi32(_mm_max_ps(_mm_min_ps(_mm_mul_ps(ly, sy4), maxY), zero)));
      const uint32_t* texels = sprite.pixels;
      const size_t stride = static_cast<size_t>(sprite.width);
      const __m128i t = _mm_setr_epi32(static_cast<int>(texels[sy[0] * stride + sx[0]]),
                                       static_cast<int>(texels[sy[1] * stride + sx[1]]),
                                       static_cast<int>(texels[sy[2] * stride + sx[2]]),
                                       static_cast<int>(texels[sy[3] * stride + sx[3]]));
      const __m128i z = _mm_setzero_si128();
      // Tinted straight colour and alpha per pixel: texel x tint / 255.
      const __m128i lo = div255x16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, z), tint16));
      const __m128i hi = div255x16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, z), tint16));
      // Alphas to int32 lanes: each pixel's alpha is the top 16 bits of its 64-bit half.
      const __m128i a01 = _mm_shuffle_epi32(_mm_srli_epi64(lo, 48), _MM_SHUFFLE(3, 3, 2, 0));
      const __m128i a23 = _mm_shuffle_epi32(_mm_srli_epi64(hi, 48), _MM_SHUFFLE(3, 3, 2, 0));
      const __m128i alpha = _mm_and_si128(_mm_unpacklo_epi64(a01, a23), _mm_castps_si128(inside));
      if (allZero(alpha)) continue;  // transparent texels change nothing
      const __m128i colorLo = _mm_or_si128(_mm_and_si128(lo, keepColor), opaque);
      const __m128i colorHi = _mm_or_si128(_mm_and_si128(hi, keepColor), opaque);
      __m128i* p = reinterpret_cast<__m128i*>(row + X);
      _mm_storeu_si128(p, blend4(_mm_loadu_si128(p), alpha, colorLo, colorHi));
    }
    tail(row, X, xb, px, py);
  }
#else
  void fill4(uint32_t* row, int32_t, int32_t xa, int32_t xb, float px, float py) const { tail(row, xa, xb, px, py); }
#endif

};

// The rows of a sprite: BoxRows over its destination rectangle, pixels from SpriteFill.
inline void spriteRows4(Canvas& cv, int32_t Y0, int32_t Y1, const RowSpans<BoxRows>& spans, const SpriteFill& f) {
#if !defined(__SSE2__)
  for (int32_t Y = Y0; Y < Y1; ++Y) {
    int32_t cols[2];
    if (!spans.spans(static_cast<float>(Y), cols)) continue;
    const float v = Y - f.sp.oy;
    f.fill4(cv.pixels + static_cast<size_t>(Y) * cv.width, cv.width, cols[0], cols[1], f.sp.s * v - f.dx,
            f.sp.c * v - f.dy);
  }
#else
  const BoxRows4 boxRows4(spans.rows, spans.X0, spans.X1);
  for (int32_t Y = Y0; Y < Y1; Y += 4) {
    int32_t xa[4], xb[4];
    float p1[4], p2[4];
    int rows = boxRows4.rows(Y, xa, xb, p1, p2);
    if (Y1 - Y < 4) rows &= (1 << (Y1 - Y)) - 1;
    for (; rows; rows &= rows - 1) {
      const int k = __builtin_ctz(static_cast<unsigned>(rows));
      const float v = (Y + k) - f.sp.oy;
      f.fill4(cv.pixels + static_cast<size_t>(Y + k) * cv.width, cv.width, xa[k], xb[k], f.sp.s * v - f.dx,
              f.sp.c * v - f.dy);
    }
  }
#endif
}

#if defined(LUMIVEX_AVX2)
// The vector constants of one sprite's eight-pixel groups. They live in a local record worked
// out once per sprite rather than in SpriteFill: row stores through a uint32_t pointer may alias
// SpriteFill's fields as far as the compiler knows, so it would reload and rebroadcast them on
// every row, which costs as much as a short row's pixels.
struct SpriteLanes8 {
  __m256 c, ns, zero, w, h, scaleX, scaleY, maxX, maxY, steps, ox8, eight;
  __m256i stride, tint16, spreadAlpha, opaque;
  Blend8 blend;
  const int* texels;
};

AVX2_INLINE SpriteLanes8 spriteLanes8(const SpriteFill& f) {
  SpriteLanes8 k;
  k.c = _mm256_set1_ps(f.sp.c);
  k.ns = _mm256_set1_ps(-f.sp.s);
  k.zero = _mm256_setzero_ps();
  k.w = _mm256_set1_ps(static_cast<float>(f.dw));
  k.h = _mm256_set1_ps(static_cast<float>(f.dh));
  k.scaleX = _mm256_set1_ps(f.scaleX);
  k.scaleY = _mm256_set1_ps(f.scaleY);
  k.maxX = _mm256_set1_ps(static_cast<float>(f.sprite.width - 1));
  k.maxY = _mm256_set1_ps(static_cast<float>(f.sprite.height - 1));
  k.steps = _mm256_setr_ps(0, 1, 2, 3, 0, 1, 2, 3);
  k.stride = _mm256_set1_epi32(f.sprite.width);
  const short tb = static_cast<short>(f.tb), tg = static_cast<short>(f.tg), tr = static_cast<short>(f.tr),
              ta = static_cast<short>(f.ta);
  k.tint16 = _mm256_setr_epi16(tb, tg, tr, ta, tb, tg, tr, ta, tb, tg, tr, ta, tb, tg, tr, ta);
  // Each pixel's 16-bit alpha (bytes 6 and 7 of its 64 bits) into all four of its 16-bit lanes.
  k.spreadAlpha = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15,
                                   6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
  k.opaque = _mm256_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255);
  k.ox8 = _mm256_set1_ps(f.sp.ox);
  k.eight = _mm256_set1_ps(8.0f);
  k.blend = blend8Constants();
  k.texels = reinterpret_cast<const int*>(f.sprite.pixels);
  return k;
}

// The texels of one group of spriteSpan8 (its columns X and X + 4 as floats): eight lanes, or
// with `single` the low four alone; 0 in the lanes outside the destination rectangle.
template <bool single>
AVX2_INLINE __m256i spriteTexels8(const SpriteLanes8& k, __m256 columns, __m256 px8, __m256 py8) {
  const __m256 u = _mm256_add_ps(_mm256_sub_ps(columns, k.ox8), k.steps);
  const __m256 lx = _mm256_add_ps(_mm256_mul_ps(k.c, u), px8), ly = _mm256_add_ps(_mm256_mul_ps(k.ns, u), py8);
  // lx >= 0 and ly >= 0 as one test of the smaller (a NaN lx gives ly, but fails lx < w).
  __m256 inside = _mm256_and_ps(_mm256_cmp_ps(_mm256_min_ps(lx, ly), k.zero, _CMP_GE_OQ),
                                _mm256_and_ps(_mm256_cmp_ps(lx, k.w, _CMP_LT_OQ), _mm256_cmp_ps(ly, k.h, _CMP_LT_OQ)));
  if (single) inside = _mm256_and_ps(inside, _mm256_castsi256_ps(_mm256_setr_epi32(-1, -1, -1, -1, 0, 0, 0, 0)));
  if (!_mm256_movemask_ps(inside)) return _mm256_setzero_si256();
  // Only the lanes inside are fetched: their offsets are at least 0 (a product of two
  // non-negative floats truncates to 0 or more), so they need the upper clamp alone; the lanes
  // outside read nothing and keep 0.
  const __m256i sx = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_mul_ps(lx, k.scaleX), k.maxX));
  const __m256i sy = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_mul_ps(ly, k.scaleY), k.maxY));
  return _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), k.texels,
                                     _mm256_add_epi32(_mm256_mullo_epi32(sy, k.stride), sx),
                                     _mm256_castps_si256(inside), 4);
}

// Where a group's eight pixels are: eight in a row, the low four alone, or four and four in two rows.
enum class SpriteGroup { Eight, Four, Pair };

// The texels t of one group tinted and blended at `at` (and for a pair, the high four at `high`).
template <SpriteGroup shape>
AVX2_INLINE void spriteBlend8(const SpriteLanes8& k, uint32_t* at, uint32_t* high, __m256i t) {
  // A texel of alpha 0 gives alpha 0 whatever the tint: a group of those changes nothing, and
  // is known before the tint is worked out (the corners of a round sprite are such groups).
  if (_mm256_testz_si256(t, _mm256_set1_epi32(-16777216))) return;
  const __m256i z = _mm256_setzero_si256();
  const __m256i lo = div255x16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(t, z), k.tint16), k.blend);
  const __m256i hi = div255x16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(t, z), k.tint16), k.blend);
  // The tinted alphas (0 outside, where no texel was read) sit in the fourth 16-bit lane of
  // each pixel, as the blend wants them: spread over the pixel's lanes where they are.
  if (_mm256_testz_si256(_mm256_or_si256(lo, hi), k.opaque)) return;  // transparent texels change nothing
  const __m256i aLo = _mm256_shuffle_epi8(lo, k.spreadAlpha), aHi = _mm256_shuffle_epi8(hi, k.spreadAlpha);
  const __m256i colorLo = _mm256_blend_epi16(lo, k.opaque, 0x88), colorHi = _mm256_blend_epi16(hi, k.opaque, 0x88);
  if (shape == SpriteGroup::Eight) {
    __m256i* p = reinterpret_cast<__m256i*>(at);
    _mm256_storeu_si256(p, narrow8(blendSpread8(widen8(_mm256_loadu_si256(p)), aLo, aHi, colorLo, colorHi, k.blend)));
    return;
  }
  __m128i* p = reinterpret_cast<__m128i*>(at);
  __m128i* q = reinterpret_cast<__m128i*>(high);
  const __m128i d = _mm_loadu_si128(p);
  const __m256i both = shape == SpriteGroup::Pair ? _mm256_setr_m128i(d, _mm_loadu_si128(q))
                                                   : _mm256_inserti128_si256(_mm256_setzero_si256(), d, 0);
  const __m256i out = narrow8(blendSpread8(widen8(both), aLo, aHi, colorLo, colorHi, k.blend));
  _mm_storeu_si128(p, _mm256_castsi256_si128(out));
  if (shape == SpriteGroup::Pair) _mm_storeu_si128(q, _mm256_extracti128_si256(out, 1));
}

// Groups whose texels are fetched before any of them is blended: a gather takes long to arrive,
// and fetched some groups ahead it arrives while earlier groups blend. A sprite's pixels are each
// drawn once, so its groups may be blended in any order; the queues are emptied before the
// sprite is done. A row whose span ends in a lone group of four hands it to the next such row,
// and the two go as one group: lanes 0-3 the first row's, 4-7 the second's.
constexpr int32_t SpriteQueue = 16;
struct SpriteGroups {
  __m256i texels[SpriteQueue], pairTexels[SpriteQueue];
  uint32_t* pixels[SpriteQueue];
  uint32_t* pairPixels[SpriteQueue][2];
  int32_t count, pairs;
  uint32_t* waiting;  // the lone group of four waiting for another, or null
  float waitingColumn, waitingPx, waitingPy;
};

AVX2_INLINE void blendQueued(const SpriteLanes8& k, SpriteGroups& q) {
  for (int32_t j = 0; j < q.count; ++j) spriteBlend8<SpriteGroup::Eight>(k, q.pixels[j], nullptr, q.texels[j]);
  q.count = 0;
}

AVX2_INLINE void blendQueuedPairs(const SpriteLanes8& k, SpriteGroups& q) {
  for (int32_t j = 0; j < q.pairs; ++j)
    spriteBlend8<SpriteGroup::Pair>(k, q.pairPixels[j][0], q.pairPixels[j][1], q.pairTexels[j]);
  q.pairs = 0;
}

AVX2_INLINE void queueGroup(const SpriteLanes8& k, SpriteGroups& q, uint32_t* pixels, __m256i texels) {
  q.texels[q.count] = texels;
  q.pixels[q.count] = pixels;
  if (++q.count == SpriteQueue) blendQueued(k, q);
}

// SpriteFill::fill4 eight pixels at a time (two groups of four, each with its own origin as
// there), texels fetched by one gather; at most one last group of four, paired with another
// row's; then the tail as there.
// `end` is where the groups of four stop: xa plus the span rounded up to whole groups, or down
// where that would run past the row.
AVX2_INLINE void spriteSpan8(const SpriteLanes8& k, SpriteGroups& q, const SpriteFill& f, uint32_t* row,
                             int32_t xa, int32_t xb, int32_t end, float px, float py) {
  const __m256 px8 = _mm256_set1_ps(px), py8 = _mm256_set1_ps(py);
  int32_t X = xa;
  // X and X + 4 as floats, stepped by 8: exact for columns below 2^24, so each group's origin
  // (X - ox) is the same single rounding as converting X and subtracting.
  __m256 columns = _mm256_setr_m128(_mm_set1_ps(static_cast<float>(X)), _mm_set1_ps(static_cast<float>(X + 4)));
  for (; X + 8 <= end; X += 8, columns = _mm256_add_ps(columns, k.eight))
    queueGroup(k, q, row + X, spriteTexels8<false>(k, columns, px8, py8));
  // end - xa is a multiple of four, so a last single group ends at end.
  if (X + 4 <= end) {
    if (!q.waiting) {
      q.waiting = row + X;
      q.waitingColumn = static_cast<float>(X);
      q.waitingPx = px;
      q.waitingPy = py;
    } else {
      const __m256 pairColumns = _mm256_setr_m128(_mm_set1_ps(q.waitingColumn), _mm_set1_ps(static_cast<float>(X)));
      const __m256 pairPx = _mm256_setr_m128(_mm_set1_ps(q.waitingPx), _mm_set1_ps(px));
      const __m256 pairPy = _mm256_setr_m128(_mm_set1_ps(q.waitingPy), _mm_set1_ps(py));
      q.pairTexels[q.pairs] = spriteTexels8<false>(k, pairColumns, pairPx, pairPy);
      q.pairPixels[q.pairs][0] = q.waiting;
      q.pairPixels[q.pairs][1] = row + X;
      q.waiting = nullptr;
      if (++q.pairs == SpriteQueue) blendQueuedPairs(k, q);
    }
    X += 4;
  }
  if (X < xb) f.tail(row, X, xb, px, py);
}

AVX2_FN void spriteRows8(Canvas& cv, int32_t Y0, int32_t Y1, const RowSpans<BoxRows>& spans, const SpriteFill& f) {
  const SpriteLanes8 k = spriteLanes8(f);
  const float s = f.sp.s, c = f.sp.c, oy = f.sp.oy, dx = static_cast<float>(f.dx), dy = static_cast<float>(f.dy);
  uint32_t* const pixels = cv.pixels;
  const int32_t width = cv.width;
  const BoxRows8 boxRows8(spans.rows, spans.X0, spans.X1);
  const __m256 s8 = _mm256_set1_ps(s), c8 = _mm256_set1_ps(c), oy8 = _mm256_set1_ps(oy);
  const __m256 dx8 = _mm256_set1_ps(dx), dy8 = _mm256_set1_ps(dy);
  const __m256i width8 = _mm256_set1_epi32(width), fourMultiple = _mm256_set1_epi32(~3);
  SpriteGroups q;
  q.count = q.pairs = 0;
  q.waiting = nullptr;
  q.waitingColumn = q.waitingPx = q.waitingPy = 0;
  for (int32_t Y = Y0; Y < Y1; Y += 8) {
    alignas(32) int32_t xa[8], xb[8];
    alignas(32) float p1[8], p2[8], px[8], py[8];
    int rows = boxRows8.rows(Y, xa, xb, p1, p2);
    if (Y1 - Y < 8) rows &= (1 << (Y1 - Y)) - 1;
    // Each row's linear forms, (Y + r - oy) s - dx and (Y + r - oy) c - dy, eight rows at once.
    const __m256 v =
        _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(Y), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))), oy8);
    _mm256_store_ps(px, _mm256_sub_ps(_mm256_mul_ps(s8, v), dx8));
    _mm256_store_ps(py, _mm256_sub_ps(_mm256_mul_ps(c8, v), dy8));
    // Where each row's groups end (see spriteSpan8), eight rows at once.
    alignas(32) int32_t end[8];
    {
      const __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(xa));
      const __m256i span = _mm256_sub_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(xb)), a);
      const __m256i up = _mm256_add_epi32(a, _mm256_and_si256(_mm256_add_epi32(span, _mm256_set1_epi32(3)), fourMultiple));
      const __m256i down = _mm256_add_epi32(a, _mm256_and_si256(span, fourMultiple));
      _mm256_store_si256(reinterpret_cast<__m256i*>(end), _mm256_blendv_epi8(up, down, _mm256_cmpgt_epi32(up, width8)));
    }
    for (; rows; rows &= rows - 1) {
      const int r = __builtin_ctz(static_cast<unsigned>(rows));
      spriteSpan8(k, q, f, pixels + static_cast<size_t>(Y + r) * width, xa[r], xb[r], end[r], px[r], py[r]);
    }
  }
  blendQueued(k, q);
  blendQueuedPairs(k, q);
  if (q.waiting) {
    const __m256 columns = _mm256_setr_m128(_mm_set1_ps(q.waitingColumn), _mm_set1_ps(q.waitingColumn + 4));
    spriteBlend8<SpriteGroup::Four>(
        k, q.waiting, nullptr,
        spriteTexels8<true>(k, columns, _mm256_set1_ps(q.waitingPx), _mm256_set1_ps(q.waitingPy)));
  }
}
#endif

}  // namespace

void drawSprite(Canvas& cv, const LocalSpace& sp, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                const SpriteImage& sprite, Rgba tint) {
  if (dw <= 0 || dh <= 0 || tint.a <= 0 || !sprite.pixels || sprite.width <= 0 || sprite.height <= 0) return;
  const float hx = dw / 2.0f, hy = dh / 2.0f, cx = dx + hx, cy = dy + hy;
  const float ax = std::fabs(sp.c) * hx + std::fabs(sp.s) * hy;
  const float ay = std::fabs(sp.s) * hx + std::fabs(sp.c) * hy;
  const float fcx = sp.ox + sp.c * cx - sp.s * cy, fcy = sp.oy + sp.s * cx + sp.c * cy;
  int32_t X0, Y0, X1, Y1;
  if (!clipBox(cv, fcx - ax, fcy - ay, fcx + ax, fcy + ay, X0, Y0, X1, Y1)) return;
  touch(cv, X0, Y0, X1, Y1);
  const SpriteFill f{sp,
                     sprite,
                     dx,
                     dy,
                     dw,
                     dh,
                     static_cast<float>(sprite.width) / dw,
                     static_cast<float>(sprite.height) / dh,
                     static_cast<uint32_t>(tint.a),
                     static_cast<uint32_t>(tint.r),
                     static_cast<uint32_t>(tint.g),
                     static_cast<uint32_t>(tint.b)};
  const BoxRows rows(sp, cx, cy, hx, hy);
  const RowSpans<BoxRows> spans{rows, X0, X1};
#if defined(LUMIVEX_AVX2)
  if (gRasterLanes == 8) {
    spriteRows8(cv, Y0, Y1, spans, f);
    return;
  }
#endif
  spriteRows4(cv, Y0, Y1, spans, f);
}

#if defined(LUMIVEX_AVX2)
// brightenRect's rows eight pixels at a time; the rest as there.
AVX2_FN static void brightenRows8(Canvas& cv, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const __m256i colorMask = _mm256_set1_epi32(0x00FFFFFF), cap = _mm256_set1_epi32(255);
  for (int32_t y = y0; y < y1; ++y) {
    uint32_t* row = cv.pixels + static_cast<size_t>(y) * cv.width;
    int32_t x = x0;
    for (; x + 8 <= x1; x += 8) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
      if (_mm256_testz_si256(v, v)) continue;  // clear pixels
      const __m256i a = _mm256_srli_epi32(v, 24);
      const __m256i raised = _mm256_min_epi32(_mm256_add_epi32(a, _mm256_srli_epi32(a, 2)), cap);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x),
                          _mm256_or_si256(_mm256_and_si256(v, colorMask), _mm256_slli_epi32(raised, 24)));
    }
    for (; x < x1; ++x) {
      const uint32_t v = row[x], a = v >> 24;
      if (a) row[x] = (std::min(255u, a + a / 4) << 24) | (v & 0x00FFFFFFu);
    }
  }
}
#endif

void brightenRect(Canvas& cv, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  x0 = std::max(x0, 0); y0 = std::max(y0, 0);
  x1 = std::min(x1, cv.width); y1 = std::min(y1, cv.height);
#if defined(LUMIVEX_AVX2)
  if (gRasterLanes == 8) {
    brightenRows8(cv, x0, y0, x1, y1);
    return;
  }
#endif
  for (int32_t y = y0; y < y1; ++y) {
    uint32_t* row = cv.pixels + static_cast<size_t>(y) * cv.width;
    int32_t x = x0;
#if defined(__SSE2__)
    const __m128i colorMask = _mm_set1_epi32(0x00FFFFFF), cap = _mm_set1_epi32(255);
    for (; x + 4 <= x1; x += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_setzero_si128())) == 0xFFFF) continue;  // clear pixels
      const __m128i a = _mm_srli_epi32(v, 24);
      __m128i raised = _mm_add_epi32(a, _mm_srli_epi32(a, 2));
      const __m128i over = _mm_cmpgt_epi32(raised, cap);
      raised = _mm_or_si128(_mm_andnot_si128(over, raised), _mm_and_si128(over, cap));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x),
                       _mm_or_si128(_mm_and_si128(v, colorMask), _mm_slli_epi32(raised, 24)));
    }
#endif
    for (; x < x1; ++x) {
      const uint32_t v = row[x], a = v >> 24;
      if (a) row[x] = (std::min(255u, a + a / 4) << 24) | (v & 0x00FFFFFFu);
    }
  }
}

