// Point3 and Matrix3 arithmetic, and the process-wide animation clock.
#include <cmath>

#include "matrix3.h"

float Length(const Point3& p) { return p.Length(); }
Point3 Normalize(const Point3& p) { return p.Normalize(); }
float DotProd(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point3 CrossProd(const Point3& a, const Point3& b) {
    return Point3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

Matrix3::Matrix3() : m{}, flags_(0) { IdentityMatrix(); }

Matrix3::Matrix3(BOOL init) : m{}, flags_(0) {
    if (init) {
        IdentityMatrix();
    }
}

Matrix3::Matrix3(const Point3& row0, const Point3& row1, const Point3& row2, const Point3& row3) : m{}, flags_(0) {
    SetRow(0, row0);
    SetRow(1, row1);
    SetRow(2, row2);
    SetRow(3, row3);
}

void Matrix3::IdentityMatrix() {
    Zero();
    m[0][0] = m[1][1] = m[2][2] = 1.0f;
    flags_ = MAT_IDENT;
}

void Matrix3::Zero() {
    for (auto& row : m) {
        row[0] = row[1] = row[2] = 0.0f;
    }
    flags_ = 0;
}

void Matrix3::SetRow(int i, const Point3& p) {
    m[i][0] = p.x;
    m[i][1] = p.y;
    m[i][2] = p.z;
    flags_ = 0;
}

Point3 Matrix3::GetRow(int i) const { return Point3(m[i][0], m[i][1], m[i][2]); }

void Matrix3::ValidateFlags() {
    flags_ = 0;
    if (m[3][0] == 0.0f && m[3][1] == 0.0f && m[3][2] == 0.0f) {
        flags_ |= POS_IDENT;
    }
    bool diagonal = true;
    bool unitDiagonal = true;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (r != c && m[r][c] != 0.0f) {
                diagonal = false;
            }
        }
        if (m[r][r] != 1.0f) {
            unitDiagonal = false;
        }
    }
    if (diagonal) {
        flags_ |= ROT_IDENT;
        if (unitDiagonal) {
            flags_ |= SCL_IDENT;
        }
    }
}

Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 result(FALSE);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            float sum = m[r][0] * b.m[0][c] + m[r][1] * b.m[1][c] + m[r][2] * b.m[2][c];
            if (r == 3) {
                sum += b.m[3][c];
            }
            result.m[r][c] = sum;
        }
    }
    result.ValidateFlags();
    return result;
}

Matrix3& Matrix3::operator*=(const Matrix3& b) {
    *this = *this * b;
    return *this;
}

bool Matrix3::operator==(const Matrix3& b) const {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (m[r][c] != b.m[r][c]) {
                return false;
            }
        }
    }
    return true;
}

Point3 Matrix3::PointTransform(const Point3& p) const {
    return Point3(p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
                  p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
                  p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]);
}

Point3 Matrix3::VectorTransform(const Point3& p) const {
    return Point3(p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0], p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1],
                  p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2]);
}

void Matrix3::Translate(const Point3& p) { *this *= TransMatrix(p); }
void Matrix3::RotateX(float angle) { *this *= RotateXMatrix(angle); }
void Matrix3::RotateY(float angle) { *this *= RotateYMatrix(angle); }
void Matrix3::RotateZ(float angle) { *this *= RotateZMatrix(angle); }
void Matrix3::Scale(const Point3& s) { *this *= ScaleMatrix(s); }

Point3 operator*(const Point3& p, const Matrix3& m) { return m.PointTransform(p); }

