#pragma once

#include <QString>
#include <optional>

// Where a mail sign-in's refresh token is kept: never in the database (which every PC shares and
// backups copy), but in the user's keyring through the Secret Service (Qt Keychain), or, where no
// keyring runs, in a file only the user may read ($XDG_STATE_HOME/eigyo-techo/mail-tokens.json,
// mode 0600). Only the refresh token is kept; access tokens live in memory for the run.

struct StoredSignIn {
    QString refresh_token;
    QString user;       // the mail account it was issued for
    QString signed_in;  // yyyy/MM/dd hh:mm, when the user signed in
};

enum class TokenPlace { Keyring, File };

// The account a token belongs to: token endpoint, client and user together.
QString token_account_key(const QString& token_url, const QString& client_id, const QString& user);

// Whether a keyring answers (probed once per run with a read).
bool keyring_available();
QString token_file_path();

std::optional<StoredSignIn> load_sign_in(const QString& account_key);
// Stores it; warning receives the one-time notice when it went into the file (empty otherwise).
// False (and warning the reason) when it could not be stored at all.
bool save_sign_in(const QString& account_key, const StoredSignIn& sign_in, TokenPlace* place = nullptr,
                  QString* warning = nullptr);
void remove_sign_in(const QString& account_key);
