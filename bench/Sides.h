#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Times the sides of one comparison, side by side: each Step runs every side
// once, in an order that rotates, and keeps its time. A side's figure is the
// median of its operations, so that an operation the machine happened to hold
// up (other work on its two cores) does not count.
class Sides {
 public:
  explicit Sides(size_t count = 2) : m_samples(count), m_syncs(count), m_ops(count) {}

  // Counts syncs to disk around each side: reported as s0_syncs, ...
  void CountSyncs(std::function<std::uint64_t()> counter) { m_counter = std::move(counter); }
  // Runs after each side, outside its time (taking down what the side made).
  void AfterEach(std::function<void()> untimed) { m_untimed = std::move(untimed); }

  template <class... F>
  double Step(F&&... sides) {
    const std::vector<std::function<void()>> calls{std::function<void()>(sides)...};
    double total = 0;
    const size_t n = calls.size();
    for (size_t k = 0; k < n; ++k) {
      const size_t i = (k + m_steps) % n;
      const std::uint64_t syncs = m_counter ? m_counter() : 0;
      const auto start = std::chrono::steady_clock::now();
      calls[i]();
      const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (m_counter) m_syncs[i] += m_counter() - syncs;
      if (m_untimed) m_untimed();
      m_samples[i].push_back(took);
      ++m_ops[i];
      total += took;
    }
    ++m_steps;
    return total;
  }
  // Time measured by the caller for a block of operations of one side.
  void Add(size_t side, double seconds, std::uint64_t operations) {
    m_samples[side].push_back(seconds / static_cast<double>(operations));
    m_ops[side] += operations;
  }

  // Per operation: the median and mean microseconds of each side (s0_us,
  // s0_mean_us, ...), its mean syncs when they are counted, and with a name,
  // the ratio of the first side's median to the second's.
  void Report(benchmark::State& state, const char* ratioName = nullptr) const {
    std::vector<double> medians(m_samples.size(), 0);
    for (size_t i = 0; i < m_samples.size(); ++i) {
      std::vector<double> v = m_samples[i];
      if (v.empty()) continue;
      std::sort(v.begin(), v.end());
      medians[i] = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
      double mean = 0;
      for (double x : v) mean += x;
      mean /= static_cast<double>(v.size());
      const std::string key = "s" + std::to_string(i);
      state.counters[key + "_us"] = medians[i] * 1e6;
      state.counters[key + "_mean_us"] = mean * 1e6;
      if (m_counter)
        state.counters[key + "_syncs"] =
            m_ops[i] ? static_cast<double>(m_syncs[i]) / static_cast<double>(m_ops[i]) : 0.0;
    }
    if (ratioName != nullptr && medians.size() >= 2 && medians[1] > 0)
      state.counters[ratioName] = medians[0] / medians[1];
  }

 private:
  std::vector<std::vector<double>> m_samples;  // seconds per operation
  std::vector<std::uint64_t> m_syncs;
  std::vector<std::uint64_t> m_ops;
  std::uint64_t m_steps = 0;
  std::function<std::uint64_t()> m_counter;
  std::function<void()> m_untimed;
};
