// Vertex placement by a quadric error function about the mass point, solved
// by a truncated eigen decomposition (Ju, Losasso, Schaefer and Warren, "Dual
// Contouring of Hermite Data", 2002; the mass-point offset and truncation
// follow Lindstrom's "Out-of-Core Simplification of Large Polygonal Models",
// 2000). When the fit leaves the allowed box, the quadric is minimised over
// the box's faces, edges and corners instead.
#include "mesh/remesh/CellVertexPlacement.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge::mesh {
namespace {

void RotatePair(double a[3][3], double v[3][3], int p, int q) {
    const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
    const double sign = theta < 0.0 ? -1.0 : 1.0;
    const double t = sign / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
    const double c = 1.0 / std::sqrt(t * t + 1.0);
    const double s = t * c;
    for (int k = 0; k < 3; ++k) {
        const double akp = a[k][p];
        const double akq = a[k][q];
        a[k][p] = c * akp - s * akq;
        a[k][q] = s * akp + c * akq;
    }
    for (int k = 0; k < 3; ++k) {
        const double apk = a[p][k];
        const double aqk = a[q][k];
        a[p][k] = c * apk - s * aqk;
        a[q][k] = s * apk + c * aqk;
    }
    for (int k = 0; k < 3; ++k) {
        const double vkp = v[k][p];
        const double vkq = v[k][q];
        v[k][p] = c * vkp - s * vkq;
        v[k][q] = s * vkp + c * vkq;
    }
}

bool InsideBox(const double p[3], const double low[3], const double high[3]) {
    for (int i = 0; i < 3; ++i) {
        if (p[i] < low[i] - 1e-9 || p[i] > high[i] + 1e-9) return false;
    }
    return true;
}

double Det2(double a, double b, double c, double d) { return a * d - b * c; }

double Det3(const double m[3][3]) {
    return m[0][0] * Det2(m[1][1], m[1][2], m[2][1], m[2][2]) - m[0][1] * Det2(m[1][0], m[1][2], m[2][0], m[2][2]) +
           m[0][2] * Det2(m[1][0], m[1][1], m[2][0], m[2][1]);
}

// Minimises y^T A y - 2 y.r over the box, trying every free/low/high choice per
// axis. y is relative to the mass point m.
void MinimiseInBox(const double a[3][3], const double r[3], const double m[3], const double low[3],
                   const double high[3], double vertex[3]) {
    double bestError = 0.0;
    bool haveBest = false;
    for (int t = 0; t < 27; ++t) {
        const int choice[3] = {t % 3, (t / 3) % 3, t / 9};
        double y[3] = {0.0, 0.0, 0.0};
        int freeAxes[3];
        int freeCount = 0;
        for (int i = 0; i < 3; ++i) {
            if (choice[i] == 0) {
                freeAxes[freeCount++] = i;
            } else {
                y[i] = (choice[i] == 1 ? low[i] : high[i]) - m[i];
            }
        }
        if (freeCount > 0) {
            double rhs[3];
            double sub[3][3];
            for (int u = 0; u < freeCount; ++u) {
                const int fu = freeAxes[u];
                rhs[u] = r[fu];
                for (int i = 0; i < 3; ++i) {
                    if (choice[i] != 0) rhs[u] -= a[fu][i] * y[i];
                }
                for (int w = 0; w < freeCount; ++w) sub[u][w] = a[fu][freeAxes[w]];
            }
            if (freeCount == 1) {
                y[freeAxes[0]] = rhs[0] / sub[0][0];
            } else if (freeCount == 2) {
                const double det = Det2(sub[0][0], sub[0][1], sub[1][0], sub[1][1]);
                if (!(det > 0.0)) continue;
                y[freeAxes[0]] = Det2(rhs[0], sub[0][1], rhs[1], sub[1][1]) / det;
                y[freeAxes[1]] = Det2(sub[0][0], rhs[0], sub[1][0], rhs[1]) / det;
            } else {
                const double det = Det3(sub);
                if (!(det > 0.0)) continue;
                for (int col = 0; col < 3; ++col) {
                    double replaced[3][3];
                    for (int row = 0; row < 3; ++row) {
                        for (int k = 0; k < 3; ++k) replaced[row][k] = k == col ? rhs[row] : sub[row][k];
                    }
                    y[col] = Det3(replaced) / det;
                }
            }
        }
        const double candidate[3] = {m[0] + y[0], m[1] + y[1], m[2] + y[2]};
        if (!InsideBox(candidate, low, high)) continue;
        double error = 0.0;
        for (int i = 0; i < 3; ++i) {
            double row = 0.0;
            for (int k = 0; k < 3; ++k) row += a[i][k] * y[k];
            error += y[i] * row - 2.0 * y[i] * r[i];
        }
        if (!haveBest || error < bestError) {
            haveBest = true;
            bestError = error;
            for (int i = 0; i < 3; ++i) vertex[i] = candidate[i];
        }
    }
}

}  // namespace

void SymmetricEigen3(double a[3][3], double eigenvalues[3], double v[3][3]) {
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) v[i][k] = i == k ? 1.0 : 0.0;
    }
    for (int sweep = 0; sweep < 32; ++sweep) {
        const double diagonal = a[0][0] * a[0][0] + a[1][1] * a[1][1] + a[2][2] * a[2][2];
        const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        if (off == 0.0 || diagonal * 1e-30 >= off) break;
        static constexpr int kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
        for (const auto& pair : kPairs) {
            if (a[pair[0]][pair[1]] != 0.0) RotatePair(a, v, pair[0], pair[1]);
        }
    }
    for (int i = 0; i < 3; ++i) eigenvalues[i] = a[i][i];
}

