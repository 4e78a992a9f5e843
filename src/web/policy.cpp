#include "web/assets.h"

std::string_view contentSecurityPolicy() {
    // 'self' in connect-src covers the table's WebSocket (ws: or wss: to the same host). The
    // terminal's own computed styles reach the page as constructed style sheets and CSSOM
    // declarations (page/styles.js), which a policy without 'unsafe-inline' allows.
    return "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
           "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
}
