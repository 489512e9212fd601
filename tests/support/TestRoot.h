// Trusting the test PKI's root in the Wine prefix, as a machine trusts a real publisher's
// root: signed fixtures then verify as on Windows, chain trust included.
#pragma once

#include <string>

// Adds the DER certificate at cerPath (UTF-8) to the current user's trusted roots (replacing an
// equal one). True when it is there afterwards.
bool TrustTestRoot(const std::string &cerPath);
