#include "picking/reach_layers.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace {

struct ReachCase {
  const char* name;
  size_t layers;
  size_t weightsPerLayer;  // at most; a layer holds 1 to this many
  std::int64_t heaviest;   // weights from 1 to this, some above the top
  std::int64_t top;
  size_t rows;
  bool lastAsParts;  // the last layer: every total of an artist's parts, raised part by part
};

// What Choose walked back to: weights that sum to the total and rise to the row, at most
// one from each layer, each one of its layer's.
void ExpectWalkBack(const std::vector<ReachLayers::Take>& taken, const std::vector<plain::ReachLayer>& layers,
                    std::int64_t total, size_t row) {
  std::int64_t sum = 0;
  size_t rises = 0;
  std::set<size_t> seen;
  for (const ReachLayers::Take& take : taken) {
    EXPECT_TRUE(seen.insert(take.layer).second) << "layer " << take.layer << " taken twice";
    const plain::ReachLayer& layer = layers[take.layer];
    bool found = false;
    for (size_t w = 0; w < layer.weights.size(); ++w)
      found |= layer.weights[w] == take.weight && (layer.rises.empty() ? 0 : layer.rises[w]) == take.rise;
    EXPECT_TRUE(found) << "weight " << take.weight << " is not in layer " << take.layer;
    sum += take.weight;
    rises += take.rise;
  }
  EXPECT_EQ(sum, total);
  EXPECT_EQ(rises, row);
}

TEST(ReachLayers, HoldsWhatAPlainSubsetSumReaches) {
  const ReachCase cases[] = {
      {"one weight a layer", 40, 1, 70, 300, 1, false},
      {"several weights a layer, one or none taken", 30, 4, 90, 400, 1, false},
      {"more layers than one kept segment", 150, 1, 12, 1000, 1, false},
      {"rows count the songs", 25, 3, 40, 260, 4, false},
      {"an artist's parts as one layer", 12, 2, 60, 500, 1, true},
  };
  for (const ReachCase& c : cases) {
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
      SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
      std::mt19937 rng(seed);
      auto below = [&](std::int64_t n) { return std::uniform_int_distribution<std::int64_t>(0, n - 1)(rng); };
      std::vector<plain::ReachLayer> layers(c.layers);
      ReachLayers reach(c.top, c.rows);
      for (plain::ReachLayer& layer : layers) {
        for (auto n = 1 + below(static_cast<std::int64_t>(c.weightsPerLayer)); n > 0; --n) {
          layer.weights.push_back(1 + below(c.heaviest));
          if (c.rows > 1) layer.rises.push_back(static_cast<std::uint32_t>(below(static_cast<std::int64_t>(c.rows))));
        }
        reach.Add(layer.weights.data(), layer.weights.size(), c.rows > 1 ? layer.rises.data() : nullptr);
      }
      if (c.lastAsParts) {
        // An artist of at most 3 songs: of one length any number, or one of several lengths.
        ReachLayers::Parts parts;
        parts.rows = 4;
        std::vector<plain::ReachLayer> own(3);
        for (size_t p = 0; p < own.size(); ++p) {
          const std::int64_t length = 1 + below(c.heaviest);
          for (std::uint32_t k = 1; k <= 3; ++k) {
            own[p].weights.push_back(p == 0 ? 1 + below(c.heaviest) : k * length);
            own[p].rises.push_back(p == 0 ? 1 : k);
          }
          parts.weights.insert(parts.weights.end(), own[p].weights.begin(), own[p].weights.end());
          parts.rises.insert(parts.rises.end(), own[p].rises.begin(), own[p].rises.end());
          parts.starts.push_back(parts.weights.size());
        }
        const std::vector<std::vector<bool>> ownReach = plain::Reachable(own, c.top, parts.rows);
        plain::ReachLayer totals;
        for (std::int64_t t = 1; t <= c.top; ++t)
          if (ownReach[1][t] || ownReach[2][t] || ownReach[3][t]) totals.weights.push_back(t);
        reach.Add(totals.weights.data(), totals.weights.size(), std::move(parts));
        layers.push_back(totals);
      }

      const std::vector<std::vector<bool>> plain = plain::Reachable(layers, c.top, c.rows);
      std::int64_t highest = 0;
      for (size_t row = 0; row < c.rows; ++row) {
        for (std::int64_t t = 0; t <= c.top; ++t) {
          ASSERT_EQ(reach.LastHas(row, t), plain[row][t]) << "total " << t << " in row " << row;
          if (row == 0 && plain[0][t]) highest = t;
        }
      }
      if (c.rows == 1) {
        EXPECT_EQ(reach.Highest(), highest);
        for (std::int64_t weight = 1; weight <= c.heaviest; weight += 7) {
          bool closed = true;
          for (std::int64_t t = 0; t + weight <= c.top; ++t) closed &= !plain[0][t] || plain[0][t + weight];
          EXPECT_EQ(reach.ClosedUnder(weight), closed) << "weight " << weight;
        }
        const std::int64_t target = below(c.top + 1);
        std::int64_t d = 0;
        while (!(target + d <= c.top && plain[0][target + d]) && !(target >= d && plain[0][target - d])) ++d;
        EXPECT_EQ(reach.Nearest(target), target + d <= c.top && plain[0][target + d] ? target + d : target - d);
      }

      LcgRandomSource random(seed);
      Draws draws(random);
      for (int walk = 0; walk < 20; ++walk) {
        const size_t row = static_cast<size_t>(below(static_cast<std::int64_t>(c.rows)));
        const std::int64_t total = below(c.top + 1);
        if (!plain[row][total]) continue;
        SCOPED_TRACE("walked back from " + std::to_string(total) + " in row " + std::to_string(row));
        ExpectWalkBack(reach.Choose(total, draws, row), layers, total, row);
      }
    }
  }
}

}  // namespace
