#include "CurlTransfers.h"

#include "store/SafeSave.h"

#include <QUrl>

#include <curl/curl.h>

#include <cerrno>
#include <cstring>

#include <memory>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr qint64 kMaxAnswerBytes = 64 * 1024;
constexpr qint64 kMaxCaBytes = 8 * 1024 * 1024;

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using CurlList = std::unique_ptr<curl_slist, SlistDeleter>;

// What the callbacks of one transfer share.
struct TransferState {
    const DeliveryTerms& terms;
    QByteArray answer;
    QByteArrayView upload;
};

size_t keepAnswer(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const qsizetype room = kMaxAnswerBytes - state->answer.size();
    state->answer.append(data, std::min<qsizetype>(room, qsizetype(size * count)));
    return size * count;
}

size_t readUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const size_t length = std::min<size_t>(size * count, size_t(state->upload.size()));
    memcpy(buffer, state->upload.data(), length);
    state->upload = state->upload.sliced(qsizetype(length));
    return length;
}

int stopWhenCancelled(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TransferState*>(user)->terms.isCancelled() ? 1 : 0;
}

QString systemAuthorities() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info && info->cainfo ? QString::fromLocal8Bit(info->cainfo)
                                : u"/etc/ssl/certs/ca-certificates.crt"_s;
}

// The system's authorities followed by those of the extra file; the reason when the extra
// file cannot be read.
QString authoritiesWith(const QString& caFile, QByteArray& bundle) {
    QByteArray extra;
    if (const QString error = readWholeFile(caFile, extra, kMaxCaBytes); !error.isEmpty()) {
        return u"无法读取 CA 证书文件 %1：%2"_s.arg(caFile, error);
    }
    QByteArray system;
    (void)readWholeFile(systemAuthorities(), system, kMaxCaBytes); // none on some systems
    bundle = system + "\n" + extra;
    return {};
}

QString reasonOf(CURL* curl, CURLcode code, const char* detailText, const DeliveryTerms& terms) {
    long systemError = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &systemError);
    const QString detail = QString::fromUtf8(detailText).trimmed();
    const QString withDetail = detail.isEmpty() ? QString() : u"：%1"_s.arg(detail);
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        return systemError == ECONNREFUSED ? u"连接被拒绝"_s : u"无法连接服务器"_s + withDetail;
    case CURLE_COULDNT_RESOLVE_HOST:
        return u"无法解析服务器的主机名"_s;
    case CURLE_OPERATION_TIMEDOUT:
        return u"超时（%1 秒内没有完成）"_s.arg(terms.timeoutSeconds);
    case CURLE_LOGIN_DENIED:
        return u"认证失败（用户名或密码不对）"_s;
    case CURLE_PEER_FAILED_VERIFICATION:
        return u"TLS 证书验证失败"_s + withDetail;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return u"TLS 错误"_s + withDetail;
    case CURLE_USE_SSL_FAILED:
        return u"服务器不支持 STARTTLS"_s;
    case CURLE_ABORTED_BY_CALLBACK:
        return u"已取消"_s;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return u"连接中断"_s + withDetail;
    default:
        return QString::fromUtf8(curl_easy_strerror(code)) + withDetail;
    }
}

// The options every transfer of the channels shares; the reason when the extra CA file
// cannot be read.
QString prepare(CURL* curl, TransferState& state, const QString& caFile, QByteArray& bundle,
                char* errorBuffer) {
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(state.terms.timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &stopWhenCancelled);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &keepAnswer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
    if (!caFile.isEmpty()) {
        if (const QString problem = authoritiesWith(caFile, bundle); !problem.isEmpty()) {
            return problem;
        }
        curl_blob blob{bundle.data(), size_t(bundle.size()), CURL_BLOB_NOCOPY};
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
    }
    return {};
}

} // namespace

DeliveryOutcome postOverHttp(const HttpPost& post, const DeliveryTerms& terms) {
    CurlHandle curl(curl_easy_init());
    if (!curl) {
        return DeliveryOutcome::failed(u"无法开始网络请求"_s);
    }
    TransferState state{terms, {}, {}};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray bundle;
    if (const QString problem = prepare(curl.get(), state, post.caFile, bundle, errorBuffer);
        !problem.isEmpty()) {
        return DeliveryOutcome::failed(problem);
    }
    const QByteArray url = post.url.toUtf8();
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_slist* headers = nullptr;
    for (const QByteArray& line : post.headers) {
        headers = curl_slist_append(headers, line.constData());
    }
    headers = curl_slist_append(headers, "Expect:"); // no 100-continue round trip
    const CurlList headerList(headers);
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, post.body.constData());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(post.body.size()));
    const CURLcode code = curl_easy_perform(curl.get());
    if (code != CURLE_OK) {
        return DeliveryOutcome::failed(reasonOf(curl.get(), code, errorBuffer, terms));
    }
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        return DeliveryOutcome::failed(u"服务器返回 HTTP 状态 %1"_s.arg(status));
    }
    return DeliveryOutcome::delivered();
}

DeliveryOutcome sendMail(const MailTransfer& mail, const DeliveryTerms& terms) {
    // A password goes over TLS or not at all; a relay without a login needs none.
    if (mail.security == MailSecurity::None && !mail.user.isEmpty()) {
        return DeliveryOutcome::failed(u"服务器未加密，不发送密码（请使用 starttls 或 smtps）"_s);
    }
    CurlHandle curl(curl_easy_init());
    if (!curl) {
        return DeliveryOutcome::failed(u"无法开始网络请求"_s);
    }
    TransferState state{terms, {}, mail.message};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray bundle;
    if (const QString problem = prepare(curl.get(), state, mail.caFile, bundle, errorBuffer);
        !problem.isEmpty()) {
        return DeliveryOutcome::failed(problem);
    }
    const bool smtps = mail.security == MailSecurity::Smtps;
    const int port = mail.port > 0 ? mail.port
                                   : (smtps                                 ? 465
                                      : mail.security == MailSecurity::None ? 25
                                                                            : 587);
    const QByteArray url = (smtps ? u"smtps://"_s : u"smtp://"_s).toUtf8() +
                           QUrl::toAce(mail.server) + ":" + QByteArray::number(port);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(
        curl.get(), CURLOPT_USE_SSL,
        long(mail.security == MailSecurity::StartTls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
    const QByteArray user = mail.user.toUtf8();
    const QByteArray password = mail.password.toUtf8();
    if (!mail.user.isEmpty()) {
        curl_easy_setopt(curl.get(), CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, password.constData());
    }
    const QByteArray from = "<" + mail.from.toUtf8() + ">";
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_FROM, from.constData());
    curl_slist* recipients = nullptr;
    for (const QString& address : mail.to) {
        const QByteArray recipient = "<" + address.toUtf8() + ">";
        recipients = curl_slist_append(recipients, recipient.constData());
    }
    const CurlList recipientList(recipients);
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, &readUpload);
    curl_easy_setopt(curl.get(), CURLOPT_READDATA, &state);
    curl_easy_setopt(curl.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(mail.message.size()));
    const CURLcode code = curl_easy_perform(curl.get());
    if (code != CURLE_OK) {
        return DeliveryOutcome::failed(reasonOf(curl.get(), code, errorBuffer, terms));
    }
    return DeliveryOutcome::delivered();
}

} // namespace skylark
