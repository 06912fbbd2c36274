#pragma once

#include <QString>

struct sqlite3;

// Operators' passwords are kept only as a salted, slow hash made for passwords (Argon2id, through
// libsodium's crypto_pwhash_str), never as the text itself. What is hashed is the password as the
// login compares it: blanks around it removed and letter case folded, so the login stays blind to
// letter case as it always was.
namespace db {

class Connection;

// The hash to store for a typed password. Throws db::Error when the hash cannot be made (memory).
QString passwordHash(const QString& typed);
// Whether a typed password is the one stored. A stored text that is not a hash (a file that has not
// been upgraded yet) is compared as the login always compared it, without regard to letter case.
bool passwordMatches(const QString& stored, const QString& typed);
bool isPasswordHash(const QString& stored);

// Replaces every stored password of syslogin that is not a hash yet by its hash, inside the
// caller's transaction; returns how many. Hashes are never touched.
int hashStoredPasswords(sqlite3* h);
int hashStoredPasswords(Connection& con);

// The cost of new hashes. Tests use the least one so that a test database does not spend a
// quarter of a second on every login; the program never changes it.
enum class HashCost { Interactive, Least };
void setPasswordHashCost(HashCost cost);

} // namespace db
