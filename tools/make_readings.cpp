// make_readings: writes data/readings.txt, the bench log shipped with
// decade-report.
//
// The original bench log is lost; what survives is the report made from it.
// This program rebuilds a log that reproduces every figure of that report:
// each run's mean (to the digits given below) and ppm value, the decade
// averages, the total resistance, and the few readings quoted verbatim (the
// head and tail of the log, its extremes, the first echoed reading).
//
// Each run lies in one binade, so its readings are whole multiples of that
// binade's float spacing u and its double sum is exact.  The generator picks
// a sum k*u whose mean prints as the target figures, draws the readings as
// noise around that mean with its own fixed-seed random numbers, and spreads
// the rounding residue over the free readings so that they add up to k*u
// exactly.  Everything is checked before anything is written.
//
//   make_readings FILE          write the log to FILE
//   make_readings --check FILE  exit 1 unless FILE holds exactly that log
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/classify.h"
#include "analysis/stats.h"
#include "log/log_reader.h"
#include "readings.h"

namespace {

constexpr double tolerance_ppm = 221; // no reading lies further from nominal
constexpr std::size_t table_size = 5410;

// Mean (with as many decimals as the target figure shows), count and ppm of
// every setting, rows = positions 1..10, columns = decades.
struct setting_target {
    const char* mean;
    unsigned count;
    const char* ppm;
};
constexpr setting_target targets[10][5] = {
    {{"10.00200", 16, "200.25"},
     {"99.99786", 16, "-21.36"},
     {"1000.03918", 16, "39.18"},
     {"9999.88574", 16, "-11.43"},
     {"99998.53711", 16, "-14.63"}},
    {{"20.00048", 16, "24.10"},
     {"200.00126", 16, "6.31"},
     {"1999.85107", 16, "-74.47"},
     {"19999.89438216", 4690, "-5.28"},
     {"200015.40430", 16, "77.02"}},
    {{"29.99727", 16, "-90.84"},
     {"300.00661", 16, "22.04"},
     {"2999.82230", 16, "-59.23"},
     {"29999.65088", 16, "-11.64"},
     {"300020.52734", 16, "68.42"}},
    {{"40.00586", 16, "146.45"},
     {"400.01120", 16, "28.01"},
     {"3999.77960", 16, "-55.10"},
     {"39999.67749", 16, "-8.06"},
     {"400027.18750", 16, "67.97"}},
    {{"49.99912", 16, "-17.66"},
     {"500.02524", 16, "50.48"},
     {"4999.74591", 16, "-50.82"},
     {"49999.56030", 16, "-8.79"},
     {"500031.71875", 16, "63.44"}},
    {{"59.99664", 16, "-55.95"},
     {"600.02577", 16, "42.95"},
     {"5999.67950", 16, "-53.42"},
     {"59998.95874", 16, "-17.35"},
     {"600043.30859", 16, "72.18"}},
    {{"69.99585", 16, "-59.31"},
     {"700.03013", 16, "43.05"},
     {"6999.60760", 16, "-56.06"},
     {"69999.17432", 16, "-11.80"},
     {"700045.46484", 16, "64.95"}},
    {{"79.99493", 16, "-63.33"},
     {"800.03579", 16, "44.74"},
     {"7999.56555", 16, "-54.31"},
     {"79998.98486", 16, "-12.69"},
     {"800046.00781", 16, "57.51"}},
    {{"89.99248", 16, "-83.52"},
     {"900.04028", 16, "44.75"},
     {"8999.53278", 16, "-51.91"},
     {"89998.87988", 16, "-12.45"},
     {"900053.33203", 16, "59.26"}},
    {{"99.99786", 16, "-21.36"},
     {"1000.03918", 16, "39.18"},
     {"9999.88574", 16, "-11.43"},
     {"99998.53711", 16, "-14.63"},
     {"1000056.61719", 16, "56.62"}},
};
constexpr const char* decade_average_targets[5] = {"54.998", "550.021", "5499.751", "54999.320",
                                                   "550033.811"};
constexpr const char* total_target = "1.11115508"; // megohms
constexpr const char* first_echo_target = "300.006531";

// Nominal value (ohms) and length of each run, in the order of the log.
struct run_shape {
    std::int32_t nominal = 0;
    unsigned length = 0;
};

std::vector<run_shape> log_order() {
    std::vector<run_shape> runs;
    auto add = [&runs](std::int32_t from, std::int32_t to, std::int32_t by, unsigned length) {
        for (std::int32_t n = from; n <= to; n += by)
            runs.push_back({n, length});
    };
    add(10, 10, 1, 16);
    add(200000, 1000000, 100000, 16);
    add(10000, 10000, 1, 16);
    add(20000, 20000, 1, 4690);
    add(30000, 100000, 10000, 16);
    add(2000, 9000, 1000, 16);
    add(100, 1000, 100, 16);
    add(20, 90, 10, 16);
    return runs;
}

// Readings quoted verbatim; index counts from the end when negative.  The
// lowest and highest readings of the whole log are marked so that the noise
// of their run stays on the right side of them.
enum class quoted { plain, lowest, highest };
struct fixed_reading {
    std::int32_t run;
    int index;
    const char* value;
    quoted kind;
};
constexpr fixed_reading fixed[] = {
    {10, 0, "10.002078", quoted::plain},   {10, 1, "10.002111", quoted::plain},
    {10, 2, "10.002116", quoted::plain},   {10, 3, "10.002030", quoted::plain},
    {10, 11, "10.001821", quoted::lowest}, {1000000, 6, "1000059.25", quoted::highest},
    {300, 0, "300.006531", quoted::plain}, {90, -4, "89.992325", quoted::plain},
    {90, -3, "89.992348", quoted::plain},  {90, -2, "89.992500", quoted::plain},
    {90, -1, "89.992294", quoted::plain},
};

// splitmix64: small, well mixed, and the same everywhere.
struct random_source {
    std::uint64_t state = 0x5eed'dec0'de00'2026ULL;
    double uniform() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1p-53;
    }
    // Irwin-Hall approximation of a unit normal: plain arithmetic only.
    double gauss() {
        double sum = 0;
        for (int i = 0; i < 12; ++i)
            sum += uniform();
        return sum - 6;
    }
};