void PlaceCellVertex(const double (*points)[3], const double (*normals)[3], const std::uint8_t* normalValid,
                     std::int32_t n, double sharpness, const double boxLow[3], const double boxHigh[3],
                     const double clampLow[3], const double clampHigh[3], double vertex[3]) {
    double m[3] = {0.0, 0.0, 0.0};
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < 3; ++i) m[i] += points[k][i];
    }
    for (int i = 0; i < 3; ++i) m[i] /= static_cast<double>(std::max(n, 1));

    double a[3][3] = {};
    double r[3] = {0.0, 0.0, 0.0};
    for (int k = 0; k < n; ++k) {
        if (normalValid[k] == 0) continue;
        const double* nk = normals[k];
        const double offset =
            nk[0] * (points[k][0] - m[0]) + nk[1] * (points[k][1] - m[1]) + nk[2] * (points[k][2] - m[2]);
        for (int i = 0; i < 3; ++i) {
            r[i] += nk[i] * offset;
            for (int j = 0; j < 3; ++j) a[i][j] += nk[i] * nk[j];
        }
    }

    double decomposed[3][3];
    std::copy(&a[0][0], &a[0][0] + 9, &decomposed[0][0]);
    double lambda[3];
    double vectors[3][3];
    SymmetricEigen3(decomposed, lambda, vectors);
    const double lmax = std::max({lambda[0], lambda[1], lambda[2]});

    for (int i = 0; i < 3; ++i) vertex[i] = m[i];
    if (sharpness > 0.0 && lmax > 1e-12) {
        const double cut = lmax * std::clamp(0.01 / (sharpness * sharpness), 1e-6, 1.0);
        for (int e = 0; e < 3; ++e) {
            if (!(lambda[e] > cut)) continue;
            const double along = (vectors[0][e] * r[0] + vectors[1][e] * r[1] + vectors[2][e] * r[2]) / lambda[e];
            for (int i = 0; i < 3; ++i) vertex[i] += along * vectors[i][e];
        }
        if (!InsideBox(vertex, boxLow, boxHigh)) {
            double damped[3][3];
            std::copy(&a[0][0], &a[0][0] + 9, &damped[0][0]);
            for (int i = 0; i < 3; ++i) damped[i][i] += 0.001 * lmax;
            MinimiseInBox(damped, r, m, boxLow, boxHigh, vertex);
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (vertex[i] > clampHigh[i]) {
            vertex[i] = clampHigh[i];
        } else if (vertex[i] < clampLow[i]) {
            vertex[i] = clampLow[i];
        }
    }
}

double InterpolateInQuadTriangle(const double corners[4][3], std::int32_t axis, double referenceB, double referenceC,
                                 int i, int j, int k, double& smallestWeight) {
    const int b = (axis + 1) % 3;
    const int c = (axis + 2) % 3;
    const double ub = corners[j][b] - corners[i][b];
    const double uc = corners[j][c] - corners[i][c];
    const double vb = corners[k][b] - corners[i][b];
    const double vc = corners[k][c] - corners[i][c];
    const double wb = referenceB - corners[i][b];
    const double wc = referenceC - corners[i][c];
    const double det = vc * ub - uc * vb;
    if (det == 0.0) {
        smallestWeight = -1.0;
        return 0.0;
    }
    const double wk = (wc * ub - wb * uc) / det;
    const double wj = (wb * vc - wc * vb) / det;
    const double wi = 1.0 - wj - wk;
    smallestWeight = std::min({wj, wk, wi});
    return corners[i][axis] + (corners[j][axis] - corners[i][axis]) * wj + (corners[k][axis] - corners[i][axis]) * wk;
}

bool ChooseQuadDiagonal(const double corners[4][3], std::int32_t axis, double orientation, bool refine,
                        double referenceB, double referenceC, double referenceAlongAxis, double scale) {
    const int b = (axis + 1) % 3;
    const int c = (axis + 2) % 3;
    const auto area = [&](int i, int j, int k) {
        const double ub = corners[j][b] - corners[i][b];
        const double uc = corners[j][c] - corners[i][c];
        const double vb = corners[k][b] - corners[i][b];
        const double vc = corners[k][c] - corners[i][c];
        return (ub * vc - uc * vb) * orientation;
    };
    const double a012 = area(0, 1, 2);
    const double a023 = area(0, 2, 3);
    const double a013 = area(0, 1, 3);
    const double a123 = area(1, 2, 3);
    const bool sound02 = a012 > 0.0 && a023 > 0.0;
    const bool sound13 = a013 > 0.0 && a123 > 0.0;
    if (sound02 != sound13) return sound13;
    if (sound02) {
        if (!refine) return false;
        const auto surfaceAt = [&](int i0, int j0, int k0, int i1, int j1, int k1) {
            double w0 = 0.0;
            double w1 = 0.0;
            const double z0 = InterpolateInQuadTriangle(corners, axis, referenceB, referenceC, i0, j0, k0, w0);
            const double z1 = InterpolateInQuadTriangle(corners, axis, referenceB, referenceC, i1, j1, k1, w1);
            return w1 > w0 ? z1 : z0;
        };
        const double z13 = surfaceAt(0, 1, 3, 1, 2, 3);
        const double z02 = surfaceAt(0, 1, 2, 0, 2, 3);
        const double d13 = std::fabs(z13 - referenceAlongAxis);
        const double d02 = std::fabs(z02 - referenceAlongAxis) - 1e-7 * scale;
        return d02 > d13;
    }
    return std::min(a013, a123) > std::min(a012, a023);
}

}  // namespace ridgeforge::mesh
