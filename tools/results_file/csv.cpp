#include "results_file/csv.h"

#include <algorithm>

#include "log/text_syntax.h"
#include "results_file/columns.h"

std::string csv_field(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(field);
    std::string quoted = "\"";
    for (char c : field)
        quoted += c == '"' ? std::string(2, c) : std::string(1, c);
    return quoted + "\"";
}

std::string csv_line(std::span<const std::string> fields) {
    std::string line;
    const char* comma = "";
    for (const std::string& field : fields) {
        line += comma;
        line += csv_field(field);
        comma = ",";
    }
    return line + "\r\n";
}

std::string results_header() {
    std::vector<std::string> names;
    for (const result_column& c : result_columns)
        names.emplace_back(c.name);
    return csv_line(names);
}

std::optional<std::size_t> csv_table::column(std::string_view name) const {
    const auto at = std::find(header.begin(), header.end(), name);
    return at == header.end()
               ? std::nullopt
               : std::optional<std::size_t>(static_cast<std::size_t>(at - header.begin()));
}

namespace {

// The records of RFC 4180 text, one at a time: fields between commas, a
// field in quotes may hold commas, line ends and doubled quotes; a record
// ends at CR LF or LF.
class csv_records {
  public:
    explicit csv_records(std::string_view text) : text_(text) {}
    bool at_end() const { return at_ == text_.size(); }
    std::size_t line() const { return line_; }

    // False, with `fault` set, for a record that breaks the quoting rules.
    bool next(std::vector<std::string>& fields, csv_fault& fault) {
        fields.assign(1, {});
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
                return true;
            } else if (closed || c == '"') {
                if (closed || !fields.back().empty()) {
                    fault = {line_, closed ? "text after a closing quote"
                                           : "a quote inside a field that does not start with one"};
                    return false;
                }
                inside = true;
            } else {
                fields.back() += c;
            }
        }
        if (inside)
            fault = {first_line, "a quote that is never closed"};
        return !inside;
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0, line_ = 1;
};

bool is_blank_record(const std::vector<std::string>& fields) {
    return fields.size() == 1 && fields[0].empty();
}

bool read_header(csv_records& records, csv_table& table, csv_fault& fault) {
    if (records.at_end() || !records.next(table.header, fault)) {
        if (fault.what.empty())
            fault = {1, "empty: not a results file"};
        return false;
    }
    for (std::size_t i = 0; i < table.header.size(); ++i) {
        const std::string& name = table.header[i];
        if (name.empty() ||
            std::find(table.header.begin(), table.header.begin() + static_cast<std::ptrdiff_t>(i),
                      name) != table.header.begin() + static_cast<std::ptrdiff_t>(i)) {
            fault = {1, "column " + std::to_string(i + 1) + " of the header " +
                            (name.empty() ? "has no name" : "repeats '" + name + "'")};
            return false;
        }
    }
    return true;
}

} // namespace

bool read_csv_table(std::string_view text, csv_table& table, csv_fault& fault) {
    table = {};
    fault = {};
    const text_start begins = start_of_text(text.substr(0, encoding_bytes));
    if (begins.other) {
        fault = {1, encoding_fault(begins.other)};
        return false;
    }
    csv_records records(text.substr(begins.mark));
    if (!read_header(records, table, fault))
        return false;
    std::vector<std::string> fields;
    while (!records.at_end()) {
        const std::size_t line = records.line();
        if (!records.next(fields, fault))
            return false;
        if (is_blank_record(fields))
            continue;
        if (fields.size() != table.header.size()) {
            fault = {line, std::to_string(fields.size()) + " fields where the header has " +
                               std::to_string(table.header.size())};
            return false;
        }
        table.rows.push_back({line, std::move(fields)});
    }
    return true;
}
