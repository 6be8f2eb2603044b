#include "ChannelKinds.h"

#include "ChannelSettings.h"
#include "EmailChannel.h"
#include "WebChannels.h"
#include "text/Text.h"

#include <QRegularExpression>
#include <QUrl>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kMaxMinMinutes = 366 * 24 * 60;

ChannelField field(const QString& key, const QString& label, const QString& example = {},
                   FieldCheck check = FieldCheck::Text, bool required = false) {
    return {key, label, false, {}, example, check, required};
}

ChannelField secretField(const QString& key, const QString& label, const QString& example = {}) {
    return {key, label, true, {}, example, FieldCheck::Text, false};
}

ChannelField caFile() {
    return field(u"ca-file"_s, u"CA 证书文件"_s, u"可不填：/path/to/ca.pem"_s);
}

template <MessageForm form>
std::unique_ptr<AlertChannel> httpPostChannel(const ChannelSettings& settings,
                                              DeliveryWorkers& workers) {
    return std::make_unique<HttpPostChannel>(settings, workers, form);
}

std::unique_ptr<AlertChannel> emailChannel(const ChannelSettings& settings,
                                           DeliveryWorkers& workers) {
    return std::make_unique<EmailChannel>(settings, workers);
}

QList<ChannelKind> makeKinds() {
    QList<ChannelKind> kinds{
        {u"desktop"_s, u"桌面通知"_s, {}, nullptr},
        {u"email"_s,
         u"邮件"_s,
         {field(u"server"_s, u"服务器"_s, u"smtp.example.com"_s, FieldCheck::HostName, true),
          field(u"port"_s, u"端口"_s, u"587 / 465 / 25"_s, FieldCheck::Port),
          {u"security"_s,
           u"安全方式"_s,
           false,
           {u"starttls"_s, u"smtps"_s, u"none"_s},
           {},
           FieldCheck::Choice,
           false},
          field(u"user"_s, u"用户名"_s, u"me@example.com"_s),
          secretField(u"password"_s, u"密码"_s),
          field(u"from"_s, u"发件人"_s, u"me@example.com"_s, FieldCheck::MailAddress, true),
          field(u"to"_s, u"收件人"_s, u"a@example.com, b@example.org"_s, FieldCheck::MailAddresses,
                true),
          caFile()},
         emailChannel},
        {u"ntfy"_s,
         u"ntfy"_s,
         {field(u"url"_s, u"主题网址"_s, u"https://ntfy.sh/mytopic"_s, FieldCheck::WebAddress,
                true),
          secretField(u"token"_s, u"访问令牌"_s, u"可不填"_s),
          field(u"priority"_s, u"优先级"_s, u"1-5，默认 3"_s, FieldCheck::Priority), caFile()},
         httpPostChannel<ntfyPost>},
        {u"webhook"_s,
         u"Webhook"_s,
         {field(u"url"_s, u"网址"_s, u"https://example.com/hook"_s, FieldCheck::WebAddress, true),
          secretField(u"secret"_s, u"签名密钥"_s, u"可不填"_s), caFile()},
         httpPostChannel<webhookPost>},
    };
    for (ChannelKind& kind : kinds) {
        kind.fields.append(
            field(u"min-minutes"_s, u"最短间隔（分钟）"_s, u"0：每轮都发"_s, FieldCheck::Minutes));
    }
    return kinds;
}

bool isMailAddress(const QString& text) {
    static const QRegularExpression address(uR"(^[^@\s<>,;:"()\[\]\\]+@[^@\s<>,;:"()\[\]\\]+$)"_s);
    return address.match(text).hasMatch();
}

bool isWebAddress(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") &&
           !url.host().isEmpty();
}

} // namespace

const QList<ChannelKind>& channelKinds() {
    static const QList<ChannelKind> kinds = makeKinds();
    return kinds;
}

const ChannelKind* channelKind(const QString& name) {
    for (const ChannelKind& kind : channelKinds()) {
        if (kind.name == name) {
            return &kind;
        }
    }
    return nullptr;
}

QString fieldCheckProblem(const ChannelField& field, const QString& value) {
    switch (field.check) {
    case FieldCheck::Text:
        return {};
    case FieldCheck::Choice:
        return field.choices.contains(value) ? QString()
                                             : u"必须是 %1 之一"_s.arg(field.choices.join(u"、"));
    case FieldCheck::Port:
        return isWholeNumberIn(value, 1, 65535) ? QString() : u"必须是 1 到 65535 之间的整数"_s;
    case FieldCheck::Priority:
        return isWholeNumberIn(value, 1, 5) ? QString() : u"必须是 1 到 5 之间的整数"_s;
    case FieldCheck::Minutes:
        return isWholeNumberIn(value, 0, kMaxMinMinutes)
                   ? QString()
                   : u"必须是 0 到 %1 之间的整数（分钟）"_s.arg(kMaxMinMinutes);
    case FieldCheck::WebAddress:
        return isWebAddress(value) ? QString()
                                   : u"不是以 http:// 或 https:// 开头的网址：%1"_s.arg(value);
    case FieldCheck::HostName:
        return value.contains(QRegularExpression(u"[\\s/@]"_s))
                   ? u"不是服务器的主机名：%1"_s.arg(value)
                   : QString();
    case FieldCheck::MailAddress:
        return isMailAddress(value) ? QString() : u"不是电子邮件地址：%1"_s.arg(value);
    case FieldCheck::MailAddresses:
        for (const QString& address : mailAddressesOf(value)) {
            if (!isMailAddress(address)) {
                return u"不是电子邮件地址：%1"_s.arg(address);
            }
        }
        return {};
    }
    return {};
}

} // namespace skylark
