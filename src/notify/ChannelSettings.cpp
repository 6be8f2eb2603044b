#include "ChannelSettings.h"

#include "text/Text.h"

#include <QRegularExpression>
#include <QUrl>

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kMaxMinMinutes = 366 * 24 * 60;

const QString kMinMinutes = u"min-minutes"_s;

ChannelField field(const QString& key, const QString& label, const QString& example = {},
                   bool secret = false, QStringList choices = {}) {
    return {key, label, secret, std::move(choices), example};
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

QString labelOf(const QString& name, const QString& key) {
    for (const ChannelField& each : channelFields(name)) {
        if (each.key == key) {
            return each.label;
        }
    }
    return {};
}

bool isKnownChannel(const QString& name) {
    return channelNames().contains(name);
}

QString unknownChannel(const QString& name) {
    return u"没有名为 %1 的提醒方式（可用：%2）"_s.arg(name, channelNames().join(u"、"));
}

QString fieldProblem(const QString& name, const QString& key, const QString& value) {
    if (key == kMinMinutes) {
        return isWholeNumberIn(value, 0, kMaxMinMinutes)
                   ? QString()
                   : u"必须是 0 到 %1 之间的整数（分钟）"_s.arg(kMaxMinMinutes);
    }
    if (key == u"port") {
        return isWholeNumberIn(value, 1, 65535) ? QString() : u"必须是 1 到 65535 之间的整数"_s;
    }
    if (key == u"priority") {
        return isWholeNumberIn(value, 1, 5) ? QString() : u"必须是 1 到 5 之间的整数"_s;
    }
    if (key == u"url") {
        return isWebAddress(value) ? QString()
                                   : u"不是以 http:// 或 https:// 开头的网址：%1"_s.arg(value);
    }
    if (key == u"server") {
        return value.contains(QRegularExpression(u"[\\s/@]"_s))
                   ? u"不是服务器的主机名：%1"_s.arg(value)
                   : QString();
    }
    if (key == u"from") {
        return isMailAddress(value) ? QString() : u"不是电子邮件地址：%1"_s.arg(value);
    }
    if (key == u"to") {
        for (const QString& address : mailAddressesOf(value)) {
            if (!isMailAddress(address)) {
                return u"不是电子邮件地址：%1"_s.arg(address);
            }
        }
        return QString();
    }
    for (const ChannelField& each : channelFields(name)) {
        if (each.key == key && !each.choices.isEmpty() && !each.choices.contains(value)) {
            return u"必须是 %1 之一"_s.arg(each.choices.join(u"、"));
        }
    }
    return {};
}

ChannelSettings defaultsOf(const QString& name) {
    ChannelSettings settings;
    settings.name = name;
    return settings;
}

ChannelSettings settingsOf(const QString& name, const KeyFile::Section& section) {
    ChannelSettings settings = defaultsOf(name);
    for (auto value = section.constBegin(); value != section.constEnd(); ++value) {
        if (value.key() == u"enabled") {
            settings.enabled = value.value().trimmed() == u"1";
        } else if (!labelOf(name, value.key()).isEmpty()) {
            settings.values.insert(value.key(), value.value());
        }
    }
    return settings;
}

KeyFile::Section sectionOf(const ChannelSettings& settings) {
    KeyFile::Section section = settings.values;
    section.insert(u"enabled"_s, settings.enabled ? u"1"_s : u"0"_s);
    return section;
}

} // namespace

QStringList mailAddressesOf(const QString& list) {
    QStringList addresses;
    for (const QString& part : list.split(u',')) {
        if (!part.trimmed().isEmpty()) {
            addresses.append(part.trimmed());
        }
    }
    return addresses;
}

QString ChannelSettings::value(const QString& key) const {
    return values.value(key);
}

int ChannelSettings::minMinutes() const {
    return values.value(kMinMinutes).toInt();
}

