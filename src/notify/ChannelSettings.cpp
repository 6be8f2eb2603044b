#include "ChannelSettings.h"

#include "text/Text.h"

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kMinMinutes = u"min-minutes"_s;

const ChannelField* fieldOf(const QString& name, const QString& key) {
    const ChannelKind* kind = channelKind(name);
    if (!kind) {
        return nullptr;
    }
    for (const ChannelField& each : kind->fields) {
        if (each.key == key) {
            return &each;
        }
    }
    return nullptr;
}

QString labelOf(const QString& name, const QString& key) {
    const ChannelField* field = fieldOf(name, key);
    return field ? field->label : QString();
}

bool isKnownChannel(const QString& name) {
    return channelKind(name) != nullptr;
}

QString unknownChannel(const QString& name) {
    return u"没有名为 %1 的提醒方式（可用：%2）"_s.arg(name, channelNames().join(u"、"));
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
    QStringList names;
    for (const ChannelKind& kind : channelKinds()) {
        names.append(kind.name);
    }
    return names;
}

QString channelCaption(const QString& name) {
    const ChannelKind* kind = channelKind(name);
    return kind ? kind->caption : name;
}

QList<ChannelField> channelFields(const QString& name) {
    const ChannelKind* kind = channelKind(name);
    return kind ? kind->fields : QList<ChannelField>();
}

const ChannelField* channelField(const QString& name, const QString& key) {
    return fieldOf(name, key);
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
    if (const qsizetype bytes = value.toUtf8().size(); bytes > kMaxChannelValueBytes) {
        return u"%1的%2太长：%3 字节，最多 %4 字节"_s.arg(channelCaption(name), label)
            .arg(bytes)
            .arg(kMaxChannelValueBytes);
    }
    if (value.isEmpty()) {
        return {};
    }
    const QString problem = fieldCheckProblem(*fieldOf(name, key), value);
    return problem.isEmpty() ? QString() : u"%1的%2%3"_s.arg(channelCaption(name), label, problem);
}

QString channelReadinessProblem(const ChannelSettings& settings) {
    for (const ChannelField& field : channelFields(settings.name)) {
        if (field.required && settings.value(field.key).trimmed().isEmpty()) {
            return u"请先设置%1的%2（%3）"_s.arg(channelCaption(settings.name), field.label,
                                                 field.key);
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

QString channelTestProblem(const ChannelSettings& settings) {
    ChannelSettings on = settings;
    on.enabled = true; // a test asks for what switching on would need
    return channelSettingsProblem(on);
}

bool isSecretChannelField(const QString& name, const QString& key) {
    const ChannelField* field = fieldOf(name, key);
    return field && field->secret;
}

QString shownChannelValue(const QString& name, const QString& key, const QString& value) {
    const ChannelField* field = fieldOf(name, key);
    if (field && field->secret && !value.isEmpty()) {
        return u"******"_s;
    }
    return withoutUserInfo(value);
}

QString withoutUserInfo(const QString& text) {
    const qsizetype scheme = text.indexOf(u"://"_s);
    if (scheme < 0) {
        return text;
    }
    const qsizetype start = scheme + 3;
    qsizetype end = text.size();
    for (const QChar stop : {u'/', u'?', u'#'}) {
        if (const qsizetype at = text.indexOf(stop, start); at >= 0) {
            end = qMin(end, at);
        }
    }
    const qsizetype at = text.lastIndexOf(u'@', end - 1);
    if (at < start) {
        return text;
    }
    return text.left(start) + u"******"_s + text.mid(at);
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

ReadResult<ChannelSettings> ChannelBook::channel(const QString& name) const {
    Sections sections;
    const QString problem = readSections(sections);
    return {sections.value(name, defaultsOf(name)), problem};
}

ReadResult<QList<ChannelSettings>> ChannelBook::channels() const {
    Sections sections;
    const QString problem = readSections(sections);
    QList<ChannelSettings> all;
    for (const QString& name : channelNames()) {
        all.append(sections.value(name, defaultsOf(name)));
    }
    return {all, problem};
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