std::string format(const char* fmt, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, value);
    return buf;
}

std::string fixed_decimals(double value, const char* like) {
    const char* dot = std::strchr(like, '.');
    int decimals = dot ? static_cast<int>(std::strlen(dot + 1)) : 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

const setting_target* target_of(std::int32_t nominal) {
    for (unsigned p = 1; p <= 10; ++p)
        for (unsigned d = 0; d < 5; ++d)
            if (static_cast<std::int32_t>(p) * decades[d] == nominal)
                return &targets[p - 1][d];
    return nullptr;
}

double spacing_of(std::int32_t nominal) {
    return std::ldexp(1.0, std::ilogb(static_cast<double>(nominal)) - 23);
}

bool matches(double mean, std::int32_t nominal, const setting_target& t) {
    return fixed_decimals(mean, t.mean) == t.mean && format("%.2f", ppm_of(mean, nominal)) == t.ppm;
}

// The sum, in units of the run's float spacing, whose mean gives the target
// figures; of several, the middle one.
bool pick_sum(const run_shape& run, std::int64_t& units) {
    const setting_target& t = *target_of(run.nominal);
    double u = spacing_of(run.nominal);
    auto centre = std::llround(std::strtod(t.mean, nullptr) * run.length / u);
    auto span = static_cast<std::int64_t>(1e-5 * run.length / u) + 2;
    std::vector<std::int64_t> fits;
    for (auto k = centre - span; k <= centre + span; ++k)
        if (matches(static_cast<double>(k) * u / run.length, run.nominal, t))
            fits.push_back(k);
    if (fits.empty())
        return false;
    units = fits[fits.size() / 2];
    return true;
}

struct run_plan {
    std::vector<std::int64_t> units; // reading = units * spacing
    std::vector<bool> pinned;
    std::int64_t lowest = INT64_MIN, highest = INT64_MAX;
};

run_plan pin_fixed(const run_shape& run, double u) {
    run_plan plan{std::vector<std::int64_t>(run.length, 0), std::vector<bool>(run.length, false)};
    for (const fixed_reading& f : fixed) {
        if (f.run != run.nominal)
            continue;
        auto i = static_cast<std::size_t>(f.index < 0 ? f.index + static_cast<int>(run.length)
                                                      : f.index);
        auto q = std::llround(static_cast<double>(std::strtof(f.value, nullptr)) / u);
        plan.units[i] = q;
        plan.pinned[i] = true;
        if (f.kind == quoted::lowest)
            plan.lowest = q;
        if (f.kind == quoted::highest)
            plan.highest = q;
    }
    return plan;
}

// Noise around the mean, then the residue spread evenly over the free
// readings so that the run adds up to exactly `sum` units.
void draw(run_plan& plan, std::int64_t sum, double sigma_units, random_source& rng) {
    double mean = static_cast<double>(sum) / static_cast<double>(plan.units.size());
    std::int64_t total = 0, free = 0;
    for (std::size_t i = 0; i < plan.units.size(); ++i) {
        if (!plan.pinned[i]) {
            plan.units[i] = std::llround(mean + sigma_units * rng.gauss());
            ++free;
        }
        total += plan.units[i];
    }
    std::int64_t residue = sum - total;
    std::int64_t share = residue / free, extra = residue % free;
    for (std::size_t i = 0; i < plan.units.size(); ++i) {
        if (plan.pinned[i])
            continue;
        plan.units[i] += share;
        if (extra != 0) {
            plan.units[i] += extra > 0 ? 1 : -1;
            extra += extra > 0 ? -1 : 1;
        }
    }
}

bool plausible(const run_plan& plan, const run_shape& run, double u) {
    double n = run.nominal;
    std::int64_t binade_low = std::llround(std::exp2(std::ilogb(n)) / u);
    std::vector<std::int64_t> distinct;
    for (std::size_t i = 0; i < plan.units.size(); ++i) {
        auto q = plan.units[i];
        double s = static_cast<double>(q) * u;
        if (q < binade_low || q >= 2 * binade_low || q >= (std::int64_t{1} << 24) + binade_low)
            return false;
        if (s == n || std::fabs(s - n) > tolerance_ppm * 1e-6 * n)
            return false;
        if (!plan.pinned[i] && (q <= plan.lowest || q >= plan.highest))
            return false;
        if (std::find(distinct.begin(), distinct.end(), q) == distinct.end())
            distinct.push_back(q);
    }
    return distinct.size() >= std::min<std::size_t>(8, plan.units.size() / 2);
}

// A few ppm of noise; the 10 ohm readings are noisier, as low resistances are.
double noise_ppm(std::int32_t nominal) {
    return nominal == 10 ? 6.0 : 1.5;
}

bool generate(std::vector<float>& table) {
    random_source rng;
    for (const run_shape& run : log_order()) {
        std::int64_t sum = 0;
        if (!pick_sum(run, sum)) {
            std::fprintf(stderr, "make_readings: no sum fits the %d ohm run\n", run.nominal);
            return false;
        }
        double u = spacing_of(run.nominal);
        run_plan plan = pin_fixed(run, u);
        int tries = 0;
        do {
            if (++tries > 10000) {
                std::fprintf(stderr, "make_readings: cannot draw the %d ohm run\n", run.nominal);
                return false;
            }
            draw(plan, sum, noise_ppm(run.nominal) * 1e-6 * run.nominal / u, rng);
        } while (!plausible(plan, run, u));
        for (auto q : plan.units)
            table.push_back(static_cast<float>(static_cast<double>(q) * u));
    }
    return true;
}

// The first reading the report echoes, in its order of scanning.
std::string first_echo(const grid& g, const std::vector<float>& table) {
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const window w = window_of(g, p, d);
            for (float r : table)
                if (takes(w, g.nominal[p][d], r) && echoed(d, r))
                    return format("%f", r);
        }
    return "(none)";
}

