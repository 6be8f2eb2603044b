#include "MonitorRules.h"

#include "app/NearbyDays.h"
#include "text/Text.h"

namespace skylark {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kRules = u"rules"_s;
const QString kFlexible = u"flexible"_s;

bool numberIn(const QString& text, double low, double high) {
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && number >= low && number <= high;
}

// "22:00-07:00" into its two times; false when it is not that.
bool quietHoursOf(const QString& text, QTime& from, QTime& to) {
    const QStringList parts = text.split(u'-');
    if (parts.size() != 2) {
        return false;
    }
    from = QTime::fromString(parts[0].trimmed(), u"H:mm"_s);
    to = QTime::fromString(parts[1].trimmed(), u"H:mm"_s);
    return from.isValid() && to.isValid() && from != to;
}

} // namespace

namespace {

QString onOffProblem(const QString& value) {
    return value == u"on" || value == u"off" ? QString() : u"必须是 on 或 off"_s;
}

QString wholeNumberProblem(const QString& value, int low, int high) {
    return isWholeNumberIn(value, low, high) ? QString()
                                             : u"必须是 %1 到 %2 之间的整数"_s.arg(low).arg(high);
}

QList<RuleField> makeRuleFields() {
    return {
        {u"once-per-drop"_s, u"每次降价只提醒一次"_s, u"on / off"_s, true, onOffProblem,
         [](MonitorRules& rules, const QString& value) { rules.oncePerDrop = value == u"on"; }},
        {u"drop-by"_s, u"再次提醒需再降（元）"_s, u"1"_s, false,
         [](const QString& value) {
             return numberIn(value, 0, 1e9) ? QString() : u"必须是不小于 0 的数"_s;
         },
         [](MonitorRules& rules, const QString& value) {
             rules.dropBy = value.isEmpty() ? 1 : value.toDouble();
         }},
        {u"confirm-seconds"_s, u"再查一次确认（秒后）"_s, u"0：不确认"_s, false,
         [](const QString& value) { return wholeNumberProblem(value, 0, 3600); },
         [](MonitorRules& rules, const QString& value) { rules.confirmSeconds = value.toInt(); }},
        {u"quiet-hours"_s, u"免打扰时段"_s, u"22:00-07:00"_s, false,
         [](const QString& value) {
             QTime from;
             QTime to;
             return quietHoursOf(value, from, to)
                        ? QString()
                        : u"必须写成 22:00-07:00 的样子，两个时间不能相同"_s;
         },
         [](MonitorRules& rules, const QString& value) {
             quietHoursOf(value, rules.quietFrom, rules.quietTo);
         }},
        {u"urgent-percent"_s, u"低于监控价格超过多少 % 时照常提醒"_s, u"0：一律暂缓"_s, false,
         [](const QString& value) {
             return numberIn(value, 0, 100) ? QString() : u"必须是 0 到 100 之间的数"_s;
         },
         [](MonitorRules& rules, const QString& value) { rules.urgentPercent = value.toDouble(); }},
        {u"watchdog"_s, u"提醒长期未找到的航线"_s, u"on / off"_s, true, onOffProblem,
         [](MonitorRules& rules, const QString& value) { rules.watchdog = value == u"on"; }},
        {u"stale-rounds"_s, u"连续未找到的轮数"_s, u"5"_s, false,
         [](const QString& value) { return wholeNumberProblem(value, 1, 10000); },
         [](MonitorRules& rules, const QString& value) {
             rules.staleRounds = value.isEmpty() ? 5 : value.toInt();
         }},
        {u"stale-hours"_s, u"或多少小时未找到票价"_s, u"24"_s, false,
         [](const QString& value) { return wholeNumberProblem(value, 1, 8784); },
         [](MonitorRules& rules, const QString& value) {
             rules.staleHours = value.isEmpty() ? 24 : value.toInt();
         }},
        {u"back-off"_s, u"票价来源拒绝时放慢"_s, u"on / off"_s, true, onOffProblem,
         [](MonitorRules& rules, const QString& value) { rules.backOff = value == u"on"; }},
    };
}

} // namespace

const QList<RuleField>& ruleFields() {
    static const QList<RuleField> fields = makeRuleFields();
    return fields;
}

const RuleField* ruleField(const QString& key) {
    for (const RuleField& field : ruleFields()) {
        if (field.key == key) {
            return &field;
        }
    }
    return nullptr;
}

