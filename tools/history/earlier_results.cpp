#include "history/earlier_results.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>

#include "base/calendar.h"
#include "base/stable_sort.h"
#include "base/text_format.h"
#include "base/whole_file.h"
#include "log/setting_finder.h"
#include "results_file/columns.h"
#include "results_file/csv.h"

namespace {

// Why a file is not read: thrown by the readers of its parts, caught once
// per file.  Line 0 concerns the whole file.
struct fault {
    std::size_t line;
    std::string what;
};

// The columns the history takes, each a column of the results file: those
// it needs, and those it takes where the file has them.
enum used : std::uint8_t {
    position,
    decade,
    nominal_ohm,
    count,
    mean_ohm,
    date,
    item,
    u_mean_ppm,
    u_c_ppm,
    judged_deviation_ppm,
    used_count
};
struct used_column {
    used which;
    std::size_t column; // in result_columns
    bool needed;
};
consteval used_column needs(used which, std::string_view name, bool needed) {
    return {which, column_index(name), needed};
}
constexpr used_column used_columns[] = {
    needs(position, "position", true),
    needs(decade, "decade", true),
    needs(nominal_ohm, "nominal_ohm", true),
    needs(count, "count", true),
    needs(mean_ohm, "mean_ohm", true),
    needs(date, "date", true),
    needs(item, "item", false),
    needs(u_mean_ppm, "u_mean_ppm", false),
    needs(u_c_ppm, "u_c_ppm", false),
    needs(judged_deviation_ppm, "judged_deviation_ppm", false),
};
// Each row at its enumerator's place, and one for each: the table is
// indexed by the enum.
constexpr bool columns_in_order() {
    for (std::size_t u = 0; u < std::size(used_columns); ++u)
        if (static_cast<std::size_t>(used_columns[u].which) != u)
            return false;
    return true;
}
static_assert(columns_in_order() && std::size(used_columns) == used_count);

std::string_view name_of(used u) {
    return result_columns[used_columns[u].column].name;
}

// Where each used column is in this file's header.
using column_places = std::array<std::optional<std::size_t>, used_count>;

column_places places_of(const csv_table& table) {
    column_places places;
    for (unsigned u = 0; u < used_count; ++u) {
        places[u] = table.column(name_of(static_cast<used>(u)));
        if (places[u] || !used_columns[u].needed)
            continue;
        if (u == date)
            throw fault{1, "no column 'date': the file was written before results files gave the "
                           "calibration's date; add a column named date that gives it, "
                           "YYYY-MM-DD, in every row"};
        throw fault{1, "no column '" + std::string(name_of(static_cast<used>(u))) +
                           "': not a results file of this program, which writes one"};
    }
    return places;
}

std::string in_quotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

template <typename T> bool read_whole(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

// A finite number written whole, as the writer writes one.
bool read_number(std::string_view text, double& value) {
    return read_whole(text, value) && std::isfinite(value);
}

// One row as the history sees it: its used fields, each checked for the
// kind its column holds.
struct row_fields {
    std::size_t line;
    std::array<std::string_view, used_count> text{}; // empty where absent

    double number(used u) const {
        double value = std::numeric_limits<double>::quiet_NaN();
        if (!text[u].empty())
            read_number(text[u], value);
        return value;
    }
};

row_fields fields_of(const csv_row& row, const column_places& places) {
    row_fields f{row.line};
    for (unsigned u = 0; u < used_count; ++u) {
        if (!places[u])
            continue;
        const std::string_view text = row.fields[*places[u]];
        f.text[u] = text;
        const column_kind kind = result_columns[used_columns[u].column].kind;
        double number = 0;
        std::uint64_t whole = 0;
        if (text.empty() || kind == column_kind::text ||
            (kind == column_kind::number ? read_number(text, number) : read_whole(text, whole)))
            continue;
        throw fault{row.line, std::string(name_of(static_cast<used>(u))) + " " + in_quotes(text) +
                                  (kind == column_kind::number ? " is not a number"
                                                               : " is not a whole number")};
    }
    return f;
}

// What the rows must agree on, and where each setting was given.
struct rows_read {
    std::size_t first_row = 0; // its line
    std::string_view date, item;
    std::size_t line_of[positions][decade_count]{};
};

setting setting_of(const row_fields& row) {
    const std::string_view p_text = row.text[position], d_text = row.text[decade];
    unsigned p = 0;
    for (unsigned d = 0; d < decade_count; ++d)
        if (d_text == decade_name(d) && read_whole(p_text, p) && p >= 1 && p < positions)
            return {p, d};
    throw fault{row.line,
                "no setting at position " + in_quotes(p_text) + ", decade " + in_quotes(d_text)};
}

// The date and the item are the calibration's, the same in every row.
void check_calibration(const row_fields& row, rows_read& read) {
    if (read.first_row == 0) {
        read.first_row = row.line;
        read.date = row.text[date];
        read.item = row.text[item];
        return;
    }
    for (const auto& [u, first] : {std::pair{date, read.date}, std::pair{item, read.item}})
        if (row.text[u] != first)
            throw fault{row.line, std::string(name_of(u)) + " " + in_quotes(row.text[u]) +
                                      " differs from line " + std::to_string(read.first_row) +
                                      "'s, " + in_quotes(first)};
}

void read_row(const row_fields& row, const nominal_grid& nominal, rows_read& read,
              earlier_results& out) {
    const setting at = setting_of(row);
    std::size_t& given = read.line_of[at.p][at.d];
    if (given != 0)
        throw fault{row.line,
                    setting_place(at) + " given twice, first on line " + std::to_string(given)};
    given = row.line;
    if (row.text[nominal_ohm] != std::to_string(std::llround(nominal[at.p][at.d])))
        throw fault{row.line, "nominal_ohm " + in_quotes(row.text[nominal_ohm]) +
                                  " is not that of " + setting_place(at) + ", " + nominal_text(at)};
    check_calibration(row, read);
    earlier_setting& s = out.settings[at.p][at.d];
    if (!read_whole(row.text[count], s.count))
        throw fault{row.line, "count " + in_quotes(row.text[count]) + " is not a whole number"};
    if (s.count > 0 && row.text[mean_ohm].empty())
        throw fault{row.line, "no mean_ohm where count is " + std::to_string(s.count)};
    s.mean = row.number(mean_ohm);
    s.u_mean_ppm = row.number(u_mean_ppm);
    s.u_c_ppm = row.number(u_c_ppm);
    s.judged_deviation_ppm = row.number(judged_deviation_ppm);
}

void read_rows(std::string_view text, const nominal_grid& nominal, earlier_results& out) {
    csv_table table;
    csv_fault bad;
    if (!read_csv_table(text, table, bad))
        throw fault{bad.line, bad.what};
    const column_places places = places_of(table);
    rows_read read;
    for (const csv_row& row : table.rows)
        read_row(fields_of(row, places), nominal, read, out);
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
    return file_line(file, line) + what + "\n";
}

// ".csv" in any case: a file copied from Windows may be named 2024.CSV.
bool named_csv(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".csv";
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
            if (named_csv(entry.path()) && entry.is_regular_file(ec))
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

namespace {

// A results file is some tens of kilobytes; anything far larger is not one.
constexpr std::size_t largest_results_file = 1 << 20;

// One earlier file against this calibration: before it, and of the same
// item; an item that one side names and the other does not is told.
bool check_against(const earlier_results& read, std::chrono::year_month_day date,
                   std::string_view item, std::string& warnings, std::string& error) {
    if (!(read.date < date)) {
        error = located(read.file, read.date_line,
                        "date " + date_text(read.date) + " is not before this calibration's, " +
                            date_text(date));
        return false;
    }
    if (!item.empty() && !read.item.empty() && read.item != item) {
        error = located(read.file, read.date_line,
                        "item " + in_quotes(read.item) + " is not the log's, " + in_quotes(item));
        return false;
    }
    if (item.empty() != read.item.empty())
        warnings += located(read.file, read.date_line,
                            item.empty() ? "warning: names the item " + in_quotes(read.item) +
                                               ", the log names none: is it the same box?"
                                         : "warning: names no item, the log names " +
                                               in_quotes(item) + ": is it the same box?");
    return true;
}

} // namespace

bool read_history(std::span<const std::string> paths, std::chrono::year_month_day date,
                  std::string_view item, const nominal_grid& nominal, earlier_calibrations& out,
                  std::string& error) {
    std::vector<std::string> files;
    if (!history_files(paths, files, error))
        return false;
    out = {};
    std::string text, why;
    for (const std::string& file : files) {
        earlier_results read;
        if (!read_whole_file(file, largest_results_file, text, why)) {
            error = located(file, 0, "cannot read the results file: " + why);
            return false;
        }
        if (!read_earlier_results(file, text, nominal, read, error) ||
            !check_against(read, date, item, out.warnings, error))
            return false;
        out.files.push_back(std::move(read));
    }
    sort_stably(out.files,
                [](const earlier_results& a, const earlier_results& b) { return a.date < b.date; });
    for (std::size_t i = 1; i < out.files.size(); ++i)
        if (out.files[i].date == out.files[i - 1].date) {
            error = located(out.files[i].file, out.files[i].date_line,
                            "date " + date_text(out.files[i].date) + " is also that of " +
                                out.files[i - 1].file);
            return false;
        }
    return true;
}