// Classifies the table with the report's own code and compares every figure
// with its target.  Returns the number of mismatches, each one reported.
int mismatches(const std::vector<float>& table) {
    int bad = 0;
    auto expect = [&bad](const std::string& got, const char* want, const char* what) {
        if (got != want) {
            std::fprintf(stderr, "make_readings: %s is %s, want %s\n", what, got.c_str(), want);
            ++bad;
        }
    };
    if (table.size() != table_size) {
        std::fprintf(stderr, "make_readings: %zu readings, want %zu\n", table.size(), table_size);
        return 1;
    }
    grid g{};
    fill_nominal(g);
    classify_plain(g, table, nullptr); // the first echo is checked below
    compute_ppm(g);
    compute_decade_average(g);
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p) {
            const setting_target& t = targets[p - 1][d];
            std::string where = format("setting %g ohm", g.nominal[p][d]);
            expect(format("%.0f", g.count[p][d]), format("%.0f", t.count).c_str(),
                   (where + " count").c_str());
            expect(fixed_decimals(g.mean[p][d], t.mean), t.mean, (where + " mean").c_str());
            expect(format("%.2f", g.ppm[p][d]), t.ppm, (where + " ppm").c_str());
        }
    for (unsigned d = 0; d < decade_count; ++d)
        expect(format("%.3f", g.decade_average[d]), decade_average_targets[d], "decade average");
    expect(format("%.8f", total_resistance(g)), total_target, "total resistance");
    expect(first_echo(g, table), first_echo_target, "first echo");
    return bad;
}