QString ruleValueProblem(const QString& key, const QString& value) {
    const RuleField* field = ruleField(key);
    if (!field) {
        return u"没有名为 %1 的规则"_s.arg(key);
    }
    if (value.isEmpty()) {
        return {};
    }
    const QString problem = field->problem(value);
    return problem.isEmpty() ? QString() : field->label + problem;
}

QString flexibleRouteProblem(const QString& routeId) {
    const bool storable = !routeId.isEmpty() && routeId.trimmed() == routeId &&
                          KeyFile::canStore(routeId) && !routeId.contains(u'=') &&
                          !routeId.startsWith(u'[') && !routeId.startsWith(u';') &&
                          !routeId.startsWith(u'#');
    return storable ? QString() : u"航线 ID“%1”无法保存前后浮动的天数"_s.arg(routeId);
}

QString flexibleDaysProblem() {
    return u"前后浮动的天数必须是 0 到 %1 之间的整数"_s.arg(kMaxFlexibleDays);
}

bool inQuietHours(const MonitorRules& rules, const QTime& moment) {
    const QTime& from = rules.quietFrom;
    const QTime& to = rules.quietTo;
    if (!from.isValid() || !to.isValid() || from == to) {
        return false;
    }
    return from < to ? moment >= from && moment < to : moment >= from || moment < to;
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

ReadResult<KeyFile::Section> RulesBook::values() const {
    KeyFile::Sections sections;
    const QString problem = m_file.read(sections);
    return {fieldValuesOf(sections), problem};
}

ReadResult<MonitorRules> RulesBook::rules() const {
    KeyFile::Sections sections;
    const QString problem = m_file.read(sections);
    const KeyFile::Section values = fieldValuesOf(sections);
    MonitorRules rules;
    for (const RuleField& field : ruleFields()) {
        field.apply(rules, values.value(field.key));
    }
    const KeyFile::Section flexible = sections.value(kFlexible);
    for (auto each = flexible.constBegin(); each != flexible.constEnd(); ++each) {
        if (isWholeNumberIn(each.value().trimmed(), 1, kMaxFlexibleDays)) {
            rules.flexibleDays.insert(each.key(), each.value().trimmed().toInt());
        }
    }
    return {rules, problem};
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

WriteResult RulesBook::setFlexibleDays(const QString& routeId, int days) {
    if (const QString problem = flexibleRouteProblem(routeId); !problem.isEmpty()) {
        return WriteResult::failure(problem);
    }
    if (days < 0 || days > kMaxFlexibleDays) {
        return WriteResult::failure(flexibleDaysProblem());
    }
    return m_file.change([&](KeyFile::Sections& sections) {
        if (days == 0) {
            sections[kFlexible].remove(routeId);
            if (sections[kFlexible].isEmpty()) {
                sections.remove(kFlexible);
            }
        } else {
            sections[kFlexible].insert(routeId, QString::number(days));
        }
        return WriteResult::success();
    });
}

WriteResult RulesBook::save(const KeyFile::Section& values,
                            const QHash<QString, int>& flexibleDays) {
    KeyFile::Section fields;
    for (auto each = values.constBegin(); each != values.constEnd(); ++each) {
        const QString value = each.value().trimmed();
        if (const QString problem = ruleValueProblem(each.key(), value); !problem.isEmpty()) {
            return WriteResult::failure(problem);
        }
        if (!value.isEmpty()) {
            fields.insert(each.key(), value);
        }
    }
    KeyFile::Section flexible;
    for (auto each = flexibleDays.constBegin(); each != flexibleDays.constEnd(); ++each) {
        if (const QString problem = flexibleRouteProblem(each.key()); !problem.isEmpty()) {
            return WriteResult::failure(problem);
        }
        if (each.value() < 0 || each.value() > kMaxFlexibleDays) {
            return WriteResult::failure(flexibleDaysProblem());
        }
        if (each.value() > 0) {
            flexible.insert(each.key(), QString::number(each.value()));
        }
    }
    return m_file.change([&](KeyFile::Sections& sections) {
        sections.remove(kRules);
        if (!fields.isEmpty()) {
            sections.insert(kRules, fields);
        }
        KeyFile::Section& stored = sections[kFlexible];
        for (auto each = flexibleDays.constBegin(); each != flexibleDays.constEnd(); ++each) {
            stored.remove(each.key());
        }
        stored.insert(flexible);
        if (stored.isEmpty()) {
            sections.remove(kFlexible);
        }
        return WriteResult::success();
    });
}

} // namespace skylark
