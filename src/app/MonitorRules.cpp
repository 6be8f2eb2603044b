#include "MonitorRules.h"

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kRules = u"rules"_s;

bool isSwitch(const QString& key) {
    return key == u"back-off" || key == u"watchdog";
}

bool wholeIn(const QString& text, int low, int high) {
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number >= low && number <= high;
}

} // namespace

QList<RuleField> ruleFields() {
    return {{u"watchdog"_s, u"提醒长期未找到的航线"_s, u"on / off"_s},
            {u"stale-rounds"_s, u"连续未找到的轮数"_s, u"5"_s},
            {u"stale-hours"_s, u"或多少小时未找到票价"_s, u"24"_s},
            {u"back-off"_s, u"票价来源拒绝时放慢"_s, u"on / off"_s}};
}

QString ruleValueProblem(const QString& key, const QString& value) {
    bool known = false;
    QString label;
    for (const RuleField& field : ruleFields()) {
        if (field.key == key) {
            known = true;
            label = field.label;
        }
    }
    if (!known) {
        return u"没有名为 %1 的规则"_s.arg(key);
    }
    if (value.isEmpty()) {
        return {};
    }
    if (isSwitch(key)) {
        return value == u"on" || value == u"off" ? QString() : u"%1必须是 on 或 off"_s.arg(label);
    }
    if (key == u"stale-rounds") {
        return wholeIn(value, 1, 10000) ? QString()
                                        : u"%1必须是 1 到 10000 之间的整数"_s.arg(label);
    }
    if (key == u"stale-hours") {
        return wholeIn(value, 1, 8784) ? QString() : u"%1必须是 1 到 8784 之间的整数"_s.arg(label);
    }
    return {};
}

RulesBook::RulesBook(const QString& directory)
    : m_file(directory + u"/rules.ini"_s) {}

namespace {

// The stored values of the fields; a value the program would refuse reads as its default.
KeyFile::Section fieldValuesOf(const KeyFile::Sections& sections) {
    KeyFile::Section values;
    const KeyFile::Section stored = sections.value(kRules);
    for (auto each = stored.constBegin(); each != stored.constEnd(); ++each) {
        if (ruleValueProblem(each.key(), each.value().trimmed()).isEmpty()) {
            values.insert(each.key(), each.value().trimmed());
        }
    }
    return values;
}

} // namespace

KeyFile::Section RulesBook::values(QString* error) const {
    KeyFile::Sections sections;
    const QString problem = m_file.read(sections);
    if (error) {
        *error = problem;
    }
    return fieldValuesOf(sections);
}

MonitorRules RulesBook::rules(QString* error) const {
    const KeyFile::Section values = this->values(error);
    MonitorRules rules;
    rules.backOff = values.value(u"back-off"_s) == u"on";
    rules.watchdog = values.value(u"watchdog"_s) == u"on";
    rules.staleRounds = values.value(u"stale-rounds"_s, u"5"_s).toInt();
    rules.staleHours = values.value(u"stale-hours"_s, u"24"_s).toInt();
    return rules;
}

WriteResult RulesBook::set(const QString& key, const QString& value) {
    const QString trimmed = value.trimmed();
    if (const QString problem = ruleValueProblem(key, trimmed); !problem.isEmpty()) {
        return WriteResult::failure(problem);
    }
    return m_file.change([&](KeyFile::Sections& sections) {
        if (trimmed.isEmpty()) {
            sections[kRules].remove(key);
        } else {
            sections[kRules].insert(key, trimmed);
        }
        return WriteResult::success();
    });
}

} // namespace skylark
