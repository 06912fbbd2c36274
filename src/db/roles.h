#pragma once

#include <QString>

// On the server every operator is a PostgreSQL login role of its own (see roles_pg.sql); the
// server checks the password and enforces the rights. These give the role and the password an
// operator's login name and typed password stand for, the same on every seat.
namespace db {

class Connection;

// "tv_" followed by the login name trimmed and case-folded, so that two names that differ only in
// letter case are one role, as they are one operator. Any character may stand in it (statements
// quote it as an identifier); a name longer than a role name may be (63 bytes) keeps its first
// part and a digest of the whole, so that two long names never become one role.
QString roleName(const QString& uname);

// The password of the role: the typed text trimmed and case-folded, as the login compares it.
QString rolePassword(const QString& typed);

// The SCRAM-SHA-256 verifier of a password for a role, made here (libpq) so that the password
// itself is never sent in a statement nor written into the server's log. con: an open server
// connection (its password_encryption settings are asked for). Throws db::Error.
QString scramVerifier(Connection& con, const QString& role, const QString& typed);

} // namespace db