Matrix3 Inverse(const Matrix3& a) {
    // Cofactors of the 3x3 part, in double precision; the translation row follows from it.
    const double a00 = a.m[0][0], a01 = a.m[0][1], a02 = a.m[0][2];
    const double a10 = a.m[1][0], a11 = a.m[1][1], a12 = a.m[1][2];
    const double a20 = a.m[2][0], a21 = a.m[2][1], a22 = a.m[2][2];
    const double c00 = a11 * a22 - a12 * a21;
    const double c01 = a12 * a20 - a10 * a22;
    const double c02 = a10 * a21 - a11 * a20;
    const double det = a00 * c00 + a01 * c01 + a02 * c02;
    Matrix3 result;
    if (det == 0.0 || !std::isfinite(det)) {
        return result;
    }
    const double inv = 1.0 / det;
    double r[3][3];
    r[0][0] = c00 * inv;
    r[0][1] = (a02 * a21 - a01 * a22) * inv;
    r[0][2] = (a01 * a12 - a02 * a11) * inv;
    r[1][0] = c01 * inv;
    r[1][1] = (a00 * a22 - a02 * a20) * inv;
    r[1][2] = (a02 * a10 - a00 * a12) * inv;
    r[2][0] = c02 * inv;
    r[2][1] = (a01 * a20 - a00 * a21) * inv;
    r[2][2] = (a00 * a11 - a01 * a10) * inv;
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c) {
            result.m[row][c] = static_cast<float>(r[row][c]);
        }
    }
    // A point p maps to p*A + t; the inverse maps q to (q - t)*A^-1 = q*A^-1 - t*A^-1.
    for (int c = 0; c < 3; ++c) {
        const double t = a.m[3][0] * r[0][c] + a.m[3][1] * r[1][c] + a.m[3][2] * r[2][c];
        result.m[3][c] = static_cast<float>(-t);
    }
    result.ValidateFlags();
    return result;
}

Matrix3 TransMatrix(const Point3& p) {
    Matrix3 result;
    result.SetTrans(p);
    result.ValidateFlags();
    return result;
}

Matrix3 ScaleMatrix(const Point3& s) {
    Matrix3 result;
    result.m[0][0] = s.x;
    result.m[1][1] = s.y;
    result.m[2][2] = s.z;
    result.ValidateFlags();
    return result;
}

Matrix3 RotateXMatrix(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix3 result;
    result.m[1][1] = c;
    result.m[1][2] = s;
    result.m[2][1] = -s;
    result.m[2][2] = c;
    result.ValidateFlags();
    return result;
}

Matrix3 RotateYMatrix(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix3 result;
    result.m[0][0] = c;
    result.m[0][2] = -s;
    result.m[2][0] = s;
    result.m[2][2] = c;
    result.ValidateFlags();
    return result;
}

Matrix3 RotateZMatrix(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix3 result;
    result.m[0][0] = c;
    result.m[0][1] = s;
    result.m[1][0] = -s;
    result.m[1][1] = c;
    result.ValidateFlags();
    return result;
}

Matrix3 RotAngleAxisMatrix(const Point3& axis, float angle) {
    const Point3 u = axis.Normalize();
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float t = 1.0f - c;
    // Row-vector convention: a point p rotates to p * R, counter-clockwise about the axis.
    Matrix3 result;
    result.m[0][0] = t * u.x * u.x + c;
    result.m[0][1] = t * u.x * u.y + s * u.z;
    result.m[0][2] = t * u.x * u.z - s * u.y;
    result.m[1][0] = t * u.x * u.y - s * u.z;
    result.m[1][1] = t * u.y * u.y + c;
    result.m[1][2] = t * u.y * u.z + s * u.x;
    result.m[2][0] = t * u.x * u.z + s * u.y;
    result.m[2][1] = t * u.y * u.z - s * u.x;
    result.m[2][2] = t * u.z * u.z + c;
    result.ValidateFlags();
    return result;
}

namespace {
// 30 frames per second, the host's default: 160 ticks per frame.
int gFrameRate = 30;
int gTicksPerFrame = TIME_TICKSPERSEC / 30;
}  // namespace

int GetTicksPerFrame() { return gTicksPerFrame; }

void SetTicksPerFrame(int ticks) {
    if (ticks > 0) {
        gTicksPerFrame = ticks;
        gFrameRate = TIME_TICKSPERSEC / ticks;
    }
}

int GetFrameRate() { return gFrameRate; }

void SetFrameRate(int framesPerSecond) {
    if (framesPerSecond > 0 && framesPerSecond <= TIME_TICKSPERSEC) {
        gFrameRate = framesPerSecond;
        gTicksPerFrame = TIME_TICKSPERSEC / framesPerSecond;
    }
}
