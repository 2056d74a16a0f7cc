// A certificate as plain data: what it says, element by element, before
// anything is laid out on a page.  The content is built and tested as
// this; only pdf_document.cpp lays it out and draws it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

enum class text_style : std::uint8_t { heading, body, small };

struct doc_paragraph {
    text_style style = text_style::body;
    std::string text;
};

// Label and value, one pair a line.
struct doc_fields {
    std::vector<std::pair<std::string, std::string>> rows;
};

// A column's alignment; `point` lines its figures up on their decimal
// points, right-aligned where they have none.
enum class column_align : std::uint8_t { left, point };
struct doc_column {
    std::string header;
    double width = 0; // a share of the text width; the shares add up to 1
    column_align align = column_align::left;
};
struct doc_table {
    std::vector<doc_column> columns;
    std::vector<std::vector<std::string>> rows; // a cell per column
};

// Where the approver signs.
struct doc_signature {
    std::string approver, date;
};

using doc_element = std::variant<doc_paragraph, doc_fields, doc_table, doc_signature>;

struct document {
    // On every page: the laboratory, the title, the number, "Page i of N".
    std::string laboratory, title, number;
    std::vector<doc_element> body;
    std::string closing; // after the last element
    std::string date;    // the issue date, YYYY-MM-DD: the file's dates
};
