// Laying a document out on A4 pages and drawing it, with Pango shaping the
// text and Cairo writing the PDF.  The layout is done once to count the
// pages (every page names their number), then drawn.
#include "certificate/pdf_document.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

namespace {

// A4 in points, and the text's frame.
constexpr double page_width = 595.276, page_height = 841.89;
constexpr double margin = 56.7; // 20 mm
constexpr double text_width = page_width - 2 * margin;
constexpr double body_top = 128, body_bottom = page_height - margin;
constexpr double cell_pad = 3, row_gap = 2, block_gap = 7;
constexpr const char* family = "DejaVu Sans";

struct font {
    double size;
    bool bold;
};
constexpr font style_fonts[] = {{11, true}, {9, false}, {8, false}}; // by text_style
constexpr font table_font{8, false}, table_head{8, true}, label_font{9, true};

using layout_ptr = std::unique_ptr<PangoLayout, void (*)(gpointer)>;

// `text` shaped in `f`, wrapped at `width` points (0: unwrapped).
layout_ptr shaped(cairo_t* cr, std::string_view text, font f, double width = 0) {
    layout_ptr layout(pango_cairo_create_layout(cr), g_object_unref);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, family);
    pango_font_description_set_weight(desc, f.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(desc, f.size * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), desc);
    pango_font_description_free(desc);
    if (width > 0) {
        pango_layout_set_width(layout.get(), static_cast<int>(std::lround(width * PANGO_SCALE)));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
    return layout;
}

struct extent {
    double width, height;
};
extent extent_of(PangoLayout* layout) {
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    return {static_cast<double>(w) / PANGO_SCALE, static_cast<double>(h) / PANGO_SCALE};
}

void draw_at(cairo_t* cr, PangoLayout* layout, double x, double y) {
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
}

void rule_line(cairo_t* cr, double x0, double x1, double y, double width) {
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x0, y);
    cairo_line_to(cr, x1, y);
    cairo_stroke(cr);
}

// A piece of the body that stays on one page: its height, and how it is
// drawn with its top at y.  A table row carries its table's header, which
// a page it starts repeats.
struct block {
    double height;
    std::function<void(double y)> draw;
    const block* header = nullptr;
    bool keep_with_next = false; // a heading
};

void paragraph_blocks(cairo_t* cr, const doc_paragraph& p, std::vector<block>& out) {
    auto layout = std::make_shared<layout_ptr>(
        shaped(cr, p.text, style_fonts[static_cast<std::size_t>(p.style)], text_width));
    const double above = p.style == text_style::heading ? 6 : 0;
    out.push_back({above + extent_of(layout->get()).height + block_gap,
                   [cr, layout, above](double y) { draw_at(cr, layout->get(), margin, y + above); },
                   nullptr, p.style == text_style::heading});
}

void field_blocks(cairo_t* cr, const doc_fields& f, std::vector<block>& out) {
    constexpr double label_width = 0.3 * text_width;
    for (const auto& [label, value] : f.rows) {
        auto l = std::make_shared<layout_ptr>(shaped(cr, label, label_font, label_width - 6));
        auto v = std::make_shared<layout_ptr>(
            shaped(cr, value, style_fonts[1], text_width - label_width));
        const double h = std::max(extent_of(l->get()).height, extent_of(v->get()).height);
        out.push_back({h + row_gap, [cr, l, v](double y) {
                           draw_at(cr, l->get(), margin, y);
                           draw_at(cr, v->get(), margin + label_width, y);
                       }});
    }
    out.back().height += block_gap;
}

// The width of a figure's part from its decimal point on.
double fraction_width(cairo_t* cr, std::string_view text) {
    const std::size_t point = text.find('.');
    return point == std::string_view::npos
               ? 0
               : extent_of(shaped(cr, text.substr(point), table_font).get()).width;
}

// One line of cells, drawn each in its column: left, or on the column's
// decimal point placed for its widest fraction.
block row_block(cairo_t* cr, const doc_table& t, const std::vector<std::string>& cells, font f,
                const std::vector<double>& widest_fraction, bool head) {
    std::vector<std::shared_ptr<layout_ptr>> layouts;
    std::vector<double> xs;
    double x = margin, height = 0;
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        const double width = t.columns[c].width * text_width;
        const bool point = t.columns[c].align == column_align::point && !head;
        auto l =
            std::make_shared<layout_ptr>(shaped(cr, cells[c], f, point ? 0 : width - 2 * cell_pad));
        // A figure's header stands over its figures, at the right.
        if (head && t.columns[c].align == column_align::point)
            pango_layout_set_alignment(l->get(), PANGO_ALIGN_RIGHT);
        const extent e = extent_of(l->get());
        const double right_edge =
            x + width - cell_pad - (widest_fraction[c] - fraction_width(cr, cells[c]));
        xs.push_back(point ? right_edge - e.width : x + cell_pad);
        layouts.push_back(std::move(l));
        height = std::max(height, e.height);
        x += width;
    }
    return {height + 2 * cell_pad, [cr, layouts, xs, head, height](double y) {
                for (std::size_t c = 0; c < layouts.size(); ++c)
                    draw_at(cr, layouts[c]->get(), xs[c], y + cell_pad);
                rule_line(cr, margin, margin + text_width, y + height + 2 * cell_pad,
                          head ? 0.8 : 0.25);
            }};
}

