#include "history/earlier_results.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/stable_sort.h"
#include "history/calendar.h"
#include "log/setting_finder.h"
#include "results/columns.h"
#include "results/results.h"

namespace {

// Why a file is not read: thrown by the readers of its parts, caught once
// per file.  Line 0 concerns the whole file.
struct fault {
    std::size_t line;
    std::string what;
};

// The columns that hold words or dates; every other one holds a number
// where it is not empty.
constexpr std::string_view text_columns[] = {"decade",        "verdict",  "item",   "date",
                                             "previous_date", "due_date", "outlook"};

bool is_text_column(std::size_t i) {
    return std::find(std::begin(text_columns), std::end(text_columns), result_columns[i]) !=
           std::end(text_columns);
}

// The records of RFC 4180 text, one at a time: fields between commas, a
// field in quotes may hold commas, line ends and doubled quotes; a record
// ends at CR LF or LF.
class csv_records {
  public:
    explicit csv_records(std::string_view text) : text_(text) {}
    bool at_end() const { return at_ == text_.size(); }
    std::size_t line() const { return line_; }

    std::vector<std::string> next() {
        std::vector<std::string> fields(1);
        const std::size_t first_line = line_;
        bool inside = false, closed = false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (inside) {
                if (c == '"' && at_ < text_.size() && text_[at_] == '"')
                    ++at_;
                else if (c == '"') {
                    inside = false;
                    closed = true;
                    continue;
                }
                line_ += c == '\n';
                fields.back() += c;
            } else if (c == ',') {
                fields.emplace_back();
                closed = false;
            } else if (c == '\n' || (c == '\r' && at_ < text_.size() && text_[at_] == '\n')) {
                at_ += c == '\r';
                ++line_;
                return fields;
            } else if (closed || c == '"') {
                if (!fields.back().empty() || closed)
                    throw fault{line_, closed
                                           ? "text after a closing quote"
                                           : "a quote inside a field that does not start with one"};
                inside = true;
            } else {
                fields.back() += c;
            }
        }
        if (inside)
            throw fault{first_line, "a quote that is never closed"};
        return fields;
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0, line_ = 1;
};

std::string in_quotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// A finite number written whole, as the writer writes one.
bool read_number(std::string_view text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && std::isfinite(value);
}

template <typename T> bool read_whole(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

double number_or_nan(const std::string& text) {
    double value = std::numeric_limits<double>::quiet_NaN();
    return text.empty() || read_number(text, value) ? value
                                                    : std::numeric_limits<double>::quiet_NaN();
}

// What the rows must agree on, and where each setting was given.
struct rows_read {
    std::size_t first_row = 0; // its line
    std::string date, item;
    std::size_t line_of[positions][decade_count]{};
};

setting setting_of(const std::vector<std::string>& row, std::size_t line) {
    const std::string& position = row[column_index("position")];
    const std::string& decade = row[column_index("decade")];
    unsigned p = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        if (decade == "1E" + std::to_string(d + 1) && read_whole(position, p) && p >= 1 &&
            p < positions)
            return {p, d};
    throw fault{line,
                "no setting at position " + in_quotes(position) + ", decade " + in_quotes(decade)};
}

void check_numbers(const std::vector<std::string>& row, std::size_t line) {
    for (std::size_t i = 0; i < result_column_count; ++i) {
        double value = 0;
        if (!row[i].empty() && !is_text_column(i) && !read_number(row[i], value))
            throw fault{line, std::string(result_columns[i]) + " " + in_quotes(row[i]) +
                                  " is not a number"};
    }
}

// The date and the item are the calibration's, the same in every row.
void check_same(std::string_view name, const std::string& field, std::size_t line,
                const rows_read& read, const std::string& first) {
    if (field != first)
        throw fault{line, std::string(name) + " " + in_quotes(field) + " differs from line " +
                              std::to_string(read.first_row) + "'s, " + in_quotes(first)};
}

void check_calibration(const std::vector<std::string>& row, std::size_t line, rows_read& read) {
    const std::string &date = row[column_index("date")], &item = row[column_index("item")];
    if (read.first_row == 0) {
        read.first_row = line;
        read.date = date;
        read.item = item;
        return;
    }
    check_same("date", date, line, read, read.date);
    check_same("item", item, line, read, read.item);
}

void read_row(const std::vector<std::string>& row, std::size_t line, const nominal_grid& nominal,
              rows_read& read, earlier_results& out) {
    if (row.size() != result_column_count)
        throw fault{line, std::to_string(row.size()) + " fields where the header has " +
                              std::to_string(result_column_count)};
    const setting at = setting_of(row, line);
    std::size_t& given = read.line_of[at.p][at.d];
    if (given != 0)
        throw fault{line,
                    setting_place(at) + " given twice, first on line " + std::to_string(given)};
    given = line;
    const std::string& written = row[column_index("nominal_ohm")];
    if (written != std::to_string(std::llround(nominal[at.p][at.d])))
        throw fault{line, "nominal_ohm " + in_quotes(written) + " is not that of " +
                              setting_place(at) + ", " + nominal_text(at)};
    check_numbers(row, line);
    check_calibration(row, line, read);
    earlier_setting& s = out.settings[at.p][at.d];
    if (!read_whole(row[column_index("count")], s.count))
        throw fault{line,
                    "count " + in_quotes(row[column_index("count")]) + " is not a whole number"};
    if (s.count > 0 && row[column_index("mean_ohm")].empty())
        throw fault{line, "no mean_ohm where count is " + std::to_string(s.count)};
    s.mean = number_or_nan(row[column_index("mean_ohm")]);
    s.u_c_ppm = number_or_nan(row[column_index("u_c_ppm")]);
    s.u_mean_ppm = number_or_nan(row[column_index("u_mean_ppm")]);
}

void read_rows(std::string_view text, const nominal_grid& nominal, earlier_results& out) {
    const std::string header = results_header();
    if (text.substr(0, header.size()) != header ||
        (text.size() > header.size() && text[header.size()] != '\r' && text[header.size()] != '\n'))
        throw fault{1, "not a results file of this program: its first line is not the header "
                       "this program writes"};
    csv_records records(text);
    records.next();
    rows_read read;
    while (!records.at_end()) {
        const std::size_t line = records.line();
        read_row(records.next(), line, nominal, read, out);
    }
    for (unsigned p = 1; p < positions; ++p)
        for (unsigned d = 0; d < decade_count; ++d)
            if (read.line_of[p][d] == 0)
                throw fault{0, "no row for " + setting_place({p, d})};
    std::string why;
    if (read.date.empty())
        throw fault{read.first_row, "no date: the log of that calibration had no '# date:' line"};
    if (!read_date(read.date, out.date, why))
        throw fault{read.first_row, why};
    out.item = read.item;
    out.date_line = read.first_row;
}

std::string located(std::string_view file, std::size_t line, const std::string& what) {
    return std::string(file) + (line > 0 ? ":" + std::to_string(line) : "") + ": " + what + "\n";
}

// A results file is some tens of kilobytes; anything far larger is not one.
bool read_file(const std::string& path, std::string& text, std::string& error) {
    constexpr std::size_t largest = 1 << 20;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error =
            located(path, 0, "cannot read the results file: " + std::string(std::strerror(errno)));
        return false;
    }
    text.assign(largest + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f));
    const bool failed = std::ferror(f) != 0;
    const int why = errno;
    std::fclose(f);
    if (failed || text.size() > largest)
        error = located(path, 0,
                        "cannot read the results file: " +
                            std::string(failed ? std::strerror(why) : "larger than 1 MiB"));
    return !failed && text.size() <= largest;
}

} // namespace