QStringList channelNames() {
    return {u"desktop"_s, u"email"_s, u"ntfy"_s, u"webhook"_s};
}

QString channelCaption(const QString& name) {
    if (name == u"desktop") {
        return u"桌面通知"_s;
    }
    if (name == u"email") {
        return u"邮件"_s;
    }
    if (name == u"ntfy") {
        return u"ntfy"_s;
    }
    if (name == u"webhook") {
        return u"Webhook"_s;
    }
    return name;
}

QList<ChannelField> channelFields(const QString& name) {
    QList<ChannelField> fields;
    if (name == u"email") {
        fields = {
            field(u"server"_s, u"服务器"_s, u"smtp.example.com"_s),
            field(u"port"_s, u"端口"_s, u"587 / 465 / 25"_s),
            field(u"security"_s, u"安全方式"_s, {}, false, {u"starttls"_s, u"smtps"_s, u"none"_s}),
            field(u"user"_s, u"用户名"_s, u"me@example.com"_s),
            field(u"password"_s, u"密码"_s, {}, true),
            field(u"from"_s, u"发件人"_s, u"me@example.com"_s),
            field(u"to"_s, u"收件人"_s, u"a@example.com, b@example.org"_s),
            field(u"ca-file"_s, u"CA 证书文件"_s, u"可不填：/path/to/ca.pem"_s)};
    } else if (name == u"ntfy") {
        fields = {field(u"url"_s, u"主题网址"_s, u"https://ntfy.sh/mytopic"_s),
                  field(u"token"_s, u"访问令牌"_s, u"可不填"_s, true),
                  field(u"priority"_s, u"优先级"_s, u"1-5，默认 3"_s),
                  field(u"ca-file"_s, u"CA 证书文件"_s, u"可不填：/path/to/ca.pem"_s)};
    } else if (name == u"webhook") {
        fields = {field(u"url"_s, u"网址"_s, u"https://example.com/hook"_s),
                  field(u"secret"_s, u"签名密钥"_s, u"可不填"_s, true),
                  field(u"ca-file"_s, u"CA 证书文件"_s, u"可不填：/path/to/ca.pem"_s)};
    } else if (name != u"desktop") {
        return {};
    }
    fields.append(field(kMinMinutes, u"最短间隔（分钟）"_s, u"0：每轮都发"_s));
    return fields;
}

QString channelValueProblem(const QString& name, const QString& key, const QString& value) {
    if (!isKnownChannel(name)) {
        return unknownChannel(name);
    }
    const QString label = labelOf(name, key);
    if (label.isEmpty()) {
        return u"%1没有设置项 %2"_s.arg(channelCaption(name), key);
    }
    if (!KeyFile::canStore(value)) {
        return u"%1的%2不能包含换行符"_s.arg(channelCaption(name), label);
    }
    if (value.isEmpty()) {
        return {};
    }
    const QString problem = fieldProblem(name, key, value);
    return problem.isEmpty() ? QString() : u"%1的%2%3"_s.arg(channelCaption(name), label, problem);
}

QString channelReadinessProblem(const ChannelSettings& settings) {
    QStringList required;
    if (settings.name == u"email") {
        required = {u"server"_s, u"from"_s, u"to"_s};
    } else if (settings.name == u"ntfy" || settings.name == u"webhook") {
        required = {u"url"_s};
    }
    for (const QString& key : required) {
        if (settings.value(key).trimmed().isEmpty()) {
            return u"请先设置%1的%2（%3）"_s.arg(channelCaption(settings.name),
                                                 labelOf(settings.name, key), key);
        }
    }
    return {};
}

QString channelSettingsProblem(const ChannelSettings& settings) {
    if (!isKnownChannel(settings.name)) {
        return unknownChannel(settings.name);
    }
    for (auto each = settings.values.constBegin(); each != settings.values.constEnd(); ++each) {
        if (const QString problem = channelValueProblem(settings.name, each.key(), each.value());
            !problem.isEmpty()) {
            return problem;
        }
    }
    return settings.enabled ? channelReadinessProblem(settings) : QString();
}

