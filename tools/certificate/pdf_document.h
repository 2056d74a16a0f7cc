// The one place that draws: a document laid out on A4 pages by Pango and
// written as PDF by Cairo, fonts embedded and text extractable.  Without
// Cairo and Pango the build compiles pdf_none.cpp instead.
#pragma once

#include <string>

#include "certificate/document.h"

// Whether this build can write a PDF at all.
bool can_write_pdf();

// The PDF of `doc` into `bytes`; false with `why` at a failure.  The same
// document gives the same bytes: the file's dates are doc.date.
bool pdf_of(const document& doc, std::string& bytes, std::string& why);
