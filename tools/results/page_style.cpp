// The page's styles, inline in its head.
#include "results/page_parts.h"

namespace page_parts {

// The charts scale to the width they are given and the grids hold as many
// as fit, so the page reflows from a phone to a wide screen; the table alone
// may be wider than a phone, and scrolls within its own box.
const char* const page_style =
    "body{font:13px/1.4 sans-serif;margin:16px auto;padding:0 12px;max-width:1000px;color:#222;"
    "overflow-wrap:break-word}"
    "h1{font-size:20px}h2{font-size:16px;margin-top:24px}"
    "svg{width:100%;height:auto;display:block}"
    ".decades{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,340px),1fr));"
    "gap:8px}"
    ".runs{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,170px),1fr));"
    "gap:6px}"
    "figure{margin:0;min-width:0}figcaption{font-size:10px}"
    ".grid{stroke:#ddd;stroke-width:.5}.axis{stroke:#888}.tick{font-size:9px;fill:#555}"
    ".title{font-size:12px;fill:#222}.bar{stroke:#333;stroke-width:1.2}"
    ".none{font-size:9px;fill:#c00}.mean{stroke-dasharray:4 2}.reading{fill:#246}"
    ".range{stroke:#246;stroke-width:1.2}.far{fill:#d00;font-size:9px}circle.far{fill:none;"
    "stroke:#d00;stroke-width:1.2}.taken{stroke:#246}.left{stroke:#d00}"
    ".wide{overflow-x:auto}.band{fill:#e8eee8}.tmark{stroke:#555}"
    ".lmark{stroke:#555;stroke-dasharray:3 2}.heading{margin-top:-6px;color:#444}"
    ".conformity{border-left:3px solid #888;padding-left:10px}.summary{font-weight:bold}"
    ".legend span{font-size:15px}.mark{font-weight:bold}"
    "table{border-collapse:collapse;font-size:11px}td,th{border:1px solid #ccc;padding:1px 5px;"
    "text-align:right;white-space:nowrap}td:first-child{text-align:left}td.names{white-space:"
    "normal}"
    ".pband{fill:#dde6f2}.fit{stroke:#246;stroke-width:1.2}.due{stroke:#c00;stroke-dasharray:3 2}"
    ".point{fill:#246}.unfitted{fill:#fff;stroke:#246;stroke-width:1.2}table.record{margin:6px "
    "0}table.record th,table.record td{text-align:left}"
    "h3{font-size:13px;margin:12px 0 4px}"
    "pre{font-size:10px;white-space:pre-wrap;background:#f6f6f6;padding:6px}"
    "@page{size:A4;margin:12mm}"
    "@media print{body{max-width:none;margin:0;padding:0;font-size:10px}.wide{overflow:visible}"
    ".runs{grid-template-columns:repeat(5,minmax(0,1fr))}td,th{white-space:normal}"
    "svg,figure,tr{break-inside:avoid}}";

} // namespace page_parts
