#include "audit/robust_scale.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

// The distances form a matrix: row i holds x[j] - x[i] for the columns
// j > i.  With x ascending, each row rises to the right and each column
// falls downwards, and so do the computed doubles, since a correctly
// rounded subtraction is monotonic in each operand.  The selection counts
// the distances under and up to trial values, some of them interpolated,
// and returns one of the distances themselves, never a sum or a mean of
// two, so it is exact.

namespace {

// Up to this many values every distance is listed and the k-th picked from
// the list: quicker than the narrowing below, whose first guess alone
// lists 120 distances.
constexpr std::size_t listed_up_to = 24;

// The narrowing stops, and lists what is left, once no more than this many
// distances, or this many per value, are left in the running: listing and
// selecting a few hundred costs less than another round.
constexpr std::size_t listed_at_most = 256, listed_per_value = 4;

// The first guess takes this many values, and brackets the rank it
// expects by this many ranks of their distances either side.
constexpr std::size_t guess_values = 16;
constexpr double guess_margin = 3;

// An interpolated bracket spans this many times the square root of the
// running count, in ranks, either side of the interpolated point.
constexpr double interpolation_width = 3;

// A row is walked this many columns at a time; past the last value the
// walk reads NaNs, which compare false.
constexpr std::size_t stride = 4;

// Moves the values `below` a bound to the front and returns how many
// there are, moving every value without a branch on it.
template <class T, class Below> std::size_t partition(std::span<T> a, Below below) {
    std::size_t front = 0;
    for (T& slot : a) {
        const T v = slot;
        slot = a[front];
        a[front] = v;
        front += static_cast<std::size_t>(below(v));
    }
    return front;
}

double median_of_three(double a, double b, double c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// The k-th smallest (from 1) of `a`, which it puts at a[k - 1] with the
// smaller before it and the larger after, as std::nth_element does.  Its
// partitions have no branch on the values, where about every other
// comparison of std::nth_element's mispredicts; a run of bad pivots hands
// over to std::nth_element, whose worst case is bounded.
double select(std::span<double> a, std::size_t k) {
    const std::size_t kth = k - 1;
    std::size_t first = 0, last = a.size();
    for (std::size_t rounds = 2 * static_cast<std::size_t>(std::bit_width(a.size()));; --rounds) {
        const auto begin = a.begin() + static_cast<std::ptrdiff_t>(first);
        const auto end = a.begin() + static_cast<std::ptrdiff_t>(last);
        if (last - first <= 8 || rounds == 0) {
            std::nth_element(begin, a.begin() + static_cast<std::ptrdiff_t>(kth), end);
            return a[kth];
        }
        const double pivot = median_of_three(*begin, a[(first + last) / 2], *(end - 1));
        const std::size_t under = first + partition(a.subspan(first, last - first),
                                                    [pivot](double v) { return v < pivot; });
        if (kth < under) {
            last = under;
            continue;
        }
        const std::size_t up_to = under + partition(a.subspan(under, last - under),
                                                    [pivot](double v) { return v <= pivot; });
        if (kth < up_to)
            return pivot;
        first = up_to;
    }
}

double kth_of_all(std::span<const double> x, std::size_t k) {
    std::array<double, listed_up_to*(listed_up_to - 1) / 2> listed;
    auto out = listed.begin();
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t j = i + 1; j < x.size(); ++j)
            *out++ = x[j] - x[i];
    return select({listed.begin(), out}, k);
}

// The distances still in the running: row i's columns from left[i] up to
// (not including) right[i], every one from `least` to `most`.  Those left
// of them are under `least`, those right of them over `most`, and every
// trial value lies from `least` to `most`.  under and up_to are scratch:
// each row's edges at a trial.
struct running {
    std::vector<double> x; // the values, then `stride` NaNs
    std::vector<std::size_t> left, right, under, up_to;
    std::size_t below = 0; // distances left of the running ones
    std::size_t count = 0; // distances in the running
    double least = 0, most = std::numeric_limits<double>::infinity();
};

running start(std::span<const double> sorted) {
    const std::size_t n = sorted.size();
    running r{std::vector<double>(n + stride, std::numeric_limits<double>::quiet_NaN()),
              std::vector<std::size_t>(n),
              std::vector<std::size_t>(n, n),
              std::vector<std::size_t>(n),
              std::vector<std::size_t>(n),
              0,
              n * (n - 1) / 2,
              0,
              std::numeric_limits<double>::infinity()};
    std::copy(sorted.begin(), sorted.end(), r.x.begin());
    for (std::size_t i = 0; i < n; ++i)
        r.left[i] = i + 1;
    return r;
}

// Row i's first column from `from` on whose distance is not `below` the
// bound.  Several columns at a time: the walk is mostly short, and one
// branch per stride mispredicts far less often than one per column.
template <class Below>
std::size_t edge_from(const double* x, std::size_t i, std::size_t from, Below below) {
    const double xi = x[i];
    for (;;) {
        std::size_t step = 0;
        for (std::size_t c = 0; c < stride; ++c)
            step += static_cast<std::size_t>(below(x[from + c] - xi));
        from += step; // a row rises, so those below the bound come first
        if (step < stride)
            return from;
    }
}

struct ranks {
    std::size_t under, up_to; // distances under `low`, and up to `high`
};

// How many distances are under `low` and how many up to `high` (low <=
// high, both within the running distances' range); r.under[i] and
// r.up_to[i] are row i's first columns past them.  Both edges move right
// as the rows go down, so one pass finds every row's, and neither passes
// the right end of the running range.
ranks rank_of(running& r, double low, double high) {
    ranks total{0, 0};
    const double* x = r.x.data();
    for (std::size_t i = 0, under = 0, up_to = 0; i < r.left.size(); ++i) {
        under = edge_from(x, i, std::max(under, r.left[i]), [low](double d) { return d < low; });
        up_to = edge_from(x, i, std::max(up_to, r.left[i]), [high](double d) { return d <= high; });
        r.under[i] = under;
        r.up_to[i] = up_to;
        total.under += under - i - 1;
        total.up_to += up_to - i - 1;
    }
    return total;
}

struct bracket {
    double low, high;
};

// One round: the running distances are cut to those under `low`, those
// over `high` or those from `low` to `high`, whichever holds the k-th
// (when low == high and the k-th is in the last, it is found, and `r`
// means nothing more).  Returns the ranks it measured.
ranks narrow(running& r, std::size_t k, bracket trial) {
    const ranks at = rank_of(r, trial.low, trial.high);
    if (k <= at.under) {
        std::swap(r.right, r.under);
        r.count = at.under - r.below;
        r.most = std::nextafter(trial.low, -std::numeric_limits<double>::infinity());
    } else if (k > at.up_to) {
        std::swap(r.left, r.up_to);
        r.count = r.below + r.count - at.up_to;
        r.below = at.up_to;
        r.least = std::nextafter(trial.high, std::numeric_limits<double>::infinity());
    } else {
        std::swap(r.left, r.under);
        std::swap(r.right, r.up_to);
        r.count = at.up_to - at.under;
        r.below = at.under;
        r.least = trial.low;
        r.most = trial.high;
    }
    return at;
}

// A first guess that brackets the k-th distance, from the distances among
// a few values spread evenly through the run.  Each of those stands for
// about spread^2 of all, spread being the step between the values taken,
// and the rank among them that matches k, fitted on normal, uniform and
// Cauchy samples of 40 to 500 values, comes within a rank or two.  A guess
// that misses costs only rounds.
bracket first_guess(std::span<const double> x, std::size_t k) {
    const std::size_t n = x.size(), m = guess_values;
    std::array<double, guess_values> taken;
    for (std::size_t a = 0; a < m; ++a)
        taken[a] = x[(a * (n - 1) + (m - 1) / 2) / (m - 1)];
    std::array<double, guess_values*(guess_values - 1) / 2> listed;
    auto out = listed.begin();
    for (std::size_t a = 0; a < m; ++a)
        for (std::size_t b = a + 1; b < m; ++b)
            *out++ = taken[b] - taken[a];
    const double spread = static_cast<double>(n - 1) / static_cast<double>(m - 1);
    const double rank = (static_cast<double>(k) + static_cast<double>(n) / 2) / (spread * spread) -
                        static_cast<double>(m) / 2;
    const auto last = static_cast<double>(listed.size() - 1);
    const auto at = [&](double r) {
        return static_cast<std::size_t>(std::clamp(std::round(r), 0.0, last)) + 1;
    };
    const std::size_t low = at(rank - guess_margin), high = at(rank + guess_margin);
    const double high_value = select(listed, high);
    return {select(std::span(listed).first(high), low), high_value};
}

struct weighted {
    double value;
    std::size_t weight;
};

std::size_t weight_of(std::span<const weighted> items) {
    std::size_t sum = 0;
    for (const weighted& item : items)
        sum += item.weight;
    return sum;
}

// The smallest value whose weight with that of all smaller values reaches
// half the total: the values below it weigh less than half, those above it
// at most half.  A quickselect on the value with the partitions of
// select(); after a run of bad pivots each pivot is the true median.
double weighted_median(std::span<weighted> items, std::size_t total) {
    std::size_t below = 0; // weight of the items dropped below the answer
    for (std::size_t rounds = 2 * static_cast<std::size_t>(std::bit_width(items.size()));;) {
        double pivot = 0;
        if (rounds > 0) {
            --rounds;
            pivot = median_of_three(items.front().value, items[items.size() / 2].value,
                                    items.back().value);
        } else {
            const auto mid = items.begin() + static_cast<std::ptrdiff_t>(items.size() / 2);
            std::nth_element(
                items.begin(), mid, items.end(),
                [](const weighted& a, const weighted& b) { return a.value < b.value; });
            pivot = mid->value;
        }
        const std::size_t under =
            partition(items, [pivot](const weighted& w) { return w.value < pivot; });
        const std::size_t under_weight = weight_of(items.first(under));
        if (2 * (below + under_weight) >= total) {
            items = items.first(under); // not all: the pivot is not under itself
            continue;
        }
        const std::size_t at = partition(items.subspan(under),
                                         [pivot](const weighted& w) { return w.value <= pivot; });
        const std::size_t at_weight = weight_of(items.subspan(under, at));
        if (2 * (below + under_weight + at_weight) >= total)
            return pivot;
        below += under_weight + at_weight;
        items = items.subspan(under + at);
    }
}

// Croux and Rousseeuw's trial value: the median of each row's running
// distances, and the median of those weighted by their rows' counts.
// Whichever side of it the k-th lies, at least a quarter of the running
// distances go.  An empty row's entry is written over by the next (its
// column may be past the last value, a NaN).
double trial_value(const running& r, std::vector<weighted>& medians) {
    medians.resize(r.left.size());
    std::size_t rows = 0;
    for (std::size_t i = 0; i < r.left.size(); ++i) {
        const std::size_t width = r.right[i] - r.left[i];
        medians[rows] = {r.x[r.left[i] + width / 2] - r.x[i], width};
        rows += static_cast<std::size_t>(width > 0);
    }
    return weighted_median(std::span(medians).first(rows), r.count);
}

// The running distances listed, `stride` columns at a time (most rows
// have no more than that), and the k-th picked from them.
double kth_of_running(const running& r, std::size_t k) {
    std::vector<double> listed(r.count + stride);
    double* out = listed.data();
    for (std::size_t i = 0; i < r.left.size(); ++i) {
        const double* from = r.x.data() + r.left[i];
        const std::size_t width = r.right[i] - r.left[i];
        for (std::size_t j = 0;; j += stride) {
            for (std::size_t c = 0; c < stride; ++c)
                out[j + c] = from[j + c] - r.x[i];
            if (j + stride >= width)
                break;
        }
        out += width;
    }
    return select(std::span(listed).first(r.count), k - r.below);
}

// The k-th by the line through the two points of the distances' ranks
// that the last round measured, under `low` and up to `high`: within them,
// or not far past them, the ranks rise about evenly with the distance.
// interpolation_width times the root of the running count, and a quarter
// of the way past them, either side of it usually brackets the k-th; a
// round that misses still cuts the larger side.
bracket interpolated(const running& r, bracket last, ranks at, std::size_t k) {
    const double per_rank = (last.high - last.low) / static_cast<double>(at.up_to - at.under);
    const double under = static_cast<double>(at.under), up_to = static_cast<double>(at.up_to);
    const double target = static_cast<double>(k) - 0.5;
    const double past = std::max({under - target, target - up_to, 0.0});
    const double width = interpolation_width * std::sqrt(static_cast<double>(r.count)) + past / 4;
    const auto at_rank = [&](double rank) {
        return std::clamp(last.low + (rank - under) * per_rank, r.least, r.most);
    };
    return {at_rank(target - width), at_rank(target + width)};
}

// Whether the last round's points make a line worth following: two of
// them, finite, and a round that halved the running distances.
bool worth_following(bracket last, ranks at, std::size_t before, std::size_t count) {
    return last.low < last.high && std::isfinite(last.high) && at.under < at.up_to &&
           2 * count <= before;
}

// The first guess, then rounds that each count the distances under one
// trial value and up to another and keep only the part that holds the
// k-th, until few are left to list.  The trial values follow the last
// round's line after the guess and while that halves the running
// distances each round; otherwise the round is Croux and Rousseeuw's,
// which takes at least a quarter of them.
double kth_by_narrowing(std::span<const double> x, std::size_t k) {
    running r = start(x);
    bracket trial = first_guess(x, k);
    std::vector<weighted> medians;
    for (std::size_t before = 2 * r.count;; before = r.count) {
        const ranks at = narrow(r, k, trial);
        if (trial.low == trial.high && at.under < k && k <= at.up_to)
            return trial.low;
        if (r.count <= std::max(listed_at_most, listed_per_value * x.size()))
            return kth_of_running(r, k);
        if (worth_following(trial, at, before, r.count)) {
            trial = interpolated(r, trial, at, k);
        } else {
            const double t = trial_value(r, medians);
            trial = {t, t};
        }
    }
}

} // namespace

double kth_pair_distance(std::span<const double> sorted, std::size_t k) {
    const double kth =
        sorted.size() <= listed_up_to ? kth_of_all(sorted, k) : kth_by_narrowing(sorted, k);
    // -0 - +0 is -0, where the distance |+0 - -0| is +0.
    return std::fabs(kth);
}

double qn_scale(std::span<const double> sorted) {
    const std::size_t n = sorted.size();
    const std::size_t h = n / 2 + 1, k = h * (h - 1) / 2;
    constexpr double small_n[10] = {0, 0, 0.399, 0.994, 0.512, 0.844, 0.611, 0.857, 0.669, 0.872};
    const double size = static_cast<double>(n);
    const double correction = n < 10       ? small_n[n]
                              : n % 2 == 1 ? size / (size + 1.4)
                                           : size / (size + 3.8);
    return 2.2219 * correction * kth_pair_distance(sorted, k);
}
