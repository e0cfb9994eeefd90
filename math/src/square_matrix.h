#pragma once
// Element-by-element building shared by Matrix3 and Matrix4 (internal to the script library).

#include <type_traits>

// A matrix whose element (i, j) is element(i, j).
template <class Matrix, class Element> Matrix generateMatrix(Element element) {
    constexpr int n = static_cast<int>(std::extent_v<decltype(Matrix::m)>);
    Matrix r;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            r.m[i][j] = element(i, j);
        }
    }
    return r;
}

// The row-vector product a * b: element (i, j) is the sum over k of a(i, k) * b(k, j), added in
// order of k.
template <class Matrix> Matrix multiplyMatrices(const Matrix& a, const Matrix& b) {
    constexpr int n = static_cast<int>(std::extent_v<decltype(Matrix::m)>);
    return generateMatrix<Matrix>([&](int i, int j) {
        float sum = a.m[i][0] * b.m[0][j];
        for (int k = 1; k < n; ++k) {
            sum += a.m[i][k] * b.m[k][j];
        }
        return sum;
    });
}
