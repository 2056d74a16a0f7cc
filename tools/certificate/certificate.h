// The calibration certificate of a judged log: whether one may be issued,
// and what it says, as a document (document.h).  The results file keeps
// the full figures; only the certificate rounds them (rounding.h), after
// raising each U to the laboratory's CMC.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "certificate/document.h"
#include "certificate/lab_file.h"
#include "log/setting_finder.h"
#include "results/results.h"

// Why no certificate may be issued from these results, in words that
// finish "no certificate: ..."; empty when one may.  The record must give
// the certificate's number, the customer, the item, the date and the
// reference, the log must be judged, its reference in calibration on the
// day, received no later and issued no earlier than the calibration.
std::string certificate_refusal(const log_results& results, const lab_data& lab,
                                const std::chrono::year_month_day& issued);

// The certificate, which certificate_refusal() allows.
document certificate_document(const log_results& results, const lab_data& lab,
                              const std::chrono::year_month_day& issued);

// A setting whose U was raised to the CMC, which the build names: its
// verdict as judged (the page's), and the certificate's under the CMC.
struct raised_u {
    setting at;
    verdict judged, stated;
};
std::vector<raised_u> raised_to_cmc(const log_results& results, const lab_data& lab);

// One row of the results table: the four figures of a judged setting,
// rounded, its U first raised to the CMC `cmc_ppm` where below it, and
// its verdict under `rule` decided again with that U, the one stated.
struct result_row {
    std::string value, value_u;         // in ohms
    std::string deviation, deviation_u; // in ppm, the deviation signed
    bool raised = false;
    verdict outcome = verdict::none;
};
result_row round_row(const judgement& j, double cmc_ppm, const decision_rule& rule);