// The quoted readings, and the 221 ppm bound on every reading of every run.
int shape_mismatches(const std::vector<float>& table) {
    int bad = 0;
    std::size_t at = 0;
    for (const run_shape& run : log_order()) {
        for (const fixed_reading& f : fixed) {
            if (f.run != run.nominal)
                continue;
            std::size_t i =
                at + static_cast<std::size_t>(f.index < 0 ? f.index + static_cast<int>(run.length)
                                                          : f.index);
            if (fixed_decimals(table[i], f.value) != f.value) {
                std::fprintf(stderr, "make_readings: reading %zu is not %s\n", i, f.value);
                ++bad;
            }
        }
        for (std::size_t i = at; i < at + run.length; ++i) {
            double s = table[i], n = run.nominal;
            if (s == n || std::fabs(s - n) > tolerance_ppm * 1e-6 * n) {
                std::fprintf(stderr, "make_readings: reading %zu (%f) is off its run\n", i, s);
                ++bad;
            }
        }
        at += run.length;
    }
    auto [low, high] = std::minmax_element(table.begin(), table.end());
    for (const fixed_reading& f : fixed) {
        const float* extreme = f.kind == quoted::lowest    ? &*low
                               : f.kind == quoted::highest ? &*high
                                                           : nullptr;
        if (extreme && fixed_decimals(*extreme, f.value) != f.value) {
            std::fprintf(stderr, "make_readings: extreme reading is %f, want %s\n", *extreme,
                         f.value);
            ++bad;
        }
    }
    return bad;
}

// The log as the bench would have written it: a comment before each run,
// then one reading per line in its shortest exact text.
std::string log_text(const std::vector<float>& table) {
    std::string text = "# Bench log of the five-decade box, one reading in ohms per line,\n"
                       "# in the order they were taken (generated by tools/make_readings.cpp).\n";
    std::size_t at = 0;
    for (const run_shape& run : log_order()) {
        text += format("# %.0f ohm, ", run.nominal) + format("%.0f readings\n", run.length);
        for (unsigned i = 0; i < run.length; ++i)
            text += reading_text(table[at + i]) + "\n";
        at += run.length;
    }
    return text;
}

// The text must read back as exactly the table it was made from.
bool reads_back(const std::string& text, const std::vector<float>& table) {
    std::vector<float> back;
    log_error error;
    if (!read_log(text, back, error)) {
        std::fputs(diagnostic("make_readings", error).c_str(), stderr);
        return false;
    }
    auto same_bits = [](float a, float b) {
        return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
    };
    if (!std::equal(back.begin(), back.end(), table.begin(), table.end(), same_bits)) {
        std::fprintf(stderr, "make_readings: the log does not read back as its table\n");
        return false;
    }
    return true;
}

bool same_as_file(const std::string& text, const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    std::string file;
    char buf[4096];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        file.append(buf, got);
    std::fclose(f);
    return file == text;
}

bool write_file(const std::string& text, const char* path) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: make_readings [--check] FILE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    std::vector<float> table;
    if (!generate(table) || shape_mismatches(table) + mismatches(table) > 0)
        return 1;
    std::string text = log_text(table);
    if (!reads_back(text, table))
        return 1;
    if (check) {
        if (!same_as_file(text, path)) {
            std::fprintf(stderr, "make_readings: %s differs from the generated table\n", path);
            return 1;
        }
        std::printf("make_readings: %s matches the generated table\n", path);
        return 0;
    }
    if (!write_file(text, path)) {
        std::fprintf(stderr, "make_readings: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
