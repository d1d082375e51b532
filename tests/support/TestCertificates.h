#pragma once
// Throw-away certificates for TLS tests, made with the openssl command: a certificate
// authority, and a certificate for "localhost" it signs. Keys are P-256, made in
// milliseconds; nothing is protected by a passphrase.

#include <QString>

namespace testing_support {

// Makes a certificate authority in `folder` (made when missing): ca.crt and ca.key.
// Gives the reason when it cannot.
QString makeCertificateAuthority(const QString& folder);

// Makes server.crt and server.key in `folder` for the host name "localhost", signed by
// the authority in `authorityFolder`.
QString makeLocalhostCertificate(const QString& authorityFolder, const QString& folder);

} // namespace testing_support
