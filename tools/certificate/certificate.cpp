#include "certificate/certificate.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

#include "base/calendar.h"
#include "base/text_format.h"
#include "certificate/rounding.h"
#include "log/text_syntax.h"

namespace {

// The record's fields a certificate cannot go without.
constexpr record_key needed_keys[] = {record_key::certificate, record_key::customer,
                                      record_key::item, record_key::date, record_key::reference};

std::string field_text(const log_results& r, record_key key) {
    const record_field* f = find_field(r.record, key);
    return f ? f->value : std::string();
}

std::string missing_keys(const calibration_record& record) {
    std::string missing;
    for (record_key key : needed_keys)
        if (!find_field(record, key))
            missing += (missing.empty() ? "" : ", ") + std::string(key_name(key));
    return missing;
}

// The dates must follow each other: received, calibrated, issued.
std::string date_order_fault(const calibration_record& record,
                             const std::chrono::year_month_day& issued) {
    if (record.received && *record.received > *record.date)
        return "received " + date_text(*record.received) + ", after the calibration on " +
               date_text(*record.date);
    if (issued < *record.date)
        return "issued " + date_text(issued) + ", before the calibration on " +
               date_text(*record.date);
    return "";
}

bool judged_with_u(const judgement& j) {
    return j.outcome != verdict::not_judged && j.expanded > 0 && std::isfinite(j.expanded);
}

// The settings in the certificate's order: by decade, then position.
template <typename Each> void each_setting(Each each) {
    for (unsigned d = 0; d < decade_count; ++d)
        for (unsigned p = 1; p < positions; ++p)
            each(setting{p, d});
}

// "0.01 % + 0.002 Ω": a value of the tolerance file as it writes it.
std::string in_symbols(std::string_view value) {
    std::string text(value);
    for (std::size_t at; (at = text.find("ohm")) != std::string::npos;)
        text.replace(at, 3, "Ω");
    return text;
}

// The tolerance and the zero as the tolerance file states them.
struct stated_limits {
    std::string tolerance, zero = "0 Ω";
};
stated_limits limits_as_stated(const log_judgement& judged) {
    stated_limits stated;
    key_file_error ignored; // the file was read without a fault before
    read_key_lines(
        judged.text,
        [&](const key_value_line& kv) {
            if (kv.key == "zero")
                stated.zero = in_symbols(kv.value);
            else if (kv.key.starts_with("tolerance"))
                stated.tolerance +=
                    (stated.tolerance.empty() ? "" : "; ") +
                    (kv.key == "tolerance" ? std::string("±(")
                                           : "decade " + std::string(kv.key.substr(10)) + " ±(") +
                    in_symbols(kv.value) + ")";
        },
        ignored);
    return stated;
}

// A field where it has a value.
void add_field(doc_fields& f, const char* label, std::string value) {
    if (!value.empty())
        f.rows.emplace_back(label, std::move(value));
}

doc_fields identity_fields(const log_results& r, const lab_data& lab,
                           const std::chrono::year_month_day& issued) {
    doc_fields f;
    add_field(f, "Certificate number", field_text(r, record_key::certificate));
    add_field(f, "Customer", field_text(r, record_key::customer));
    add_field(f, "Item calibrated", field_text(r, record_key::item));
    const std::string place = field_text(r, record_key::location);
    add_field(f, "Place of calibration", place.empty() ? lab.location : place);
    if (r.record.received)
        add_field(f, "Date of receipt", date_text(*r.record.received));
    add_field(f, "Date of calibration", date_text(*r.record.date));
    add_field(f, "Date of issue", date_text(issued));
    return f;
}

doc_fields method_fields(const log_results& r, const lab_data& lab, const stated_limits& stated) {
    doc_fields f;
    const std::string method = field_text(r, record_key::method);
    add_field(f, "Method", method.empty() ? lab.method : method);
    add_field(f, "Ambient temperature", field_text(r, record_key::temperature));
    add_field(f, "Relative humidity", field_text(r, record_key::humidity));
    const std::string reference = field_text(r, record_key::reference);
    const reference_lookup found = look_up_reference(lab, reference, *r.record.date);
    add_field(f, "Reference standard", reference);
    add_field(f, "Traceability", found.entry ? found.entry->traceability : "");
    add_field(f, "Zero resistance subtracted", stated.zero);
    add_field(f, "Tolerance", stated.tolerance);
    return f;
}

// The row of a judged setting, under the laboratory's CMC.
result_row row_of(const log_results& r, const lab_data& lab, setting at) {
    const judgement& j = r.judged->settings[at.p][at.d];
    return round_row(j, cmc_ppm(lab, j.nominal, at.d), r.judged->data.rule);
}

// The verdict the certificate states: decided with the U it states.
verdict stated_verdict(const log_results& r, const lab_data& lab, setting at) {
    const judgement& j = r.judged->settings[at.p][at.d];
    return judged_with_u(j) ? row_of(r, lab, at).outcome : j.outcome;
}

doc_table results_table(const log_results& r, const lab_data& lab) {
    // Wide enough for "1000000 Ω" and each header on one line.
    doc_table t{{{"Nominal", 0.11, column_align::left},
                 {"Position", 0.10, column_align::left},
                 {"Measured value / Ω", 0.20, column_align::point},
                 {"U / Ω", 0.10, column_align::point},
                 {"Deviation / ppm", 0.17, column_align::point},
                 {"U / ppm", 0.10, column_align::point},
                 {"k", 0.07, column_align::point},
                 {"Verdict", 0.15, column_align::left}},
                {}};
    each_setting([&](setting at) {
        const judgement& j = r.judged->settings[at.p][at.d];
        if (!judged_with_u(j))
            return;
        const result_row row = row_of(r, lab, at);
        t.rows.push_back({nominal_text(at),
                          std::to_string(at.p) + ", 1E" + std::to_string(at.d + 1), row.value,
                          row.value_u, row.deviation, row.deviation_u, format("%.2f", j.k),
                          verdict_word(row.outcome)});
    });
    return t;
}

// The settings not in the table, each with its reason; the settings
// without readings by decade, as they are most.
std::string not_stated(const log_results& r) {
    std::string unread, other;
    for (unsigned d = 0; d < decade_count; ++d) {
        std::string positions_unread;
        for (unsigned p = 1; p < positions; ++p) {
            const judgement& j = r.judged->settings[p][d];
            if (r.settings[p][d].count == 0)
                positions_unread += (positions_unread.empty() ? "" : ", ") + std::to_string(p);
            else if (!judged_with_u(j))
                other += setting_label({p, d}) + ": " +
                         (j.outcome == verdict::not_judged ? std::string(j.why_not_judged)
                                                           : "no uncertainty") +
                         ".\n";
        }
        if (!positions_unread.empty())
            unread += (unread.empty() ? "" : "; ") + std::string("decade 1E") +
                      std::to_string(d + 1) + " positions " + positions_unread;
    }
    return other + (unread.empty() ? "" : "Not measured (no readings): " + unread + ".");
}

std::string uncertainty_statement(const lab_data& lab) {
    return std::string("The expanded uncertainty U is the combined standard uncertainty multiplied "
                       "by the coverage factor k, which for the effective degrees of freedom of "
                       "each setting corresponds to a coverage probability of about 95 %. It has "
                       "been evaluated as the Guide to the Expression of Uncertainty in "
                       "Measurement (GUM, JCGM 100:2008) sets out. The budget holds the scatter "
                       "of the readings (Type A), the reference meter's stated accuracy on the "
                       "range used and the further contributions the tolerance file states "
                       "(Type B).") +
           (lab.cmc || std::any_of(std::begin(lab.decade_cmc), std::end(lab.decade_cmc),
                                   [](const auto& c) { return c.has_value(); })
                ? " No U is stated below the laboratory's calibration and measurement "
                  "capability (CMC)."
                : "");
}

std::string rule_words(const decision_rule& rule) {
    const rule_text& text = text_of(rule.kind);
    if (rule.kind == rule_kind::none)
        return std::string("No decision rule was agreed: ") + text.zones + ".";
    return "Decision rule: " + rule_name(rule) + " (" + text.source + "): " + text.zones +
           "; d is the deviation from nominal after subtraction of the zero resistance, T the "
           "tolerance, U the expanded uncertainty" +
           (text.takes_r ? ", w = R·U the guard band" : "") + ".";
}

// Each verdict that occurs, with the settings that have it.
std::string verdict_lists(const log_results& r, const lab_data& lab) {
    std::string text;
    for (verdict v : {verdict::pass, verdict::pass_star, verdict::conditional_pass,
                      verdict::conditional_fail, verdict::fail}) {
        std::string named;
        each_setting([&](setting at) {
            if (stated_verdict(r, lab, at) == v)
                named += (named.empty() ? "" : ", ") + setting_label(at);
        });
        std::string word = verdict_word(v);
        word[0] = static_cast<char>(word[0] - 'a' + 'A'); // every word starts with a letter
        if (named.empty())
            continue;
        text += text.empty() ? "" : " ";
        text += word + ": ";
        text += named + ".";
    }
    return text;
}

std::string interval_statement(const log_results& r) {
    const unsigned months = r.judged->data.interval_months;
    return "As agreed with the customer, the item is due for recalibration by " +
           date_text(plus_months(*r.record.date, static_cast<int>(months))) + " (" +
           std::to_string(months) + " months after the calibration).";
}

void add_paragraph(document& doc, text_style style, std::string text) {
    if (!text.empty())
        doc.body.emplace_back(doc_paragraph{style, std::move(text)});
}

} // namespace

