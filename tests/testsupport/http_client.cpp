#include "http_client.h"

#include <curl/curl.h>

#include <QThread>

namespace {

size_t collect(char* data, size_t size, size_t count, void* user) {
    static_cast<QByteArray*>(user)->append(data, qsizetype(size * count));
    return size * count;
}

HttpAnswer fetch(const QString& method, const QUrl& url, bool follow) {
    HttpAnswer answer;
    CURL* curl = curl_easy_init();
    const QByteArray address = url.toString(QUrl::FullyEncoded).toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    if (method == QLatin1String("POST")) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    }
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
        char* location = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
            answer.location = QString::fromUtf8(location);
    }
    curl_easy_cleanup(curl);
    return answer;
}

}  // namespace

HttpAnswer http_request(const QString& method, const QUrl& url) {
    return fetch(method, url, false);
}

HttpBrowser::~HttpBrowser() {
    wait();
}

bool HttpBrowser::open(const QUrl& url) {
    wait();
    ++m_opened;
    m_done = false;
    m_thread = std::thread([this, url] {
        const HttpAnswer answer = fetch(QStringLiteral("GET"), url, true);
        m_page = answer.body;
        m_status = answer.status;
        m_done = true;
    });
    return true;
}

void HttpBrowser::wait() {
    if (m_thread.joinable())
        m_thread.join();
}

QByteArray HttpBrowser::last_page() const {
    return m_done ? m_page : QByteArray();
}
