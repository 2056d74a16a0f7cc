// The certificate's drawing where the build found no Cairo and Pango.
#include "certificate/pdf_document.h"

bool can_write_pdf() {
    return false;
}

bool pdf_of(const document&, std::string&, std::string& why) {
    why = "this build has no Cairo and Pango (libcairo2-dev, libpango1.0-dev)";
    return false;
}
