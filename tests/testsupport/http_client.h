#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <atomic>
#include <thread>

// A plain HTTP client for tests (libcurl, no part of the program): the OAuth2 test server's
// controls, and the "browser" of a sign-in.

struct HttpAnswer {
    long status = 0;
    QByteArray body;
    QString location;  // the Location header of a redirect
};
// One request; method GET or POST (an empty form). Does not follow redirects.
HttpAnswer http_request(const QString& method, const QUrl& url);

// The user's browser in a sign-in: opens the address in a thread of its own (the program's event
// loop must go on meanwhile), follows the authorization server's redirect to the loopback address,
// and keeps what the last page said.
class HttpBrowser {
public:
    ~HttpBrowser();
    bool open(const QUrl& url);  // for OpenBrowser and Prompter::open_document
    void wait();
    long last_status() const { return m_status; }
    QByteArray last_page() const;
    int opened() const { return m_opened; }

private:
    std::thread m_thread;
    std::atomic<long> m_status{0};
    QByteArray m_page;
    std::atomic<int> m_opened{0};
    std::atomic<bool> m_done{true};
};
