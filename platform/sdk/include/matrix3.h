// Matrix3: the host's affine transform, three axis rows and a translation row. Points are row
// vectors and transform as point x matrix; M1 * M2 applies M1 first, then M2.
#ifndef MAXSDK_MATRIX3_H
#define MAXSDK_MATRIX3_H

#include "point3.h"

// Identity flags kept by ValidateFlags.
#define POS_IDENT 1
#define ROT_IDENT 2
#define SCL_IDENT 4
#define MAT_IDENT (POS_IDENT | ROT_IDENT | SCL_IDENT)

class MAXSDK_API Matrix3 {
public:
    Matrix3();                    // identity
    explicit Matrix3(BOOL init);  // identity when init is non-zero, zero otherwise
    Matrix3(const Point3& row0, const Point3& row1, const Point3& row2, const Point3& row3);

    void IdentityMatrix();
    void Zero();
    void SetRow(int i, const Point3& p);
    Point3 GetRow(int i) const;
    void SetTrans(const Point3& p) { SetRow(3, p); }
    Point3 GetTrans() const { return GetRow(3); }
    // Recomputes the identity flags from the rows.
    void ValidateFlags();
    DWORD GetIdentFlags() const { return flags_; }
    BOOL IsIdentity() const { return (flags_ & MAT_IDENT) == MAT_IDENT; }

    // this = this * m: this transform applied first, then m.
    Matrix3& operator*=(const Matrix3& m);
    Matrix3 operator*(const Matrix3& m) const;
    bool operator==(const Matrix3& m) const;

    // The point times the matrix, translation included.
    Point3 PointTransform(const Point3& p) const;
    // The vector times the three axis rows, without translation.
    Point3 VectorTransform(const Point3& p) const;

    // Pre-multiplies this transform by elementary ones (the new one applied last).
    void Translate(const Point3& p);
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    void Scale(const Point3& s);

    float m[4][3];

private:
    DWORD flags_;
};

MAXSDK_API Point3 operator*(const Point3& p, const Matrix3& m);
// The inverse of an affine transform; a singular matrix gives the identity.
MAXSDK_API Matrix3 Inverse(const Matrix3& m);
MAXSDK_API Matrix3 TransMatrix(const Point3& p);
MAXSDK_API Matrix3 ScaleMatrix(const Point3& s);
MAXSDK_API Matrix3 RotateXMatrix(float angle);
MAXSDK_API Matrix3 RotateYMatrix(float angle);
MAXSDK_API Matrix3 RotateZMatrix(float angle);
MAXSDK_API Matrix3 RotAngleAxisMatrix(const Point3& axis, float angle);

#endif