result_row round_row(const judgement& j, double cmc, const decision_rule& rule) {
    const double u_ppm = relative_ppm(j.expanded, j.nominal);
    result_row row;
    row.raised = u_ppm < cmc;
    const double stated_ppm = row.raised ? cmc : u_ppm;
    const double stated = stated_ppm * j.nominal / 1e6;
    // A guard band is as wide as the U stated beside the verdict.
    row.outcome = row.raised ? decide(rule, j.deviation, j.tolerance, stated).outcome : j.outcome;
    const rounded_result ohms = round_result(j.nominal + j.deviation, stated);
    const rounded_result ppm =
        round_result(judged_deviation_ppm(j.deviation, j.nominal), stated_ppm, true);
    row.value = ohms.value;
    row.value_u = ohms.uncertainty;
    row.deviation = ppm.value;
    row.deviation_u = ppm.uncertainty;
    return row;
}

std::string certificate_refusal(const log_results& r, const lab_data& lab,
                                const std::chrono::year_month_day& issued) {
    if (const std::string missing = missing_keys(r.record); !missing.empty())
        return "the log's heading gives no " + missing;
    if (!r.judged)
        return "no tolerance file (-DDECADE_TOLERANCE) to judge the box against";
    const std::string reference = field_text(r, record_key::reference);
    if (std::string fault = reference_fault(look_up_reference(lab, reference, *r.record.date),
                                            reference, *r.record.date);
        !fault.empty())
        return fault;
    return date_order_fault(r.record, issued);
}