QString shownChannelValue(const QString& name, const QString& key, const QString& value) {
    for (const ChannelField& each : channelFields(name)) {
        if (each.key == key && each.secret && !value.isEmpty()) {
            return u"******"_s;
        }
    }
    return value;
}

ChannelBook::ChannelBook(const QString& directory)
    : m_file(directory + u"/alerts.ini"_s) {}

QString ChannelBook::readSections(Sections& sections) const {
    KeyFile::Sections raw;
    const QString error = m_file.read(raw);
    for (auto section = raw.constBegin(); section != raw.constEnd(); ++section) {
        if (isKnownChannel(section.key())) {
            sections.insert(section.key(), settingsOf(section.key(), section.value()));
        }
    }
    return error;
}

ChannelSettings ChannelBook::channel(const QString& name, QString* error) const {
    Sections sections;
    const QString problem = readSections(sections);
    if (error) {
        *error = problem;
    }
    return sections.value(name, defaultsOf(name));
}

QList<ChannelSettings> ChannelBook::channels(QString* error) const {
    Sections sections;
    const QString problem = readSections(sections);
    if (error) {
        *error = problem;
    }
    QList<ChannelSettings> all;
    for (const QString& name : channelNames()) {
        all.append(sections.value(name, defaultsOf(name)));
    }
    return all;
}

WriteResult ChannelBook::change(const std::function<WriteResult(Sections&)>& edit) {
    return m_file.change([&](KeyFile::Sections& raw) {
        Sections sections;
        for (const QString& name : channelNames()) {
            if (raw.contains(name)) {
                sections.insert(name, settingsOf(name, raw.value(name)));
            }
        }
        if (WriteResult refused = edit(sections); !refused) {
            return refused;
        }
        for (auto each = sections.constBegin(); each != sections.constEnd(); ++each) {
            raw.insert(each.key(), sectionOf(each.value()));
        }
        return WriteResult::success();
    });
}

WriteResult ChannelBook::set(const QString& name, const QString& key, const QString& value) {
    if (const QString problem = channelValueProblem(name, key, value); !problem.isEmpty()) {
        return WriteResult::failure(problem);
    }
    return change([&](Sections& sections) {
        ChannelSettings& settings =
            sections.insert(name, sections.value(name, defaultsOf(name))).value();
        if (value.isEmpty()) {
            settings.values.remove(key);
        } else {
            settings.values.insert(key, value);
        }
        if (settings.enabled) {
            if (const QString problem = channelReadinessProblem(settings); !problem.isEmpty()) {
                return WriteResult::failure(problem);
            }
        }
        return WriteResult::success();
    });
}

WriteResult ChannelBook::setEnabled(const QString& name, bool enabled) {
    if (!isKnownChannel(name)) {
        return WriteResult::failure(unknownChannel(name));
    }
    return change([&](Sections& sections) {
        ChannelSettings& settings =
            sections.insert(name, sections.value(name, defaultsOf(name))).value();
        if (enabled) {
            if (const QString problem = channelReadinessProblem(settings); !problem.isEmpty()) {
                return WriteResult::failure(problem);
            }
        }
        settings.enabled = enabled;
        return WriteResult::success();
    });
}

WriteResult ChannelBook::save(const QList<ChannelSettings>& channels) {
    for (const ChannelSettings& settings : channels) {
        if (const QString problem = channelSettingsProblem(settings); !problem.isEmpty()) {
            return WriteResult::failure(problem);
        }
    }
    return change([&](Sections& sections) {
        for (const ChannelSettings& settings : channels) {
            ChannelSettings stored = settings;
            stored.values.removeIf([](const auto& each) { return each.value().isEmpty(); });
            sections.insert(stored.name, stored);
        }
        return WriteResult::success();
    });
}

} // namespace skylark
