// The current motif probability matrices of a run: one array of width x 4
// doubles per motif (rows are motif columns, entries A, C, G, T). The run
// driver owns one set; an array is re-created whenever its motif's width
// changes. data() gives the per-motif pointers that the sampling steps read.
#pragma once

#include <vector>

class MotifMatrices {
  public:
    explicit MotifMatrices(int motifCount = 0) : store(motifCount), pointers(motifCount, nullptr) {}
    MotifMatrices(const MotifMatrices&) = delete;
    MotifMatrices& operator=(const MotifMatrices&) = delete;
    MotifMatrices(MotifMatrices&&) = default;
    MotifMatrices& operator=(MotifMatrices&&) = default;

    // Re-creates motif k's array with width x 4 entries, all 0.0.
    void Resize(int k, int width) {
        store[k].assign(static_cast<std::size_t>(width) * 4, 0.0);
        pointers[k] = store[k].data();
    }
    int Count() const { return static_cast<int>(store.size()); }
    std::size_t Size(int k) const { return store[k].size(); }
    double** data() { return pointers.data(); }
    double* operator[](int k) { return pointers[k]; }
    const double* operator[](int k) const { return pointers[k]; }

  private:
    std::vector<std::vector<double>> store;
    std::vector<double*> pointers;
};