std::vector<raised_u> raised_to_cmc(const log_results& r, const lab_data& lab) {
    std::vector<raised_u> raised;
    each_setting([&](setting at) {
        const judgement& j = r.judged->settings[at.p][at.d];
        if (!judged_with_u(j))
            return;
        if (const result_row row = row_of(r, lab, at); row.raised)
            raised.push_back({at, j.outcome, row.outcome});
    });
    return raised;
}

document certificate_document(const log_results& r, const lab_data& lab,
                              const std::chrono::year_month_day& issued) {
    document doc{lab.name, "Calibration Certificate", field_text(r, record_key::certificate),
                 {},       "End of certificate",      date_text(issued)};
    add_paragraph(doc, text_style::small,
                  lab.address +
                      (lab.accreditation.empty() ? "" : "\nAccreditation: " + lab.accreditation));
    doc.body.emplace_back(identity_fields(r, lab, issued));
    add_paragraph(doc, text_style::heading, "Method, conditions and reference");
    doc.body.emplace_back(method_fields(r, lab, limits_as_stated(*r.judged)));
    add_paragraph(doc, text_style::heading, "Results");
    doc.body.emplace_back(results_table(r, lab));
    add_paragraph(
        doc, text_style::small,
        "Measured value: the mean of the readings less the zero resistance. Deviation: from "
        "nominal, in ppm of the nominal value. U: the expanded uncertainty, k: its coverage "
        "factor.");
    add_paragraph(doc, text_style::body, not_stated(r));
    add_paragraph(doc, text_style::heading, "Uncertainty of measurement");
    add_paragraph(doc, text_style::body, uncertainty_statement(lab));
    add_paragraph(doc, text_style::heading, "Statement of conformity");
    add_paragraph(doc, text_style::body,
                  "Conformity is stated against the tolerance " +
                      limits_as_stated(*r.judged).tolerance + ". " +
                      rule_words(r.judged->data.rule));
    add_paragraph(doc, text_style::body, verdict_lists(r, lab));
    if (find_field(r.record, record_key::interval))
        add_paragraph(doc, text_style::body, interval_statement(r));
    add_paragraph(
        doc, text_style::body,
        "The results relate only to the item calibrated. This certificate may be reproduced "
        "only in full; extracts need the laboratory's written approval.");
    doc.body.emplace_back(doc_signature{lab.approver, date_text(issued)});
    return doc;
}