bool read_earlier_results(std::string_view file, std::string_view text, const nominal_grid& nominal,
                          earlier_results& out, std::string& error) {
    out = {};
    out.file = file;
    try {
        read_rows(text, nominal, out);
    } catch (const fault& f) {
        error = located(file, f.line, f.what);
        return false;
    }
    return true;
}

bool history_files(std::span<const std::string> paths, std::vector<std::string>& files,
                   std::string& error) {
    namespace fs = std::filesystem;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(path, ec))
            if (entry.path().extension() == ".csv" && entry.is_regular_file(ec))
                found.push_back(entry.path().string());
        if (found.empty()) {
            error = located(path, 0, "no .csv file in the folder");
            return false;
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return true;
}

bool read_history(std::span<const std::string> paths, std::chrono::year_month_day date,
                  std::string_view item, const nominal_grid& nominal,
                  std::vector<earlier_results>& out, std::string& error) {
    std::vector<std::string> files;
    if (!history_files(paths, files, error))
        return false;
    out.clear();
    std::string text;
    for (const std::string& file : files) {
        earlier_results read;
        if (!read_file(file, text, error) ||
            !read_earlier_results(file, text, nominal, read, error))
            return false;
        if (!(read.date < date)) {
            error = located(file, read.date_line,
                            "date " + date_text(read.date) + " is not before this calibration's, " +
                                date_text(date));
            return false;
        }
        if (!item.empty() && !read.item.empty() && read.item != item) {
            error =
                located(file, read.date_line,
                        "item " + in_quotes(read.item) + " is not the log's, " + in_quotes(item));
            return false;
        }
        out.push_back(std::move(read));
    }
    sort_stably(out,
                [](const earlier_results& a, const earlier_results& b) { return a.date < b.date; });
    for (std::size_t i = 1; i < out.size(); ++i)
        if (out[i].date == out[i - 1].date) {
            error =
                located(out[i].file, out[i].date_line,
                        "date " + date_text(out[i].date) + " is also that of " + out[i - 1].file);
            return false;
        }
    return true;
}