void table_blocks(cairo_t* cr, const doc_table& t, std::vector<block>& out,
                  std::vector<std::unique_ptr<block>>& headers) {
    std::vector<double> widest(t.columns.size(), 0);
    for (const auto& row : t.rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widest[c] = std::max(widest[c], fraction_width(cr, row[c]));
    std::vector<std::string> names;
    for (const doc_column& c : t.columns)
        names.push_back(c.header);
    headers.push_back(std::make_unique<block>(row_block(cr, t, names, table_head, widest, true)));
    out.push_back(*headers.back());
    for (const auto& row : t.rows) {
        out.push_back(row_block(cr, t, row, table_font, widest, false));
        out.back().header = headers.back().get();
    }
    out.back().height += block_gap;
}

void signature_blocks(cairo_t* cr, const doc_signature& s, std::vector<block>& out) {
    auto who = std::make_shared<layout_ptr>(
        shaped(cr, "Authorised by " + s.approver + "\nDate of issue " + s.date, style_fonts[1],
               text_width / 2));
    auto sign = std::make_shared<layout_ptr>(shaped(cr, "Signature", style_fonts[2]));
    out.push_back({44 + extent_of(who->get()).height + block_gap, [cr, who, sign](double y) {
                       draw_at(cr, sign->get(), margin, y);
                       rule_line(cr, margin, margin + 200, y + 36, 0.5);
                       draw_at(cr, who->get(), margin, y + 40);
                   }});
}

// The header every page carries.
void draw_header(cairo_t* cr, const document& doc, std::size_t page, std::size_t pages) {
    draw_at(cr, shaped(cr, doc.laboratory, {11, true}, text_width * 0.6).get(), margin,
            margin - 10);
    draw_at(cr, shaped(cr, doc.title, {18, true}).get(), margin, margin + 10);
    const std::string right = "Certificate No. " + doc.number + "\nPage " + std::to_string(page) +
                              " of " + std::to_string(pages);
    layout_ptr r = shaped(cr, right, {9, false});
    pango_layout_set_alignment(r.get(), PANGO_ALIGN_RIGHT);
    pango_layout_set_width(r.get(), static_cast<int>(std::lround(text_width * 0.4 * PANGO_SCALE)));
    draw_at(cr, r.get(), margin + text_width * 0.6, margin - 8);
    rule_line(cr, margin, margin + text_width, body_top - 14, 1.2);
}

std::vector<block> body_blocks(cairo_t* cr, const document& doc,
                               std::vector<std::unique_ptr<block>>& headers) {
    std::vector<block> blocks;
    for (const doc_element& e : doc.body) {
        if (const auto* p = std::get_if<doc_paragraph>(&e))
            paragraph_blocks(cr, *p, blocks);
        else if (const auto* f = std::get_if<doc_fields>(&e))
            field_blocks(cr, *f, blocks);
        else if (const auto* t = std::get_if<doc_table>(&e))
            table_blocks(cr, *t, blocks, headers);
        else
            signature_blocks(cr, std::get<doc_signature>(e), blocks);
    }
    auto closing = std::make_shared<layout_ptr>(shaped(cr, doc.closing, {9, true}, text_width));
    pango_layout_set_alignment(closing->get(), PANGO_ALIGN_CENTER);
    blocks.push_back({extent_of(closing->get()).height + 12,
                      [cr, closing](double y) { draw_at(cr, closing->get(), margin, y + 12); }});
    return blocks;
}

// The blocks of each page, a table's header repeated where its rows go on.
std::vector<std::vector<const block*>> paginate(const std::vector<block>& blocks) {
    std::vector<std::vector<const block*>> pages(1);
    double y = body_top;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const block& b = blocks[i];
        const double needs =
            b.height + (b.keep_with_next && i + 1 < blocks.size() ? blocks[i + 1].height : 0);
        if (y + needs > body_bottom && !pages.back().empty()) {
            pages.emplace_back();
            y = body_top;
            if (b.header) {
                pages.back().push_back(b.header);
                y += b.header->height;
            }
        }
        pages.back().push_back(&b);
        y += b.height;
    }
    return pages;
}

cairo_status_t append(void* into, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(into)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void set_metadata(cairo_surface_t* surface, const document& doc) {
    // The file's dates are the issue date, never the clock's.
    const std::string when = doc.date + "T00:00:00Z";
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                   (doc.title + " " + doc.number).c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_AUTHOR, doc.laboratory.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "decade-report");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, when.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE, when.c_str());
}

void draw_pages(cairo_t* cr, const document& doc) {
    std::vector<std::unique_ptr<block>> headers;
    const std::vector<block> blocks = body_blocks(cr, doc, headers);
    const auto pages = paginate(blocks);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        draw_header(cr, doc, i + 1, pages.size());
        double y = body_top;
        for (const block* b : pages[i]) {
            b->draw(y);
            y += b->height;
        }
        cairo_show_page(cr);
    }
}

} // namespace

// Fontconfig keeps the fonts it found for the life of the process, by
// design (releasing them with FcFini() aborts where another process
// writes its cache meanwhile); a sanitized build is told so, not to count
// them as leaks.
#if defined(__SANITIZE_ADDRESS__)
#define DECADE_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DECADE_LEAK_CHECKED 1
#endif
#endif
#ifdef DECADE_LEAK_CHECKED
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
#endif

bool can_write_pdf() {
    return true;
}

bool pdf_of(const document& doc, std::string& bytes, std::string& why) {
    bytes.clear();
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(append, &bytes, page_width, page_height);
    set_metadata(surface, doc);
    cairo_t* cr = cairo_create(surface);
    draw_pages(cr, doc);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        why = cairo_status_to_string(status);
        return false;
    }
    return true;
}
